// Raw deflate (ZIP method 8) through codec::DeflateStream over a memory
// stream, read to the end and compared with zlib's own inflate.
#include <cstddef>
#include <cstdint>

#include "codec/deflate_stream.h"
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
  ryl::core::ObjectPtr<ryl::codec::DeflateStream> inflate(ryl::core::MakeObject<ryl::codec::DeflateStream>());
  if (!source || !inflate) return 0;
  FUZZ_CHECK(inflate->Initialize(source.get(), /*compress=*/false, -1, settings.bufferSize) == RYL_OK);

  const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(inflate.get(), settings);
  const ryl::fuzz::ReferenceResult reference =
      ryl::fuzz::InflateRaw(compressed, length, ryl::fuzz::OutputCap(settings));
  ryl::fuzz::CheckAgainstReference(outcome, reference, settings);
  return 0;
}
