// Where an entry compressed at once keeps its finished bytes until the
// archive is saved: memory while they are few, a delete-on-close temporary
// file once they pass a threshold, so that large entries neither exhaust a
// 32-bit address space nor hit the memory stream's 4 GiB limit.
#pragma once

#include <cstdint>

#include "archive/archive_files.h"
#include "core/object_ptr.h"
#include "streams/memory_stream.h"
#include "streams/owned_stream.h"
#include "streams/positioned_stream.h"

namespace ryl::archive {

class SpillBufferStream final : public streams::PositionedStream<SpillBufferStream> {
 public:
  static constexpr uint64_t kMemoryLimit = 16 * 1024 * 1024;

  // files makes the temporary file when one is needed; without it the
  // buffer stays in memory and refuses to grow past the limit with
  // RYL_E_OUT_OF_MEMORY.
  explicit SpillBufferStream(const ArchiveFiles* files) noexcept : files_(files) {}

  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

  bool spilled() const noexcept { return static_cast<bool>(file_); }

 private:
  // Moves what memory holds into a new temporary file.
  [[nodiscard]] ResultCode Spill() noexcept;
  [[nodiscard]] ResultCode Reserve(uint64_t end) noexcept;
  SeekableStream* active() noexcept { return file_ ? file_.get() : &memory_; }

  const ArchiveFiles* files_;
  streams::MemoryStream memory_;
  streams::OwnedStream file_;
};

}  // namespace ryl::archive
