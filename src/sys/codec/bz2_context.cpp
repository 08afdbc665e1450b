#include "sys/codec/bz2_context.h"

#include <bzlib.h>

#include <new>

#include "sys/heap.h"

namespace ryl::sys {
namespace {

void* BzAlloc(void*, int items, int size) {
  if (items < 0 || size < 0) return nullptr;
  if (size != 0 && static_cast<uint32_t>(items) > UINT32_MAX / static_cast<uint32_t>(size)) return nullptr;
  return DefaultHeapAllocate(static_cast<size_t>(items) * static_cast<size_t>(size));
}

void BzFree(void*, void* block) { DefaultHeapFree(block); }

bz_stream* Stream(void* stream) { return static_cast<bz_stream*>(stream); }

ResultCode FromBz2(int code) noexcept {
  switch (code) {
    case BZ_OK:
    case BZ_RUN_OK:
    case BZ_FLUSH_OK:
    case BZ_FINISH_OK:
    case BZ_STREAM_END:
      return RYL_OK;
    case BZ_MEM_ERROR:
      return RYL_E_OUT_OF_MEMORY;
    case BZ_DATA_ERROR:
    case BZ_DATA_ERROR_MAGIC:
      return RYL_E_BAD_FORMAT;
    case BZ_PARAM_ERROR:
      return RYL_E_INVALID_ARG;
    default:
      return RYL_E_INVALID_STATE;
  }
}

}  // namespace

RylBZ2Context::~RylBZ2Context() { End(); }

void RylBZ2Context::End() noexcept {
  if (stream_ == nullptr) return;
  if (compress_) {
    (void)BZ2_bzCompressEnd(Stream(stream_));
  } else {
    (void)BZ2_bzDecompressEnd(Stream(stream_));
  }
  DefaultHeapFree(stream_);
  stream_ = nullptr;
  ReleaseBuffer();
}

ResultCode RylBZ2Context::Initialize(uint32_t bufferSize, bool compress, uint8_t level) noexcept {
  if (IsInitialized()) return RYL_E_INVALID_STATE;
  if (compress && level > 9) return RYL_E_INVALID_ARG;
  if (bufferSize == 0) return RYL_E_INVALID_ARG;

  void* memory = DefaultHeapAllocate(sizeof(bz_stream));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  bz_stream* bz = ::new (memory) bz_stream();
  bz->bzalloc = BzAlloc;
  bz->bzfree = BzFree;
  bz->opaque = nullptr;
  const int blockSize = level == 0 ? 9 : level;
  const int rc = compress ? BZ2_bzCompressInit(bz, blockSize, 0, 0) : BZ2_bzDecompressInit(bz, 0, 0);
  if (rc != BZ_OK) {
    DefaultHeapFree(memory);
    return FromBz2(rc);
  }
  const ResultCode prepared = PrepareBuffer(bufferSize, compress);
  if (prepared < 0) {
    if (compress) {
      (void)BZ2_bzCompressEnd(bz);
    } else {
      (void)BZ2_bzDecompressEnd(bz);
    }
    DefaultHeapFree(memory);
    return prepared;
  }
  stream_ = bz;
  return RYL_OK;
}

ResultCode RylBZ2Context::Compress() noexcept {
  if (stream_ == nullptr || !compress_ || finished_) return RYL_E_INVALID_STATE;
  bz_stream* bz = Stream(stream_);
  bz->next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(nextIn_));
  bz->avail_in = availIn_;
  bz->next_out = reinterpret_cast<char*>(nextOut_);
  bz->avail_out = availOut_;
  const int rc = BZ2_bzCompress(bz, BZ_RUN);
  nextIn_ = reinterpret_cast<const uint8_t*>(bz->next_in);
  availIn_ = bz->avail_in;
  nextOut_ = reinterpret_cast<uint8_t*>(bz->next_out);
  availOut_ = bz->avail_out;
  return FromBz2(rc);
}

ResultCode RylBZ2Context::CompressFinish() noexcept {
  if (stream_ == nullptr || !compress_) return RYL_E_INVALID_STATE;
  // libbz2 refuses another finish once the stream is complete.
  if (finished_) return RYL_S_END_OF_DATA;
  bz_stream* bz = Stream(stream_);
  bz->next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(nextIn_));
  bz->avail_in = availIn_;
  bz->next_out = reinterpret_cast<char*>(nextOut_);
  bz->avail_out = availOut_;
  const int rc = BZ2_bzCompress(bz, BZ_FINISH);
  nextIn_ = reinterpret_cast<const uint8_t*>(bz->next_in);
  availIn_ = bz->avail_in;
  nextOut_ = reinterpret_cast<uint8_t*>(bz->next_out);
  availOut_ = bz->avail_out;
  if (rc == BZ_STREAM_END) {
    finished_ = true;
    return RYL_S_END_OF_DATA;
  }
  return FromBz2(rc);
}

ResultCode RylBZ2Context::Decompress() noexcept {
  if (stream_ == nullptr || compress_) return RYL_E_INVALID_STATE;
  // libbz2 refuses to run again after the end marker.
  if (endOfStream_ != 0) return RYL_OK;
  bz_stream* bz = Stream(stream_);
  bz->next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(nextIn_));
  bz->avail_in = availIn_;
  bz->next_out = reinterpret_cast<char*>(nextOut_);
  bz->avail_out = availOut_;
  const int rc = BZ2_bzDecompress(bz);
  nextIn_ = reinterpret_cast<const uint8_t*>(bz->next_in);
  availIn_ = bz->avail_in;
  nextOut_ = reinterpret_cast<uint8_t*>(bz->next_out);
  availOut_ = bz->avail_out;
  if (rc == BZ_STREAM_END) endOfStream_ = 1;
  return FromBz2(rc);
}

}  // namespace ryl::sys
