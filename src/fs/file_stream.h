// A stream over a native file handle: positioned reads and writes with
// explicit offsets, a size cache for files nobody can change under us, and
// memory-mapped views through one reusable section.
#pragma once

#include <cstdint>

#include "core/result_helpers.h"
#include "sys/scoped_handle.h"
#include "ryl/streams.h"
#include "streams/positioned_stream.h"

namespace ryl::fs {

class FileMappedView;

// Open dispositions.
enum FileDisposition : uint32_t {
  kCreateNew = 0,
  kCreateOrTruncate = 1,
  kOpenExisting = 2,
  kOpenOrCreate = 3,
  kTruncateExisting = 4,
  kOpenOrCreateForAppend = 5,
};

// Access bits and option bits of Open.
inline constexpr uint32_t kAccessRead = 1;
inline constexpr uint32_t kAccessWrite = 2;
inline constexpr uint32_t kOptionDeleteOnClose = 1;
inline constexpr uint32_t kOptionAsynchronous = 2;
inline constexpr uint32_t kOptionRandomAccess = 4;
inline constexpr uint32_t kOptionSequential = 8;

class FileStreamBase : public streams::PositionedStream<FileStreamBase>, public PersistentStream, public HandleAccess {
 public:
  static constexpr uint32_t kHighestVersion = 1;

  FileStreamBase() noexcept = default;
  ~FileStreamBase();
  FileStreamBase(const FileStreamBase&) = delete;
  FileStreamBase& operator=(const FileStreamBase&) = delete;

  // path is zero-terminated; the third argument is not used.
  [[nodiscard]] ResultCode Open(const char16_t* path, uint32_t disposition, uint32_t ignored, uint32_t access,
                                uint32_t share, uint32_t options) noexcept;

  // Slot 0 of all three tables: 33 the stream, 32 and 40 its parts.
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                              uint8_t readOnly) override;
  void RYL_THISCALL Dispose() override { (void)Close(); }
  ResultCode RYL_THISCALL Close() override;
  uint8_t RYL_THISCALL IsOpen() override;
  uint8_t RYL_THISCALL IsAsynchronous() override { return asynchronous_ ? 1 : 0; }
  uint8_t RYL_THISCALL CanRead() override { return IsOpen() && (access_ & kAccessRead) != 0; }
  uint8_t RYL_THISCALL CanWrite() override { return IsOpen() && (access_ & kAccessWrite) != 0; }

  uint8_t RYL_THISCALL CanSaveState(uint32_t format) override { return 1; }
  ResultCode RYL_THISCALL SaveState(SeekableStream* writer, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL LoadState(SeekableStream* reader, RylHandleMarshaller* marshaller) override;

  ResultCode RYL_THISCALL GetHandle(uint64_t* outHandle) override;
  ResultCode RYL_THISCALL Unsupported() override { return RYL_E_UNSUPPORTED_VERSION; }

  // For views: registration, and closing the section when the last one goes.
  void ViewOpened(FileMappedView* view) noexcept;
  void ViewClosed(FileMappedView* view) noexcept;
  uint32_t open_views() const noexcept { return openViews_; }
  bool size_cache_allowed() const noexcept { return sizeCacheAllowed_; }

 protected:
  // The handle and access a derived stream sets up itself (temporary files).
  void Adopt(sys::ScopedFileHandle handle, uint32_t access, bool sizeCacheAllowed) noexcept;
  void* file_handle() const noexcept { return file_.get(); }
  // Takes the file handle away without closing it.
  [[nodiscard]] sys::ScopedFileHandle DetachFile() noexcept;
  [[nodiscard]] ResultCode SaveCommonState(SeekableStream* writer, RylHandleMarshaller* marshaller,
                                           uint16_t marker) noexcept;
  [[nodiscard]] ResultCode LoadCommonState(SeekableStream* reader, RylHandleMarshaller* marshaller,
                                           uint16_t marker) noexcept;
  [[nodiscard]] ResultCode CloseSection() noexcept;
  void SetAsynchronous(bool asynchronous) noexcept { asynchronous_ = asynchronous; }

 private:
  sys::ScopedFileHandle file_;
  sys::ScopedHandle section_;
  bool sizeCacheAllowed_ = false;
  bool sectionReadOnly_ = false;
  uint32_t access_ = 0;
  uint32_t openViews_ = 0;
  uint64_t sectionSize_ = 0;
  bool cachedSizeValid_ = false;
  uint64_t cachedSize_ = 0;
  bool asynchronous_ = false;
  uint64_t reserved_ = 0;  // carried through exported state unchanged
  FileMappedView* views_ = nullptr;
};

class FileStream final : public FileStreamBase {
 public:
  static constexpr uint16_t kStateMarker = 4;

  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL SaveState(SeekableStream* writer, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL LoadState(SeekableStream* reader, RylHandleMarshaller* marshaller) override;
};

}  // namespace ryl::fs
