// Registry keys in holders with their shared control blocks, released
// through the SDK's inline RylSharedRelease as this compiler builds it;
// values written through the library are read back through advapi32.
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"
#include "win32.h"

namespace msvc_host {
namespace {

constexpr uint32_t kKeyAllAccess = 0xF003Fu;

int CountValues(RylRegistryKey* key) {
  RylEnumeratorHolder walker = {nullptr, nullptr};
  if (key->EnumerateValues(&walker) < 0 || walker.enumerator == nullptr) return -1;
  int count = 0;
  HeapBuffer name(2);
  while (walker.enumerator->GetCurrent(name.get()) == 0 && count < 16) {
    ++count;
    if (walker.enumerator->MoveNext() != 0) break;
  }
  RylSharedRelease(&walker.control);
  return count;
}

}  // namespace

void CheckRegistry(RootFactory* root) {
  RylKeyHolder user = {nullptr, nullptr};
  HOST_CHECK_OK(root->OpenRegistryRoot(&user, RYL_ROOT_CURRENT_USER), "OpenRegistryRoot HKEY_CURRENT_USER");
  if (user.key == nullptr) return;
  uint8_t supported = 0;
  HOST_CHECK(user.key->Query(RYL_TYPE_REGISTRY_KEY, 1, &supported) == user.key && supported == 1,
             "a key answers type 54");
  RylKeyHolder software = {nullptr, nullptr};
  HOST_CHECK_OK(user.key->OpenSubKey(&software, L"Software", 8, kKeyAllAccess), "OpenSubKey Software");
  if (software.key == nullptr) {
    RylSharedRelease(&user.control);
    return;
  }
  wchar_t name[64] = L"rylutil-msvc-host-";
  AppendNumber(name, 64, GetCurrentProcessId());
  const uint32_t nameLength = WideLength(name);
  RylKeyHolder test = {nullptr, nullptr};
  HOST_CHECK_OK(software.key->CreateSubKey(&test, name, nameLength, kKeyAllAccess), "CreateSubKey");
  if (test.key != nullptr) {
    const uint32_t count = 0xC0FFEEu;
    HOST_CHECK_OK(test.key->SetValue(RYL_REG_DWORD, &count, 4, L"count", 5), "SetValue REG_DWORD");
    static const wchar_t kText[] = L"caf\u00E9";
    HOST_CHECK_OK(test.key->SetValue(RYL_REG_SZ, kText, sizeof kText, L"text", 4), "SetValue REG_SZ");
    uint32_t type = 0;
    HeapBuffer data(1);
    HOST_CHECK_OK(test.key->QueryValue(&type, data.get(), L"count", 5), "QueryValue");
    HOST_CHECK(type == RYL_REG_DWORD && data.length() == 4 && SameBytes(data.bytes(), &count, 4),
               "the DWORD comes back with its type");
    RylRegistryKeyInfo info = {};
    HOST_CHECK_OK(test.key->QueryInfo(&info), "QueryInfo");
    HOST_CHECK(info.valueCount == 2 && info.subKeyCount == 0 && info.lastWriteTime != 0,
               "two values, no subkeys, a write time after the 32-bit fields");
    HOST_CHECK(CountValues(test.key) == 2, "EnumerateValues lists both");

    // advapi32 sees what the library wrote.
    wchar_t path[96] = L"Software\\";
    for (uint32_t i = 0; i <= nameLength; ++i) path[9 + i] = name[i];
    HKEY native = nullptr;
    HOST_CHECK(RegOpenKeyExW(kHkeyCurrentUser, path, 0, kKeyRead, &native) == 0, "RegOpenKeyExW finds the key");
    if (native != nullptr) {
      wchar_t text[16] = {};
      uint32_t size = sizeof text;
      uint32_t nativeType = 0;
      HOST_CHECK(RegQueryValueExW(native, L"text", nullptr, &nativeType, reinterpret_cast<uint8_t*>(text), &size) ==
                         0 &&
                     nativeType == RYL_REG_SZ && size == sizeof kText && SameWide(text, 4, kText),
                 "and reads the string value byte for byte");
      RegCloseKey(native);
    }
    HOST_CHECK_OK(test.key->DeleteValue(L"count", 5), "DeleteValue");
    uint8_t exists = 1;
    HOST_CHECK_OK(test.key->ValueExists(&exists, L"count", 5), "ValueExists");
    HOST_CHECK(exists == 0, "the deleted value is gone");
    RylSharedRelease(&test.control);
    HOST_CHECK(test.control == nullptr, "RylSharedRelease clears the holder's control");
  }
  HOST_CHECK_OK(software.key->DeleteSubKey(name, nameLength, 1, 0), "DeleteSubKey, recursively");
  RylKeyHolder gone = {nullptr, nullptr};
  HOST_CHECK(software.key->OpenSubKey(&gone, name, nameLength, kKeyRead) < 0 && gone.key == nullptr,
             "the deleted key no longer opens");
  RylSharedRelease(&software.control);
  RylSharedRelease(&user.control);
}

}  // namespace msvc_host
