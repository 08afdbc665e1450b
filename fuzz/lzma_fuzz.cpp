// ZIP's LZMA (method 14) through codec::LzmaStream over a memory stream,
// read to the end and compared with liblzma's .lzma decoder over the same
// data. The uncompressed size the entry declares and its end-marker flag
// come from the input too, so that both the size-bounded and the
// end-marker paths are taken.
//
// Input: settings byte (bits 0-4 as decode_driver.h reads them, bit 5 the
// end-marker flag), declared size (4 bytes, little-endian; all ones for an
// unknown size), then the entry's data as ZIP stores it.
#include <cstddef>
#include <cstdint>

#include "codec/lzma_stream.h"
#include "core/object_ptr.h"
#include "decode_driver.h"
#include "fuzz_check.h"
#include "memory_source.h"
#include "reference_decoders.h"

namespace {

constexpr size_t kPrefix = 5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kPrefix || size > UINT32_MAX) return 0;
  const ryl::fuzz::DecodeSettings settings = ryl::fuzz::SettingsFromByte(data[0]);
  const uint32_t declared = data[1] | uint32_t{data[2]} << 8 | uint32_t{data[3]} << 16 | uint32_t{data[4]} << 24;
  const uint64_t uncompressedSize = declared == UINT32_MAX ? UINT64_MAX : declared;
  const bool endMarker = (data[0] & 0x20) != 0;
  const uint8_t* compressed = data + kPrefix;
  const size_t length = size - kPrefix;

  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(compressed, length);
  ryl::core::ObjectPtr<ryl::codec::LzmaStream> unlzma(ryl::core::MakeObject<ryl::codec::LzmaStream>());
  if (!source || !unlzma) return 0;
  FUZZ_CHECK(unlzma->Initialize(source.get(), ryl::sys::RylLzmaFormat::kZipLzma, uncompressedSize, endMarker,
                                settings.bufferSize) == RYL_OK);

  const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(unlzma.get(), settings);
  bool memoryRefused = false;
  const ryl::fuzz::ReferenceResult reference =
      ryl::fuzz::DecompressZipLzma(compressed, length, uncompressedSize, endMarker, ryl::sys::RylLzmaContext::kMemoryLimit,
                                   settings.bufferSize, ryl::fuzz::OutputCap(settings), &memoryRefused);
  ryl::fuzz::CheckAgainstReference(outcome, reference, settings);
  // Both measure the decoder's memory the same way: a refusal for memory is
  // the library's only way to say so, and nothing else is.
  if (!outcome.capped && reference.end != ryl::fuzz::ReferenceEnd::kLimited) {
    FUZZ_CHECK((outcome.last == RYL_E_OUT_OF_MEMORY) == memoryRefused);
  }
  // Data decoded up to its size cannot produce more than it declared.
  if (uncompressedSize != UINT64_MAX && !endMarker) FUZZ_CHECK(outcome.output.size() <= uncompressedSize);
  return 0;
}
