// bzip2 data (ZIP method 12) through codec::Bzip2Stream over a memory stream,
// read to the end and compared with libbz2's own decompressor.
#include <cstddef>
#include <cstdint>

#include "codec/bzip2_stream.h"
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
  ryl::core::ObjectPtr<ryl::codec::Bzip2Stream> bunzip(ryl::core::MakeObject<ryl::codec::Bzip2Stream>());
  if (!source || !bunzip) return 0;
  FUZZ_CHECK(bunzip->Initialize(source.get(), /*compress=*/false, settings.bufferSize, /*level=*/0) == RYL_OK);

  const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(bunzip.get(), settings);
  const ryl::fuzz::ReferenceResult reference =
      ryl::fuzz::DecompressBzip2(compressed, length, ryl::fuzz::OutputCap(settings));
  ryl::fuzz::CheckAgainstReference(outcome, reference, settings);
  return 0;
}
