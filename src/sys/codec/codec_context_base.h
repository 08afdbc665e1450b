// What the compression streams rely on in both codec contexts: the input and
// output pointers and counts they set between codec calls, the context's own
// I/O buffer, and the end-of-stream byte. The codec classes copy these into
// the library's stream record only around their Compress/Decompress calls, so
// callers can read and set them inline.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

class RylCodecContextBase {
 public:
  RylCodecContextBase(const RylCodecContextBase&) = delete;
  RylCodecContextBase& operator=(const RylCodecContextBase&) = delete;

  void SetNextIn(const uint8_t* next) noexcept { nextIn_ = next; }
  void SetAvailIn(uint32_t count) noexcept { availIn_ = count; }
  const uint8_t* GetNextIn() const noexcept { return nextIn_; }
  uint32_t GetAvailIn() const noexcept { return availIn_; }
  void SetNextOut(uint8_t* next) noexcept { nextOut_ = next; }
  void SetAvailOut(uint32_t count) noexcept { availOut_ = count; }
  uint8_t* GetNextOut() const noexcept { return nextOut_; }
  uint32_t GetAvailOut() const noexcept { return availOut_; }

  // The context's own buffer, fixed in size at initialisation.
  uint8_t* GetBuffer() const noexcept { return buffer_; }
  uint32_t GetBufferSize() const noexcept { return bufferSize_; }
  // The largest input or output count one codec call accepts.
  uint32_t GetMaxAvail() const noexcept { return UINT32_MAX; }

  // Set by Decompress once the end marker of the compressed data has been
  // consumed; whatever input is still available then follows the data.
  bool IsEndOfStream() const noexcept { return endOfStream_ != 0; }
  // True when the input consumed so far is complete in itself, so that its
  // source ending here is the end of the data rather than a truncation: a
  // zstd entry may hold several frames, and only the source's end tells
  // whether another follows the one just finished. Marks the end when so.
  bool EndAtSourceEnd() noexcept {
    if (!atBoundary_ || availIn_ != 0) return false;
    endOfStream_ = 1;
    return true;
  }
  bool IsCompressing() const noexcept { return compress_; }
  bool IsInitialized() const noexcept { return buffer_ != nullptr; }

 protected:
  RylCodecContextBase() noexcept = default;
  ~RylCodecContextBase();

  // Allocates the buffer and sets the pointers the way callers rely on: a
  // compressor's output is the whole buffer; a decompressor has no input.
  [[nodiscard]] ResultCode PrepareBuffer(uint32_t bufferSize, bool compress) noexcept;
  void ReleaseBuffer() noexcept;

  const uint8_t* nextIn_ = nullptr;
  uint32_t availIn_ = 0;
  uint8_t* nextOut_ = nullptr;
  uint32_t availOut_ = 0;
  uint8_t endOfStream_ = 0;
  bool compress_ = false;
  // A compressor whose end-of-stream output is complete; finishing again
  // only reports that.
  bool finished_ = false;
  // Set by a decompressor whose data may end after what it consumed.
  bool atBoundary_ = false;

 private:
  uint8_t* buffer_ = nullptr;
  uint32_t bufferSize_ = 0;
};

}  // namespace ryl::sys
