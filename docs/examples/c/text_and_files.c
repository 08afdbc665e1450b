/* Strings and paths, formatting, result codes, the file-system service,
 * directory listings and security descriptors, as a C host calls them. */
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "example_host.h"

/* [guide:c-strings] */
/* StringService slots 4, 8 and 33. */
typedef int32_t(THISCALL* ConvertFromUtf16Fn)(void* self, OutputBuffer* out, const wchar_t* text, uint32_t length,
                                              uint32_t encoding);
typedef int32_t(THISCALL* FormatAppendFn)(void* self, uint32_t options, OutputBuffer* out, const char* format,
                                          va_list arguments);
/* A view slot: the result record's address comes first and is returned. */
typedef StringView*(THISCALL* PathViewFn)(void* self, StringView* result, const wchar_t* path, uint32_t length);

static int Strings(void* strings) {
  const wchar_t path[] = L"C:\\data\\Gr\u00FC\u00DFe.txt";
  const uint32_t length = (uint32_t)wcslen(path);
  OutputBuffer utf8 = BufferOf(1); /* bytes */
  StringView name = {NULL, 0};
  int32_t rc = CALL(ConvertFromUtf16Fn, strings, 4)(strings, &utf8, path, length, 4 /* UTF-8 */);
  CALL(PathViewFn, strings, 33)(strings, &name, path, length); /* GetFileNamePartView */
  if (Check(rc, "ConvertFromUtf16"))
    printf("%u UTF-16 units are %u UTF-8 bytes; the name has %u units\n", length, utf8.view.length, name.length);
  BufferFree(&utf8);
  return rc >= 0;
}
/* [/guide:c-strings] */

/* [guide:c-format] */
static int32_t AppendFormatted(void* strings, OutputBuffer* out, const char* format, ...) {
  va_list arguments;
  int32_t rc;
  va_start(arguments, format);
  rc = CALL(FormatAppendFn, strings, 8)(strings, 0, out, format, arguments);
  va_end(arguments);
  return rc;
}

static int Format(void* strings) {
  OutputBuffer text = BufferOf(1);
  int32_t rc = AppendFormatted(strings, &text, "%-6s|%5d|%08.3f|%ls", "left", 42, 3.14159, L"wide");
  if (Check(rc, "FormatAppend")) printf("formatted: %.*s\n", (int)text.view.length, (const char*)text.view.data);
  BufferFree(&text);
  return rc >= 0;
}
/* [/guide:c-format] */

/* [guide:c-security-object] */
/* A host security object: the table's ten slots, of which the library calls
 * GetSecurityDescriptor (5), GetPartsPresent (6) and SetFromSelfRelative (7)
 * here. */
typedef struct {
  const void* const* table;
  uint8_t* bytes;
  uint32_t parts;
} HostSecurity;

static int32_t THISCALL SecNotImplemented(HostSecurity* self) {
  (void)self;
  return E_NOT_IMPLEMENTED_CODE;
}
static void THISCALL SecNothing(HostSecurity* self) { (void)self; }
static void THISCALL SecDestroyThrough(HostSecurity* self, HostSecurity** object) {
  (void)self;
  *object = NULL;
}
static int32_t THISCALL SecZero(HostSecurity* self) {
  (void)self;
  return 0;
}
static const void* THISCALL SecDescriptor(HostSecurity* self) { return self->bytes; }
static uint32_t THISCALL SecParts(HostSecurity* self) { return self->parts; }
static int32_t THISCALL SecSet(HostSecurity* self, const void* descriptor, uint32_t parts) {
  DWORD length = GetSecurityDescriptorLength((PSECURITY_DESCRIPTOR)descriptor);
  uint8_t* copy = (uint8_t*)realloc(self->bytes, length);
  if (copy == NULL) return E_OUT_OF_MEMORY_CODE;
  memcpy(copy, descriptor, length);
  self->bytes = copy;
  self->parts = parts;
  return 0;
}
static int32_t THISCALL SecStream(HostSecurity* self, void* stream) {
  (void)self, (void)stream;
  return E_NOT_IMPLEMENTED_CODE;
}
static const void* const kSecurityTable[10] = {
    (void*)SecNotImplemented, (void*)SecNothing, (void*)SecDestroyThrough, (void*)SecZero, (void*)SecNothing,
    (void*)SecDescriptor,     (void*)SecParts,   (void*)SecSet,            (void*)SecStream, (void*)SecStream};
/* [/guide:c-security-object] */

/* [guide:c-files] */
/* FileSystemService slots. */
typedef int32_t(THISCALL* PathOutFn)(void* self, OutputBuffer* out);          /* 13, 15 */
typedef int32_t(THISCALL* PathFn)(void* self, const wchar_t* path, uint32_t length); /* 22, 23 */
typedef int32_t(THISCALL* CreateDirectoryFn)(void* self, const wchar_t* path, uint32_t length, void* security);
typedef int32_t(THISCALL* GetFileSizeFn)(void* self, const wchar_t* path, uint32_t length, uint64_t* size);
typedef int32_t(THISCALL* DeleteFileFn)(void* self, const wchar_t* path, uint32_t length, uint32_t flags);
typedef int32_t(THISCALL* RemoveDirectoryFn)(void* self, const wchar_t* path, uint32_t length, uint8_t recursive,
                                             uint32_t deleteFlags);

/* Makes <temp>\<fresh name>\notes.txt; the directory's path in dir. */
static int MakeFiles(void* files, wchar_t* dir, wchar_t* file) {
  OutputBuffer temp = BufferOf(2), name = BufferOf(2);
  uint64_t size = 0;
  HANDLE handle;
  DWORD written;
  int32_t rc = CALL(PathOutFn, files, 13)(files, &temp); /* GetTempDirectory */
  if (rc >= 0) rc = CALL(PathOutFn, files, 15)(files, &name); /* MakeTempFileName */
  if (rc >= 0) {
    swprintf(dir, MAX_PATH, L"%.*ls\\%.*ls", (int)temp.view.length, (const wchar_t*)temp.view.data,
             (int)name.view.length, (const wchar_t*)name.view.data);
    swprintf(file, MAX_PATH, L"%ls\\notes.txt", dir);
    rc = CALL(CreateDirectoryFn, files, 25)(files, dir, (uint32_t)wcslen(dir), NULL);
  }
  BufferFree(&temp);
  BufferFree(&name);
  if (!Check(rc, "directory")) return 0;
  handle = CreateFileW(file, GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  WriteFile(handle, "twelve bytes", 12, &written, NULL);
  CloseHandle(handle);
  rc = CALL(GetFileSizeFn, files, 47)(files, file, (uint32_t)wcslen(file), &size);
  printf("size %u; FileExists 0x%08X; DirectoryExists on the file 0x%08X\n", (unsigned)size,
         (unsigned)CALL(PathFn, files, 22)(files, file, (uint32_t)wcslen(file)),
         (unsigned)CALL(PathFn, files, 23)(files, file, (uint32_t)wcslen(file)));
  return Check(rc, "GetFileSize");
}
/* [/guide:c-files] */

/* [guide:c-enumeration] */
typedef int32_t(THISCALL* CreateEnumeratorObjectFn)(void* self, const ObjectReceiver* receiver,
                                                    const StringView* directory, const StringView* pattern,
                                                    uint32_t flags, const AllocatorRecord* unused);
typedef int32_t(THISCALL* GetEntryFn)(void* self, const ObjectReceiver* receiver); /* enumerator slot 2 */
typedef int32_t(THISCALL* StepFn)(void* self);                                      /* enumerator slot 3 */
typedef void(THISCALL* DestroyFn)(void* self, const AllocatorRecord* allocator);    /* slot 1 of both */
typedef StringView*(THISCALL* EntryNameFn)(void* self, StringView* result);         /* entry slot 2 */
typedef uint64_t(THISCALL* EntrySizeFn)(void* self);                                /* entry slot 13 */
typedef int32_t(THISCALL* ReadSecurityIntoFn)(void* self, HostSecurity* security);   /* entry slot 15 */

static int List(void* files, const wchar_t* dir) {
  const StringView where = {dir, (uint32_t)wcslen(dir)};
  const StringView pattern = {L"*", 1};
  void* listing = NULL;
  ObjectReceiver receiver = ReceiveInto(&listing, 1);
  int32_t rc = CALL(CreateEnumeratorObjectFn, files, 3)(files, &receiver, &where, &pattern, 0x08 /* files */,
                                                        &kDefaultHeap);
  if (!Check(rc, "CreateEnumeratorObject")) return 0;
  for (; rc == 0; rc = CALL(StepFn, listing, 3)(listing)) { /* 0x6001000E after the last */
    void* entry = NULL;
    ObjectReceiver entryReceiver = ReceiveInto(&entry, 2);
    StringView name;
    HostSecurity security = {kSecurityTable, NULL, 0};
    if (CALL(GetEntryFn, listing, 2)(listing, &entryReceiver) != 0) break;
    CALL(EntryNameFn, entry, 2)(entry, &name);
    printf("listed %.*ls, %u bytes\n", (int)name.length, name.data, (unsigned)CALL(EntrySizeFn, entry, 13)(entry));
    if (Check(CALL(ReadSecurityIntoFn, entry, 15)(entry, &security), "ReadSecurityInto"))
      printf("security parts 0x%X\n", security.parts);
    free(security.bytes);
    CALL(DestroyFn, entry, 1)(entry, &kDefaultHeap);
  }
  CALL(DestroyFn, listing, 1)(listing, &kDefaultHeap);
  return rc >= 0;
}
/* [/guide:c-enumeration] */

int main(void) {
  Session session;
  void *strings = NULL, *files = NULL;
  wchar_t dir[MAX_PATH], file[MAX_PATH];
  int ok;
  /* [guide:c-services] */
  typedef int32_t(THISCALL * GetServiceFn)(void* self, const ObjectReceiver* receiver);
  ObjectReceiver stringsReceiver = ReceiveInto(&strings, 2);
  ObjectReceiver filesReceiver = ReceiveInto(&files, 3);
  if (!SessionStart(&session)) return 1;
  /* Root slots 6 and 5: the embedded string and file-system services. */
  if (!Check(CALL(GetServiceFn, session.root, 6)(session.root, &stringsReceiver), "GetStringService") ||
      !Check(CALL(GetServiceFn, session.root, 5)(session.root, &filesReceiver), "GetFileSystemService")) {
    SessionEnd(&session);
    return 1;
  }
  /* [/guide:c-services] */

  ok = Strings(strings) && Format(strings) && MakeFiles(files, dir, file) && List(files, dir);
  /* [guide:c-files-cleanup] */
  if (ok) ok = Check(CALL(DeleteFileFn, files, 21)(files, file, (uint32_t)wcslen(file), 0), "DeleteFile") &&
               Check(CALL(RemoveDirectoryFn, files, 45)(files, dir, (uint32_t)wcslen(dir), 0, 0), "RemoveDirectory");
  /* [/guide:c-files-cleanup] */
  SessionEnd(&session);
  if (!ok) return 1;
  printf("text_and_files: done\n");
  return 0;
}
