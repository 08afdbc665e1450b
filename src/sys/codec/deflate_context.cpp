#include "sys/codec/deflate_context.h"

#include <zlib.h>

#include <new>

#include "sys/heap.h"

namespace ryl::sys {
namespace {

voidpf ZAlloc(voidpf, uInt items, uInt size) {
  if (size != 0 && items > UINT32_MAX / size) return Z_NULL;
  return DefaultHeapAllocate(static_cast<size_t>(items) * size);
}

void ZFree(voidpf, voidpf block) { DefaultHeapFree(block); }

z_stream* Stream(void* stream) { return static_cast<z_stream*>(stream); }

ResultCode FromZlib(int code) noexcept {
  switch (code) {
    case Z_OK:
    case Z_STREAM_END:
    // No progress was possible; not an error, the caller's counts decide.
    case Z_BUF_ERROR:
      return RYL_OK;
    case Z_MEM_ERROR:
      return RYL_E_OUT_OF_MEMORY;
    case Z_DATA_ERROR:
    case Z_NEED_DICT:
      return RYL_E_BAD_FORMAT;
    case Z_STREAM_ERROR:
      return RYL_E_INVALID_ARG;
    default:
      return RYL_E_INVALID_STATE;
  }
}

}  // namespace

RylDeflateContext::~RylDeflateContext() { End(); }

void RylDeflateContext::End() noexcept {
  if (stream_ == nullptr) return;
  if (compress_) {
    (void)deflateEnd(Stream(stream_));
  } else {
    (void)inflateEnd(Stream(stream_));
  }
  DefaultHeapFree(stream_);
  stream_ = nullptr;
  ReleaseBuffer();
}

ResultCode RylDeflateContext::Initialize(uint32_t bufferSize, bool compress, int32_t level, bool raw) noexcept {
  if (IsInitialized()) return RYL_E_INVALID_STATE;
  if (compress && (level < Z_DEFAULT_COMPRESSION || level > Z_BEST_COMPRESSION)) return RYL_E_INVALID_ARG;
  if (bufferSize == 0) return RYL_E_INVALID_ARG;

  void* memory = DefaultHeapAllocate(sizeof(z_stream));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  z_stream* z = ::new (memory) z_stream();
  z->zalloc = ZAlloc;
  z->zfree = ZFree;
  z->opaque = Z_NULL;
  const int windowBits = raw ? -MAX_WBITS : MAX_WBITS;
  const int rc = compress ? deflateInit2(z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY)
                          : inflateInit2(z, windowBits);
  if (rc != Z_OK) {
    DefaultHeapFree(memory);
    return FromZlib(rc);
  }
  const ResultCode prepared = PrepareBuffer(bufferSize, compress);
  if (prepared < 0) {
    if (compress) {
      (void)deflateEnd(z);
    } else {
      (void)inflateEnd(z);
    }
    DefaultHeapFree(memory);
    return prepared;
  }
  stream_ = z;
  return RYL_OK;
}

ResultCode RylDeflateContext::Compress() noexcept {
  if (stream_ == nullptr || !compress_ || finished_) return RYL_E_INVALID_STATE;
  z_stream* z = Stream(stream_);
  z->next_in = const_cast<Bytef*>(nextIn_);
  z->avail_in = availIn_;
  z->next_out = nextOut_;
  z->avail_out = availOut_;
  const int rc = deflate(z, Z_NO_FLUSH);
  nextIn_ = z->next_in;
  availIn_ = z->avail_in;
  nextOut_ = z->next_out;
  availOut_ = z->avail_out;
  return FromZlib(rc);
}

ResultCode RylDeflateContext::CompressFinish() noexcept {
  if (stream_ == nullptr || !compress_) return RYL_E_INVALID_STATE;
  if (finished_) return RYL_S_END_OF_DATA;
  z_stream* z = Stream(stream_);
  z->next_in = const_cast<Bytef*>(nextIn_);
  z->avail_in = availIn_;
  z->next_out = nextOut_;
  z->avail_out = availOut_;
  const int rc = deflate(z, Z_FINISH);
  nextIn_ = z->next_in;
  availIn_ = z->avail_in;
  nextOut_ = z->next_out;
  availOut_ = z->avail_out;
  if (rc == Z_STREAM_END) {
    finished_ = true;
    return RYL_S_END_OF_DATA;
  }
  return FromZlib(rc);
}

ResultCode RylDeflateContext::Decompress() noexcept {
  if (stream_ == nullptr || compress_) return RYL_E_INVALID_STATE;
  if (endOfStream_ != 0) return RYL_OK;
  z_stream* z = Stream(stream_);
  z->next_in = const_cast<Bytef*>(nextIn_);
  z->avail_in = availIn_;
  z->next_out = nextOut_;
  z->avail_out = availOut_;
  const int rc = inflate(z, Z_NO_FLUSH);
  nextIn_ = z->next_in;
  availIn_ = z->avail_in;
  nextOut_ = z->next_out;
  availOut_ = z->avail_out;
  if (rc == Z_STREAM_END) endOfStream_ = 1;
  return FromZlib(rc);
}

}  // namespace ryl::sys
