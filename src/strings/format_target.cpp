#include "strings/format_target.h"

#include <cstring>


namespace ryl::strings {

template <typename Char>
ResultCode FormatTarget<Char>::Flush() noexcept {
  if (used_ == 0) return RYL_OK;
  const uint32_t count = used_;
  used_ = 0;
  return destination_(context_, stage_, count);
}

template <typename Char>
ResultCode FormatTarget<Char>::Append(const Char* text, uint32_t count) noexcept {
  if (count == 0) return RYL_OK;  // an empty conversion may have no storage at all
  if (count <= kStage - used_) {
    std::memcpy(stage_ + used_, text, size_t{count} * sizeof(Char));
    used_ += count;
    return RYL_OK;
  }
  const ResultCode flushed = Flush();
  if (flushed < 0) return flushed;
  if (count < kStage) {
    std::memcpy(stage_, text, size_t{count} * sizeof(Char));
    used_ = count;
    return RYL_OK;
  }
  return destination_(context_, text, count);
}

template <typename Char>
ResultCode FormatTarget<Char>::AppendAscii(const char* text, uint32_t count) noexcept {
  if constexpr (sizeof(Char) == 1) {
    return Append(text, count);
  } else {
    while (count != 0) {
      if (used_ == kStage) {
        const ResultCode flushed = Flush();
        if (flushed < 0) return flushed;
      }
      const uint32_t chunk = count < kStage - used_ ? count : kStage - used_;
      for (uint32_t i = 0; i < chunk; ++i) stage_[used_ + i] = static_cast<unsigned char>(text[i]);
      used_ += chunk;
      text += chunk;
      count -= chunk;
    }
    return RYL_OK;
  }
}

template <typename Char>
ResultCode FormatTarget<Char>::Repeat(Char unit, uint32_t count) noexcept {
  while (count != 0) {
    if (used_ == kStage) {
      const ResultCode flushed = Flush();
      if (flushed < 0) return flushed;
    }
    const uint32_t chunk = count < kStage - used_ ? count : kStage - used_;
    for (uint32_t i = 0; i < chunk; ++i) stage_[used_ + i] = unit;
    used_ += chunk;
    count -= chunk;
  }
  return RYL_OK;
}

template <typename Char>
ResultCode FormatTarget<Char>::Finish() noexcept {
  return Flush();
}

ResultCode WriteToNarrowSink(void* sink, const char* text, uint32_t count) noexcept {
  return static_cast<RylNarrowSink*>(sink)->Write(text, text + count);
}

ResultCode WriteToWideSink(void* sink, const char16_t* text, uint32_t count) noexcept {
  const auto* first = reinterpret_cast<const RylChar16*>(text);
  return static_cast<RylWideSink*>(sink)->Write(first, first + count);
}

template class FormatTarget<char>;
template class FormatTarget<char16_t>;

}  // namespace ryl::strings
