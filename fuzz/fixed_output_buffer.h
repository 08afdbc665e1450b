// An OutputBuffer that cannot grow, as a host passes fixed memory: a
// version-2 table whose Capacity says so and whose Resize refuses to pass it.
#pragma once

#include <cstdint>
#include <vector>

#include "ryl/records.h"

namespace ryl::fuzz {

template <typename Element>
class FixedOutputBuffer {
 public:
  explicit FixedOutputBuffer(uint32_t capacity) : storage_(capacity == 0 ? 1 : capacity), capacity_(capacity) {
    record_ = {&kCallbacks, this, {storage_.data(), 0}};
  }
  FixedOutputBuffer(const FixedOutputBuffer&) = delete;
  FixedOutputBuffer& operator=(const FixedOutputBuffer&) = delete;

  OutputBuffer* Output() noexcept { return &record_; }
  const Element* data() const noexcept { return static_cast<const Element*>(record_.view.data); }
  uint32_t size() const noexcept { return record_.view.length; }

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<FixedOutputBuffer*>(context);
    if (length > self->capacity_) return RYL_E_OUT_OF_MEMORY;
    view->length = length;
    return RYL_OK;
  }
  static ResultCode RYL_CDECL Reserve(RylBufferView*, uint32_t capacity, void* context) {
    return capacity > static_cast<FixedOutputBuffer*>(context)->capacity_ ? RYL_E_OUT_OF_MEMORY : RYL_OK;
  }
  static ResultCode RYL_CDECL Swap(RylBufferView*, const RylOutputBufferCallbacks*, void*, RylBufferView*, void*) {
    return RYL_E_UNSUPPORTED_VERSION;
  }
  static uint32_t RYL_CDECL Capacity(uint8_t* canGrow, void* context) {
    if (canGrow != nullptr) *canGrow = 0;
    return static_cast<FixedOutputBuffer*>(context)->capacity_;
  }
  static constexpr RylOutputBufferCallbacks kCallbacks = {2, Resize, Reserve, Swap, Capacity};

  std::vector<Element> storage_;
  uint32_t capacity_;
  OutputBuffer record_;
};

}  // namespace ryl::fuzz
