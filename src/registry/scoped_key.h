// A key handle for the length of one operation: closed on the way out when
// the operation opened it itself (a resolved current-user root, a
// counterpart, a reopened key).
#pragma once

#include "registry/registry_context.h"

namespace ryl::registry {

class ScopedKey {
 public:
  explicit ScopedKey(RegistryContext& context) noexcept : context_(context) {}
  ~ScopedKey() { Reset(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  void Reset(KeyHandle handle = nullptr, bool owned = false) noexcept {
    if (owned_ && handle_ != nullptr) context_.CloseHandle(handle_);
    handle_ = handle;
    owned_ = owned;
  }
  KeyHandle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

 private:
  RegistryContext& context_;
  KeyHandle handle_ = nullptr;
  bool owned_ = false;
};

inline const char16_t* Units(const RylChar16* text) noexcept { return reinterpret_cast<const char16_t*>(text); }

inline KeyName NameArgument(const RylChar16* text, uint32_t length) noexcept {
  return KeyName{Units(text), text == nullptr ? 0 : length};
}

}  // namespace ryl::registry
