// A mapped window of a file. It holds its own mapping, so it outlives the
// stream's SetSize and Close; it tells the stream when it goes, so that the
// last view closes a section the stream no longer needs.
#pragma once

#include "streams/mapped_view_base.h"

namespace ryl::fs {

class FileStreamBase;

class FileMappedView final : public streams::MappedViewBase {
 public:
  FileMappedView() noexcept = default;
  ~FileMappedView();
  FileMappedView(const FileMappedView&) = delete;
  FileMappedView& operator=(const FileMappedView&) = delete;

  void* DeliveredInterface() noexcept { return static_cast<MappedView*>(this); }

  // Records the mapping made for [requestedOffset, +length) at base.
  void Attach(FileStreamBase* owner, void* base, uint32_t slack, uint64_t requestedOffset, uint32_t length,
              uint32_t mappedLength, bool reachesEnd, bool readOnly) noexcept;
  // The stream is going away first: forget it, keep the mapping.
  void DetachOwner() noexcept { owner_ = nullptr; }
  void* mapping_base() const noexcept { return base_; }

  ResultCode RYL_THISCALL Flush() override;
  ResultCode RYL_THISCALL Release() override;
  void RYL_THISCALL Dispose() override { (void)Unmap(); }

  // The stream's list of open views.
  FileMappedView* next = nullptr;
  FileMappedView* previous = nullptr;

 private:
  [[nodiscard]] ResultCode Unmap() noexcept;

  FileStreamBase* owner_ = nullptr;
  void* base_ = nullptr;
  uint32_t mappedLength_ = 0;
};

}  // namespace ryl::fs
