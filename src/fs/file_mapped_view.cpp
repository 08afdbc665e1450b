#include "fs/file_mapped_view.h"

#include "core/delivery.h"
#include "fs/file_stream.h"
#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::fs {

FileMappedView::~FileMappedView() { (void)Unmap(); }

void FileMappedView::Attach(FileStreamBase* owner, void* base, uint32_t slack, uint64_t requestedOffset,
                            uint32_t length, uint32_t mappedLength, bool reachesEnd, bool readOnly) noexcept {
  base_ = base;
  mappedLength_ = mappedLength;
  address_ = static_cast<uint8_t*>(base) + slack;
  offset_ = requestedOffset;
  length_ = length;
  reachesEnd_ = reachesEnd;
  readOnly_ = readOnly;
  owner_ = owner;
  owner_->ViewOpened(this);
}

ResultCode RYL_THISCALL FileMappedView::Flush() {
  if (base_ == nullptr) return RYL_OK;
  PVOID base = base_;
  SIZE_T size = mappedLength_;
  IO_STATUS_BLOCK iosb{};
  const NTSTATUS status = NtFlushVirtualMemory(GetCurrentProcess(), &base, &size, &iosb);
  if (status == STATUS_NOT_MAPPED_DATA) return RYL_OK;
  return sys::RylResultFromNtStatus(status);
}

ResultCode FileMappedView::Unmap() noexcept {
  if (base_ == nullptr) return RYL_OK;
  if (!readOnly_) (void)Flush();
  const NTSTATUS status = NtUnmapViewOfSection(GetCurrentProcess(), base_);
  base_ = nullptr;
  address_ = nullptr;
  if (owner_ != nullptr) {
    FileStreamBase* owner = owner_;
    owner_ = nullptr;
    owner->ViewClosed(this);
  }
  return sys::RylResultFromNtStatus(status);
}

ResultCode RYL_THISCALL FileMappedView::Release() {
  const ResultCode unmapped = Unmap();
  core::DestroyDefaultHeapObject(this);
  return unmapped;
}

}  // namespace ryl::fs
