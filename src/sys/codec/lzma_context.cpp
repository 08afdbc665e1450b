#include "sys/codec/lzma_context.h"

#include <lzma.h>

#include <algorithm>
#include <new>

#include "sys/heap.h"

namespace ryl::sys {
namespace {

void* LzmaAlloc(void*, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return DefaultHeapAllocate(count * size);
}

void LzmaFree(void*, void* block) { DefaultHeapFree(block); }

const lzma_allocator kAllocator = {LzmaAlloc, LzmaFree, nullptr};

lzma_stream* Stream(void* stream) { return static_cast<lzma_stream*>(stream); }

ResultCode FromLzma(lzma_ret code) noexcept {
  switch (code) {
    case LZMA_OK:
    case LZMA_STREAM_END:
    // No progress possible with what it was given: the caller brings more
    // input or room, or finds the source ended and reports the truncation.
    case LZMA_BUF_ERROR:
      return RYL_OK;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
      return RYL_E_OUT_OF_MEMORY;
    case LZMA_FORMAT_ERROR:
    case LZMA_OPTIONS_ERROR:
    case LZMA_DATA_ERROR:
      return RYL_E_BAD_FORMAT;
    default:
      return RYL_E_INVALID_STATE;
  }
}

}  // namespace

RylLzmaContext::~RylLzmaContext() { End(); }

void RylLzmaContext::End() noexcept {
  if (stream_ == nullptr) return;
  lzma_end(Stream(stream_));
  DefaultHeapFree(stream_);
  stream_ = nullptr;
  ReleaseBuffer();
}

ResultCode RylLzmaContext::Initialize(uint32_t bufferSize, RylLzmaFormat format, uint64_t uncompressedSize,
                                      bool endMarker) noexcept {
  if (IsInitialized()) return RYL_E_INVALID_STATE;
  if (bufferSize == 0) return RYL_E_INVALID_ARG;
  void* memory = DefaultHeapAllocate(sizeof(lzma_stream));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  lzma_stream* lz = ::new (memory) lzma_stream(LZMA_STREAM_INIT);
  lz->allocator = &kAllocator;
  if (format == RylLzmaFormat::kXz) {
    const lzma_ret rc = lzma_stream_decoder(lz, kMemoryLimit, 0);
    if (rc != LZMA_OK) {
      DefaultHeapFree(memory);
      return FromLzma(rc);
    }
    started_ = true;
  }
  const ResultCode prepared = PrepareBuffer(bufferSize, false);
  if (prepared < 0) {
    lzma_end(lz);
    DefaultHeapFree(memory);
    return prepared;
  }
  stream_ = lz;
  format_ = format;
  uncompressedSize_ = uncompressedSize;
  endMarker_ = endMarker;
  return RYL_OK;
}

// The header arrives with the data, possibly split over reads.
ResultCode RylLzmaContext::TakeZipHeader() noexcept {
  const uint32_t take = std::min(availIn_, kZipHeaderSize - headerHave_);
  std::copy(nextIn_, nextIn_ + take, header_ + headerHave_);
  headerHave_ += take;
  nextIn_ += take;
  availIn_ -= take;
  if (headerHave_ < kZipHeaderSize) return RYL_OK;
  // Bytes 0-1 name the encoder's version, which does not matter for reading.
  const uint32_t propertiesSize = header_[2] | uint32_t{header_[3]} << 8;
  if (propertiesSize != 5) return RYL_E_BAD_FORMAT;
  return StartRawDecoder();
}

ResultCode RylLzmaContext::StartRawDecoder() noexcept {
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_ret rc = lzma_properties_decode(&filters[0], &kAllocator, header_ + 4, 5);
  if (rc != LZMA_OK) return FromLzma(rc);
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  // With a known size the end marker may follow the last byte or not; with
  // none it must be there.
  const uint64_t decodeTo = endMarker_ ? UINT64_MAX : uncompressedSize_;
  options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
  options->ext_size_low = static_cast<uint32_t>(decodeTo);
  options->ext_size_high = static_cast<uint32_t>(decodeTo >> 32);
  if (uncompressedSize_ != UINT64_MAX) {
    const uint64_t needed = std::max<uint64_t>(uncompressedSize_, LZMA_DICT_SIZE_MIN);
    if (options->dict_size > needed) options->dict_size = static_cast<uint32_t>(needed);
  }
  if (lzma_raw_decoder_memusage(filters) > kMemoryLimit) {
    kAllocator.free(nullptr, options);
    return RYL_E_OUT_OF_MEMORY;
  }
  rc = lzma_raw_decoder(Stream(stream_), filters);
  kAllocator.free(nullptr, options);
  if (rc != LZMA_OK) return FromLzma(rc);
  started_ = true;
  return RYL_OK;
}

ResultCode RylLzmaContext::Decompress() noexcept {
  if (stream_ == nullptr) return RYL_E_INVALID_STATE;
  if (endOfStream_ != 0) return RYL_OK;
  if (!started_) {
    const ResultCode taken = TakeZipHeader();
    if (taken < 0 || !started_) return taken;
  }
  lzma_stream* lz = Stream(stream_);
  lz->next_in = nextIn_;
  lz->avail_in = availIn_;
  lz->next_out = nextOut_;
  lz->avail_out = availOut_;
  const lzma_ret rc = lzma_code(lz, LZMA_RUN);
  nextIn_ = lz->next_in;
  availIn_ = static_cast<uint32_t>(lz->avail_in);
  nextOut_ = lz->next_out;
  availOut_ = static_cast<uint32_t>(lz->avail_out);
  if (rc == LZMA_STREAM_END) endOfStream_ = 1;
  // Data whose end marker the flag did not announce: liblzma 5.4 may refuse
  // the marker after the last byte when the input arrived in pieces. Every
  // byte the entry states has been decoded by then (and the CRC-32 checks
  // them), so what follows in the stream is taken as its end.
  if (rc == LZMA_DATA_ERROR && format_ == RylLzmaFormat::kZipLzma && !endMarker_ &&
      uncompressedSize_ != UINT64_MAX && lz->total_out == uncompressedSize_) {
    endOfStream_ = 1;
    nextIn_ += availIn_;
    availIn_ = 0;
    return RYL_OK;
  }
  return FromLzma(rc);
}

}  // namespace ryl::sys
