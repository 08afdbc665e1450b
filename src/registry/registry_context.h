// What every key operation shares: the native key calls, whether the process
// is 64-bit or a 32-bit one on a 64-bit system, and the handles of the
// predefined roots, opened once and cached. One context serves the process;
// key objects hold counted references to it.
#pragma once

#include <atomic>
#include <cstdint>

#include "registry/key_path_mapping.h"
#include "registry/native_keys.h"
#include "ryl/result.h"

namespace ryl::registry {

// Predefined root values (HKEY_CLASSES_ROOT ...), by OpenRegistryRoot index.
inline constexpr uint32_t kRootCount = 9;
inline constexpr uintptr_t kClassesRoot = 0x80000000u;
inline constexpr uintptr_t kCurrentUser = 0x80000001u;
inline constexpr uintptr_t kLocalMachine = 0x80000002u;
uintptr_t RootValueOfIndex(uint32_t index) noexcept;

// Access masks the service asks for itself.
inline constexpr uint32_t kKeyAllAccess = 0xF003F;
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kDelete = 0x10000;
inline constexpr uint32_t kKeyNotify = 0x10;
inline constexpr uint32_t kKeyQueryValue = 0x1;
inline constexpr uint32_t kKeyEnumerateSubKeys = 0x8;
inline constexpr uint32_t kView64 = 0x100;
inline constexpr uint32_t kView32 = 0x200;
inline constexpr uint32_t kCreateNulName = 0x10000000;
inline constexpr uint32_t kTranslateWow64Node = 0x20000000;

class RegistryContext {
 public:
  // Architecture codes 2 and 3 are the 64-bit ones.
  RegistryContext(NativeKeys* keys, uint32_t systemArchitecture, uint32_t processArchitecture) noexcept;
  ~RegistryContext();
  RegistryContext(const RegistryContext&) = delete;
  RegistryContext& operator=(const RegistryContext&) = delete;

  // New on the default heap with one reference; null when memory ran out.
  static RegistryContext* Create(NativeKeys* keys, uint32_t systemArchitecture,
                                 uint32_t processArchitecture) noexcept;
  void AddRef() noexcept { references_.fetch_add(1); }
  // The last release closes the cached roots and frees the context.
  void Release() noexcept;

  NativeKeys& keys() const noexcept { return *keys_; }
  bool isWow64() const noexcept { return isWow64_; }
  bool is64BitProcess() const noexcept { return is64BitProcess_; }

  // A predefined root value or a handle, turned into a handle; *outOwned
  // tells whether the caller must close it.
  [[nodiscard]] ResultCode ResolveRoot(uintptr_t rootOrHandle, KeyHandle* outHandle, bool* outOwned) noexcept;
  // The full native name of a key.
  [[nodiscard]] ResultCode QueryKeyPath(uintptr_t rootOrHandle, KeyText* outName) noexcept;
  // The open pipeline with the view rules; hasSubkey false opens the root
  // again. The caller owns *outHandle.
  [[nodiscard]] ResultCode OpenKey(uintptr_t rootOrHandle, KeyHandle* outHandle, const char16_t* subkey,
                                   uint32_t subkeyLength, bool hasSubkey, uint32_t access,
                                   void* transaction) noexcept;
  [[nodiscard]] ResultCode CreateKey(uintptr_t rootOrHandle, KeyHandle* outHandle, const char16_t* subkey,
                                     uint32_t subkeyLength, uint32_t access) noexcept;
  [[nodiscard]] ResultCode GetClassesRelativePath(uintptr_t rootOrHandle, ClassesPath* out) noexcept;

  void CloseHandle(KeyHandle handle) noexcept;

 private:
  enum class Pipeline { kOpen, kCreate };
  [[nodiscard]] ResultCode RunPipeline(Pipeline pipeline, uintptr_t rootOrHandle, KeyHandle* outHandle,
                                       const char16_t* subkey, uint32_t subkeyLength, bool hasSubkey,
                                       uint32_t access, void* transaction);
  [[nodiscard]] ResultCode OpenCachedRoot(uint32_t slot, KeyHandle* outHandle) noexcept;

  NativeKeys* keys_;
  bool isWow64_;
  bool is64BitProcess_;
  std::atomic<KeyHandle> cached_[kRootCount] = {};
  std::atomic<int32_t> references_{1};
};

// The process's context, created on first use with the given calls and
// architecture codes; a counted reference, or null when memory ran out.
// After ReleaseProcessRegistryContext (module unload) each caller gets a
// private context.
RegistryContext* AcquireRegistryContext(NativeKeys* keys, uint32_t systemArchitecture,
                                        uint32_t processArchitecture) noexcept;
void ReleaseProcessRegistryContext() noexcept;

}  // namespace ryl::registry
