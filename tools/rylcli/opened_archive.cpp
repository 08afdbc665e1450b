#include "opened_archive.h"

#include <windows.h>

#include <cstdio>

#include "entry_path_rules.h"
#include "module_session.h"
#include "terminal_text.h"
#include "utf8_text.h"
#include "win32_result.h"

namespace rylcli {
namespace {

// A path that opens a device: the \\.\ form that a bare device name
// becomes when made full, or a last component that names one.
bool NamesDevice(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\.\\") == 0) return true;
  const size_t slash = path.find_last_of(L"\\/");
  return NamesReservedDevice(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

bool Fail(const char* what, ResultCode rc) {
  std::fprintf(stderr, "rylcli: %s: %s\n", what, DescribeResult(rc));
  return false;
}

}  // namespace

OpenedArchive::~OpenedArchive() {
  if (archive_ != nullptr) archive_->Release();
  if (service_ != nullptr) service_->Release();
  if (factory_ != nullptr) factory_->Destroy(&kDefaultHeap);
}

bool OpenedArchive::MakeZipService(RootFactory* root) {
  void* factory = nullptr;
  ObjectReceiver receiver = MakeReceiver(&factory, RYL_VERSION_ARCHIVE_FACTORY);
  ResultCode rc = root->CreateArchiveFactory(&receiver);
  if (RylFailed(rc)) return Fail("CreateArchiveFactory", rc);
  factory_ = static_cast<ArchiveFactory*>(factory);
  rc = factory_->CreateZipService(&service_);
  if (RylFailed(rc)) return Fail("CreateZipService", rc);
  return true;
}

bool OpenedArchive::Open(RootFactory* root, const std::wstring& path) {
  const std::string shown = Printable(path);
  if (NamesDevice(path)) {
    std::fprintf(stderr, "rylcli: '%s' names a device, not an archive\n", shown.c_str());
    return false;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    std::fprintf(stderr, "rylcli: no archive at '%s'\n", shown.c_str());
    return false;
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    std::fprintf(stderr, "rylcli: '%s' is a directory, not an archive\n", shown.c_str());
    return false;
  }
  // The library reads a file shorter than an end record as an empty
  // archive, which is right for a host that is about to fill it; a file
  // to read from is not an archive at all.
  if (data.nFileSizeHigh == 0 && data.nFileSizeLow < 22) {
    std::fprintf(stderr, "rylcli: '%s' is not a ZIP archive (%lu bytes, shorter than any archive)\n", shown.c_str(),
                 static_cast<unsigned long>(data.nFileSizeLow));
    return false;
  }
  if (!MakeZipService(root)) return false;
  const ResultCode rc = service_->OpenArchive(&archive_, path.c_str(), static_cast<uint32_t>(path.size()));
  if (RylFailed(rc)) {
    if (rc == RYL_E_END_OF_DATA) {
      std::fprintf(stderr, "rylcli: '%s' is not a ZIP archive (no end of central directory record)\n",
                   shown.c_str());
      return false;
    }
    return Fail("cannot open the archive", rc);
  }
  if (!audit_.Take(path)) {
    std::fprintf(stderr, "rylcli: cannot read '%s': %s\n", shown.c_str(), DescribeResult(FromWin32(GetLastError())));
    return false;
  }
  audit_.Match(archive_);
  return true;
}

bool OpenedArchive::OpenAgain(RootFactory* root, const std::wstring& path) {
  if (!MakeZipService(root)) return false;
  const ResultCode rc = service_->OpenArchive(&archive_, path.c_str(), static_cast<uint32_t>(path.size()));
  return RylFailed(rc) ? Fail("cannot open the archive again", rc) : true;
}

bool OpenedArchive::Create(RootFactory* root) {
  if (!MakeZipService(root)) return false;
  const ResultCode rc = service_->CreateArchive(&archive_);
  if (RylFailed(rc)) return Fail("CreateArchive", rc);
  return true;
}

}  // namespace rylcli
