// The registry service reached through the DLL as a host reaches it, with
// advapi32 as the independent witness: whatever the library writes must read
// back through RegQueryValueExW and friends, and whatever advapi32 writes
// must read back through the library, byte for byte.
//
// Every test works below keys of its own (HKCU\Software\rylutil-test-<random>,
// and the same under HKLM where it needs the machine) and removes them when
// it ends, whatever the outcome.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "ryl/registry.h"
#include "ryl/root_factory.h"
#include "support/dll_host.h"
#include "support/result_matchers.h"
#include "support/root_fixture.h"
#include "support/temp_dir.h"

namespace ryl::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::wstring>;

uint32_t Len(const std::wstring& text) { return static_cast<uint32_t>(text.size()); }

// --- Library objects -------------------------------------------------------------

// A key or enumerator record, given back when the scope ends so that a failed
// assertion leaks nothing into the next test (the root's last release checks).
template <typename Holder>
struct Held {
  Holder h{};
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { Release(); }
  void Release() {
    RylSharedRelease(&h.control);
    h = Holder{};
  }
};
using LibKey = Held<RylKeyHolder>;
using LibEnumerator = Held<RylEnumeratorHolder>;

// An OutputBuffer that only offers Resize (table version 1), the least a host
// may give. What the library produced is read through the view, as a host
// would, not through the storage behind it.
template <typename T>
class Output {
 public:
  Output() {
    store_.reserve(1);
    record_.callbacks = &kTable;
    record_.context = this;
    record_.view = {store_.data(), 0};
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  OutputBuffer* get() { return &record_; }
  std::vector<T> Items() const {
    const T* data = static_cast<const T*>(record_.view.data);
    return data == nullptr ? std::vector<T>() : std::vector<T>(data, data + record_.view.length);
  }
  std::wstring Text() const {
    const std::vector<T> items = Items();
    return std::wstring(items.begin(), items.end());
  }

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<Output*>(context);
    try {
      self->store_.resize(length);
    } catch (const std::bad_alloc&) {
      return RYL_E_OUT_OF_MEMORY;
    }
    view->data = self->store_.data();
    view->length = length;
    return RYL_OK;
  }
  static constexpr RylOutputBufferCallbacks kTable = {1, &Resize, nullptr, nullptr, nullptr};

  std::vector<T> store_;
  OutputBuffer record_{};
};

ResultCode LibRead(RylRegistryKey* key, const std::wstring& name, uint32_t* type, Bytes* data) {
  Output<uint8_t> out;
  const ResultCode result = key->QueryValue(type, out.get(), name.c_str(), Len(name));
  *data = out.Items();
  return result;
}

ResultCode LibWrite(RylRegistryKey* key, const std::wstring& name, uint32_t type, const Bytes& data) {
  static const uint8_t kNothing = 0;
  const void* bytes = data.empty() ? &kNothing : data.data();
  return key->SetValue(type, bytes, static_cast<uint32_t>(data.size()), name.c_str(), Len(name));
}

// Walks an enumerator from where it stands to its end. Every step must either
// move or report the end, and the end must hold once reached.
void ListFrom(RylKeyEnumerator* enumerator, Names* names, size_t limit) {
  Output<wchar_t> name;
  for (;;) {
    const ResultCode current = enumerator->GetCurrent(name.get());
    if (current == RYL_E_NO_MORE_ITEMS) break;
    ASSERT_CODE(current, RYL_OK);
    names->push_back(name.Text());
    ASSERT_LE(names->size(), limit) << "the enumerator does not come to an end";
    const ResultCode next = enumerator->MoveNext();
    if (next == RYL_S_NO_MORE_ITEMS) {
      EXPECT_CODE(enumerator->GetCurrent(name.get()), RYL_E_NO_MORE_ITEMS);
      break;
    }
    ASSERT_CODE(next, RYL_OK);
  }
  EXPECT_CODE(enumerator->MoveNext(), RYL_S_NO_MORE_ITEMS);
}

void LibList(RylRegistryKey* key, bool values, Names* names, size_t limit = 100000) {
  LibEnumerator enumerator;
  const ResultCode result = values ? key->EnumerateValues(&enumerator.h) : key->EnumerateSubKeys(&enumerator.h);
  ASSERT_TRUE(RylSucceeded(result)) << std::hex << "0x" << static_cast<uint32_t>(result);
  ASSERT_NE(enumerator.h.enumerator, nullptr);
  ListFrom(enumerator.h.enumerator, names, limit);
}

// --- advapi32, the witness ---------------------------------------------------------

class NativeKey {
 public:
  NativeKey() = default;
  NativeKey(const NativeKey&) = delete;
  NativeKey& operator=(const NativeKey&) = delete;
  ~NativeKey() { Close(); }
  HKEY* out() {
    Close();
    return &key_;
  }
  HKEY get() const { return key_; }
  void Close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

LONG NativeOpen(HKEY root, const std::wstring& path, REGSAM access, NativeKey* out) {
  return RegOpenKeyExW(root, path.c_str(), 0, access, out->out());
}

LONG NativeCreate(HKEY root, const std::wstring& path, REGSAM access, NativeKey* out) {
  return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, out->out(), nullptr);
}

LONG NativeWrite(HKEY key, const std::wstring& name, DWORD type, const Bytes& data) {
  static const BYTE kNothing = 0;
  return RegSetValueExW(key, name.c_str(), 0, type, data.empty() ? &kNothing : data.data(),
                        static_cast<DWORD>(data.size()));
}

LONG NativeRead(HKEY key, const std::wstring& name, DWORD* type, Bytes* data) {
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
  data->clear();
  if (result != ERROR_SUCCESS || size == 0) return result;
  data->resize(size);
  result = RegQueryValueExW(key, name.c_str(), nullptr, type, data->data(), &size);
  data->resize(size);
  return result;
}

Names NativeSubKeys(HKEY key) {
  Names names;
  wchar_t buffer[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    const LONG result = RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
      EXPECT_EQ(result, ERROR_NO_MORE_ITEMS) << "RegEnumKeyExW at " << index;
      break;
    }
    names.emplace_back(buffer, length);
  }
  return names;
}

Names NativeValueNames(HKEY key) {
  Names names;
  std::vector<wchar_t> buffer(16384);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG result = RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
      EXPECT_EQ(result, ERROR_NO_MORE_ITEMS) << "RegEnumValueW at " << index;
      break;
    }
    names.emplace_back(buffer.data(), length);
  }
  return names;
}

// Every key and value below key as lines of text, to tell "nothing changed".
void Snapshot(HKEY key, const std::wstring& prefix, Names* lines) {
  for (const std::wstring& name : NativeValueNames(key)) {
    DWORD type = 0;
    Bytes data;
    EXPECT_EQ(NativeRead(key, name, &type, &data), ERROR_SUCCESS);
    std::wstring line = prefix + L"|" + name + L"|" + std::to_wstring(type) + L"|";
    for (uint8_t byte : data) line += static_cast<wchar_t>(L'@' + byte);
    lines->push_back(line);
  }
  for (const std::wstring& name : NativeSubKeys(key)) {
    lines->push_back(prefix + L"\\" + name);
    NativeKey child;
    ASSERT_EQ(NativeOpen(key, name, KEY_READ, &child), ERROR_SUCCESS);
    Snapshot(child.get(), prefix + L"\\" + name, lines);
  }
}

// Removes root\path with everything below it, in the view it was made in.
// Opening the key itself with the view flag keeps RegDeleteTreeW from being
// redirected into the other view on the way down.
void RemoveNativeTree(HKEY root, const std::wstring& path, REGSAM view) {
  NativeKey key;
  if (NativeOpen(root, path, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) RegDeleteTreeW(key.get(), nullptr);
  key.Close();
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

// --- Data -------------------------------------------------------------------------

Bytes Utf16(const std::wstring& text, bool withNul) {
  Bytes bytes(reinterpret_cast<const uint8_t*>(text.data()),
              reinterpret_cast<const uint8_t*>(text.data() + text.size()));
  if (withNul) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// A name of exactly length units mixing ASCII with units beyond it.
std::wstring LongName(size_t length, wchar_t first) {
  static const wchar_t kUnits[] = L"abcXYZ019 ._-\u00e9\u00df\u4e2d\u0416";
  std::wstring name(1, first);
  while (name.size() < length) name += kUnits[name.size() % (sizeof kUnits / sizeof kUnits[0] - 1)];
  return name;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& unit : text) unit = static_cast<wchar_t>(std::towupper(unit));
  return text;
}

// Large buffers print as sizes and the first difference, not as megabytes.
::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected; first difference at offset " << at;
}

::testing::AssertionResult SameNames(Names actual, Names expected) {
  std::sort(actual.begin(), actual.end());
  std::sort(expected.begin(), expected.end());
  if (actual == expected) return ::testing::AssertionSuccess();
  Names missing;
  Names extra;
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing));
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(extra));
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  failure << actual.size() << " names where " << expected.size() << " were expected; " << missing.size()
          << " missing, " << extra.size() << " extra";
  if (!missing.empty()) failure << "; first missing: " << missing.front();
  if (!extra.empty()) failure << "; first extra: " << extra.front();
  if (missing.empty() && extra.empty()) failure << " (a name is listed more than once)";
  return failure;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::wstring UniqueName() {
  static LONG counter = 0;
  std::random_device random;
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return L"rylutil-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(random()) + L"-" +
         std::to_wstring(static_cast<uint32_t>(now.LowPart)) + L"-" +
         std::to_wstring(InterlockedIncrement(&counter));
}

// Runs a RegSetValueExW on a thread of its own, as another part of a program
// would, and waits for it.
struct RemoteWrite {
  HKEY root;
  std::wstring path;
  std::wstring value;
  DWORD data;
  LONG result;
};

DWORD WINAPI WriteOnThread(void* parameter) {
  auto* write = static_cast<RemoteWrite*>(parameter);
  NativeKey key;
  write->result = NativeOpen(write->root, write->path, KEY_SET_VALUE, &key);
  if (write->result == ERROR_SUCCESS) {
    write->result = RegSetValueExW(key.get(), write->value.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&write->data), sizeof write->data);
  }
  return 0;
}

LONG WriteFromAnotherThread(HKEY root, const std::wstring& path, const std::wstring& value, DWORD data) {
  RemoteWrite write{root, path, value, data, ERROR_GEN_FAILURE};
  HANDLE thread = CreateThread(nullptr, 0, &WriteOnThread, &write, 0, nullptr);
  if (thread == nullptr) return static_cast<LONG>(GetLastError());
  const DWORD waited = WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  return waited == WAIT_OBJECT_0 ? write.result : ERROR_TIMEOUT;
}

DWORD WINAPI DestroyOnThread(void* watcher) {
  static_cast<RylRegistryWatcher*>(watcher)->Destroy();
  return 0;
}

constexpr DWORD kTimedOut = WAIT_TIMEOUT;
constexpr DWORD kSignalled = WAIT_OBJECT_0;

// --- Fixture ------------------------------------------------------------------------

class RegistryTest : public RootTest {
 protected:
  void SetUp() override {
    RootTest::SetUp();
    if (HasFatalFailure()) return;
    name_ = UniqueName();
    path_ = L"Software\\" + name_;
    ASSERT_EQ(CreateOwned(HKEY_CURRENT_USER, path_, 0, &user_), ERROR_SUCCESS);
  }

  void TearDown() override {
    user_.Close();
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) {
      RemoveNativeTree(it->root, it->path, it->view);
      NativeKey left;
      EXPECT_NE(NativeOpen(it->root, it->path, KEY_READ | it->view, &left), ERROR_SUCCESS)
          << "a test key outlived its test: " << it->path;
    }
    RootTest::TearDown();
  }

  // Creates root\path in a view and has it removed when the test ends.
  LONG CreateOwned(HKEY root, const std::wstring& path, REGSAM view, NativeKey* out) {
    const LONG result = NativeCreate(root, path, KEY_ALL_ACCESS | view, out);
    if (result == ERROR_SUCCESS) owned_.push_back({root, path, view});
    return result;
  }

  void OpenRoot(uint32_t index, LibKey* out) {
    ASSERT_CODE(root_->OpenRegistryRoot(&out->h, index), RYL_OK);
    ASSERT_NE(out->h.key, nullptr);
  }

  void OpenThroughLibrary(uint32_t rootIndex, const std::wstring& path, uint32_t access, LibKey* out) {
    LibKey root;
    ASSERT_NO_FATAL_FAILURE(OpenRoot(rootIndex, &root));
    ASSERT_CODE(root.h.key->OpenSubKey(&out->h, path.c_str(), Len(path), access), RYL_OK) << path;
    ASSERT_NE(out->h.key, nullptr);
  }

  // The user test key through the library, writable.
  void OpenUserKey(LibKey* out, const std::wstring& below = L"") {
    OpenThroughLibrary(RYL_ROOT_CURRENT_USER, below.empty() ? path_ : path_ + L"\\" + below, KEY_READ | KEY_WRITE,
                       out);
  }

  struct Owned {
    HKEY root;
    std::wstring path;
    REGSAM view;
  };
  std::wstring name_;
  std::wstring path_;  // Software\<name_>
  NativeKey user_;     // HKCU\Software\<name_>
  std::vector<Owned> owned_;
};

// Machine writes are refused in some environments: the test cannot say
// anything about HKLM there.
#define CREATE_MACHINE_KEY_OR_SKIP(path, view, out)                                                  \
  do {                                                                                               \
    const LONG created_ = CreateOwned(HKEY_LOCAL_MACHINE, (path), (view), (out));                    \
    if (created_ == ERROR_ACCESS_DENIED)                                                             \
      GTEST_SKIP() << "RegCreateKeyExW on HKLM\\" << (path) << " is refused with access denied";   \
    ASSERT_EQ(created_, ERROR_SUCCESS) << "RegCreateKeyExW on HKLM\\" << (path);                     \
  } while (0)

// --- Values ---------------------------------------------------------------------------

struct ValueCase {
  const char* label;
  DWORD type;
  std::wstring name;
  Bytes data;
};

std::vector<ValueCase> ValueCases() {
  const uint32_t dword = 0x89ABCDEFu;
  const uint64_t qword = 0x0123456789ABCDEFull;
  Bytes dwordBytes(4);
  std::memcpy(dwordBytes.data(), &dword, 4);
  Bytes qwordBytes(8);
  std::memcpy(qwordBytes.data(), &qword, 8);
  Bytes everyByte(256);
  for (size_t i = 0; i < everyByte.size(); ++i) everyByte[i] = static_cast<uint8_t>(i);
  const wchar_t multi[] = L"one\0two\0\u00e9\u4e2d\0";  // the literal adds the last terminator
  return {
      {"REG_NONE, empty", REG_NONE, L"none-empty", {}},
      {"REG_NONE with bytes", REG_NONE, L"none", Pattern(37, 1)},
      {"REG_SZ", REG_SZ, L"sz", Utf16(L"hello, w\u00f6rld \u4e2d\u6587", true)},
      {"REG_SZ as the default value", REG_SZ, L"", Utf16(L"the key's own value", true)},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, L"expand", Utf16(L"%SystemRoot%\\system32;%PATH%", true)},
      {"REG_BINARY, empty", REG_BINARY, L"binary-empty", {}},
      {"REG_BINARY, every byte value", REG_BINARY, L"binary", everyByte},
      {"REG_BINARY, 1 MiB", REG_BINARY, L"binary-1mib", Pattern(1u << 20, 2)},
      {"REG_DWORD", REG_DWORD, L"dword", dwordBytes},
      {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, L"dword-be", Bytes{0x89, 0xAB, 0xCD, 0xEF}},
      {"REG_LINK", REG_LINK, L"link", Utf16(L"\\Registry\\Machine\\Software\\Elsewhere", false)},
      {"REG_MULTI_SZ", REG_MULTI_SZ, L"multi", Bytes(reinterpret_cast<const uint8_t*>(multi),
                                                      reinterpret_cast<const uint8_t*>(multi) + sizeof multi)},
      {"REG_QWORD", REG_QWORD, L"qword", qwordBytes},
      {"name of 255 units", REG_DWORD, LongName(255, L'A'), dwordBytes},
      {"name of 16383 units", REG_SZ, LongName(16383, L'B'), Utf16(L"long-named", true)},
  };
}

TEST_F(RegistryTest, ValuesWrittenByTheLibraryReadBackThroughAdvapi) {
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  for (const ValueCase& c : ValueCases()) {
    SCOPED_TRACE(c.label);
    ASSERT_CODE(LibWrite(key.h.key, c.name, c.type, c.data), RYL_OK);
    DWORD type = 0xFFFF;
    Bytes data;
    ASSERT_EQ(NativeRead(user_.get(), c.name, &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_TRUE(SameBytes(data, c.data));
  }
}

TEST_F(RegistryTest, ValuesWrittenThroughAdvapiReadBackThroughTheLibrary) {
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  for (const ValueCase& c : ValueCases()) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(NativeWrite(user_.get(), c.name, c.type, c.data), ERROR_SUCCESS);
    uint32_t type = 0xFFFF;
    Bytes data;
    ASSERT_CODE(LibRead(key.h.key, c.name, &type, &data), RYL_OK);
    EXPECT_EQ(type, c.type);
    EXPECT_TRUE(SameBytes(data, c.data));
  }
}

// Strings stored without their terminator come back usable as strings; other
// types come back as stored.
TEST_F(RegistryTest, StringValuesWithoutTheirTerminatorsComeBackCompleted) {
  struct Case {
    const char* label;
    DWORD type;
    Bytes stored;
    Bytes expected;
  };
  const Case cases[] = {
      {"REG_SZ without a terminator", REG_SZ, Utf16(L"abc", false), Utf16(L"abc", true)},
      {"REG_EXPAND_SZ without a terminator", REG_EXPAND_SZ, Utf16(L"%TEMP%", false), Utf16(L"%TEMP%", true)},
      {"REG_MULTI_SZ without any final terminator", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b", 3), false),
       Utf16(std::wstring(L"a\0b\0\0", 5), false)},
      {"REG_MULTI_SZ with one final terminator", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0", 4), false),
       Utf16(std::wstring(L"a\0b\0\0", 5), false)},
      {"REG_MULTI_SZ of one string without a terminator", REG_MULTI_SZ, Utf16(L"ab", false),
       Utf16(std::wstring(L"ab\0\0", 4), false)},
      {"REG_BINARY that looks like text", REG_BINARY, Utf16(L"abc", false), Utf16(L"abc", false)},
      {"REG_LINK without a terminator", REG_LINK, Utf16(L"\\Registry\\X", false), Utf16(L"\\Registry\\X", false)},
  };
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring name = L"completed-" + std::to_wstring(index++);
    ASSERT_EQ(NativeWrite(user_.get(), name, c.type, c.stored), ERROR_SUCCESS);
    // The witness shows the stored form was kept as given.
    DWORD storedType = 0;
    Bytes stored;
    ASSERT_EQ(NativeRead(user_.get(), name, &storedType, &stored), ERROR_SUCCESS);
    ASSERT_TRUE(SameBytes(stored, c.stored));
    uint32_t type = 0xFFFF;
    Bytes data;
    ASSERT_CODE(LibRead(key.h.key, name, &type, &data), RYL_OK);
    EXPECT_EQ(type, c.type);
    EXPECT_TRUE(SameBytes(data, c.expected));
  }
}

TEST_F(RegistryTest, ExistenceAndDeletionOfValuesAgreeWithAdvapi) {
  const std::wstring names[] = {L"", L"plain", LongName(255, L'C'), LongName(16383, L'D')};
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  for (const std::wstring& name : names) {
    SCOPED_TRACE("value name of " + std::to_string(name.size()) + " units");
    uint8_t exists = 0xEE;
    ASSERT_CODE(key.h.key->ValueExists(&exists, name.c_str(), Len(name)), RYL_OK);
    EXPECT_EQ(exists, 0);
    ASSERT_EQ(NativeWrite(user_.get(), name, REG_BINARY, Pattern(5, 3)), ERROR_SUCCESS);
    exists = 0xEE;
    ASSERT_CODE(key.h.key->ValueExists(&exists, name.c_str(), Len(name)), RYL_OK);
    EXPECT_EQ(exists, 1);
    ASSERT_CODE(key.h.key->DeleteValue(name.c_str(), Len(name)), RYL_OK);
    DWORD type = 0;
    Bytes data;
    EXPECT_EQ(NativeRead(user_.get(), name, &type, &data), ERROR_FILE_NOT_FOUND);
    exists = 0xEE;
    ASSERT_CODE(key.h.key->ValueExists(&exists, name.c_str(), Len(name)), RYL_OK);
    EXPECT_EQ(exists, 0);
    // Reading or deleting what is not there is a failure, not an empty value.
    uint32_t libType = 0;
    EXPECT_LT(LibRead(key.h.key, name, &libType, &data), 0);
    EXPECT_LT(key.h.key->DeleteValue(name.c_str(), Len(name)), 0);
  }
}

// --- Views ----------------------------------------------------------------------------

// HKLM\Software\<name> made twice with advapi32, once in each view, with a
// marker value and a subkey telling them apart. Skips where the views cannot
// differ.
class ViewTest : public RegistryTest {
 protected:
  void MakeBothViews() {
    if (!IsWow64()) GTEST_SKIP() << "not a WoW64 process: the 32- and 64-bit views are the same key";
    NativeKey key32;
    NativeKey key64;
    CREATE_MACHINE_KEY_OR_SKIP(path_, KEY_WOW64_32KEY, &key32);
    CREATE_MACHINE_KEY_OR_SKIP(path_, KEY_WOW64_64KEY, &key64);
    ASSERT_EQ(NativeWrite(key32.get(), L"view", REG_SZ, Utf16(L"32", true)), ERROR_SUCCESS);
    ASSERT_EQ(NativeWrite(key64.get(), L"view", REG_SZ, Utf16(L"64", true)), ERROR_SUCCESS);
    NativeKey child;
    ASSERT_EQ(NativeCreate(key32.get(), L"only-in-32", KEY_ALL_ACCESS, &child), ERROR_SUCCESS);
    ASSERT_EQ(NativeCreate(key64.get(), L"only-in-64", KEY_ALL_ACCESS, &child), ERROR_SUCCESS);
    if (Witness(KEY_WOW64_32KEY) == Witness(KEY_WOW64_64KEY)) {
      GTEST_SKIP() << "advapi32 sees one HKLM\\Software in both views here (a win32 prefix?)";
    }
  }

  // The marker and subkeys advapi32 sees at path_ in a view.
  std::wstring Witness(REGSAM view) {
    NativeKey key;
    if (NativeOpen(HKEY_LOCAL_MACHINE, path_, KEY_READ | view, &key) != ERROR_SUCCESS) return L"<missing>";
    DWORD type = 0;
    Bytes data;
    if (NativeRead(key.get(), L"view", &type, &data) != ERROR_SUCCESS) return L"<no marker>";
    Names subkeys = NativeSubKeys(key.get());
    std::sort(subkeys.begin(), subkeys.end());
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    for (const std::wstring& subkey : subkeys) text += L"|" + subkey;
    return text;
  }

  // The same through a library key.
  static std::wstring Seen(RylRegistryKey* key) {
    uint32_t type = 0;
    Bytes data;
    const ResultCode read = LibRead(key, L"view", &type, &data);
    if (read < 0) return L"<no marker>";
    Names subkeys;
    LibList(key, false, &subkeys);
    std::sort(subkeys.begin(), subkeys.end());
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    for (const std::wstring& subkey : subkeys) text += L"|" + subkey;
    return text;
  }
};

TEST_F(ViewTest, EachViewFlagReachesTheKeyAdvapiReachesWithIt) {
  ASSERT_NO_FATAL_FAILURE(MakeBothViews());
  if (IsSkipped()) return;
  struct Case {
    const char* label;
    uint32_t libraryView;
    REGSAM nativeView;
  };
  const Case cases[] = {
      {"32-bit view", RYL_KEY_WOW64_32KEY, KEY_WOW64_32KEY},
      {"64-bit view", RYL_KEY_WOW64_64KEY, KEY_WOW64_64KEY},
      {"no view flag", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring expected = Witness(c.nativeView);
    LibKey key;
    ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(RYL_ROOT_LOCAL_MACHINE, path_, KEY_READ | c.libraryView, &key));
    EXPECT_EQ(Seen(key.h.key), expected);
  }
}

TEST_F(ViewTest, AnExplicitWow6432NodeIsTranslatedToThe32BitView) {
  ASSERT_NO_FATAL_FAILURE(MakeBothViews());
  if (IsSkipped()) return;
  const std::wstring expected = Witness(KEY_WOW64_32KEY);
  LibKey direct;
  ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(RYL_ROOT_LOCAL_MACHINE, path_, KEY_READ | RYL_KEY_WOW64_32KEY, &direct));
  Output<wchar_t> directName;
  ASSERT_CODE(direct.h.key->GetName(directName.get()), RYL_OK);
  // The node is a key name like any other: its spelling must not matter.
  const std::wstring spellings[] = {L"Software\\Wow6432Node\\", L"SOFTWARE\\WOW6432NODE\\",
                                    L"software\\wow6432node\\"};
  for (const std::wstring& spelling : spellings) {
    SCOPED_TRACE(::testing::Message() << spelling);
    LibKey key;
    ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(RYL_ROOT_LOCAL_MACHINE, spelling + name_,
                                               KEY_READ | RYL_KEY_TRANSLATE_WOW64_NODE, &key));
    EXPECT_EQ(Seen(key.h.key), expected);
    Output<wchar_t> name;
    ASSERT_CODE(key.h.key->GetName(name.get()), RYL_OK);
    EXPECT_EQ(Upper(name.Text()), Upper(directName.Text()));
  }
}

// --- The merged classes view ---------------------------------------------------------

TEST_F(RegistryTest, AUserClassKeyIsFoundInTheMergedView) {
  const std::wstring path = L"Software\\Classes\\" + name_;
  NativeKey user;
  ASSERT_EQ(CreateOwned(HKEY_CURRENT_USER, path, 0, &user), ERROR_SUCCESS);
  ASSERT_EQ(NativeWrite(user.get(), L"side", REG_SZ, Utf16(L"user", true)), ERROR_SUCCESS);
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(RYL_ROOT_CLASSES_ROOT, name_, KEY_READ, &key));
  uint32_t type = 0;
  Bytes data;
  ASSERT_CODE(LibRead(key.h.key, L"side", &type, &data), RYL_OK);
  EXPECT_EQ(type, static_cast<uint32_t>(REG_SZ));
  EXPECT_TRUE(SameBytes(data, Utf16(L"user", true)));
}

TEST_F(RegistryTest, AMachineClassKeyIsFoundInTheMergedView) {
  const std::wstring path = L"Software\\Classes\\" + name_;
  NativeKey machine;
  CREATE_MACHINE_KEY_OR_SKIP(path, 0, &machine);
  ASSERT_EQ(NativeWrite(machine.get(), L"side", REG_SZ, Utf16(L"machine", true)), ERROR_SUCCESS);
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(RYL_ROOT_CLASSES_ROOT, name_, KEY_READ, &key));
  uint32_t type = 0;
  Bytes data;
  ASSERT_CODE(LibRead(key.h.key, L"side", &type, &data), RYL_OK);
  EXPECT_TRUE(SameBytes(data, Utf16(L"machine", true)));
}

TEST_F(RegistryTest, ANamePresentOnBothSidesIsListedOnce) {
  const std::wstring path = L"Software\\Classes\\" + name_;
  NativeKey machine;
  CREATE_MACHINE_KEY_OR_SKIP(path, 0, &machine);
  NativeKey user;
  ASSERT_EQ(CreateOwned(HKEY_CURRENT_USER, path, 0, &user), ERROR_SUCCESS);
  ASSERT_EQ(NativeWrite(user.get(), L"side", REG_SZ, Utf16(L"user", true)), ERROR_SUCCESS);
  ASSERT_EQ(NativeWrite(machine.get(), L"side", REG_SZ, Utf16(L"machine", true)), ERROR_SUCCESS);
  // Below the shared key: one name on both sides, one on each side only, and
  // one spelled differently on each side (key names ignore case).
  const struct {
    HKEY side;
    const wchar_t* name;
  } children[] = {{user.get(), L"common"},         {machine.get(), L"common"},
                  {user.get(), L"user-only"},      {machine.get(), L"machine-only"},
                  {user.get(), L"Case-Differs"},   {machine.get(), L"CASE-DIFFERS"}};
  for (const auto& child : children) {
    NativeKey made;
    ASSERT_EQ(NativeCreate(child.side, child.name, KEY_ALL_ACCESS, &made), ERROR_SUCCESS);
  }

  // At the top of the view, among everything else the classes hold.
  LibKey classes;
  ASSERT_NO_FATAL_FAILURE(OpenRoot(RYL_ROOT_CLASSES_ROOT, &classes));
  Names top;
  ASSERT_NO_FATAL_FAILURE(LibList(classes.h.key, false, &top, 10000000));
  const std::wstring wanted = Upper(name_);
  EXPECT_EQ(std::count_if(top.begin(), top.end(), [&](const std::wstring& n) { return Upper(n) == wanted; }), 1);

  // Below the shared key.
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(RYL_ROOT_CLASSES_ROOT, name_, KEY_READ, &key));
  Names below;
  ASSERT_NO_FATAL_FAILURE(LibList(key.h.key, false, &below));
  for (std::wstring& n : below) n = Upper(n);
  // Counted one by one, so that a name listed twice is told from one missing.
  // The snapshot merges names that are equal byte for byte; the two
  // spellings of one name on different sides are both listed.
  for (const wchar_t* expected : {L"COMMON", L"USER-ONLY", L"MACHINE-ONLY"}) {
    EXPECT_EQ(std::count(below.begin(), below.end(), std::wstring(expected)), 1) << expected;
  }
  EXPECT_EQ(std::count(below.begin(), below.end(), std::wstring(L"CASE-DIFFERS")), 2);
  EXPECT_EQ(below.size(), 5u);

  // Where both sides hold the key, the user's side is the one read.
  uint32_t type = 0;
  Bytes data;
  ASSERT_CODE(LibRead(key.h.key, L"side", &type, &data), RYL_OK);
  EXPECT_TRUE(SameBytes(data, Utf16(L"user", true)));
}

// --- Enumeration ----------------------------------------------------------------------

// Short names with a few at the 255-unit limit and a few beyond ASCII, so that
// the name buffer must grow and shrink on the way.
std::wstring ManyName(int index) {
  std::wstring name = L"k" + std::to_wstring(index);
  if (index % 1009 == 1) name += L"\u00e9\u4e2d";
  if (index % 997 == 0) name = LongName(255 - name.size(), L'x') + name;
  return name;
}

TEST_F(RegistryTest, TenThousandSubKeysAreListedAsAdvapiListsThem) {
  constexpr int kCount = 10000;
  NativeKey parent;
  ASSERT_EQ(NativeCreate(user_.get(), L"many", KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
  for (int i = 0; i < kCount; ++i) {
    NativeKey child;
    ASSERT_EQ(NativeCreate(parent.get(), ManyName(i), KEY_READ, &child), ERROR_SUCCESS) << i;
  }
  const Names witness = NativeSubKeys(parent.get());
  ASSERT_EQ(witness.size(), static_cast<size_t>(kCount));

  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key, L"many"));
  LibEnumerator enumerator;
  ASSERT_CODE(key.h.key->EnumerateSubKeys(&enumerator.h), RYL_OK);
  ASSERT_NE(enumerator.h.enumerator, nullptr);
  Names listed;
  ASSERT_NO_FATAL_FAILURE(ListFrom(enumerator.h.enumerator, &listed, kCount + 10));
  EXPECT_TRUE(SameNames(listed, witness));

  // Reset goes back to the first name.
  ASSERT_FALSE(listed.empty());
  EXPECT_CODE(enumerator.h.enumerator->Reset(), RYL_OK);
  Output<wchar_t> first;
  EXPECT_CODE(enumerator.h.enumerator->GetCurrent(first.get()), RYL_OK);
  EXPECT_EQ(first.Text(), listed.front());
}

TEST_F(RegistryTest, ValueNamesAreListedAsAdvapiListsThem) {
  Names names = {L"", LongName(255, L'E'), LongName(16383, L'F'), L"\u00e9\u4e2d"};
  for (int i = 0; i < 300; ++i) names.push_back(L"value-" + std::to_wstring(i));
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(NativeWrite(user_.get(), names[i], REG_BINARY, Pattern(i % 7, static_cast<uint32_t>(i))),
              ERROR_SUCCESS);
  }
  const Names witness = NativeValueNames(user_.get());
  ASSERT_EQ(witness.size(), names.size());
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  Names listed;
  ASSERT_NO_FATAL_FAILURE(LibList(key.h.key, true, &listed));
  EXPECT_TRUE(SameNames(listed, witness));
}

TEST_F(RegistryTest, AnEmptyKeyListsNothing) {
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  for (const bool values : {false, true}) {
    SCOPED_TRACE(values ? "values" : "subkeys");
    LibEnumerator enumerator;
    const ResultCode result =
        values ? key.h.key->EnumerateValues(&enumerator.h) : key.h.key->EnumerateSubKeys(&enumerator.h);
    ASSERT_TRUE(RylSucceeded(result));
    ASSERT_NE(enumerator.h.enumerator, nullptr);
    Output<wchar_t> name;
    EXPECT_CODE(enumerator.h.enumerator->GetCurrent(name.get()), RYL_E_NO_MORE_ITEMS);
    EXPECT_CODE(enumerator.h.enumerator->MoveNext(), RYL_S_NO_MORE_ITEMS);
    EXPECT_CODE(enumerator.h.enumerator->Reset(), RYL_S_NO_MORE_ITEMS);
    EXPECT_CODE(enumerator.h.enumerator->GetCurrent(name.get()), RYL_E_NO_MORE_ITEMS);
  }
}

TEST_F(RegistryTest, KeyInformationAgreesWithAdvapi) {
  for (const wchar_t* child : {L"a", L"bb", L"ccc"}) {
    NativeKey made;
    ASSERT_EQ(NativeCreate(user_.get(), child, KEY_READ, &made), ERROR_SUCCESS);
  }
  ASSERT_EQ(NativeWrite(user_.get(), L"small", REG_BINARY, Pattern(3, 4)), ERROR_SUCCESS);
  ASSERT_EQ(NativeWrite(user_.get(), L"large", REG_BINARY, Pattern(4099, 5)), ERROR_SUCCESS);
  DWORD subKeys = 0;
  DWORD values = 0;
  DWORD longestData = 0;
  ASSERT_EQ(RegQueryInfoKeyW(user_.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                             &longestData, nullptr, nullptr),
            ERROR_SUCCESS);
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  RylRegistryKeyInfo info{};
  ASSERT_CODE(key.h.key->QueryInfo(&info), RYL_OK);
  EXPECT_EQ(info.subKeyCount, subKeys);
  EXPECT_EQ(info.valueCount, values);
  EXPECT_EQ(info.longestValueData, longestData);
}

// --- Deletion --------------------------------------------------------------------------

// Builds parent\name as a chain of depth levels, each with a few values and a
// side leaf, so that deletion has to handle several children per level.
void BuildTree(HKEY parent, const std::wstring& name, int depth) {
  std::wstring path = name;
  for (int level = 0;; ++level) {
    NativeKey key;
    ASSERT_EQ(NativeCreate(parent, path, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << level;
    ASSERT_EQ(NativeWrite(key.get(), L"text", REG_SZ, Utf16(L"level " + std::to_wstring(level), true)),
              ERROR_SUCCESS);
    ASSERT_EQ(NativeWrite(key.get(), L"bytes", REG_BINARY, Pattern(16, static_cast<uint32_t>(level))),
              ERROR_SUCCESS);
    if (level == depth) break;
    NativeKey side;
    ASSERT_EQ(NativeCreate(key.get(), L"side", KEY_ALL_ACCESS, &side), ERROR_SUCCESS);
    ASSERT_EQ(NativeWrite(side.get(), L"", REG_DWORD, Pattern(4, 99)), ERROR_SUCCESS);
    path += L"\\level-" + std::to_wstring(level + 1);
  }
}

bool UnderTarget(const std::wstring& line) {
  return line == L"\\target" || line.rfind(L"\\target\\", 0) == 0 || line.rfind(L"\\target|", 0) == 0;
}

TEST_F(RegistryTest, DeletionRemovesWhatItMayAndNothingElse) {
  struct Case {
    const char* label;
    int depth;  // levels below the target; -1: no target at all
    bool recursive;
    bool removed;
  };
  const Case cases[] = {
      {"a leaf, plainly", 0, false, true},
      {"a leaf, recursively", 0, true, true},
      {"a key with a child, plainly", 1, false, false},
      {"50 levels, plainly", 50, false, false},
      {"50 levels, recursively", 50, true, true},
      {"a missing key, plainly", -1, false, false},
      {"a missing key, recursively", -1, true, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring container = L"case-" + std::to_wstring(index++);
    NativeKey box;
    ASSERT_EQ(NativeCreate(user_.get(), container, KEY_ALL_ACCESS, &box), ERROR_SUCCESS);
    // A neighbour whose name starts like the target's, which must survive.
    ASSERT_NO_FATAL_FAILURE(BuildTree(box.get(), L"target-neighbour", 2));
    if (c.depth >= 0) {
      ASSERT_NO_FATAL_FAILURE(BuildTree(box.get(), L"target", c.depth));
    }
    Names before;
    ASSERT_NO_FATAL_FAILURE(Snapshot(box.get(), L"", &before));

    LibKey key;
    ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key, container));
    const std::wstring target = L"target";
    const ResultCode result = key.h.key->DeleteSubKey(target.c_str(), Len(target), c.recursive ? 1 : 0, 0);
    if (c.removed) {
      EXPECT_TRUE(RylSucceeded(result)) << std::hex << "0x" << static_cast<uint32_t>(result);
    } else {
      EXPECT_TRUE(RylFailed(result)) << std::hex << "0x" << static_cast<uint32_t>(result);
    }

    NativeKey gone;
    EXPECT_EQ(NativeOpen(box.get(), target, KEY_READ, &gone), c.removed || c.depth < 0 ? ERROR_FILE_NOT_FOUND
                                                                                        : ERROR_SUCCESS);
    Names expected = before;
    if (c.removed) expected.erase(std::remove_if(expected.begin(), expected.end(), &UnderTarget), expected.end());
    Names after;
    ASSERT_NO_FATAL_FAILURE(Snapshot(box.get(), L"", &after));
    EXPECT_EQ(after, expected);
  }
}

// --- Handles ---------------------------------------------------------------------------

TEST_F(RegistryTest, OpeningAndReadingKeepNoHandle) {
  // Wine answers GetProcessHandleCount with 0 whatever the process holds; the
  // support counter reads the system's handle table then. It must see one
  // handle come and go, or the comparison below proves nothing.
  const unsigned long base = ProcessHandleCount();
  ASSERT_NE(base, 0ul);
  ASSERT_NE(base, ~0ul);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(ProcessHandleCount(), base + 1);
  CloseHandle(event);

  const DWORD stored = 0x5EED1234;
  ASSERT_EQ(RegSetValueExW(user_.get(), L"counted", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                           sizeof stored),
            ERROR_SUCCESS);
  const std::wstring value = L"counted";
  const std::wstring absent = L"absent";
  const std::wstring missingKey = path_ + L"\\missing";
  auto round = [&]() {
    LibKey root;
    ASSERT_CODE(root_->OpenRegistryRoot(&root.h, RYL_ROOT_CURRENT_USER), RYL_OK);
    LibKey key;
    ASSERT_CODE(root.h.key->OpenSubKey(&key.h, path_.c_str(), Len(path_), KEY_READ), RYL_OK);
    uint32_t type = 0;
    Bytes data;
    ASSERT_CODE(LibRead(key.h.key, value, &type, &data), RYL_OK);
    ASSERT_TRUE(SameBytes(data, Bytes(reinterpret_cast<const uint8_t*>(&stored),
                                      reinterpret_cast<const uint8_t*>(&stored) + sizeof stored)));
    // Failures must not keep one either.
    LibKey missing;
    EXPECT_LT(root.h.key->OpenSubKey(&missing.h, missingKey.c_str(), Len(missingKey), KEY_READ), 0);
    EXPECT_LT(LibRead(key.h.key, absent, &type, &data), 0);
  };
  round();  // whatever is made once per process exists from here on
  const unsigned long before = ProcessHandleCount();
  for (int i = 0; i < 2000 && !HasFailure(); ++i) round();
  const unsigned long after = ProcessHandleCount();
  constexpr unsigned long kSlack = 4;
  EXPECT_LE(after, before + kSlack) << "before " << before << ", after " << after;
}

// --- Faces and names --------------------------------------------------------------------

TEST_F(RegistryTest, TheKeyAnswersItsKeyHiveAndWatchFacesOnly) {
  const struct {
    uint32_t type;
    uint32_t version;
    bool answered;
  } cases[] = {
      {RYL_TYPE_REGISTRY_KEY, 1, true},        {RYL_TYPE_REGISTRY_HIVE, 1, true},
      {RYL_TYPE_REGISTRY_WATCH, 1, true},      {RYL_TYPE_REGISTRY_KEY, 0, true},
      {RYL_TYPE_REGISTRY_KEY, 2, false},       {RYL_TYPE_REGISTRY_WATCH, 2, false},
      {RYL_TYPE_REGISTRY_WATCHER, 1, false},   {RYL_TYPE_ROOT_FACTORY, 1, false},
  };
  LibKey key;
  ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key));
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " version " << c.version);
    uint8_t supported = 0xEE;
    void* face = key.h.key->Query(c.type, c.version, &supported);
    EXPECT_EQ(supported, c.answered ? 1 : 0);
    EXPECT_EQ(face != nullptr, c.answered);
  }
  uint8_t supported = 0;
  EXPECT_EQ(key.h.key->Query(RYL_TYPE_REGISTRY_KEY, 1, &supported), static_cast<void*>(key.h.key));
}

class NameTest : public RegistryTest {
 protected:
  void ExpectName(uint32_t rootIndex, const std::wstring& prefix) {
    LibKey key;
    ASSERT_NO_FATAL_FAILURE(OpenThroughLibrary(rootIndex, path_, KEY_READ, &key));
    Output<wchar_t> name;
    ASSERT_CODE(key.h.key->GetName(name.get()), RYL_OK);
    const std::wstring text = Upper(name.Text());
    const std::wstring suffix = Upper(L"\\" + name_);
    EXPECT_EQ(text.rfind(Upper(prefix), 0), 0u) << name.Text();
    ASSERT_GE(text.size(), suffix.size()) << name.Text();
    EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix) << name.Text();
  }
};

TEST_F(NameTest, AUserKeyIsNamedBelowTheUsersBranch) {
  ExpectName(RYL_ROOT_CURRENT_USER, L"\\REGISTRY\\USER\\");
}

TEST_F(NameTest, AMachineKeyIsNamedBelowTheMachinesSoftware) {
  NativeKey machine;
  CREATE_MACHINE_KEY_OR_SKIP(path_, 0, &machine);
  ExpectName(RYL_ROOT_LOCAL_MACHINE, L"\\REGISTRY\\MACHINE\\SOFTWARE\\");
}

// --- Watchers ---------------------------------------------------------------------------

// A watcher on a key of the library's, destroyed at the end unless taken.
struct Watcher {
  RylRegistryWatcher* watcher = nullptr;
  ~Watcher() {
    if (watcher != nullptr) watcher->Destroy();
  }
  HANDLE handle() const { return static_cast<HANDLE>(watcher->GetWaitable()->Handle()); }
  RylRegistryWatcher* Take() {
    RylRegistryWatcher* taken = watcher;
    watcher = nullptr;
    return taken;
  }
};

void Watch(RylRegistryKey* key, bool subtree, Watcher* out) {
  uint8_t supported = 0;
  auto* watch = static_cast<RylRegistryWatch*>(key->Query(RYL_TYPE_REGISTRY_WATCH, 1, &supported));
  ASSERT_EQ(supported, 1);
  ASSERT_NE(watch, nullptr);
  StoringReceiver receiver(RYL_VERSION_REGISTRY_WATCHER);
  ASSERT_CODE(watch->CreateWatcher(&receiver.record, subtree ? 1 : 0), RYL_OK);
  ASSERT_EQ(receiver.deliveries, 1);
  out->watcher = static_cast<RylRegistryWatcher*>(receiver.object);
  ASSERT_NE(out->watcher, nullptr);
  ASSERT_NE(out->watcher->GetWaitable(), nullptr);
  ASSERT_NE(out->handle(), nullptr);
}

TEST_F(RegistryTest, AWatcherReportsAChangeMadeOnAnotherThread) {
  struct Case {
    const char* label;
    bool subtree;
    bool inChild;
    bool reported;
  };
  const Case cases[] = {
      {"a value of the key, key watched", false, false, true},
      {"a value of the key, subtree watched", true, false, true},
      {"a value of a child, subtree watched", true, true, true},
      {"a value of a child, key watched", false, true, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring watched = L"watched-" + std::to_wstring(index++);
    NativeKey made;
    ASSERT_EQ(NativeCreate(user_.get(), watched + L"\\child", KEY_READ, &made), ERROR_SUCCESS);
    const std::wstring changed = path_ + L"\\" + watched + (c.inChild ? L"\\child" : L"");
    LibKey key;
    ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key, watched));
    Watcher watcher;
    ASSERT_NO_FATAL_FAILURE(Watch(key.h.key, c.subtree, &watcher));
    // Nothing has changed yet: a signal now would make the checks below moot.
    ASSERT_EQ(WaitForSingleObject(watcher.handle(), 0), kTimedOut);

    ASSERT_EQ(WriteFromAnotherThread(HKEY_CURRENT_USER, changed, L"first", 1), ERROR_SUCCESS);
    if (!c.reported) {
      EXPECT_EQ(WaitForSingleObject(watcher.handle(), 500), kTimedOut);
      continue;
    }
    ASSERT_EQ(WaitForSingleObject(watcher.handle(), 5000), kSignalled);
    // The signal stays until the host asks for the next change.
    EXPECT_EQ(WaitForSingleObject(watcher.handle(), 0), kSignalled);
    ASSERT_CODE(watcher.watcher->Rearm(), RYL_OK);
    EXPECT_EQ(WaitForSingleObject(watcher.handle(), 0), kTimedOut);
    ASSERT_EQ(WriteFromAnotherThread(HKEY_CURRENT_USER, changed, L"second", 2), ERROR_SUCCESS);
    EXPECT_EQ(WaitForSingleObject(watcher.handle(), 5000), kSignalled);
  }
}

TEST_F(RegistryTest, DestroyingAWatcherReturnsPromptly) {
  struct Case {
    const char* label;
    int changes;  // made before the watcher goes
    bool rearm;
  };
  const Case cases[] = {
      {"armed, nothing changed", 0, false},
      {"signalled, not rearmed", 1, false},
      {"rearmed after a change", 1, true},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring watched = L"destroyed-" + std::to_wstring(index++);
    NativeKey made;
    ASSERT_EQ(NativeCreate(user_.get(), watched, KEY_READ, &made), ERROR_SUCCESS);
    LibKey key;
    ASSERT_NO_FATAL_FAILURE(OpenUserKey(&key, watched));
    Watcher watcher;
    ASSERT_NO_FATAL_FAILURE(Watch(key.h.key, true, &watcher));
    for (int i = 0; i < c.changes; ++i) {
      ASSERT_EQ(WriteFromAnotherThread(HKEY_CURRENT_USER, path_ + L"\\" + watched, L"v", 7), ERROR_SUCCESS);
      ASSERT_EQ(WaitForSingleObject(watcher.handle(), 5000), kSignalled);
    }
    if (c.rearm) {
      ASSERT_CODE(watcher.watcher->Rearm(), RYL_OK);
    }

    // On a thread of its own, so that a destruction that hangs fails the test
    // instead of stopping the run.
    RylRegistryWatcher* taken = watcher.Take();
    HANDLE thread = CreateThread(nullptr, 0, &DestroyOnThread, taken, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const DWORD waited = WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    ASSERT_EQ(waited, kSignalled) << "Destroy did not return within 5 s";
  }
}

}  // namespace
}  // namespace ryl::test
