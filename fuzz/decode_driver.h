// Reading a decompressing codec stream to its end the ways the ZIP reader and
// hosts do, and comparing what it delivered with the reference decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reference_decoders.h"
#include "ryl/streams.h"

namespace ryl::fuzz {

struct DecodeSettings {
  uint32_t bufferSize;  // the codec's input buffer
  uint32_t readSize;    // what each Read asks for
  bool reportDone;      // Read with outDone (returns early) or without (fills)
};

// The input's first byte picks the settings; the rest is compressed data.
DecodeSettings SettingsFromByte(uint8_t selector) noexcept;

struct DecodeOutcome {
  std::vector<uint8_t> output;  // what the caller can know it received
  ResultCode last = RYL_OK;     // the result that ended the reading
  bool capped = false;          // stopped at the output cap, not by the stream
};

// The output DecodeAll reads at most (about) before it stops; a reference
// decoder needs no more than this to be compared.
size_t OutputCap(const DecodeSettings& settings) noexcept;

DecodeOutcome DecodeAll(SeekableStream* stream, const DecodeSettings& settings);

// The stream must end where the reference ends, the way the codec stream's
// contract says, with the reference's bytes (or a prefix of them where the
// stream cannot tell the caller about its last bytes or failed).
void CheckAgainstReference(const DecodeOutcome& outcome, const ReferenceResult& reference,
                           const DecodeSettings& settings);

}  // namespace ryl::fuzz
