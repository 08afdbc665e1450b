// A registry key as the module hands it out (interface and counted control
// block), given back when the owner goes; and the path syntax an
// administrator types: HKLM\Software\..., or HKEY_LOCAL_MACHINE\....
#pragma once

#include <ryl/ryl.h>

#include <string>

namespace rylcli {

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { RylSharedRelease(&holder_.control); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  // Where a producing call puts the new key; releases the one held.
  RylKeyHolder* Receive() {
    RylSharedRelease(&holder_.control);
    holder_.key = nullptr;
    return &holder_;
  }
  RylRegistryKey* get() const { return holder_.key; }

 private:
  RylKeyHolder holder_ = {nullptr, nullptr};
};

struct KeyPath {
  uint32_t root = 0;      // RYL_ROOT_...
  std::wstring rootName;  // HKEY_LOCAL_MACHINE
  std::wstring subPath;   // Software\X, without leading or trailing "\"
  std::wstring FullName() const { return subPath.empty() ? rootName : rootName + L"\\" + subPath; }
};

// False when the text does not start with a root rylcli knows.
bool ParseKeyPath(const std::wstring& text, KeyPath* out);

// Opens the key for reading; view is 0, RYL_KEY_WOW64_32KEY or
// RYL_KEY_WOW64_64KEY.
ResultCode OpenKey(RootFactory* root, const KeyPath& path, uint32_t view, ScopedKey* out);

}  // namespace rylcli
