#include "xml_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "hoststreams/host_stream_base.h"
#include "module_session.h"

namespace rylcli {
namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: rylcli xml check FILE    well-formed or not, with the count of elements\n"
               "       rylcli xml pretty FILE   the document written back indented, on standard output\n");
}

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

// Standard output as the writer's destination.
class StandardOutputStream final : public ryl::host::HostStreamBase {
 public:
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
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
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "rylcli: cannot open %ls (error %lu)\n", path, GetLastError());
    return 1;
  }
  FileInput input(file);
  Counter counter;
  const ResultCode result = root->ParseXml(&input, &counter, 0);
  CloseHandle(file);
  if (RylFailed(result)) {
    std::printf("%ls: not well-formed: %s (%llu elements before the stop)\n", path, DescribeResult(result),
                counter.elements);
    return 1;
  }
  std::printf("%ls: well-formed, %llu elements\n", path, counter.elements);
  return 0;
}

int Pretty(RootFactory* root, const wchar_t* path) {
  HANDLE file = OpenInput(path);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "rylcli: cannot open %ls (error %lu)\n", path, GetLastError());
    return 1;
  }
  std::fflush(stdout);
  StandardOutputStream output;
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, 1);
  ResultCode result = root->CreateXmlWriter(&receiver, &output);
  if (RylFailed(result)) {
    CloseHandle(file);
    std::fprintf(stderr, "rylcli: CreateXmlWriter: %s\n", DescribeResult(result));
    return 1;
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
    std::fprintf(stderr, "rylcli: %ls: %s\n", path, DescribeResult(result));
    return 1;
  }
  return 0;
}

}  // namespace

int RunXml(int argc, wchar_t** argv) {
  if (argc != 2 || (std::wcscmp(argv[0], L"check") != 0 && std::wcscmp(argv[0], L"pretty") != 0)) {
    PrintUsage();
    return 2;
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    std::fprintf(stderr, "rylcli: cannot start the module: %s\n", DescribeResult(started));
    return 1;
  }
  return std::wcscmp(argv[0], L"check") == 0 ? Check(session.root(), argv[1]) : Pretty(session.root(), argv[1]);
}

}  // namespace rylcli
