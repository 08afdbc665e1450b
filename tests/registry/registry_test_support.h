// A key object on the fake registry, as a host holds one, and a UTF-16
// output buffer to read names and values into.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "fake_registry.h"
#include "registry/registry_context.h"
#include "registry/registry_key.h"
#include "ryl/registry.h"

namespace ryl::registry::testing {

// Holds a key (or enumerator) and releases it at the end of the scope.
template <typename Holder>
struct Held {
  Holder holder{};
  ~Held() { RylSharedRelease(&holder.control); }
  Holder* operator&() { return &holder; }
};
using HeldKey = Held<RylKeyHolder>;
using HeldEnumerator = Held<RylEnumeratorHolder>;

// A growable buffer of elements of one size behind the OutputBuffer record.
class Output {
 public:
  explicit Output(size_t elementSize) : elementSize_(elementSize) {
    record_.callbacks = &kCallbacks;
    record_.context = this;
    record_.view = {nullptr, 0};
  }
  OutputBuffer* get() { return &record_; }
  std::u16string Text() const {
    return std::u16string(static_cast<const char16_t*>(record_.view.data), record_.view.length);
  }
  std::vector<uint8_t> Bytes() const {
    const auto* data = static_cast<const uint8_t*>(record_.view.data);
    return std::vector<uint8_t>(data, data + record_.view.length);
  }

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<Output*>(context);
    self->storage_.resize(std::max<size_t>(1, length * self->elementSize_));
    view->data = self->storage_.data();
    view->length = length;
    return RYL_OK;
  }
  static inline const RylOutputBufferCallbacks kCallbacks = {1, &Resize, nullptr, nullptr, nullptr};
  size_t elementSize_;
  std::vector<uint8_t> storage_;
  OutputBuffer record_{};
};

inline std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool terminated) {
  std::vector<uint8_t> bytes(text.size() * 2 + (terminated ? 2 : 0), 0);
  std::memcpy(bytes.data(), text.data(), text.size() * 2);
  return bytes;
}

}  // namespace ryl::registry::testing
