/* Registry keys reached the way an MSVC-built host reaches them: root slot 19
 * hands out key objects as two-word holders ({key, control block}), and the
 * key, hive, watch, watcher, waitable and enumerator tables are called by
 * slot number only, each call checked for removing exactly its argument
 * words. What the library writes is read back through advapi32 and what
 * advapi32 writes is read through the library, so that the library never
 * only agrees with itself. The work happens below
 * HKCU\Software\rylutil-abi-<tick>-<pid>; the library's recursive delete
 * removes it, and advapi32 does if that failed, so a failed run leaves no
 * key behind. */
#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include "abi_codes.h"
#include "abi_host.h"
#include "abi_text.h"

/* Opening a subkey that is not there; abi_codes.h has no name for it. */
#define E_KEY_NOT_FOUND 0xE0010013u

enum { kTypeWatcher = 31, kTypeKey = 54, kTypeHive = 55, kTypeWatch = 56 };
enum { kRootOpenRegistryRoot = 19, kRootCurrentUser = 1, kRootCount = 9 };

/* Key table. */
enum {
  kKeyQuery = 0,
  kOpenSubKey = 1,
  kCreateSubKey = 2,
  kCreateSubKeyPath = 3,
  kGetName = 4,
  kEnumerateValues = 5,
  kEnumerateSubKeys = 6,
  kDeleteSubKey = 7,
  kValueExists = 8,
  kSetValue = 9,
  kQueryValue = 10,
  kDeleteValue = 11,
  kQueryInfo = 12
};
enum { kHiveQuery = 0, kRestore = 1, kSave = 2, kLoad = 3, kUnload = 4 };
enum { kCreateWatcher = 0 };
enum { kWatcherQuery = 0, kWatcherDestroy = 1, kGetWaitable = 2, kRearm = 3 };
enum { kWaitableKind = 3, kWaitableHandle = 4, kWaitableIsClosed = 5 };
enum { kEnumGetCurrent = 1, kEnumMoveNext = 2, kEnumReset = 3 };

/* A uint8 argument takes a whole stack word, and a caller need not clear the
 * three bytes above it: only the low byte may count. */
#define BYTE_FALSE_WITH_NOISE 0xA5A5A500u
#define BYTE_TRUE 1u

/* The control block as std::shared_ptr lays it out. */
typedef struct {
  void** table; /* 0 Dispose, 1 DeleteThis */
  volatile LONG uses;
  volatile LONG weaks;
} Control;

/* A key holder and an enumerator holder alike. */
typedef struct {
  void* object;
  Control* control;
} Holder;

typedef struct {
  uint32_t subKeys;
  uint32_t longestSubKey; /* bytes, as are the other lengths */
  uint32_t longestClass;
  uint32_t values;
  uint32_t longestValueName;
  uint32_t longestValueData;
  uint64_t lastWrite;
} KeyInfo;

_Static_assert(sizeof(KeyInfo) == 32 && offsetof(KeyInfo, lastWrite) == 24, "key information record");
_Static_assert(sizeof(Holder) == 8, "holder record");

static wchar_t g_testName[64];  /* rylutil-abi-<tick>-<pid> */
static wchar_t g_testPath[96];  /* Software\<test name>, for advapi32 */
static wchar_t g_testTail[72];  /* \<test name>, how GetName must end */

/* --- Holders ------------------------------------------------------------- */

/* What a host's std::shared_ptr does when it lets go. */
static void Release(Holder* holder) {
  Control* control = holder->control;
  holder->object = NULL;
  holder->control = NULL;
  if (control == NULL) return;
  if (InterlockedDecrement(&control->uses) == 0) {
    AbiCall(control, 0, NULL, 0, "control Dispose");
    if (InterlockedDecrement(&control->weaks) == 0) AbiCall(control, 1, NULL, 0, "control DeleteThis");
  }
}

static int IsFresh(const Holder* holder) {
  return holder->object != NULL && holder->control != NULL && holder->control->uses == 1 &&
         holder->control->weaks == 1;
}

/* --- Key slots ------------------------------------------------------------ */

static void* KeyQuery(void* key, uint32_t type, uint32_t version, uint8_t* supported) {
  const uint32_t words[3] = {type, version, W(supported)};
  return (void*)(uintptr_t)AbiCall(key, kKeyQuery, words, 3, "key Query");
}

/* Open, create or create-path (by slot) into *out. */
static uint32_t Produce(void* key, unsigned slot, Holder* out, const wchar_t* name, uint32_t access) {
  const uint32_t words[4] = {W(out), W(name), LEN(name), access};
  return AbiCall(key, slot, words, 4,
                 slot == kOpenSubKey ? "OpenSubKey" : slot == kCreateSubKey ? "CreateSubKey" : "CreateSubKeyPath");
}

static uint32_t SetValue(void* key, uint32_t type, const void* data, uint32_t size, const wchar_t* name) {
  const uint32_t words[5] = {type, W(data), size, W(name), LEN(name)};
  return AbiCall(key, kSetValue, words, 5, "SetValue");
}

/* QueryValue of the first nameLength units of name. */
static uint32_t QueryValue(void* key, uint32_t* type, AbiOutput* out, const wchar_t* name, uint32_t nameLength) {
  const uint32_t words[4] = {W(type), W(out), W(name), nameLength};
  return AbiCall(key, kQueryValue, words, 4, "QueryValue");
}

static uint32_t ValueExists(void* key, uint8_t* exists, const wchar_t* name) {
  const uint32_t words[3] = {W(exists), W(name), LEN(name)};
  return AbiCall(key, kValueExists, words, 3, "ValueExists");
}

static uint32_t DeleteValue(void* key, const wchar_t* name) {
  const uint32_t words[2] = {W(name), LEN(name)};
  return AbiCall(key, kDeleteValue, words, 2, "DeleteValue");
}

static uint32_t DeleteSubKey(void* key, const wchar_t* name, uint32_t recursiveWord) {
  const uint32_t words[4] = {W(name), LEN(name), recursiveWord, 0};
  return AbiCall(key, kDeleteSubKey, words, 4, "DeleteSubKey");
}

static void OutputInit(AbiOutput* out) {
  out->callbacks = &kAbiHeapBuffer;
  out->context = NULL;
  out->view.data = NULL;
  out->view.length = 0;
}

static void OutputFree(AbiOutput* out) {
  if (out->view.data != NULL) HeapFree(GetProcessHeap(), 0, out->view.data);
  out->view.data = NULL;
  out->view.length = 0;
}

static int OutputIsText(const AbiOutput* out, const wchar_t* text) {
  return out->view.length == LEN(text) && memcmp(out->view.data, text, out->view.length * sizeof(wchar_t)) == 0;
}

/* Registry names compare without regard to case. */
static int NameEndsWith(void* key, const wchar_t* tail) {
  AbiOutput out;
  OutputInit(&out);
  const uint32_t words[1] = {W(&out)};
  const uint32_t result = AbiCall(key, kGetName, words, 1, "GetName");
  const uint32_t n = LEN(tail);
  const int ok = result == 0 && out.view.data != NULL && out.view.length >= n &&
                 _wcsnicmp((const wchar_t*)out.view.data + (out.view.length - n), tail, n) == 0;
  if (!ok) {
    printf("  GetName answered 0x%08X: %.*ls\n", result, out.view.data != NULL ? (int)out.view.length : 0,
           out.view.data != NULL ? (const wchar_t*)out.view.data : L"");
  }
  OutputFree(&out);
  return ok;
}

/* --- advapi32's view -------------------------------------------------------- */

/* The test key, or a key below it. */
static void NativePath(wchar_t* out, size_t capacity, const wchar_t* below) {
  wcsncpy(out, g_testPath, capacity - 1);
  out[capacity - 1] = 0;
  if (below != NULL && wcslen(out) + 1 + wcslen(below) < capacity) {
    wcscat(out, L"\\");
    wcscat(out, below);
  }
}

static LONG NativeOpen(const wchar_t* below, REGSAM access, HKEY* key) {
  wchar_t path[160];
  NativePath(path, sizeof path / sizeof path[0], below);
  return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, key);
}

/* ERROR_SUCCESS when the key is there. */
static LONG NativeProbe(const wchar_t* below) {
  HKEY key = NULL;
  const LONG error = NativeOpen(below, KEY_READ, &key);
  if (error == ERROR_SUCCESS) RegCloseKey(key);
  return error;
}

static LONG NativeSetDword(const wchar_t* below, const wchar_t* name, DWORD value) {
  HKEY key = NULL;
  LONG error = NativeOpen(below, KEY_SET_VALUE, &key);
  if (error != ERROR_SUCCESS) return error;
  error = RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
  RegCloseKey(key);
  return error;
}

static LONG NativeCreate(const wchar_t* below) {
  wchar_t path[160];
  NativePath(path, sizeof path / sizeof path[0], below);
  HKEY key = NULL;
  const LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_READ, NULL, &key, NULL);
  if (error == ERROR_SUCCESS) RegCloseKey(key);
  return error;
}

/* Removes a key and everything below it without the library; bounded, so
 * that a child that cannot go cannot keep it looping. */
static void NativeRemoveTree(HKEY parent, const wchar_t* name, int depth) {
  HKEY key = NULL;
  if (depth > 16 || RegOpenKeyExW(parent, name, 0, KEY_READ | DELETE, &key) != ERROR_SUCCESS) return;
  for (int attempt = 0; attempt < 256; ++attempt) {
    wchar_t child[256];
    DWORD length = sizeof child / sizeof child[0];
    if (RegEnumKeyExW(key, 0, child, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    NativeRemoveTree(key, child, depth + 1);
  }
  RegCloseKey(key);
  RegDeleteKeyW(parent, name);
}

/* --- Roots ------------------------------------------------------------------ */

static uint32_t OpenRoot(void* root, Holder* holder, uint32_t index) {
  const uint32_t words[2] = {W(holder), index};
  return AbiCall(root, kRootOpenRegistryRoot, words, 2, "OpenRegistryRoot");
}

static void CheckRoots(void* root) {
  int good = 0;
  for (uint32_t index = 0; index < kRootCount; ++index) {
    Holder holder = {NULL, NULL};
    uint8_t supported = 0;
    if (OpenRoot(root, &holder, index) == 0 && IsFresh(&holder) &&
        KeyQuery(holder.object, kTypeKey, 1, &supported) == holder.object && supported == 1) {
      ++good;
    }
    Release(&holder);
  }
  ABI_CHECK(good == kRootCount, "%d of the 9 roots hand out a key object holding one use", good);

  int marker = 0;
  const uint32_t indexes[2] = {kRootCount, 0xFFFFFFFFu};
  for (int i = 0; i < 2; ++i) {
    Holder holder = {&marker, NULL};
    const uint32_t result = OpenRoot(root, &holder, indexes[i]);
    ABI_CHECK(result == E_INVALID_ARG, "root index %u is refused with 0xE0010002: 0x%08X", indexes[i], result);
    ABI_CHECK(holder.object == &marker && holder.control == NULL, "and the holder is left as it was");
  }
}

static void CheckKeyFaces(void* key) {
  uint8_t supported = 0xCC;
  ABI_CHECK(KeyQuery(key, kTypeKey, 1, &supported) == key && supported == 1, "a key answers type 54 as itself");
  supported = 0xCC;
  ABI_CHECK(KeyQuery(key, kTypeKey, 2, &supported) == NULL && supported == 0, "version 2 is null, unsupported");
  supported = 0xCC;
  ABI_CHECK(KeyQuery(key, kTypeHive, 1, &supported) != NULL && supported == 1, "a key answers type 55");
  supported = 0xCC;
  ABI_CHECK(KeyQuery(key, kTypeWatch, 1, &supported) != NULL && supported == 1, "a key answers type 56");
  supported = 0xCC;
  ABI_CHECK(KeyQuery(key, kTypeWatcher, 1, &supported) == NULL && supported == 0, "a key is not a watcher");
}

/* --- Subkeys ------------------------------------------------------------- */

static void CheckCreation(void* test) {
  Holder deep = {NULL, NULL};
  uint32_t result = Produce(test, kCreateSubKeyPath, &deep, L"a\\b\\c", KEY_ALL_ACCESS);
  ABI_CHECK(result == 0 && IsFresh(&deep), "CreateSubKeyPath a\\b\\c: 0x%08X", result);
  ABI_CHECK(NativeProbe(L"a\\b\\c") == ERROR_SUCCESS, "advapi32 opens a\\b\\c");
  if (deep.object != NULL) ABI_CHECK(NameEndsWith(deep.object, L"\\a\\b\\c"), "GetName of the new key ends in a\\b\\c");
  Release(&deep);

  Holder child = {NULL, NULL};
  result = Produce(test, kCreateSubKey, &child, L"one", KEY_ALL_ACCESS);
  ABI_CHECK(result == 0 && IsFresh(&child), "CreateSubKey one: 0x%08X", result);
  /* Creating what exists opens it. */
  result = Produce(test, kCreateSubKey, &child, L"one", KEY_ALL_ACCESS);
  ABI_CHECK(result == 0 && IsFresh(&child), "CreateSubKey one again: 0x%08X", result);
  result = Produce(test, kCreateSubKey, &child, L"two", KEY_ALL_ACCESS);
  ABI_CHECK(result == 0 && IsFresh(&child), "CreateSubKey two into the same holder: 0x%08X", result);
  if (child.object != NULL) ABI_CHECK(NameEndsWith(child.object, L"\\two"), "the holder now holds two");
  Release(&child);
  ABI_CHECK(NativeProbe(L"one") == ERROR_SUCCESS && NativeProbe(L"two") == ERROR_SUCCESS,
            "advapi32 opens one and two");

  Holder missing = {NULL, NULL};
  result = Produce(test, kOpenSubKey, &missing, L"no-such-key", KEY_READ);
  ABI_CHECK(result == E_KEY_NOT_FOUND, "opening a missing subkey answers 0xE0010013: 0x%08X", result);
  ABI_CHECK(missing.object == NULL && missing.control == NULL, "and leaves an empty holder empty");
}

/* --- Values ----------------------------------------------------------------- */

typedef struct {
  const wchar_t* name;
  uint32_t type;
  const void* data;
  uint32_t size;
} Value;

static const wchar_t kText[] = L"hello";
static const uint8_t kBlob[] = {0x00, 0xFF, 0x10, 0x80, 0x7F};
static const uint32_t kNumber = 0xC0FFEE42u;
static const wchar_t kList[] = L"one\0two\0"; /* with the literal's own zero: 9 units */
static const uint64_t kWide = 0x0123456789ABCDEFull;
static const DWORD kPeer = 0x5EEDu;

static const Value kValues[] = {
    {L"text", 1, kText, sizeof kText},
    {L"blob", 3, kBlob, sizeof kBlob},
    {L"number", 4, &kNumber, sizeof kNumber},
    {L"list", 7, kList, sizeof kList},
    {L"wide", 11, &kWide, sizeof kWide},
};
#define VALUE_COUNT ((int)(sizeof kValues / sizeof kValues[0]))

static int NativeValueIs(HKEY key, const Value* value) {
  uint8_t data[64];
  DWORD type = 0;
  DWORD size = sizeof data;
  return RegQueryValueExW(key, value->name, NULL, &type, data, &size) == ERROR_SUCCESS && type == value->type &&
         size == value->size && memcmp(data, value->data, size) == 0;
}

static int LibraryValueIs(void* key, const Value* value) {
  AbiOutput out;
  OutputInit(&out);
  uint32_t type = 0xDEADBEEF;
  const uint32_t result = QueryValue(key, &type, &out, value->name, LEN(value->name));
  const int ok = result == 0 && type == value->type && out.view.length == value->size &&
                 memcmp(out.view.data, value->data, value->size) == 0;
  if (!ok) printf("  QueryValue %ls: 0x%08X, type %u, %u bytes\n", value->name, result, type, out.view.length);
  OutputFree(&out);
  return ok;
}

static void CheckValues(void* test) {
  for (int i = 0; i < VALUE_COUNT; ++i) {
    const uint32_t result = SetValue(test, kValues[i].type, kValues[i].data, kValues[i].size, kValues[i].name);
    ABI_CHECK(result == 0, "SetValue %ls (type %u): 0x%08X", kValues[i].name, kValues[i].type, result);
  }
  HKEY native = NULL;
  ABI_CHECK(NativeOpen(NULL, KEY_QUERY_VALUE, &native) == ERROR_SUCCESS, "advapi32 opens the test key");
  for (int i = 0; i < VALUE_COUNT; ++i) {
    if (native != NULL) {
      ABI_CHECK(NativeValueIs(native, &kValues[i]), "advapi32 reads %ls as the library wrote it", kValues[i].name);
    }
    ABI_CHECK(LibraryValueIs(test, &kValues[i]), "QueryValue reads %ls back: type and bytes", kValues[i].name);
    uint8_t exists = 0xCC;
    const uint32_t result = ValueExists(test, &exists, kValues[i].name);
    ABI_CHECK(result == 0 && exists == 1, "ValueExists %ls: 0x%08X, %u", kValues[i].name, result, exists);
  }
  if (native != NULL) RegCloseKey(native);

  /* Written by advapi32, read by the library. */
  ABI_CHECK(NativeSetDword(NULL, L"peer", kPeer) == ERROR_SUCCESS, "advapi32 writes peer");
  const Value peer = {L"peer", 4, &kPeer, sizeof kPeer};
  ABI_CHECK(LibraryValueIs(test, &peer), "QueryValue reads the value advapi32 wrote");

  /* Only nameLength units of the name count. */
  AbiOutput out;
  OutputInit(&out);
  uint32_t type = 0;
  uint32_t result = QueryValue(test, &type, &out, L"numberless", 6);
  ABI_CHECK(result == 0 && type == 4 && out.view.length == 4 && memcmp(out.view.data, &kNumber, 4) == 0,
            "QueryValue reads \"number\" from the first 6 units of \"numberless\": 0x%08X", result);
  OutputFree(&out);

  uint8_t exists = 0xCC;
  result = ValueExists(test, &exists, L"absent");
  ABI_CHECK(result == 0 && exists == 0, "ValueExists of a missing value: 0x%08X, %u", result, exists);
  type = 0xDEADBEEF;
  result = QueryValue(test, &type, &out, L"absent", 6);
  ABI_CHECK(result == E_FILE_NOT_FOUND, "QueryValue of a missing value answers 0xE001003D: 0x%08X", result);
  OutputFree(&out);
}

/* After CheckCreation and CheckValues: subkeys a, one, two; six values. */
static void CheckInfo(void* test) {
  KeyInfo info;
  memset(&info, 0xCC, sizeof info);
  const uint32_t words[1] = {W(&info)};
  const uint32_t result = AbiCall(test, kQueryInfo, words, 1, "QueryInfo");
  ABI_CHECK(result == 0, "QueryInfo: 0x%08X", result);
  ABI_CHECK(info.subKeys == 3 && info.values == 6, "3 subkeys and 6 values (%u, %u)", info.subKeys, info.values);
  ABI_CHECK(info.longestSubKey == 6 && info.longestValueName == 12 && info.longestValueData == 18,
            "longest subkey name 6 bytes, value name 12, value data 18 (%u, %u, %u)", info.longestSubKey,
            info.longestValueName, info.longestValueData);

  HKEY native = NULL;
  if (NativeOpen(NULL, KEY_READ, &native) != ERROR_SUCCESS) {
    ABI_CHECK(0, "advapi32 opens the test key for RegQueryInfoKeyW");
    return;
  }
  DWORD subKeys = 0, longestSubKey = 0, longestClass = 0, values = 0, longestValueName = 0, longestValueData = 0;
  FILETIME written = {0, 0};
  const LONG error = RegQueryInfoKeyW(native, NULL, NULL, NULL, &subKeys, &longestSubKey, &longestClass, &values,
                                      &longestValueName, &longestValueData, NULL, &written);
  RegCloseKey(native);
  ABI_CHECK(error == ERROR_SUCCESS, "RegQueryInfoKeyW: %ld", error);
  /* advapi32 counts name lengths in characters. */
  ABI_CHECK(info.subKeys == subKeys && info.longestSubKey == longestSubKey * 2 &&
                info.longestClass == longestClass * 2 && info.values == values &&
                info.longestValueName == longestValueName * 2 && info.longestValueData == longestValueData,
            "QueryInfo agrees with RegQueryInfoKeyW (%lu, %lu, %lu, %lu, %lu, %lu)", subKeys, longestSubKey,
            longestClass, values, longestValueName, longestValueData);
  const uint64_t nativeTime = ((uint64_t)written.dwHighDateTime << 32) | written.dwLowDateTime;
  ABI_CHECK(info.lastWrite != 0 && info.lastWrite == nativeTime,
            "the last write time is RegQueryInfoKeyW's (0x%08X%08X, 0x%08X%08X)", HI(info.lastWrite),
            LO(info.lastWrite), HI(nativeTime), LO(nativeTime));
}

/* --- Enumeration ------------------------------------------------------------ */

/* Walks an enumerator from its first name to past its last, then once more
 * after Reset, expecting each of names exactly once in any order. */
static void CheckNames(void* key, unsigned slot, const wchar_t* const* names, int count, const char* what) {
  Holder walker = {NULL, NULL};
  const uint32_t words[1] = {W(&walker)};
  uint32_t result = AbiCall(key, slot, words, 1, what);
  ABI_CHECK(result == 0 && walker.object != NULL && walker.control != NULL, "%s: 0x%08X", what, result);
  if (walker.object == NULL) return;

  int seen[16] = {0};
  int total = 0, strangers = 0;
  wchar_t first[64] = {0};
  uint32_t firstLength = 0;
  uint32_t step = 0;
  AbiOutput out;
  OutputInit(&out);
  const uint32_t outWords[1] = {W(&out)};
  for (int guard = 0; guard < count + 4; ++guard) {
    result = AbiCall(walker.object, kEnumGetCurrent, outWords, 1, "enumerator GetCurrent");
    if (result != 0) {
      printf("  GetCurrent answered 0x%08X at name %d\n", result, total);
      ++strangers;
      break;
    }
    if (++total == 1 && out.view.length < 64) {
      firstLength = out.view.length;
      memcpy(first, out.view.data, firstLength * sizeof(wchar_t));
    }
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
      if (OutputIsText(&out, names[i])) found = i;
    }
    if (found >= 0) {
      ++seen[found];
    } else {
      ++strangers;
    }
    step = AbiCall(walker.object, kEnumMoveNext, NULL, 0, "enumerator MoveNext");
    if (step != 0) break;
  }
  int once = 1;
  for (int i = 0; i < count; ++i) once = once && seen[i] == 1;
  ABI_CHECK(total == count && strangers == 0 && once, "%s: %d names (wanted %d), %d unexpected, each once: %d", what,
            total, count, strangers, once);
  ABI_CHECK(step == S_NO_MORE_ITEMS, "%s: MoveNext past the last answers 0x6001000E: 0x%08X", what, step);
  result = AbiCall(walker.object, kEnumGetCurrent, outWords, 1, "enumerator GetCurrent");
  ABI_CHECK(result == E_NO_MORE_ITEMS, "%s: GetCurrent past the last answers 0xE001000E: 0x%08X", what, result);
  step = AbiCall(walker.object, kEnumMoveNext, NULL, 0, "enumerator MoveNext");
  ABI_CHECK(step == S_NO_MORE_ITEMS, "%s: and so does a second MoveNext: 0x%08X", what, step);

  result = AbiCall(walker.object, kEnumReset, NULL, 0, "enumerator Reset");
  ABI_CHECK(result == 0, "%s: Reset: 0x%08X", what, result);
  result = AbiCall(walker.object, kEnumGetCurrent, outWords, 1, "enumerator GetCurrent");
  ABI_CHECK(result == 0 && firstLength != 0 && out.view.length == firstLength &&
                memcmp(out.view.data, first, firstLength * sizeof(wchar_t)) == 0,
            "%s: after Reset GetCurrent is the first name again: 0x%08X", what, result);
  OutputFree(&out);
  Release(&walker);
}

static void CheckEnumeration(void* test) {
  static const wchar_t* const kSubKeys[] = {L"a", L"one", L"two"};
  static const wchar_t* const kValueNames[] = {L"text", L"blob", L"number", L"list", L"wide", L"peer"};
  CheckNames(test, kEnumerateSubKeys, kSubKeys, 3, "EnumerateSubKeys");
  CheckNames(test, kEnumerateValues, kValueNames, 6, "EnumerateValues");
}

/* --- Holder semantics ------------------------------------------------------- */

static void CheckHolders(void* test) {
  Holder held = {NULL, NULL};
  uint32_t result = Produce(test, kOpenSubKey, &held, L"one", KEY_READ);
  ABI_CHECK(result == 0 && IsFresh(&held), "OpenSubKey one: one use, one weak reference: 0x%08X", result);
  if (held.control == NULL) return;

  const Holder before = held;
  result = Produce(test, kOpenSubKey, &held, L"no-such-key", KEY_READ);
  ABI_CHECK(result == E_KEY_NOT_FOUND, "a failed open answers 0xE0010013: 0x%08X", result);
  ABI_CHECK(held.object == before.object && held.control == before.control && held.control->uses == 1,
            "and leaves both words of a full holder, and its use, as they were");

  /* A second use, as a host's copy of the shared_ptr holds it, keeps the old
   * key alive where the drop can be seen. */
  Holder copy = held;
  InterlockedIncrement(&copy.control->uses);
  result = Produce(test, kOpenSubKey, &held, L"two", KEY_READ);
  ABI_CHECK(result == 0 && held.object != copy.object && held.control != copy.control && IsFresh(&held),
            "OpenSubKey two into the full holder: 0x%08X", result);
  ABI_CHECK(copy.control->uses == 1, "the open released the holder's use of one: %ld left", copy.control->uses);
  ABI_CHECK(NameEndsWith(copy.object, L"\\one"), "the host's own use still reaches one");
  if (held.object != NULL && held.object != copy.object) {
    ABI_CHECK(NameEndsWith(held.object, L"\\two"), "the holder reaches two");
  }
  Release(&copy);
  Release(&held);

  /* key = key->OpenSubKey(...): the call replaces, in its own holder, the
   * very key it runs on. */
  Holder walk = {NULL, NULL};
  result = Produce(test, kOpenSubKey, &walk, L"a", KEY_READ);
  ABI_CHECK(result == 0 && IsFresh(&walk), "OpenSubKey a: 0x%08X", result);
  if (walk.object == NULL) return;
  result = Produce(walk.object, kOpenSubKey, &walk, L"b", KEY_READ);
  ABI_CHECK(result == 0 && IsFresh(&walk), "a's OpenSubKey b into a's own holder: 0x%08X", result);
  if (walk.object != NULL) ABI_CHECK(NameEndsWith(walk.object, L"\\a\\b"), "the holder now reaches a\\b");
  Release(&walk);
}

/* --- Hive ------------------------------------------------------------------- */

static void CheckHive(void* test) {
  uint8_t supported = 0;
  void* hive = KeyQuery(test, kTypeHive, 1, &supported);
  ABI_CHECK(hive != NULL && supported == 1, "the test key answers type 55");
  if (hive == NULL) return;
  supported = 0xCC;
  const uint32_t query[3] = {kTypeKey, 1, W(&supported)};
  ABI_CHECK(AbiCall(hive, kHiveQuery, query, 3, "hive Query") == W(test) && supported == 1,
            "the hive face's Query leads back to the key");

  /* Refused arguments, so that no hive file is touched. */
  const uint32_t restore[1] = {0};
  uint32_t result = AbiCall(hive, kRestore, restore, 1, "Restore");
  ABI_CHECK(result == E_INVALID_ARG, "Restore of a null path: 0x%08X", result);
  const uint32_t save[2] = {W(L"x"), 0};
  result = AbiCall(hive, kSave, save, 2, "Save");
  ABI_CHECK(result == E_INVALID_ARG, "Save of an empty path: 0x%08X", result);
  const uint32_t load[4] = {0, 0, W(L"x"), 1};
  result = AbiCall(hive, kLoad, load, 4, "Load");
  ABI_CHECK(result == E_INVALID_ARG, "Load of a null path: 0x%08X", result);
  static const wchar_t kNotLoaded[] = L"rylutil-abi-never-loaded";
  const uint32_t unload[2] = {W(kNotLoaded), LEN(kNotLoaded)};
  result = AbiCall(hive, kUnload, unload, 2, "Unload");
  ABI_CHECK((int32_t)result < 0, "Unload of a name that is not loaded fails: 0x%08X", result);
}

/* --- Watch ------------------------------------------------------------------ */

static uint32_t CreateWatcher(void* watch, uint32_t version, uint32_t subtreeWord, void** watcher) {
  *watcher = NULL;
  AbiReceiver receiver = {&kAbiStore, watcher, version, NULL, NULL};
  const uint32_t words[2] = {W(&receiver), subtreeWord};
  return AbiCall(watch, kCreateWatcher, words, 2, "CreateWatcher");
}

/* The watcher's event, having checked the watcher's and waitable's faces. */
static HANDLE WatcherHandle(void* watcher) {
  uint32_t highest = 0;
  const uint32_t query[3] = {kTypeWatcher, 1, W(&highest)};
  ABI_CHECK(AbiCall(watcher, kWatcherQuery, query, 3, "watcher Query") == W(watcher) && highest == 1,
            "a watcher answers type 31 at version 1");
  void* waitable = (void*)(uintptr_t)AbiCall(watcher, kGetWaitable, NULL, 0, "GetWaitable");
  ABI_CHECK(waitable != NULL, "GetWaitable gives a waitable");
  if (waitable == NULL) return NULL;
  const uint32_t kind = AbiCall(waitable, kWaitableKind, NULL, 0, "waitable Kind");
  ABI_CHECK(kind == 1, "the waitable is a kernel handle (kind %u)", kind);
  const uint32_t closed = AbiCall(waitable, kWaitableIsClosed, NULL, 0, "waitable IsClosed") & 0xFF;
  ABI_CHECK(closed == 0, "and is not closed");
  HANDLE handle = (HANDLE)(uintptr_t)AbiCall(waitable, kWaitableHandle, NULL, 0, "waitable Handle");
  ABI_CHECK(handle != NULL, "Handle is not null");
  return handle;
}

static void CheckWatch(void* test) {
  uint8_t supported = 0;
  void* watch = KeyQuery(test, kTypeWatch, 1, &supported);
  ABI_CHECK(watch != NULL && supported == 1, "the test key answers type 56");
  if (watch == NULL) return;

  void* watcher = NULL;
  uint32_t result = CreateWatcher(watch, 2, 0, &watcher);
  ABI_CHECK(result == E_UNSUPPORTED_VERSION && watcher == NULL,
            "a receiver at version 2 is refused with 0xE0010054 and gets nothing: 0x%08X", result);

  /* The key alone. */
  result = CreateWatcher(watch, 1, BYTE_FALSE_WITH_NOISE, &watcher);
  ABI_CHECK(result == 0 && watcher != NULL, "CreateWatcher for the key alone: 0x%08X", result);
  if (watcher != NULL) {
    HANDLE handle = WatcherHandle(watcher);
    if (handle != NULL) {
      ABI_CHECK(WaitForSingleObject(handle, 0) == WAIT_TIMEOUT, "a new watcher's event is not signalled");
      /* The change is reported before the creating call returns: a watcher of
       * the subtree would be signalled by now. */
      ABI_CHECK(NativeCreate(L"one\\quiet") == ERROR_SUCCESS, "advapi32 creates one\\quiet");
      ABI_CHECK(WaitForSingleObject(handle, 0) == WAIT_TIMEOUT, "a subkey's own change does not signal it");
      ABI_CHECK(NativeSetDword(NULL, L"poke", 1) == ERROR_SUCCESS, "RegSetValueExW on the key");
      ABI_CHECK(WaitForSingleObject(handle, 5000) == WAIT_OBJECT_0, "the value written signals the watcher");
      result = AbiCall(watcher, kRearm, NULL, 0, "Rearm");
      ABI_CHECK(result == 0, "Rearm: 0x%08X", result);
      ABI_CHECK(WaitForSingleObject(handle, 0) == WAIT_TIMEOUT, "Rearm clears the event");
      ABI_CHECK(NativeSetDword(NULL, L"poke", 2) == ERROR_SUCCESS, "RegSetValueExW on the key again");
      ABI_CHECK(WaitForSingleObject(handle, 5000) == WAIT_OBJECT_0, "the rearmed watcher is signalled again");
    }
    AbiCall(watcher, kWatcherDestroy, NULL, 0, "watcher Destroy");
  }

  /* The subtree. */
  result = CreateWatcher(watch, 1, BYTE_TRUE, &watcher);
  ABI_CHECK(result == 0 && watcher != NULL, "CreateWatcher for the subtree: 0x%08X", result);
  if (watcher != NULL) {
    HANDLE handle = WatcherHandle(watcher);
    if (handle != NULL) {
      ABI_CHECK(WaitForSingleObject(handle, 0) == WAIT_TIMEOUT, "a new subtree watcher's event is not signalled");
      ABI_CHECK(NativeCreate(L"one\\loud") == ERROR_SUCCESS, "advapi32 creates one\\loud");
      ABI_CHECK(WaitForSingleObject(handle, 5000) == WAIT_OBJECT_0, "a subkey's change signals a subtree watcher");
    }
    AbiCall(watcher, kWatcherDestroy, NULL, 0, "watcher Destroy");
  }
}

/* --- Deletion --------------------------------------------------------------- */

static void CheckValueDeletion(void* test) {
  uint32_t result = DeleteValue(test, L"blob");
  ABI_CHECK(result == 0, "DeleteValue blob: 0x%08X", result);
  uint8_t exists = 0xCC;
  result = ValueExists(test, &exists, L"blob");
  ABI_CHECK(result == 0 && exists == 0, "blob no longer exists: 0x%08X, %u", result, exists);
  HKEY native = NULL;
  if (NativeOpen(NULL, KEY_QUERY_VALUE, &native) == ERROR_SUCCESS) {
    const LONG error = RegQueryValueExW(native, L"blob", NULL, NULL, NULL, NULL);
    ABI_CHECK(error == ERROR_FILE_NOT_FOUND, "advapi32 no longer finds blob: %ld", error);
    RegCloseKey(native);
  }
  AbiOutput out;
  OutputInit(&out);
  uint32_t type = 0;
  result = QueryValue(test, &type, &out, L"blob", 4);
  ABI_CHECK(result == E_FILE_NOT_FOUND, "QueryValue of the deleted value: 0x%08X", result);
  OutputFree(&out);
  result = DeleteValue(test, L"blob");
  ABI_CHECK((int32_t)result < 0, "deleting it again fails: 0x%08X", result);
}

static void CheckSubKeyDeletion(void* test) {
  uint32_t result = DeleteSubKey(test, L"two", 0);
  ABI_CHECK(result == 0, "DeleteSubKey two: 0x%08X", result);
  ABI_CHECK(NativeProbe(L"two") == ERROR_FILE_NOT_FOUND, "advapi32 no longer finds two");
  result = DeleteSubKey(test, L"a", BYTE_FALSE_WITH_NOISE);
  ABI_CHECK((int32_t)result < 0, "a key with subkeys is not deleted alone: 0x%08X", result);
  ABI_CHECK(NativeProbe(L"a\\b\\c") == ERROR_SUCCESS, "and a\\b\\c is still there");
}

/* --- The test key ----------------------------------------------------------- */

static void CheckTestKey(void* software) {
  Holder test = {NULL, NULL};
  uint32_t result = Produce(software, kCreateSubKey, &test, g_testName, KEY_ALL_ACCESS);
  ABI_CHECK(result == 0 && IsFresh(&test), "CreateSubKey %ls: 0x%08X", g_testName, result);
  if (test.object != NULL) {
    ABI_CHECK(NativeProbe(NULL) == ERROR_SUCCESS, "advapi32 opens the new key");
    ABI_CHECK(NameEndsWith(test.object, g_testTail), "GetName ends with the test key's name");
    CheckKeyFaces(test.object);
    CheckCreation(test.object);
    CheckValues(test.object);
    CheckInfo(test.object);
    CheckEnumeration(test.object);
    CheckHolders(test.object);
    CheckHive(test.object);
    CheckWatch(test.object);
    CheckValueDeletion(test.object);
    CheckSubKeyDeletion(test.object);
  }
  Release(&test);

  result = DeleteSubKey(software, g_testName, BYTE_TRUE);
  ABI_CHECK(result == 0, "recursive DeleteSubKey of the test key: 0x%08X", result);
  const LONG error = NativeProbe(NULL);
  ABI_CHECK(error == ERROR_FILE_NOT_FOUND, "advapi32 no longer finds the test key: %ld", error);
  if (error != ERROR_FILE_NOT_FOUND) NativeRemoveTree(HKEY_CURRENT_USER, g_testPath, 0);
}

static void CheckRegistry(void* root) {
  Holder user = {NULL, NULL};
  const uint32_t result = OpenRoot(root, &user, kRootCurrentUser);
  ABI_CHECK(result == 0 && IsFresh(&user), "OpenRegistryRoot HKEY_CURRENT_USER: 0x%08X", result);
  if (user.object == NULL) return;
  CheckKeyFaces(user.object);
  Holder software = {NULL, NULL};
  const uint32_t opened = Produce(user.object, kOpenSubKey, &software, L"Software", KEY_ALL_ACCESS);
  ABI_CHECK(opened == 0 && IsFresh(&software), "OpenSubKey Software: 0x%08X", opened);
  if (software.object != NULL) CheckTestKey(software.object);
  Release(&software);
  Release(&user);
}

int main(void) {
  _snwprintf(g_testName, sizeof g_testName / sizeof g_testName[0] - 1, L"rylutil-abi-%lu-%lu", GetTickCount(),
             GetCurrentProcessId());
  wcscpy(g_testPath, L"Software\\");
  wcscat(g_testPath, g_testName);
  wcscpy(g_testTail, L"\\");
  wcscat(g_testTail, g_testName);

  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    CheckRoots(root);
    CheckRegistry(root);
    ABI_CHECK(AbiCall(root, 2, NULL, 0, "root Release") == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_registry");
}
