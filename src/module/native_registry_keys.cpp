#include "module/native_registry_keys.h"

#include <string>

#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "registry/registry_context.h"
#include "sys/current_transaction.h"
#include "sys/dos_path_conversion.h"
#include "sys/guid_utils.h"
#include "sys/native_api.h"
#include "sys/result_codes.h"
#include "sys/scoped_handle.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::module {
namespace {

using registry::KeyHandle;
using registry::KeyName;

// The counted name and attributes of one native key call: case-insensitive,
// kernel handle, relative to root when one is given.
class KeyAttributes {
 public:
  KeyAttributes(KeyHandle root, KeyName name, ULONG extra = 0) noexcept {
    const uint32_t bytes = name.length > 0x7FFEu ? 0xFFFCu : name.length * 2;
    name_.Length = static_cast<USHORT>(bytes);
    name_.MaximumLength = static_cast<USHORT>(bytes);
    name_.Buffer = const_cast<PWSTR>(reinterpret_cast<PCWSTR>(name.text));
    attributes_.Length = sizeof(OBJECT_ATTRIBUTES);
    attributes_.RootDirectory = root;
    attributes_.ObjectName = &name_;
    attributes_.Attributes = OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE | extra;
    attributes_.SecurityDescriptor = nullptr;
    attributes_.SecurityQualityOfService = nullptr;
  }
  KeyAttributes(const KeyAttributes&) = delete;
  KeyAttributes& operator=(const KeyAttributes&) = delete;
  OBJECT_ATTRIBUTES* get() noexcept { return &attributes_; }
  UNICODE_STRING* name() noexcept { return &name_; }

 private:
  UNICODE_STRING name_;
  OBJECT_ATTRIBUTES attributes_;
};

class NtdllKeys final : public registry::NativeKeys {
 public:
  int32_t OpenKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept override {
    KeyAttributes attributes(root, name);
    return ZwOpenKey(reinterpret_cast<PHANDLE>(out), access, attributes.get());
  }
  int32_t OpenKeyNoFollow(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept override {
    KeyAttributes attributes(root, name, OBJ_OPENLINK);
    return ZwOpenKey(reinterpret_cast<PHANDLE>(out), access, attributes.get());
  }
  int32_t OpenKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                            void* transaction) noexcept override {
    KeyAttributes attributes(root, name);
    return sys::RylNtdll_ZwOpenKeyTransacted(out, access, attributes.get(), transaction);
  }
  int32_t CreateKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept override {
    KeyAttributes attributes(root, name);
    return ZwCreateKey(reinterpret_cast<PHANDLE>(out), access, attributes.get(), 0, nullptr, 0, nullptr);
  }
  int32_t CreateKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                              void* transaction) noexcept override {
    KeyAttributes attributes(root, name);
    return sys::RylNtdll_ZwCreateKeyTransacted(out, access, attributes.get(), 0, nullptr, 0, transaction, nullptr);
  }
  int32_t OpenCurrentUser(uint32_t access, KeyHandle* out) noexcept override {
    return RtlOpenCurrentUser(access, reinterpret_cast<PHANDLE>(out));
  }
  int32_t QueryKey(KeyHandle key, uint32_t infoClass, void* buffer, uint32_t length,
                   uint32_t* outLength) noexcept override {
    ULONG needed = 0;
    const NTSTATUS status = ZwQueryKey(key, infoClass, buffer, length, &needed);
    *outLength = needed;
    return status;
  }
  int32_t EnumerateKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer, uint32_t length,
                       uint32_t* outLength) noexcept override {
    ULONG needed = 0;
    const NTSTATUS status = ZwEnumerateKey(key, index, infoClass, buffer, length, &needed);
    *outLength = needed;
    return status;
  }
  int32_t EnumerateValueKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer, uint32_t length,
                            uint32_t* outLength) noexcept override {
    ULONG needed = 0;
    const NTSTATUS status = ZwEnumerateValueKey(key, index, infoClass, buffer, length, &needed);
    *outLength = needed;
    return status;
  }
  int32_t QueryValueKey(KeyHandle key, KeyName name, uint32_t infoClass, void* buffer, uint32_t length,
                        uint32_t* outLength) noexcept override {
    KeyAttributes counted(nullptr, name);
    ULONG needed = 0;
    const NTSTATUS status = ZwQueryValueKey(key, counted.name(), infoClass, buffer, length, &needed);
    *outLength = needed;
    return status;
  }
  int32_t SetValueKey(KeyHandle key, KeyName name, uint32_t type, const void* data,
                      uint32_t size) noexcept override {
    KeyAttributes counted(nullptr, name);
    return ZwSetValueKey(key, counted.name(), 0, type, const_cast<void*>(data), size);
  }
  int32_t DeleteValueKey(KeyHandle key, KeyName name) noexcept override {
    KeyAttributes counted(nullptr, name);
    return ZwDeleteValueKey(key, counted.name());
  }
  int32_t DeleteKey(KeyHandle key) noexcept override { return ZwDeleteKey(key); }
  int32_t Close(KeyHandle key) noexcept override { return ZwClose(key); }
  int32_t NotifyChangeKey(KeyHandle key, void* event, bool watchSubtree) noexcept override {
    // The status block lives as long as the notification may complete: the
    // system writes it then, after this call returned.
    static IO_STATUS_BLOCK ignored;
    return ZwNotifyChangeKey(key, event, nullptr, nullptr, &ignored, 15, watchSubtree ? TRUE : FALSE, nullptr, 0,
                             TRUE);
  }
  ResultCode SaveKeyThroughTemporary(KeyHandle key, const char16_t* path, uint32_t pathLength) noexcept override;
  int32_t LoadKey(KeyHandle root, KeyName name, const char16_t* path, uint32_t pathLength) noexcept override {
    std::u16string terminated(path, pathLength);
    sys::ScopedRtlUnicodeString nativePath;
    const ResultCode converted =
        sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(terminated.c_str(), nativePath.Receive());
    if (converted < 0) return static_cast<int32_t>(0xC000003Au);
    KeyAttributes target(root, name);
    sys::NativeObjectAttributes file(nativePath.get());
    return ZwLoadKey(target.get(), file.get());
  }
  int32_t UnloadKey(KeyHandle root, KeyName name) noexcept override {
    KeyAttributes target(root, name);
    return ZwUnloadKey(target.get());
  }
  int32_t RestoreKey(KeyHandle key, const char16_t* path) noexcept override {
    sys::ScopedRtlUnicodeString nativePath;
    if (sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(path, nativePath.Receive()) < 0) {
      return static_cast<int32_t>(0xC000003Au);
    }
    sys::ScopedHandle file;
    const NTSTATUS opened = fs::OpenNativeFile(&file, nativePath.get(), 0x80100000u, FILE_SHARE_READ, 0x20);
    if (opened != STATUS_SUCCESS) return opened;
    return ZwRestoreKey(key, file.get(), 8);
  }
};

ResultCode NtdllKeys::SaveKeyThroughTemporary(KeyHandle key, const char16_t* path, uint32_t pathLength) noexcept {
  try {
    ResultCode result = RYL_OK;
    for (int attempt = 0; attempt < 5; ++attempt) {
      sys::RylGuid identifier;
      result = sys::RylGuidUtils::CreateLuid(&identifier);
      if (result < 0) return result;
      std::u16string temporary(path, pathLength);
      temporary += u"vqz-";
      const size_t at = temporary.size();
      temporary.resize(at + sys::RylGuidUtils::kTextLength);
      sys::RylGuidUtils::GetString(identifier, temporary.data() + at);
      temporary += u".tmp";

      sys::ScopedRtlUnicodeString nativeName;
      result = fs::HostPathToNtPathForOpen(temporary.data(), static_cast<uint32_t>(temporary.size()), &nativeName);
      if (result < 0) return result;
      sys::ScopedHandle file;
      const NTSTATUS created = fs::CreateNativeFile(&file, nativeName.get(), 0x120116, 0, FILE_CREATE, 0x60);
      if (created != STATUS_SUCCESS) {
        result = sys::RylResultFromNtStatus(created);
        continue;
      }
      const NTSTATUS saved = ZwSaveKey(key, file.get());
      (void)file.reset();
      if (saved != STATUS_SUCCESS) {
        // Nothing of a failed save stays behind.
        (void)fs::DeleteFile(temporary.data(), static_cast<uint32_t>(temporary.size()), 0);
        return sys::RylResultFromNtStatus(saved);
      }
      return fs::MoveFile(temporary.data(), static_cast<uint32_t>(temporary.size()), path, pathLength, false);
    }
    return result;
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
}

// The process's registry context goes when the module is unloaded (static
// destructors run then); key objects still alive keep their own reference.
struct ContextTeardown {
  ~ContextTeardown() { registry::ReleaseProcessRegistryContext(); }
} g_contextTeardown;

}  // namespace

registry::NativeKeys& NativeRegistryKeys() noexcept {
  static NtdllKeys keys;
  return keys;
}

}  // namespace ryl::module
