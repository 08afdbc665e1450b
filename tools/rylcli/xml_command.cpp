#include "xml_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "cli_output.h"
#include "failure.h"
#include "hoststreams/host_stream_base.h"
#include "module_session.h"
#include "utf8_text.h"

namespace rylcli {
namespace {

// A file read front to back, as the parser reads its input.
class FileInput final : public ryl::host::HostStreamBase {
 public:
  explicit FileInput(HANDLE file) : file_(file) {}
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    DWORD done = 0;
    if (!ReadFile(file_, buffer, count, &done, nullptr)) return RYL_E_ACCESS_DENIED;
    if (done == 0) return RYL_E_END_OF_DATA;
    *outDone = done;
    return RYL_OK;
  }

 private:
  HANDLE file_;
};

// Standard output as the writer's destination: the document's UTF-8 bytes
// into a pipe or file, the text it is onto a console.
class StandardOutputStream final : public ryl::host::HostStreamBase {
 public:
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    if (StdoutIsConsole()) {
      WriteOut(std::string_view(static_cast<const char*>(buffer), count));
      if (outDone != nullptr) *outDone = count;
      return RYL_OK;
    }
    DWORD done = 0;
    if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buffer, count, &done, nullptr)) return RYL_E_ACCESS_DENIED;
    if (outDone != nullptr) *outDone = done;
    return RYL_OK;
  }
};

// Counts elements; the parse is what checks the document.
class Counter final : public RylXmlEventHandler {
 public:
  void RYL_THISCALL Reserved() override {}
  ResultCode RYL_THISCALL StartElement(const RylXmlText*) override {
    ++elements;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText*, const RylXmlText*, const RylXmlText*) override {
    return RYL_OK;
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText*) override { return RYL_OK; }
  ResultCode RYL_THISCALL Text(const RylXmlText*) override { return RYL_OK; }
  unsigned long long elements = 0;
};

// Hands every event to a writer. Text is gathered until the next element
// event: a run of white space only is the old layout, which the writer's
// own indentation replaces.
class Reindenter final : public RylXmlEventHandler {
 public:
  explicit Reindenter(RylXmlWriter* writer) : writer_(writer) {}
  void RYL_THISCALL Reserved() override {}
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override {
    const ResultCode flushed = FlushText();
    if (RylFailed(flushed)) return flushed;
    return writer_->StartElement(name->data, name->length);
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText*, const RylXmlText* name, const RylXmlText* value) override {
    return writer_->WriteAttribute(name->data, name->length, value->data, value->length);
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText*) override {
    const ResultCode flushed = FlushText();
    if (RylFailed(flushed)) return flushed;
    return writer_->EndElement();
  }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    text_.append(text->data, text->length);
    return RYL_OK;
  }

 private:
  ResultCode FlushText() {
    const bool blank = text_.find_first_not_of(L" \t\r\n") == std::wstring::npos;
    const ResultCode written =
        blank ? RYL_OK : writer_->WriteText(text_.data(), static_cast<uint32_t>(text_.size()));
    text_.clear();
    return written;
  }
  RylXmlWriter* writer_;
  std::wstring text_;
};

HANDLE OpenInput(const wchar_t* path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                     nullptr);
}

int Check(RootFactory* root, const wchar_t* path) {
  HANDLE file = OpenInput(path);
  if (file == INVALID_HANDLE_VALUE) return ReportWin32Failure("cannot open " + Utf8(path), GetLastError());
  FileInput input(file);
  Counter counter;
  const ResultCode result = root->ParseXml(&input, &counter, 0);
  CloseHandle(file);
  if (RylFailed(result)) {
    Out("%s: not well-formed: %s (%llu elements before the stop)\n", Utf8(path).c_str(), DescribeResult(result),
        counter.elements);
    return kExitFailed;
  }
  Out("%s: well-formed, %llu elements\n", Utf8(path).c_str(), counter.elements);
  return 0;
}

int Pretty(RootFactory* root, const wchar_t* path) {
  HANDLE file = OpenInput(path);
  if (file == INVALID_HANDLE_VALUE) return ReportWin32Failure("cannot open " + Utf8(path), GetLastError());
  std::fflush(stdout);
  StandardOutputStream output;
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, 1);
  ResultCode result = root->CreateXmlWriter(&receiver, &output);
  if (RylFailed(result)) {
    CloseHandle(file);
    return ReportFailure("cannot create the XML writer", result);
  }
  auto* writer = static_cast<RylXmlWriter*>(object);
  (void)writer->SetFormatting(L"  ", 2, L"\r\n", 2);
  result = writer->WriteDeclaration(L"1.0", 3);
  FileInput input(file);
  Reindenter reindenter(writer);
  if (RylSucceeded(result)) result = root->ParseXml(&input, &reindenter, 0);
  if (RylSucceeded(result)) result = writer->Flush();
  writer->Destroy(&kDefaultHeap);
  CloseHandle(file);
  if (RylFailed(result)) {
    return ReportFailure("cannot rewrite " + Utf8(path), result);
  }
  return 0;
}

}  // namespace

int RunXml(int argc, wchar_t** argv) {
  if (argc < 1) return ReportUsage("xml needs a subcommand", "xml");
  const std::string verb = Utf8(argv[0]);
  if (verb != "check" && verb != "pretty") return ReportUsage("unknown subcommand 'xml " + verb + "'", "xml");
  if (argc != 2) return ReportUsage(argc < 2 ? "missing FILE" : "too many arguments", "xml", verb);
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return ReportFailure("cannot start the module", started);
  return std::wcscmp(argv[0], L"check") == 0 ? Check(session.root(), argv[1]) : Pretty(session.root(), argv[1]);
}

}  // namespace rylcli
