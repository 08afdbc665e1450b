// xz data (ZIP method 95) through codec::LzmaStream over a memory stream,
// read to the end and compared with liblzma's own stream decoder.
#include <cstddef>
#include <cstdint>

#include "codec/lzma_stream.h"
#include "core/object_ptr.h"
#include "decode_driver.h"
#include "fuzz_check.h"
#include "memory_source.h"
#include "reference_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > UINT32_MAX) return 0;
  const ryl::fuzz::DecodeSettings settings = ryl::fuzz::SettingsFromByte(data[0]);
  const uint8_t* compressed = data + 1;
  const size_t length = size - 1;

  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(compressed, length);
  ryl::core::ObjectPtr<ryl::codec::LzmaStream> unxz(ryl::core::MakeObject<ryl::codec::LzmaStream>());
  if (!source || !unxz) return 0;
  // The size and flag an entry declares do not reach the xz decoder (the
  // stream's own index says it all): any stand for them.
  FUZZ_CHECK(unxz->Initialize(source.get(), ryl::sys::RylLzmaFormat::kXz, length, (data[0] & 0x20) != 0,
                              settings.bufferSize) == RYL_OK);

  const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(unxz.get(), settings);
  bool memoryRefused = false;
  const ryl::fuzz::ReferenceResult reference = ryl::fuzz::DecompressXz(
      compressed, length, ryl::sys::RylLzmaContext::kMemoryLimit, ryl::fuzz::OutputCap(settings), &memoryRefused);
  ryl::fuzz::CheckAgainstReference(outcome, reference, settings);
  if (!outcome.capped && reference.end != ryl::fuzz::ReferenceEnd::kLimited) {
    FUZZ_CHECK((outcome.last == RYL_E_OUT_OF_MEMORY) == memoryRefused);
  }
  return 0;
}
