#include "opened_archive.h"

#include <windows.h>

#include <cstdio>

#include "module_session.h"
#include "utf8_text.h"

namespace rylcli {
namespace {

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
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "rylcli: no archive at '%s'\n", Utf8(path).c_str());
    return false;
  }
  if (!MakeZipService(root)) return false;
  const ResultCode rc = service_->OpenArchive(&archive_, path.c_str(), static_cast<uint32_t>(path.size()));
  if (RylFailed(rc)) return Fail("cannot open the archive", rc);
  return true;
}

bool OpenedArchive::Create(RootFactory* root) {
  if (!MakeZipService(root)) return false;
  const ResultCode rc = service_->CreateArchive(&archive_);
  if (RylFailed(rc)) return Fail("CreateArchive", rc);
  return true;
}

}  // namespace rylcli
