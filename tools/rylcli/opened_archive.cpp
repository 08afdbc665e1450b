#include "opened_archive.h"

#include <windows.h>

#include <cstdio>

#include "cli_output.h"
#include "entry_path_rules.h"
#include "failure.h"
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

bool Fail(const std::string& what, ResultCode rc) {
  ReportFailure(what, rc);
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
    return Fail("'" + shown + "' names a device, not an archive", RYL_E_INVALID_PATH);
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    return Fail("no archive at '" + shown + "'", FromWin32(GetLastError()));
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Fail("'" + shown + "' is a directory, not an archive", FromWin32(ERROR_DIRECTORY));
  }
  // The library reads a file shorter than an end record as an empty
  // archive, which is right for a host that is about to fill it; a file
  // to read from is not an archive at all.
  if (data.nFileSizeHigh == 0 && data.nFileSizeLow < 22) {
    return Fail("'" + shown + "' is not a ZIP archive (" + std::to_string(data.nFileSizeLow) +
                    " bytes, shorter than any archive)",
                RYL_E_BAD_FORMAT);
  }
  if (!MakeZipService(root)) return false;
  const ResultCode rc = service_->OpenArchive(&archive_, path.c_str(), static_cast<uint32_t>(path.size()));
  if (RylFailed(rc)) {
    if (rc == RYL_E_END_OF_DATA) {
      return Fail("'" + shown + "' is not a ZIP archive (no end of central directory record)", rc);
    }
    return Fail("cannot open the archive '" + shown + "'", rc);
  }
  if (!audit_.Take(path)) {
    return Fail("cannot read '" + shown + "'", FromWin32(GetLastError()));
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
