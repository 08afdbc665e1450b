// An OutputBuffer the module resizes as it writes a result into it: bytes
// or UTF-16 units, as the operation states.
#pragma once

#include <ryl/ryl.h>

#include <vector>

namespace rylcli {

template <typename Element>
class GrowingOutput {
 public:
  GrowingOutput() {
    record_.callbacks = &kCallbacks;
    record_.context = this;
  }
  GrowingOutput(const GrowingOutput&) = delete;
  GrowingOutput& operator=(const GrowingOutput&) = delete;

  OutputBuffer* get() { return &record_; }
  const Element* data() const { return static_cast<const Element*>(record_.view.data); }
  uint32_t size() const { return record_.view.length; }

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<GrowingOutput*>(context);
    try {
      // Never empty, so that the view's pointer is never null.
      self->storage_.resize(length == 0 ? 1 : length);
    } catch (...) {
      return RYL_E_OUT_OF_MEMORY;
    }
    view->data = self->storage_.data();
    view->length = length;
    return RYL_OK;
  }
  static inline const RylOutputBufferCallbacks kCallbacks = {1, &Resize, nullptr, nullptr, nullptr};
  std::vector<Element> storage_;
  OutputBuffer record_{};
};

using ByteOutput = GrowingOutput<uint8_t>;
using UnitOutput = GrowingOutput<RylChar16>;

}  // namespace rylcli
