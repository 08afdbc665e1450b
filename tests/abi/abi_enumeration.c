/* Directory listings walked the way an MSVC-built host walks them: the
 * file-system service (root + 4, delivered by root slot 5) creates a host
 * enumerator (slot 3), an enumerator object (slots 1 and 6) and a single
 * entry (slot 5); enumerators and entries are then driven by slot number
 * only, checking results and that every callee removed exactly its
 * argument words. */
#include <string.h>
#include <wchar.h>

#include "abi_codes.h"
#include "abi_counting_heap.h"
#include "abi_host.h"
#include "abi_text.h"

typedef struct {
  const AbiAllocatorTable* callbacks;
  void* context;
} AbiAllocatorRecord;

typedef struct {
  int32_t(__cdecl* callback)(void* object, void* context);
  void* context;
} AbiSink;

typedef uint64_t(THISCALL* U64Fn)(void* self);

static const AbiAllocatorRecord kAllocator = {&kAbiCountingHeap, NULL};

static int ViewIs(const AbiStringView* view, const wchar_t* text) {
  return view->length == LEN(text) && memcmp(view->data, text, view->length * sizeof(wchar_t)) == 0;
}

/* Checks one entry object by its 17 slots; returns its name's first letter. */
static wchar_t CheckEntry(void* entry, const wchar_t* directory) {
  uint32_t highest = 0;
  const uint32_t query[] = {5, 2, W(&highest)};
  ABI_CHECK(AbiCall(entry, 0, query, 3, "entry query") == W(entry) && highest == 2, "an entry answers type 5 at 2");

  AbiStringView name = {NULL, 0xDEADBEEF};
  const uint32_t nameWords[] = {W(&name)};
  ABI_CHECK(AbiCall(entry, 2, nameWords, 1, "GetName") == W(&name), "GetName returns its hidden result pointer");
  AbiStringView dir = {NULL, 0};
  const uint32_t dirWords[] = {W(&dir)};
  ABI_CHECK(AbiCall(entry, 3, dirWords, 1, "GetDirectory") == W(&dir) && ViewIs(&dir, directory),
            "GetDirectory is the listed directory");
  AbiStringView shortName = {NULL, 0xDEADBEEF};
  const uint32_t shortWords[] = {W(&shortName)};
  ABI_CHECK(AbiCall(entry, 5, shortWords, 1, "GetShortName") == W(&shortName) && shortName.length == 0,
            "an 8.3 name has no separate short name");

  AbiOutput out = {&kAbiHeapBuffer, NULL, {NULL, 0}};
  const uint32_t outWords[] = {W(&out)};
  ABI_CHECK(AbiCall(entry, 4, outWords, 1, "GetFullPath") == 0 && out.view.length == dir.length + 1 + name.length,
            "GetFullPath joins directory and name");
  if (out.view.data != NULL) HeapFree(GetProcessHeap(), 0, out.view.data);

  for (unsigned slot = 6; slot <= 14; ++slot) {
    if (slot == 11 || slot == 12) continue;
    AbiCall(entry, slot, NULL, 0, "entry accessor");
  }
  const uint64_t size = ((U64Fn)AbiSlot(entry, 13))(entry);
  const uint64_t attributes = ((U64Fn)AbiSlot(entry, 14))(entry);
  ABI_CHECK(attributes >> 32 == 0 && (attributes & 0x10) == 0, "GetAttributes: a file, high half 0");
  ABI_CHECK(size == (name.length > 0 && name.data[0] == L'a' ? 3u : 0u), "GetSize in EDX:EAX");
  const uint64_t written = ((U64Fn)AbiSlot(entry, 8))(entry);
  ABI_CHECK(written > 0x01D0000000000000ull, "GetLastWriteTime is a file time in EDX:EAX");
  return name.length > 0 ? name.data[0] : L'?';
}

static void CheckHostEnumerator(void* fs, const wchar_t* directory) {
  void* enumerator = NULL;
  AbiReceiver receiver = {&kAbiStore, &enumerator, 1, &kAbiCountingHeap, NULL};
  const AbiStringView dir = {directory, LEN(directory)};
  const AbiStringView pattern = {L"*.txt", 5};
  const uint32_t create[] = {W(&receiver), W(&dir), W(&pattern), 0x08, W(&kAllocator)};
  ABI_CHECK(AbiCall(fs, 3, create, 5, "CreateEnumeratorObject") == 0 && enumerator != NULL, "slot 3 delivers");
  if (enumerator == NULL) return;
  ABI_CHECK(g_abiAllocated == 1, "the enumerator comes from the receiver's allocator");

  wchar_t seen[4] = {0};
  unsigned count = 0;
  uint32_t rc = AbiCall(enumerator, 4, NULL, 0, "Start");
  for (; rc == 0 && count < 3; rc = AbiCall(enumerator, 3, NULL, 0, "MoveNext")) {
    void* entry = NULL;
    AbiReceiver entryReceiver = {&kAbiStore, &entry, 2, &kAbiCountingHeap, NULL};
    const uint32_t get[] = {W(&entryReceiver)};
    ABI_CHECK(AbiCall(enumerator, 2, get, 1, "GetEntry") == 0 && entry != NULL, "GetEntry delivers an entry");
    if (entry == NULL) break;
    seen[count++] = CheckEntry(entry, directory);
    const uint32_t destroy[] = {W(&kAllocator)};
    AbiCall(entry, 1, destroy, 1, "entry Destroy");
  }
  ABI_CHECK(rc == S_NO_MORE_ITEMS && count == 2 && seen[0] != seen[1] && (seen[0] == L'a' || seen[0] == L'b'),
            "two .txt files, then the end (0x%08X)", rc);
  void* none = (void*)0xDEADBEEF;
  AbiReceiver late = {&kAbiStore, &none, 2, NULL, NULL};
  const uint32_t get[] = {W(&late)};
  ABI_CHECK(AbiCall(enumerator, 2, get, 1, "GetEntry") == E_NO_MORE_ITEMS && none == (void*)0xDEADBEEF,
            "GetEntry past the end");
  const uint32_t destroy[] = {W(&kAllocator)};
  AbiCall(enumerator, 1, destroy, 1, "enumerator Destroy");
  ABI_CHECK(g_abiAllocated == g_abiFreed && g_abiAllocated == 3, "every allocation was freed (%d of %d)", g_abiFreed,
            g_abiAllocated);
}

static void CheckEnumeratorObject(void* fs, const wchar_t* directory) {
  const AbiStringView dir = {directory, LEN(directory)};
  for (unsigned slot = 1; slot <= 6; slot += 5) {
    void* enumerator = NULL;
    const AbiSink sink = {AbiStoreObject, &enumerator};
    const uint32_t create[] = {W(&sink), W(&dir), 0, 0x08};
    ABI_CHECK(AbiCall(fs, slot, create, 4, "CreateEnumerator") == 0 && enumerator != NULL, "slot %u delivers", slot);
    if (enumerator == NULL) continue;
    unsigned count = 0;
    void* entry = NULL;
    uint32_t rc = 0;
    for (; rc == 0 && count < 4; rc = AbiCall(enumerator, 2, NULL, 0, "MoveNext")) {
      const uint32_t get[] = {W(&entry)};
      ABI_CHECK(AbiCall(enumerator, 1, get, 1, "GetEntry") == 0, "GetEntry lends the entry");
      AbiStringView name = {NULL, 0};
      const uint32_t nameWords[] = {W(&name)};
      AbiCall(entry, 2, nameWords, 1, "GetName");
      count += name.length > 0 ? 1 : 0;
    }
    ABI_CHECK(rc == S_NO_MORE_ITEMS && count == 3, "three files through table %u", slot == 1 ? 1 : 2);
    ABI_CHECK(AbiCall(enumerator, 3, NULL, 0, "Start") == 0, "Start goes back to the first file");
    AbiCall(enumerator, 0, NULL, 0, "Destroy");
  }
}

static void CheckLookUps(void* fs, const wchar_t* directory) {
  wchar_t path[MAX_PATH];
  swprintf(path, MAX_PATH, L"%ls\\A.TXT", directory);
  void* entry = NULL;
  AbiReceiver receiver = {&kAbiStore, &entry, 2, NULL, NULL};
  const AbiStringView view = {path, LEN(path)};
  const uint32_t find[] = {W(&receiver), W(&view), 0};
  ABI_CHECK(AbiCall(fs, 5, find, 3, "FindEntry") == 0 && entry != NULL, "FindEntry delivers");
  if (entry != NULL) {
    AbiStringView name = {NULL, 0};
    const uint32_t nameWords[] = {W(&name)};
    AbiCall(entry, 2, nameWords, 1, "GetName");
    ABI_CHECK(ViewIs(&name, L"a.txt"), "the entry carries the stored name");
    const AbiAllocatorRecord heap = {NULL, NULL};
    const uint32_t destroy[] = {W(&heap)};
    AbiCall(entry, 1, destroy, 1, "entry Destroy");
  }
  swprintf(path, MAX_PATH, L"%ls\\none.txt", directory);
  const AbiStringView missing = {path, LEN(path)};
  const uint32_t lost[] = {W(&receiver), W(&missing), 0};
  ABI_CHECK(AbiCall(fs, 5, lost, 3, "FindEntry") == E_FILE_NOT_FOUND, "FindEntry of a missing file");

  swprintf(path, MAX_PATH, L"%ls\\A.TXT", directory);
  for (unsigned slot = 10; slot <= 12; ++slot) {
    AbiOutput out = {&kAbiHeapBuffer, NULL, {NULL, 0}};
    const uint32_t words[] = {W(&out), W(path), slot == 12 ? 0xFFFFFFFFu : LEN(path)};
    /* The short form keeps "A.TXT" as written: an 8.3 name has no short name. */
    const wchar_t* last = slot == 11 ? L"A.TXT" : L"a.txt";
    ABI_CHECK(AbiCall(fs, slot, words, 3, "on-disk name form") == 0 && out.view.length >= 5 &&
                  (slot == 11 || out.view.length == LEN(path)) &&
                  memcmp((wchar_t*)out.view.data + out.view.length - 5, last, 10) == 0,
              "slot %u ends in %ls", slot, last);
    if (out.view.data != NULL) HeapFree(GetProcessHeap(), 0, out.view.data);
  }
}

int main(void) {
  AbiDll dll;
  if (!AbiLoad(&dll)) return 1;
  ABI_CHECK(dll.init() == 0, "RylModuleInit");

  wchar_t temp[MAX_PATH];
  wchar_t directory[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  swprintf(directory, MAX_PATH, L"%lsrylabi-%lu-%lu", temp, GetCurrentProcessId(), GetTickCount());
  const wchar_t* names[] = {L"a.txt", L"b.txt", L"c.dat"};
  int ready = CreateDirectoryW(directory, NULL) != 0;
  for (unsigned i = 0; i < 3 && ready; ++i) {
    wchar_t file[MAX_PATH];
    swprintf(file, MAX_PATH, L"%ls\\%ls", directory, names[i]);
    HANDLE handle = CreateFileW(file, GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    DWORD written = 0;
    ready = handle != INVALID_HANDLE_VALUE && (i != 0 || WriteFile(handle, "abc", 3, &written, NULL));
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  ABI_CHECK(ready, "scratch directory made");

  void* root = NULL;
  ABI_CHECK(dll.getObject(kAbiRootId, &root) == 0 && root != NULL, "root");
  if (root != NULL && ready) {
    void* fs = NULL;
    AbiReceiver receiver = {&kAbiStore, &fs, 3, NULL, NULL};
    typedef int32_t(THISCALL* ReceiverFn)(void* self, const AbiReceiver* receiver);
    ABI_CHECK(((ReceiverFn)AbiSlot(root, 5))(root, &receiver) == 0 && fs == (char*)root + 4, "service at root + 4");
    CheckHostEnumerator(fs, directory);
    CheckEnumeratorObject(fs, directory);
    CheckLookUps(fs, directory);
  }
  if (root != NULL) {
    typedef uint32_t(THISCALL* CountFn)(void* self);
    ABI_CHECK(((CountFn)AbiSlot(root, 2))(root) == 0, "the last release destroys the root");
  }
  for (unsigned i = 0; i < 3; ++i) {
    wchar_t file[MAX_PATH];
    swprintf(file, MAX_PATH, L"%ls\\%ls", directory, names[i]);
    DeleteFileW(file);
  }
  RemoveDirectoryW(directory);
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish");
  AbiUnload(&dll);
  return AbiReport("abi_enumeration");
}
