// Whole-record reads and writes over a SeekableStream, and a forward reader
// that fetches the stream in large blocks so that walking a directory of tens
// of thousands of headers costs a few dozen system calls rather than two per
// header.
#pragma once

#include <cstdint>
#include <vector>

#include "ryl/streams.h"

namespace ryl::archive {

// Exactly count bytes at the current position, or a failure: the stream's
// own, or RYL_E_END_OF_DATA when it had fewer bytes.
[[nodiscard]] ResultCode ReadExact(SeekableStream* stream, void* buffer, uint32_t count) noexcept;
// The same at an absolute offset (through Seek and Read).
[[nodiscard]] ResultCode ReadExactAt(SeekableStream* stream, uint64_t offset, void* buffer, uint32_t count) noexcept;
// All of count bytes; a stream that takes fewer gives RYL_E_END_OF_DATA.
[[nodiscard]] ResultCode WriteAll(SeekableStream* stream, const void* buffer, uint32_t count) noexcept;
// Seek to an unsigned offset; offsets no signed seek can reach give
// RYL_E_INVALID_SEEK.
[[nodiscard]] ResultCode SeekTo(SeekableStream* stream, uint64_t offset) noexcept;

class BufferedStreamReader {
 public:
  static constexpr uint32_t kBlockSize = 64 * 1024;

  BufferedStreamReader(SeekableStream* stream, uint64_t position) noexcept : stream_(stream), position_(position) {}

  // Exactly count bytes from the reader's position, which then advances. On
  // failure (RYL_E_END_OF_DATA when the stream ends first) the position
  // stays where it was.
  [[nodiscard]] ResultCode Read(void* buffer, uint32_t count) noexcept;

  uint64_t position() const noexcept { return position_; }
  // Moves the logical position only; the next Read fetches from there.
  void set_position(uint64_t position) noexcept { position_ = position; }
  // Moves the underlying stream to the reader's position, so that the
  // caller sees the stream where the reading logically stopped.
  [[nodiscard]] ResultCode SyncStream() noexcept { return SeekTo(stream_, position_); }

 private:
  [[nodiscard]] ResultCode Fill(uint64_t at) noexcept;

  SeekableStream* stream_;
  uint64_t position_;
  std::vector<uint8_t> block_;
  uint64_t blockStart_ = 0;
  uint32_t blockLength_ = 0;
};

}  // namespace ryl::archive
