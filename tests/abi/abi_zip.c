/* The ZIP service, archives, entry handles and enumerators reached the way an
 * MSVC-built host reaches them: the service from the archive factory's slot
 * 2, every slot called by number through AbiCallSlot (which checks that the
 * callee removed exactly its argument words), 64-bit results read from
 * EDX:EAX through typed thiscall pointers, and the host's own stream as a
 * table of thiscall functions. The archive is written here, byte by byte. */
#include <stdlib.h>
#include <string.h>

#include "abi_codes.h"
#include "abi_host.h"
#include "abi_host_stream.h"

typedef struct {
  const uint16_t* data;
  uint32_t length;
} View;

/* --- An archive of two stored entries, one of them with a bad CRC. -------- */

static uint32_t Crc32(const uint8_t* data, uint32_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

static uint32_t Put16(uint8_t* at, uint32_t value) {
  at[0] = (uint8_t)value;
  at[1] = (uint8_t)(value >> 8);
  return 2;
}
static uint32_t Put32(uint8_t* at, uint32_t value) {
  Put16(at, value & 0xFFFF);
  Put16(at + 2, value >> 16);
  return 4;
}

static const char kBody[] = "abi host data\n";

/* Writes one local header and data at out; returns the bytes written. */
static uint32_t LocalEntry(uint8_t* out, const char* name, uint32_t crc) {
  uint32_t n = 0;
  const uint32_t nameLength = (uint32_t)strlen(name), size = (uint32_t)strlen(kBody);
  n += Put32(out + n, 0x04034B50);
  n += Put16(out + n, 10);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0x6000);
  n += Put16(out + n, 0x5421);
  n += Put32(out + n, crc);
  n += Put32(out + n, size);
  n += Put32(out + n, size);
  n += Put16(out + n, nameLength);
  n += Put16(out + n, 0);
  memcpy(out + n, name, nameLength);
  n += nameLength;
  memcpy(out + n, kBody, size);
  return n + size;
}

static uint32_t CentralEntry(uint8_t* out, const char* name, uint32_t crc, uint32_t offset) {
  uint32_t n = 0;
  const uint32_t nameLength = (uint32_t)strlen(name), size = (uint32_t)strlen(kBody);
  n += Put32(out + n, 0x02014B50);
  n += Put16(out + n, 20);
  n += Put16(out + n, 10);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0x6000);
  n += Put16(out + n, 0x5421);
  n += Put32(out + n, crc);
  n += Put32(out + n, size);
  n += Put32(out + n, size);
  n += Put16(out + n, nameLength);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0);
  n += Put16(out + n, 0);
  n += Put32(out + n, 0x20);
  n += Put32(out + n, offset);
  memcpy(out + n, name, nameLength);
  return n + nameLength;
}

static int WriteArchive(const wchar_t* path) {
  uint8_t bytes[1024];
  const uint32_t crc = Crc32((const uint8_t*)kBody, (uint32_t)strlen(kBody));
  uint32_t n = 0;
  const uint32_t second = (n += LocalEntry(bytes, "dir/good.txt", crc));
  n += LocalEntry(bytes + n, "bad.txt", crc ^ 1);
  const uint32_t directory = n;
  n += CentralEntry(bytes + n, "dir/good.txt", crc, 0);
  n += CentralEntry(bytes + n, "bad.txt", crc ^ 1, second);
  const uint32_t directorySize = n - directory;
  n += Put32(bytes + n, 0x06054B50);
  n += Put16(bytes + n, 0);
  n += Put16(bytes + n, 0);
  n += Put16(bytes + n, 2);
  n += Put16(bytes + n, 2);
  n += Put32(bytes + n, directorySize);
  n += Put32(bytes + n, directory);
  n += Put16(bytes + n, 3);
  memcpy(bytes + n, "abc", 3);
  n += 3;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes, n, &written, NULL);
  CloseHandle(file);
  return ok && written == n;
}

/* --- The module's side ----------------------------------------------------- */

static uint64_t Call64(void* object, unsigned n) { return ((uint64_t(THISCALL*)(void*))AbiSlot(object, n))(object); }

static int ViewIs(const View* view, const char* ascii) {
  const uint32_t length = (uint32_t)strlen(ascii);
  if (view->length != length || view->data == NULL) return 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (view->data[i] != (uint16_t)ascii[i]) return 0;
  }
  return 1;
}

static void CheckEntry(void* entry) {
  View view = {NULL, 77};
  const uint32_t viewWords[1] = {W(&view)};
  ABI_CHECK(AbiCall(entry, 1, viewWords, 1, "GetName") == W(&view), "GetName returns the view's address");
  ABI_CHECK(ViewIs(&view, "dir/good.txt"), "GetName gives the stored name");
  ABI_CHECK(AbiCall(entry, 3, viewWords, 1, "GetComment") == W(&view) && view.length == 0, "no entry comment");
  // The setters refuse what they cannot store and leave the entry as it is.
  const uint32_t textWords[2] = {W(L"/"), 1};
  ABI_CHECK(AbiCall(entry, 2, textWords, 2, "SetName") == E_INVALID_ARG, "SetName refuses an invalid name");
  const uint32_t badLengthWords[2] = {W(L"x"), (uint32_t)-2};
  ABI_CHECK(AbiCall(entry, 4, badLengthWords, 2, "SetComment") == E_INVALID_ARG, "SetComment refuses length -2");
  const uint32_t timeWords[2] = {0, 0};
  ABI_CHECK(AbiCall(entry, 6, timeWords, 2, "SetTime") != 0, "SetTime refuses a time before 1980");
  AbiCall(entry, 1, viewWords, 1, "GetName");
  ABI_CHECK(ViewIs(&view, "dir/good.txt"), "the name is unchanged");
  const uint64_t time = Call64(entry, 5);
  ABI_CHECK(time > 132800000000000000ull && time < 132900000000000000ull, "GetTime in EDX:EAX is in 2022");
  ABI_CHECK((AbiCall(entry, 7, NULL, 0, "IsEncrypted") & 0xFF) == 0, "not encrypted");
  const uint32_t passwordWords[3] = {W(L"pw"), (uint32_t)-1, 1};
  ABI_CHECK(AbiCall(entry, 8, passwordWords, 3, "SetPassword") == E_UNSUPPORTED_VERSION, "selector 1 refused");
  const uint32_t passwordWords0[3] = {W(L"pw"), 2, 0};
  ABI_CHECK(AbiCall(entry, 8, passwordWords0, 3, "SetPassword") == 0, "selector 0 accepted");
  ABI_CHECK(Call64(entry, 9) == strlen(kBody), "GetUncompressedSize in EDX:EAX");
  ABI_CHECK(Call64(entry, 10) == strlen(kBody), "GetCompressedSize in EDX:EAX");
  ABI_CHECK((AbiCall(entry, 11, NULL, 0, "IsVersionSupported") & 0xFF) == 1, "version 10 is supported");
  ABI_CHECK((AbiCall(entry, 12, NULL, 0, "IsDirectory") & 0xFF) == 0, "a file");
  ABI_CHECK(AbiCall(entry, 13, NULL, 0, "GetMethod") == 1, "stored is method 1");
  AbiHostStream sink;
  AbiHostStreamInit(&sink, NULL, 0);
  const uint32_t sinkWords[1] = {W(&sink)};
  ABI_CHECK(AbiCall(entry, 14, sinkWords, 1, "ExtractTo") == 0, "ExtractTo succeeds");
  ABI_CHECK(sink.length == strlen(kBody) && memcmp(sink.data, kBody, sink.length) == 0, "and delivers the data");
  AbiHostStreamFree(&sink);
}

static void CheckArchive(void* archive) {
  View view = {NULL, 0};
  const uint32_t viewWords[1] = {W(&view)};
  ABI_CHECK(AbiCall(archive, 4, viewWords, 1, "GetComment") == W(&view) && ViewIs(&view, "abc"), "archive comment");
  ABI_CHECK(AbiCall(archive, 8, NULL, 0, "GetEntryCount") == 2, "two entries");
  void* entry = (void*)0xDEADBEEF;
  const uint32_t findWords[3] = {W(&entry), W(L"dir\\good.txt"), 12};
  ABI_CHECK(AbiCall(archive, 6, findWords, 3, "FindEntry") == 0 && entry != (void*)0xDEADBEEF, "FindEntry with \\");
  if (entry != (void*)0xDEADBEEF) {
    CheckEntry(entry);
    AbiCall(entry, 0, NULL, 0, "entry Release");
  }
  void* missing = (void*)0xDEADBEEF;
  const uint32_t missingWords[3] = {W(&missing), W(L"DIR/good.txt"), 12};
  ABI_CHECK(AbiCall(archive, 6, missingWords, 3, "FindEntry") == E_ELEMENT_NOT_FOUND && missing == (void*)0xDEADBEEF,
            "case counts; output untouched");

  void* bad = NULL;
  const uint32_t badWords[3] = {W(&bad), W(L"bad.txt"), 7};
  ABI_CHECK(AbiCall(archive, 6, badWords, 3, "FindEntry") == 0, "the damaged entry is listed");
  if (bad != NULL) {
    AbiHostStream sink;
    AbiHostStreamInit(&sink, "keep", 4);
    const uint32_t sinkWords[1] = {W(&sink)};
    ABI_CHECK(AbiCall(bad, 14, sinkWords, 1, "ExtractTo") == E_BAD_FORMAT, "a CRC mismatch is a bad format");
    ABI_CHECK(sink.length == 4, "and the destination is cut back");
    AbiHostStreamFree(&sink);
    AbiCall(bad, 0, NULL, 0, "entry Release");
  }

  void* enumerator = NULL;
  const uint32_t enumWords[1] = {W(&enumerator)};
  ABI_CHECK(AbiCall(archive, 9, enumWords, 1, "CreateEnumerator") == 0 && enumerator != NULL, "an enumerator");
  if (enumerator != NULL) {
    void* current = NULL;
    const uint32_t currentWords[1] = {W(&current)};
    ABI_CHECK(AbiCall(enumerator, 1, currentWords, 1, "Current") == 0 && current != NULL, "Current on the first");
    if (current != NULL) {
      AbiCall(current, 1, viewWords, 1, "GetName");
      ABI_CHECK(ViewIs(&view, "dir/good.txt"), "first in directory order");
    }
    ABI_CHECK(AbiCall(enumerator, 2, NULL, 0, "MoveNext") == 0, "one more");
    ABI_CHECK(AbiCall(enumerator, 2, NULL, 0, "MoveNext") == S_NO_MORE_ITEMS, "stepped past the last");
    ABI_CHECK(AbiCall(enumerator, 1, currentWords, 1, "Current") == E_NO_MORE_ITEMS, "nothing current");
    ABI_CHECK(AbiCall(enumerator, 2, NULL, 0, "MoveNext") == E_NO_MORE_ITEMS, "already past the end");
    ABI_CHECK(AbiCall(enumerator, 3, NULL, 0, "Reset") == 0, "Reset");
    ABI_CHECK(AbiCall(enumerator, 1, currentWords, 1, "Current") == 0, "Current again");
    AbiCall(enumerator, 0, NULL, 0, "enumerator Release");
  }

  // The writing slots refuse bad arguments before they change anything.
  const uint32_t invalidWords[2] = {W(L"/"), 1};
  ABI_CHECK(AbiCall(archive, 1, invalidWords, 2, "AddDirectory") == E_INVALID_ARG, "AddDirectory refuses \"/\"");
  const uint32_t streamWords[7] = {0, W(L"n"), 1, 0, 0, 0, 0};
  ABI_CHECK(AbiCall(archive, 2, streamWords, 7, "AddEntryFromStream") == E_INVALID_ARG, "no source stream");
  const uint32_t fileWords[8] = {W(L"Z:\\no\\such\\file"), 0, W(L"n"), 1, 0, 0, 0, 0};
  ABI_CHECK(AbiCall(archive, 3, fileWords, 8, "AddEntryFromFile") != 0, "a missing source file");
  const uint32_t commentWords[2] = {W(L"c"), (uint32_t)-2};
  ABI_CHECK(AbiCall(archive, 5, commentWords, 2, "SetComment") == E_INVALID_ARG, "SetComment refuses length -2");
  const uint32_t nameWords[2] = {W(L"n"), 1};
  ABI_CHECK(AbiCall(archive, 7, nameWords, 2, "RemoveEntry") == E_ELEMENT_NOT_FOUND, "nothing to remove");
  const uint32_t saveWords[2] = {W(L"Z:\\tmp\\never.zip"), 0};
  ABI_CHECK(AbiCall(archive, 10, saveWords, 2, "Save") == E_INVALID_ARG, "Save refuses path length 0");
  ABI_CHECK(AbiCall(archive, 8, NULL, 0, "GetEntryCount") == 2, "still two entries");
}

static void CheckService(void* service, const wchar_t* path, const wchar_t* target) {
  const uint32_t pathLength = LEN(path);
  void* archive = NULL;
  const uint32_t openWords[3] = {W(&archive), W(path), pathLength};
  ABI_CHECK(AbiCall(service, 2, openWords, 3, "OpenArchive") == 0 && archive != NULL, "OpenArchive");
  if (archive != NULL) {
    CheckArchive(archive);
    AbiCall(archive, 0, NULL, 0, "archive Release");
  }
  uint8_t contains = 7;
  const uint32_t containsWords[5] = {W(&contains), W(path), pathLength, W(L"dir/good.txt"), 12};
  ABI_CHECK(AbiCall(service, 3, containsWords, 5, "ContainsEntry") == 0 && contains == 1, "ContainsEntry finds it");
  const uint32_t extractWords[9] = {W(path), pathLength, W(L"dir/good.txt"), 12, W(target), 0, 0, 0, 0};
  ABI_CHECK(AbiCall(service, 6, extractWords, 9, "ExtractEntryToFile") == 0, "ExtractEntryToFile");
  ABI_CHECK(GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES, "made the file");
  DeleteFileW(target);
  const uint32_t badWords[9] = {W(path), pathLength, W(L"bad.txt"), 7, W(target), 0, 0, 0, 0};
  ABI_CHECK(AbiCall(service, 6, badWords, 9, "ExtractEntryToFile") == E_BAD_FORMAT, "CRC mismatch");
  ABI_CHECK(GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES, "and no file is left");
  const uint32_t missingWords[9] = {W(path), pathLength, W(L"none"), 4, W(target), 0, 0, 0, 0};
  ABI_CHECK(AbiCall(service, 6, missingWords, 9, "ExtractEntryToFile") == E_FILE_NOT_FOUND, "absent entry");

  void* created = NULL;
  const uint32_t createWords[1] = {W(&created)};
  ABI_CHECK(AbiCall(service, 1, createWords, 1, "CreateArchive") == 0 && created != NULL, "CreateArchive");
  if (created != NULL) {
    ABI_CHECK(AbiCall(created, 8, NULL, 0, "GetEntryCount") == 0, "an empty archive");
    AbiCall(created, 0, NULL, 0, "archive Release");
  }
  // Refusals that leave the archive file as it is.
  const uint32_t addWords[9] = {W(path), pathLength, 0, W(L"n"), 1, 0, 0, 0, 0};
  ABI_CHECK(AbiCall(service, 4, addWords, 9, "AddStreamToArchive") == E_INVALID_ARG, "no source stream");
  const uint32_t addFileWords[10] = {W(path), pathLength, W(L"Z:\\no\\such\\file"), 0, W(L"n"), 1, 0, 0, 0, 0};
  ABI_CHECK(AbiCall(service, 5, addFileWords, 10, "AddFileToArchive") != 0, "a missing source file");
  const uint32_t removeWords[4] = {W(path), pathLength, W(L"n"), 1};
  ABI_CHECK(AbiCall(service, 7, removeWords, 4, "RemoveEntryFromArchive") == E_ELEMENT_NOT_FOUND, "nothing to remove");
  ABI_CHECK(AbiCall(service, 3, containsWords, 5, "ContainsEntry") == 0 && contains == 1, "the archive still holds it");
  for (unsigned slot = 8; slot <= 10; ++slot) {
    ABI_CHECK(AbiCall(service, slot, NULL, 0, "reserved") == E_NOT_IMPLEMENTED, "slot %u reserved", slot);
  }
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  wchar_t directory[MAX_PATH], path[MAX_PATH], target[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  swprintf(path, MAX_PATH, L"%lsabi_zip_%lu.zip", directory, GetCurrentProcessId());
  swprintf(target, MAX_PATH, L"%lsabi_zip_%lu.out", directory, GetCurrentProcessId());
  ABI_CHECK(WriteArchive(path), "the test archive is written");
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    void* factory = NULL;
    AbiReceiver receiver = {&kAbiStore, &factory, 1, NULL, NULL};
    const uint32_t receiverWords[1] = {W(&receiver)};
    ABI_CHECK(AbiCall(root, 4, receiverWords, 1, "CreateArchiveFactory") == 0 && factory != NULL, "the factory");
    if (factory != NULL) {
      void* service = NULL;
      const uint32_t serviceWords[1] = {W(&service)};
      ABI_CHECK(AbiCall(factory, 2, serviceWords, 1, "CreateZipService") == 0 && service != NULL, "the service");
      if (service != NULL) {
        CheckService(service, path, target);
        AbiCall(service, 0, NULL, 0, "service Release");
      }
      const uint32_t allocator[2] = {0, 0};
      const uint32_t destroyWords[1] = {W(allocator)};
      AbiCall(factory, 1, destroyWords, 1, "Destroy");
    }
    ABI_CHECK(((uint32_t(THISCALL*)(void*))AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  ABI_CHECK(DeleteFileW(path), "the archive is closed and can be deleted");
  DeleteFileW(target);
  AbiUnload(&dll);
  return AbiReport("abi_zip");
}
