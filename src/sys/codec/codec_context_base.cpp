#include "sys/codec/codec_context_base.h"

#include "sys/heap.h"

namespace ryl::sys {

RylCodecContextBase::~RylCodecContextBase() { ReleaseBuffer(); }

ResultCode RylCodecContextBase::PrepareBuffer(uint32_t bufferSize, bool compress) noexcept {
  if (bufferSize == 0) return RYL_E_INVALID_ARG;
  void* buffer = DefaultHeapAllocate(bufferSize);
  if (buffer == nullptr) return RYL_E_OUT_OF_MEMORY;
  buffer_ = static_cast<uint8_t*>(buffer);
  bufferSize_ = bufferSize;
  compress_ = compress;
  finished_ = false;
  endOfStream_ = 0;
  atBoundary_ = false;
  nextIn_ = nullptr;
  availIn_ = 0;
  nextOut_ = compress ? buffer_ : nullptr;
  availOut_ = compress ? bufferSize : 0;
  return RYL_OK;
}

void RylCodecContextBase::ReleaseBuffer() noexcept {
  DefaultHeapFree(buffer_);
  buffer_ = nullptr;
  bufferSize_ = 0;
}

}  // namespace ryl::sys
