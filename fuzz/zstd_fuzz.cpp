// zstd (ZIP method 93) through codec::ZstdStream, both ways.
//
// Decoding: the input's data read to the end through the stream over a
// memory stream and compared with ZSTD_decompressStream over the same bytes.
// Round trip: the same data compressed through the stream at a level and in
// writes the second byte picks, then decoded through the stream again (it
// must give the data back exactly) and by ZSTD_decompress (the frames must
// be libzstd's).
//
// Input: settings byte, round-trip byte, data.
#include <zstd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/zstd_stream.h"
#include "core/object_ptr.h"
#include "decode_driver.h"
#include "fuzz_check.h"
#include "memory_source.h"
#include "reference_decoders.h"
#include "streams/memory_stream.h"

namespace {

using ryl::codec::ZstdStream;
using ryl::core::MakeObject;
using ryl::core::ObjectPtr;
using ryl::sys::RylZstdContext;

// Levels of the fast, greedy and lazy strategies, the default's most. Every
// run sets up a new compressor over fresh memory under the sanitizers, so
// each level costs what its tables' size does: 3 ms for level 1, 70 ms for
// 9, and from 12 up (a streamed frame announces no size that could shrink
// them) tenths of a second to seconds.
constexpr int32_t kLevels[] = {1, 2, 3, 3, 1, 3, 4, 6};
constexpr uint32_t kWriteSizes[] = {1, 5, 1000, 65536};

// The reference's room per call when it may decode whole frames at once.
constexpr size_t kRoomyStep = 65536;

bool EndsAlike(const ryl::fuzz::DecodeOutcome& outcome, const ryl::fuzz::ReferenceResult& reference) {
  switch (reference.end) {
    case ryl::fuzz::ReferenceEnd::kComplete: return outcome.last == RYL_E_END_OF_DATA;
    case ryl::fuzz::ReferenceEnd::kTruncated: return outcome.last == RYL_E_UNEXPECTED_END;
    case ryl::fuzz::ReferenceEnd::kCorrupt:
      return outcome.last != RYL_E_END_OF_DATA && outcome.last != RYL_E_UNEXPECTED_END;
    case ryl::fuzz::ReferenceEnd::kLimited: return true;
  }
  return false;
}

void Decode(const uint8_t* compressed, size_t length, const ryl::fuzz::DecodeSettings& settings) {
  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(compressed, length);
  ObjectPtr<ZstdStream> unzstd(MakeObject<ZstdStream>());
  if (!source || !unzstd) return;
  FUZZ_CHECK(unzstd->Initialize(source.get(), /*compress=*/false, settings.bufferSize, /*level=*/0) == RYL_OK);
  const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(unzstd.get(), settings);
  bool memoryRefused = false;
  ryl::fuzz::ReferenceResult reference =
      ryl::fuzz::DecompressZstd(compressed, length, RylZstdContext::kWindowLogMax, kRoomyStep,
                                ryl::fuzz::OutputCap(settings), &memoryRefused);
  // Where libzstd's one-pass and block-by-block paths judge a frame
  // differently (its declared size, mostly), the library's reads may take
  // either: it has to agree with the one that ends the way it did.
  if (!outcome.capped && reference.end != ryl::fuzz::ReferenceEnd::kLimited && !EndsAlike(outcome, reference)) {
    reference = ryl::fuzz::DecompressZstd(compressed, length, RylZstdContext::kWindowLogMax, 1,
                                          ryl::fuzz::OutputCap(settings), &memoryRefused);
  }
  ryl::fuzz::CheckAgainstReference(outcome, reference, settings);
  if (!outcome.capped && reference.end != ryl::fuzz::ReferenceEnd::kLimited) {
    FUZZ_CHECK((outcome.last == RYL_E_OUT_OF_MEMORY) == memoryRefused);
  }
}

void RoundTrip(const uint8_t* plain, size_t length, uint8_t selector, const ryl::fuzz::DecodeSettings& settings) {
  const int32_t level = kLevels[selector & 7];
  const uint32_t writeSize = kWriteSizes[(selector >> 4) & 3];
  ObjectPtr<ryl::streams::MemoryStream> packed(MakeObject<ryl::streams::MemoryStream>());
  ObjectPtr<ZstdStream> zstd(MakeObject<ZstdStream>());
  if (!packed || !zstd) return;
  FUZZ_CHECK(zstd->Initialize(packed.get(), /*compress=*/true, settings.bufferSize, level) == RYL_OK);
  for (size_t at = 0; at < length;) {
    const auto n = static_cast<uint32_t>(length - at < writeSize ? length - at : writeSize);
    uint32_t done = 0;
    FUZZ_CHECK(zstd->Write(plain + at, n, &done) == RYL_OK);
    FUZZ_CHECK(done == n);
    at += n;
  }
  FUZZ_CHECK(zstd->Close() == RYL_OK);
  FUZZ_CHECK(packed->size() <= ZSTD_compressBound(length));

  // libzstd reads the frames back on its own.
  std::vector<uint8_t> unpacked(length + 1);
  const size_t got = ZSTD_decompress(unpacked.data(), unpacked.size(), packed->data(), packed->size());
  FUZZ_CHECK(!ZSTD_isError(got) && got == length);
  FUZZ_CHECK(std::equal(plain, plain + length, unpacked.begin()));

  // And so does the stream, ending exactly at the frame's end.
  ryl::fuzz::ReferenceResult whole;
  whole.end = ryl::fuzz::ReferenceEnd::kComplete;
  whole.output.assign(plain, plain + length);
  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(packed->data(), packed->size());
  ObjectPtr<ZstdStream> unzstd(MakeObject<ZstdStream>());
  if (!source || !unzstd) return;
  FUZZ_CHECK(unzstd->Initialize(source.get(), /*compress=*/false, settings.bufferSize, /*level=*/0) == RYL_OK);
  const ryl::fuzz::DecodeOutcome outcome = ryl::fuzz::DecodeAll(unzstd.get(), settings);
  FUZZ_CHECK(!outcome.capped);
  ryl::fuzz::CheckAgainstReference(outcome, whole, settings);
}

// Levels outside libzstd's range are the caller's mistake.
void RefusedLevels(const uint8_t* plain, size_t length) {
  ryl::streams::OwnedStream target = ryl::fuzz::MemorySource(plain, length);
  for (const int32_t level : {0, -1, RylZstdContext::kMaxLevel + 1}) {
    ObjectPtr<ZstdStream> zstd(MakeObject<ZstdStream>());
    if (!target || !zstd) return;
    FUZZ_CHECK(zstd->Initialize(target.get(), /*compress=*/true, 512, level) == RYL_E_INVALID_ARG);
    FUZZ_CHECK(!zstd->initialized());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > UINT32_MAX) return 0;
  const ryl::fuzz::DecodeSettings settings = ryl::fuzz::SettingsFromByte(data[0]);
  Decode(data + 2, size - 2, settings);
  RoundTrip(data + 2, size - 2, data[1], settings);
  if (data[1] == 0xFF) RefusedLevels(data + 2, size - 2);
  return 0;
}
