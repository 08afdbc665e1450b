// LZMA and xz decompression over liblzma, the codecs behind ZIP methods 14
// and 95. Decompression only: the library writes neither.
#pragma once

#include <cstdint>

#include "sys/codec/codec_context_base.h"

namespace ryl::sys {

enum class RylLzmaFormat : uint8_t {
  // ZIP's form of LZMA: a 4-byte header (the encoder's version, the length
  // of the properties, which must be 5), the 5 property bytes, then the raw
  // LZMA data, with or without an end marker.
  kZipLzma,
  // A complete .xz stream with its index and footer.
  kXz,
};

class RylLzmaContext final : public RylCodecContextBase {
 public:
  // The most memory one decoder may take. LZMA's dictionary is named by the
  // data itself (up to 4 GiB), so a few hostile bytes could otherwise ask a
  // 32-bit process for all it has; 7-Zip's and xz's strongest presets stay
  // well below this.
  static constexpr uint64_t kMemoryLimit = 320ull << 20;

  RylLzmaContext() noexcept = default;
  ~RylLzmaContext();

  // uncompressedSize: what the data must decode to, or UINT64_MAX when
  // unknown. Knowing it bounds LZMA's dictionary, which never needs to reach
  // further back than the data is long. endMarker: the LZMA data says it
  // ends in an end marker (ZIP's flag bit 1); it is then decoded up to the
  // marker, which must be there, and otherwise up to the size, with a
  // marker after the last byte tolerated. (liblzma 5.4 refuses valid data
  // that has both a known size and a marker when its input arrives in
  // pieces, so a marker the flag announces is never paired with the size,
  // and one it does not announce ends the data once the size is reached.)
  // A context is initialised once; a second call is RYL_E_INVALID_STATE.
  [[nodiscard]] ResultCode Initialize(uint32_t bufferSize, RylLzmaFormat format, uint64_t uncompressedSize,
                                      bool endMarker) noexcept;

  // The stream template's compressing side: never initialised for it here.
  [[nodiscard]] ResultCode Compress() noexcept { return RYL_E_INVALID_STATE; }
  [[nodiscard]] ResultCode CompressFinish() noexcept { return RYL_E_INVALID_STATE; }

  // Damaged data or a malformed header is RYL_E_BAD_FORMAT; data that needs
  // more memory than kMemoryLimit is RYL_E_OUT_OF_MEMORY. Sets the
  // end-of-stream byte once the data's end has been consumed.
  [[nodiscard]] ResultCode Decompress() noexcept;

 private:
  [[nodiscard]] ResultCode TakeZipHeader() noexcept;
  [[nodiscard]] ResultCode StartRawDecoder() noexcept;
  void End() noexcept;

  static constexpr uint32_t kZipHeaderSize = 9;
  void* stream_ = nullptr;  // liblzma's stream record
  RylLzmaFormat format_ = RylLzmaFormat::kXz;
  uint64_t uncompressedSize_ = UINT64_MAX;
  bool endMarker_ = false;
  uint8_t header_[kZipHeaderSize] = {};
  uint32_t headerHave_ = 0;
  bool started_ = false;
};

}  // namespace ryl::sys
