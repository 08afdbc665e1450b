#include "decode_driver.h"

#include <algorithm>

#include "fuzz_check.h"

namespace ryl::fuzz {
namespace {

// A bound on the Read calls per input, so that one-byte reads of a highly
// compressed input do not dominate the run: the first bytes are where the
// buffer and read sizes make a difference.
constexpr size_t kReadCallCap = 16384;
constexpr size_t kOutputCap = size_t{256} << 10;

bool IsPrefix(const std::vector<uint8_t>& prefix, const std::vector<uint8_t>& whole) {
  return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

}  // namespace

DecodeSettings SettingsFromByte(uint8_t selector) noexcept {
  static constexpr uint32_t kBufferSizes[] = {1, 3, 512, 32768};
  static constexpr uint32_t kReadSizes[] = {1, 7, 4096, 65536};
  return {kBufferSizes[selector & 3], kReadSizes[(selector >> 2) & 3], (selector & 0x10) != 0};
}

size_t OutputCap(const DecodeSettings& settings) noexcept {
  return std::min(kOutputCap, kReadCallCap * settings.readSize);
}

DecodeOutcome DecodeAll(SeekableStream* stream, const DecodeSettings& settings) {
  DecodeOutcome outcome;
  std::vector<uint8_t> chunk(settings.readSize);
  const size_t cap = OutputCap(settings);
  for (;;) {
    if (outcome.output.size() >= cap) {
      outcome.capped = true;
      return outcome;
    }
    uint32_t done = 0;
    const ResultCode rc = stream->Read(chunk.data(), settings.readSize, settings.reportDone ? &done : nullptr);
    if (rc < 0) {
      outcome.last = rc;
      return outcome;
    }
    if (settings.reportDone) {
      // Success means something was produced; nothing would never end.
      FUZZ_CHECK(done != 0 && done <= settings.readSize);
    } else {
      done = settings.readSize;
    }
    outcome.output.insert(outcome.output.end(), chunk.begin(), chunk.begin() + done);
  }
}

void CheckAgainstReference(const DecodeOutcome& outcome, const ReferenceResult& reference,
                           const DecodeSettings& settings) {
  // Where either side stopped early, both are prefixes of the whole output.
  if (outcome.capped || reference.end == ReferenceEnd::kLimited) {
    if (outcome.output.size() <= reference.output.size()) {
      FUZZ_CHECK(IsPrefix(outcome.output, reference.output));
    } else {
      FUZZ_CHECK(IsPrefix(reference.output, outcome.output));
    }
    return;
  }
  switch (reference.end) {
    case ReferenceEnd::kComplete:
      FUZZ_CHECK(outcome.last == RYL_E_END_OF_DATA ||
                 (reference.trailing != 0 && outcome.last == RYL_E_TRAILING_DATA));
      FUZZ_CHECK(IsPrefix(outcome.output, reference.output));
      // Without outDone the last partial read's bytes are not counted.
      if (settings.reportDone) {
        FUZZ_CHECK(outcome.output.size() == reference.output.size());
      } else {
        FUZZ_CHECK(reference.output.size() - outcome.output.size() < settings.readSize);
      }
      break;
    case ReferenceEnd::kTruncated:
      FUZZ_CHECK(outcome.last == RYL_E_UNEXPECTED_END);
      FUZZ_CHECK(IsPrefix(outcome.output, reference.output));
      break;
    case ReferenceEnd::kLimited:
      break;
    case ReferenceEnd::kCorrupt:
      FUZZ_CHECK(outcome.last != RYL_E_END_OF_DATA && outcome.last != RYL_E_TRAILING_DATA &&
                 outcome.last != RYL_E_UNEXPECTED_END);
      if (reference.completeBeforeCorruption) {
        FUZZ_CHECK(IsPrefix(outcome.output, reference.output));
      } else if (outcome.output.size() <= reference.output.size()) {
        // Both are still parts of what the data decodes to before it goes
        // wrong: one is the start of the other.
        FUZZ_CHECK(IsPrefix(outcome.output, reference.output));
      } else {
        FUZZ_CHECK(IsPrefix(reference.output, outcome.output));
      }
      break;
  }
}

}  // namespace ryl::fuzz
