#include "sys/codec/zstd_context.h"

// The allocator hooks are in libzstd's advanced interface, stable across the
// pinned version that the module links statically.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>
#include <zstd_errors.h>

#include <climits>

#include "sys/heap.h"

namespace ryl::sys {
namespace {

void* ZstdAlloc(void*, size_t size) { return DefaultHeapAllocate(size); }
void ZstdFree(void*, void* block) { DefaultHeapFree(block); }
const ZSTD_customMem kAllocator = {ZstdAlloc, ZstdFree, nullptr};

ZSTD_CCtx* Compressor(void* context) { return static_cast<ZSTD_CCtx*>(context); }
ZSTD_DCtx* Decompressor(void* context) { return static_cast<ZSTD_DCtx*>(context); }

ResultCode FromZstd(size_t code) noexcept {
  if (!ZSTD_isError(code)) return RYL_OK;
  switch (ZSTD_getErrorCode(code)) {
    case ZSTD_error_memory_allocation:
    case ZSTD_error_frameParameter_windowTooLarge:
      return RYL_E_OUT_OF_MEMORY;
    case ZSTD_error_parameter_unsupported:
    case ZSTD_error_parameter_outOfBound:
      return RYL_E_INVALID_ARG;
    default:
      return RYL_E_BAD_FORMAT;
  }
}

}  // namespace

RylZstdContext::~RylZstdContext() { End(); }

void RylZstdContext::End() noexcept {
  if (compressor_ != nullptr) (void)ZSTD_freeCCtx(Compressor(compressor_));
  if (decompressor_ != nullptr) (void)ZSTD_freeDCtx(Decompressor(decompressor_));
  compressor_ = nullptr;
  decompressor_ = nullptr;
  ReleaseBuffer();
}

namespace {

// The level's parameters for the expected size, with the compressor's
// memory bounded as the header describes.
ResultCode SetCompressionParameters(ZSTD_CCtx* cctx, int32_t level, uint64_t sizeHint) noexcept {
  ResultCode rc = FromZstd(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level));
  const bool known = sizeHint != UINT64_MAX;
  const int hint = static_cast<int>(sizeHint < INT_MAX ? sizeHint : INT_MAX);
  if (rc >= 0 && known) rc = FromZstd(ZSTD_CCtx_setParameter(cctx, ZSTD_c_srcSizeHint, hint));
  const ZSTD_compressionParameters chosen = ZSTD_getCParams(level, known ? sizeHint : 0, 0);
  if (rc >= 0 && chosen.windowLog > RylZstdContext::kCompressWindowLogMax) {
    rc = FromZstd(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, RylZstdContext::kCompressWindowLogMax));
  }
  if (rc >= 0 && chosen.chainLog > RylZstdContext::kCompressChainLogMax) {
    rc = FromZstd(ZSTD_CCtx_setParameter(cctx, ZSTD_c_chainLog, RylZstdContext::kCompressChainLogMax));
  }
  if (rc >= 0 && chosen.hashLog > RylZstdContext::kCompressHashLogMax) {
    rc = FromZstd(ZSTD_CCtx_setParameter(cctx, ZSTD_c_hashLog, RylZstdContext::kCompressHashLogMax));
  }
  return rc;
}

}  // namespace

ResultCode RylZstdContext::Initialize(uint32_t bufferSize, bool compress, int32_t level, uint64_t sizeHint) noexcept {
  if (IsInitialized()) return RYL_E_INVALID_STATE;
  if (bufferSize == 0 || (compress && (level < 1 || level > kMaxLevel))) return RYL_E_INVALID_ARG;
  if (compress) {
    ZSTD_CCtx* cctx = ZSTD_createCCtx_advanced(kAllocator);
    if (cctx == nullptr) return RYL_E_OUT_OF_MEMORY;
    // No checksum: it would duplicate the entry's CRC-32.
    const ResultCode set = SetCompressionParameters(cctx, level, sizeHint);
    if (set < 0) {
      (void)ZSTD_freeCCtx(cctx);
      return set;
    }
    compressor_ = cctx;
  } else {
    ZSTD_DCtx* dctx = ZSTD_createDCtx_advanced(kAllocator);
    if (dctx == nullptr) return RYL_E_OUT_OF_MEMORY;
    const ResultCode set = FromZstd(ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, kWindowLogMax));
    if (set < 0) {
      (void)ZSTD_freeDCtx(dctx);
      return set;
    }
    decompressor_ = dctx;
  }
  const ResultCode prepared = PrepareBuffer(bufferSize, compress);
  if (prepared < 0) {
    End();
    return prepared;
  }
  return RYL_OK;
}

ResultCode RylZstdContext::Compress() noexcept {
  if (compressor_ == nullptr || finished_) return RYL_E_INVALID_STATE;
  ZSTD_inBuffer in = {nextIn_, availIn_, 0};
  ZSTD_outBuffer out = {nextOut_, availOut_, 0};
  const size_t rc = ZSTD_compressStream2(Compressor(compressor_), &out, &in, ZSTD_e_continue);
  nextIn_ += in.pos;
  availIn_ -= static_cast<uint32_t>(in.pos);
  nextOut_ += out.pos;
  availOut_ -= static_cast<uint32_t>(out.pos);
  return FromZstd(rc);
}

ResultCode RylZstdContext::CompressFinish() noexcept {
  if (compressor_ == nullptr) return RYL_E_INVALID_STATE;
  if (finished_) return RYL_S_END_OF_DATA;
  ZSTD_inBuffer in = {nextIn_, availIn_, 0};
  ZSTD_outBuffer out = {nextOut_, availOut_, 0};
  const size_t rc = ZSTD_compressStream2(Compressor(compressor_), &out, &in, ZSTD_e_end);
  nextIn_ += in.pos;
  availIn_ -= static_cast<uint32_t>(in.pos);
  nextOut_ += out.pos;
  availOut_ -= static_cast<uint32_t>(out.pos);
  if (ZSTD_isError(rc)) return FromZstd(rc);
  if (rc != 0) return RYL_OK;
  finished_ = true;
  return RYL_S_END_OF_DATA;
}

ResultCode RylZstdContext::Decompress() noexcept {
  if (decompressor_ == nullptr) return RYL_E_INVALID_STATE;
  if (endOfStream_ != 0) return RYL_OK;
  ZSTD_inBuffer in = {nextIn_, availIn_, 0};
  ZSTD_outBuffer out = {nextOut_, availOut_, 0};
  const size_t rc = ZSTD_decompressStream(Decompressor(decompressor_), &out, &in);
  nextIn_ += in.pos;
  availIn_ -= static_cast<uint32_t>(in.pos);
  nextOut_ += out.pos;
  availOut_ -= static_cast<uint32_t>(out.pos);
  if (ZSTD_isError(rc)) return FromZstd(rc);
  // 0: a frame is complete and flushed. Another may follow in the input; if
  // the input is used up, only the source can say. A call that took nothing
  // and gave nothing leaves the boundary where it was: the stream asks once
  // more after a read that filled its caller's buffer with the frame's last
  // byte, and libzstd answers that with the next frame's header size
  // without having started one.
  if (rc == 0 || in.pos != 0 || out.pos != 0) atBoundary_ = rc == 0;
  return RYL_OK;
}

}  // namespace ryl::sys
