// The zip commands: list an archive, extract it (all or named entries) into
// a directory, and test it by reading every entry to its end, which makes
// the library check each entry's CRC-32.
#include "zip_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "module_session.h"

namespace rylcli {
namespace {

const AllocatorRecord kDefaultHeap = {nullptr, nullptr};

// Swallows what it is given, counting it: the test command's destination.
class DiscardStream final : public HostStream {
 public:
  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Write(const void*, uint32_t count, uint32_t* outDone) override {
    written += count;
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Tell(uint64_t* out) override {
    *out = written;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t* out) override {
    *out = written;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    if (size < written) written = size;
    return RYL_OK;
  }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}

  uint64_t written = 0;
};

struct Options {
  std::wstring archive;
  std::wstring directory;
  std::wstring password;
  bool hasPassword = false;
  std::vector<std::wstring> names;
};

std::wstring Text(const RylStringView& view) { return std::wstring(view.data, view.length); }

// Names and comments go out as UTF-8: the C runtime's own conversion stops
// at the first character outside the console's code page.
std::string Out(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

const char* MethodName(uint32_t method) {
  switch (method) {
    case RYL_ZIP_METHOD_STORED: return "stored";
    case RYL_ZIP_METHOD_DEFLATE: return "deflate";
    case RYL_ZIP_METHOD_BZIP2: return "bzip2";
    default: return "other";
  }
}

void PrintTime(uint64_t time) {
  FILETIME fileTime;
  fileTime.dwLowDateTime = static_cast<DWORD>(time);
  fileTime.dwHighDateTime = static_cast<DWORD>(time >> 32);
  SYSTEMTIME system;
  if (time == 0 || !FileTimeToSystemTime(&fileTime, &system)) {
    std::printf("%-19s", "-");
    return;
  }
  std::printf("%04u-%02u-%02u %02u:%02u:%02u", system.wYear, system.wMonth, system.wDay, system.wHour,
              system.wMinute, system.wSecond);
}

// An open archive and what it takes to get there; releases in reverse.
class OpenedArchive {
 public:
  ~OpenedArchive() {
    if (archive_ != nullptr) archive_->Release();
    if (service_ != nullptr) service_->Release();
    if (factory_ != nullptr) factory_->Destroy(&kDefaultHeap);
  }

  // The archive must exist: opening would otherwise create an empty file.
  bool Open(RootFactory* root, const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::fprintf(stderr, "rylcli: no archive at '%s'\n", Out(path).c_str());
      return false;
    }
    void* factory = nullptr;
    ObjectReceiver receiver = MakeReceiver(&factory, RYL_VERSION_ARCHIVE_FACTORY);
    ResultCode rc = root->CreateArchiveFactory(&receiver);
    if (RylFailed(rc)) return Fail("CreateArchiveFactory", rc);
    factory_ = static_cast<ArchiveFactory*>(factory);
    rc = factory_->CreateZipService(&service_);
    if (RylFailed(rc)) return Fail("CreateZipService", rc);
    rc = service_->OpenArchive(&archive_, path.c_str(), static_cast<uint32_t>(path.size()));
    if (RylFailed(rc)) return Fail("cannot open the archive", rc);
    return true;
  }

  Archive* archive() const { return archive_; }
  ZipService* service() const { return service_; }

 private:
  static bool Fail(const char* what, ResultCode rc) {
    std::fprintf(stderr, "rylcli: %s: %s\n", what, DescribeResult(rc));
    return false;
  }
  ArchiveFactory* factory_ = nullptr;
  ZipService* service_ = nullptr;
  Archive* archive_ = nullptr;
};

// Calls visit(entry, name) for every entry in directory order.
template <typename Visit>
ResultCode ForEachEntry(Archive* archive, Visit&& visit) {
  EntryEnumerator* enumerator = nullptr;
  ResultCode rc = archive->CreateEnumerator(&enumerator);
  if (RylFailed(rc)) return rc;
  for (;;) {
    ArchiveEntry* entry = nullptr;
    if (RylFailed(enumerator->Current(&entry))) break;
    RylStringView name = {nullptr, 0};
    entry->GetName(&name);
    visit(entry, Text(name));
    if (enumerator->MoveNext() != RYL_OK) break;
  }
  enumerator->Release();
  return RYL_OK;
}

int List(RootFactory* root, const Options& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  Archive* archive = opened.archive();
  RylStringView comment = {nullptr, 0};
  archive->GetComment(&comment);
  if (comment.length != 0) std::printf("comment: %s\n", Out(Text(comment)).c_str());
  std::printf("%12s %12s %-8s %-19s %s\n", "size", "compressed", "method", "modified", "name");
  uint64_t total = 0;
  uint32_t count = 0;
  ForEachEntry(archive, [&](ArchiveEntry* entry, const std::wstring& name) {
    const uint64_t size = entry->GetUncompressedSize();
    total += size;
    ++count;
    std::printf("%12llu %12llu %-8s ", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(entry->GetCompressedSize()), MethodName(entry->GetMethod()));
    PrintTime(entry->GetTime());
    std::printf(" %s%s", Out(name).c_str(), entry->IsEncrypted() ? " (encrypted)" : "");
    RylStringView entryComment = {nullptr, 0};
    entry->GetComment(&entryComment);
    if (entryComment.length != 0) std::printf("  [%s]", Out(Text(entryComment)).c_str());
    std::printf("\n");
  });
  std::printf("%12llu %u entries\n", static_cast<unsigned long long>(total), count);
  return 0;
}

// As the archive matches names: case counts, "\\" and "/" are one.
bool SameEntryName(const std::wstring& given, const std::wstring& stored) {
  if (given.size() != stored.size()) return false;
  for (size_t i = 0; i < given.size(); ++i) {
    const bool separators = (given[i] == L'/' || given[i] == L'\\') && (stored[i] == L'/' || stored[i] == L'\\');
    if (given[i] != stored[i] && !separators) return false;
  }
  return true;
}

bool EnsureDirectories(const std::wstring& path) {
  // Creates every missing directory of path, outermost first.
  for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
    const std::wstring part = at == std::wstring::npos ? path : path.substr(0, at);
    if (!part.empty() && GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CreateDirectoryW(part.c_str(), nullptr)) {
      return false;
    }
    if (at == std::wstring::npos) return true;
  }
}

int Extract(RootFactory* root, const Options& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  std::wstring base = options.directory;
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (!EnsureDirectories(base)) {
    std::fprintf(stderr, "rylcli: cannot create '%s'\n", Out(base).c_str());
    return 1;
  }
  std::vector<bool> found(options.names.size(), false);
  int failures = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    if (!options.names.empty()) {
      bool wanted = false;
      for (size_t i = 0; i < options.names.size(); ++i) {
        if (SameEntryName(options.names[i], name)) wanted = found[i] = true;
      }
      if (!wanted) return;
    }
    if (!IsSafeEntryName(name.c_str(), static_cast<unsigned>(name.size()))) {
      std::fprintf(stderr, "refused: %s (the name leaves the target directory)\n", Out(name).c_str());
      ++failures;
      return;
    }
    std::wstring target = base + L"\\" + name;
    for (wchar_t& c : target) {
      if (c == L'/') c = L'\\';
    }
    if (entry->IsDirectory()) {
      if (!EnsureDirectories(target.substr(0, target.size() - 1))) {
        std::fprintf(stderr, "failed: %s (cannot create the directory)\n", Out(name).c_str());
        ++failures;
      } else {
        std::printf("created: %s\n", Out(name).c_str());
      }
      return;
    }
    const size_t slash = target.rfind(L'\\');
    if (!EnsureDirectories(target.substr(0, slash))) {
      std::fprintf(stderr, "failed: %s (cannot create its directory)\n", Out(name).c_str());
      ++failures;
      return;
    }
    const std::wstring& password = options.password;
    const ResultCode rc = opened.service()->ExtractEntryToFile(
        options.archive.c_str(), static_cast<uint32_t>(options.archive.size()), name.c_str(),
        static_cast<uint32_t>(name.size()), target.c_str(), 0, password.c_str(),
        options.hasPassword ? static_cast<uint32_t>(password.size()) : 0, 0);
    if (RylFailed(rc)) {
      std::fprintf(stderr, "failed: %s: %s\n", Out(name).c_str(), DescribeResult(rc));
      ++failures;
    } else {
      std::printf("extracted: %s\n", Out(name).c_str());
    }
  });
  for (size_t i = 0; i < options.names.size(); ++i) {
    if (!found[i]) {
      std::fprintf(stderr, "not in the archive: %s\n", Out(options.names[i]).c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

int Test(RootFactory* root, const Options& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  int failures = 0;
  uint32_t tested = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    if (entry->IsDirectory()) return;
    if (options.hasPassword) {
      const ResultCode set =
          entry->SetPassword(options.password.c_str(), static_cast<int32_t>(options.password.size()), 0);
      if (RylFailed(set)) {
        std::fprintf(stderr, "FAILED %s: %s\n", Out(name).c_str(), DescribeResult(set));
        ++failures;
        return;
      }
    }
    DiscardStream sink;
    const ResultCode rc = entry->ExtractTo(&sink);
    ++tested;
    if (RylFailed(rc)) {
      std::printf("FAILED %s: %s\n", Out(name).c_str(), DescribeResult(rc));
      ++failures;
    } else {
      std::printf("OK     %s\n", Out(name).c_str());
    }
  });
  std::printf("%u entries tested, %d failed\n", tested, failures);
  return failures == 0 ? 0 : 1;
}

void PrintUsage() {
  std::fprintf(stderr,
               "usage: rylcli zip list ARCHIVE\n"
               "       rylcli zip extract [-p PASSWORD] ARCHIVE DIRECTORY [NAME...]\n"
               "       rylcli zip test [-p PASSWORD] ARCHIVE\n");
}

}  // namespace

bool IsSafeEntryName(const wchar_t* name, unsigned length) {
  if (length == 0) return false;
  if (name[0] == L'/' || name[0] == L'\\') return false;  // absolute or UNC
  unsigned start = 0;
  for (unsigned i = 0; i <= length; ++i) {
    if (i < length && name[i] == L':') return false;  // drive letter or stream name
    if (i == length || name[i] == L'/' || name[i] == L'\\') {
      if (i - start == 2 && name[start] == L'.' && name[start + 1] == L'.') return false;
      start = i + 1;
    }
  }
  return true;
}

int RunZip(int argc, wchar_t** argv) {
  if (argc < 1) {
    PrintUsage();
    return 2;
  }
  const std::wstring command = argv[0];
  Options options;
  std::vector<std::wstring> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"-p") == 0 && i + 1 < argc) {
      options.password = argv[++i];
      options.hasPassword = true;
    } else {
      positional.emplace_back(argv[i]);
    }
  }
  const bool isExtract = command == L"extract";
  if ((command != L"list" && command != L"test" && !isExtract) || positional.empty() ||
      (isExtract && positional.size() < 2) || (!isExtract && positional.size() != 1)) {
    PrintUsage();
    return 2;
  }
  options.archive = positional[0];
  if (isExtract) {
    options.directory = positional[1];
    options.names.assign(positional.begin() + 2, positional.end());
  }
  // The module takes full paths; a relative archive path is the host's to resolve.
  wchar_t full[MAX_PATH * 4];
  if (GetFullPathNameW(options.archive.c_str(), MAX_PATH * 4, full, nullptr) != 0) options.archive = full;
  if (isExtract && GetFullPathNameW(options.directory.c_str(), MAX_PATH * 4, full, nullptr) != 0) {
    options.directory = full;
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    std::fprintf(stderr, "rylcli: cannot start the module: %s\n", DescribeResult(started));
    return 1;
  }
  if (command == L"list") return List(session.root(), options);
  if (command == L"test") return Test(session.root(), options);
  return Extract(session.root(), options);
}

}  // namespace rylcli
