#include "strings/system_encodings.h"

#include <cstring>

#include "core/result_helpers.h"
#include "sys/heap.h"

namespace ryl::strings {
namespace {

using sys::RylCodePage;

// Room for the largest chunk result plus the system's terminating zero: a
// chunk of 32766 units gives at most 0xFFFF - 1 bytes, whatever the code page
// (the counted-string fields allow no more).
constexpr uint32_t kScratchBytes = 0x10000;

class ScratchBlock {
 public:
  ScratchBlock() = default;
  ~ScratchBlock() { sys::DefaultHeapFree(data_); }
  ScratchBlock(const ScratchBlock&) = delete;
  ScratchBlock& operator=(const ScratchBlock&) = delete;

  void* Get() noexcept {
    if (data_ == nullptr) data_ = sys::DefaultHeapAllocate(kScratchBytes);
    return data_;
  }

 private:
  void* data_ = nullptr;
};

inline bool IsHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }

// The system writes a zero after each chunk's text. While that zero lands
// inside the destination the chunk is converted in place; when the text
// would fill (or overflow) what remains, the chunk goes through scratch space
// sized remaining + 1 and only the text is copied, so the zero never lands
// beyond the caller's buffer. needed is what the chunk converts to.
template <typename Source, typename Target, class Convert>
ResultCode ConvertChunk(const Source* chunk, uint32_t chunkLength, uint32_t needed, Target* destination,
                        uint32_t remaining, ScratchBlock& scratch, Convert convert, uint32_t* outProduced) noexcept {
  if (needed < remaining) return convert(chunk, chunkLength, destination, remaining, outProduced);
  auto* space = static_cast<Target*>(scratch.Get());
  if (space == nullptr) return RYL_E_OUT_OF_MEMORY;
  constexpr uint32_t kScratchElements = kScratchBytes / sizeof(Target);
  const uint32_t capacity = remaining < kScratchElements ? remaining + 1 : kScratchElements;
  uint32_t produced = 0;
  RYL_RETURN_IF_FAILED(convert(chunk, chunkLength, space, capacity, &produced));
  if (produced > remaining) return RYL_E_OUT_OF_RANGE;
  if (produced != 0) std::memcpy(destination, space, size_t{produced} * sizeof(Target));
  *outProduced = produced;
  return RYL_OK;
}

}  // namespace

uint32_t NextChunkFromUtf16(const char16_t* text, uint32_t remaining) noexcept {
  constexpr uint32_t kChunk = sys::kRylCodePageChunkUnits;
  if (remaining <= kChunk) return remaining;
  return IsHighSurrogate(text[kChunk - 1]) ? kChunk - 1 : kChunk;
}

ResultCode MeasureSystemToUtf16(RylCodePage page, const uint8_t* text, uint32_t length,
                                uint32_t* outUnits) noexcept {
  if (outUnits == nullptr || (text == nullptr && length != 0)) return RYL_E_INVALID_ARG;
  if (!sys::RylIsMultibyteCodePage()) {
    *outUnits = length;
    return RYL_OK;
  }
  uint32_t total = 0;  // never more units than bytes
  for (uint32_t offset = 0; offset < length;) {
    const uint32_t left = length - offset;
    const uint32_t chunk = left < sys::kRylCodePageChunkBytes ? left : sys::kRylCodePageChunkBytes;
    total += sys::RylCodePageToUtf16Size(page, text + offset, chunk);
    offset += chunk;
  }
  *outUnits = total;
  return RYL_OK;
}

ResultCode MeasureUtf16ToSystem(RylCodePage page, const char16_t* text, uint32_t units,
                                uint32_t* outBytes) noexcept {
  if (outBytes == nullptr || (text == nullptr && units != 0)) return RYL_E_INVALID_ARG;
  if (!sys::RylIsMultibyteCodePage()) {
    *outBytes = units;
    return RYL_OK;
  }
  uint64_t total = 0;
  for (uint32_t offset = 0; offset < units;) {
    const uint32_t chunk = NextChunkFromUtf16(text + offset, units - offset);
    total += sys::RylUtf16ToCodePageSize(page, text + offset, chunk);
    offset += chunk;
  }
  if (total > UINT32_MAX) return RYL_E_OUT_OF_RANGE;
  *outBytes = static_cast<uint32_t>(total);
  return RYL_OK;
}

ResultCode ConvertSystemToUtf16(RylCodePage page, const uint8_t* text, uint32_t length, char16_t* destination,
                                uint32_t capacity, uint32_t* outProduced) noexcept {
  if (outProduced == nullptr || (text == nullptr && length != 0) || (destination == nullptr && capacity != 0)) {
    return RYL_E_INVALID_ARG;
  }
  const bool multibyte = sys::RylIsMultibyteCodePage();
  const auto convert = [page](const uint8_t* chunk, uint32_t chunkLength, char16_t* target, uint32_t room,
                              uint32_t* produced) {
    return sys::RylCodePageToUtf16(page, chunk, chunkLength, target, room, produced);
  };
  ScratchBlock scratch;
  uint32_t produced = 0;
  for (uint32_t offset = 0; offset < length;) {
    const uint32_t left = length - offset;
    const uint32_t chunk = left < sys::kRylCodePageChunkBytes ? left : sys::kRylCodePageChunkBytes;
    const uint32_t needed = multibyte ? sys::RylCodePageToUtf16Size(page, text + offset, chunk) : chunk;
    uint32_t converted = 0;
    RYL_RETURN_IF_FAILED(ConvertChunk(text + offset, chunk, needed, destination + produced, capacity - produced,
                                      scratch, convert, &converted));
    produced += converted;
    offset += chunk;
  }
  *outProduced = produced;
  return RYL_OK;
}

ResultCode ConvertUtf16ToSystem(RylCodePage page, const char16_t* text, uint32_t units, uint8_t* destination,
                                uint32_t capacity, uint32_t* outProduced) noexcept {
  if (outProduced == nullptr || (text == nullptr && units != 0) || (destination == nullptr && capacity != 0)) {
    return RYL_E_INVALID_ARG;
  }
  const bool multibyte = sys::RylIsMultibyteCodePage();
  const auto convert = [page](const char16_t* chunk, uint32_t chunkLength, uint8_t* target, uint32_t room,
                              uint32_t* produced) {
    return sys::RylUtf16ToCodePage(page, chunk, chunkLength, target, room, produced);
  };
  ScratchBlock scratch;
  uint32_t produced = 0;
  for (uint32_t offset = 0; offset < units;) {
    const uint32_t chunk = NextChunkFromUtf16(text + offset, units - offset);
    const uint32_t needed = multibyte ? sys::RylUtf16ToCodePageSize(page, text + offset, chunk) : chunk;
    uint32_t converted = 0;
    RYL_RETURN_IF_FAILED(ConvertChunk(text + offset, chunk, needed, destination + produced, capacity - produced,
                                      scratch, convert, &converted));
    produced += converted;
    offset += chunk;
  }
  *outProduced = produced;
  return RYL_OK;
}

}  // namespace ryl::strings
