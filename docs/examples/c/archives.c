/* The archive factory's deflate streams, the streaming ZIP writer and ZIP
 * reading, as a C host calls them. */
#include <stdlib.h>
#include <string.h>

#include "example_host.h"

typedef struct {
  int32_t selector; /* 2 deflate, 3 bzip2, anything else stored */
  int32_t level;
} ZipCompression;

typedef void(THISCALL* ReleaseFn)(void* self);                                      /* slot 0 */
typedef void(THISCALL* DestroyFn)(void* self, const AllocatorRecord* allocator);    /* slot 1 */
typedef int32_t(THISCALL* CreateFn)(void* self, const ObjectReceiver* receiver);    /* root slots 4, 15 */

/* [guide:c-deflate] */
typedef int32_t(THISCALL* CreateDeflateStreamFn)(void* self, void** out, MemoryStream* host, uint8_t compress,
                                                 int32_t level, uint32_t bufferSize); /* factory slot 3 */
typedef int32_t(THISCALL* ReadFn)(void* self, void* buffer, uint32_t count, uint32_t* done);        /* 5 */
typedef int32_t(THISCALL* WriteFn)(void* self, const void* buffer, uint32_t count, uint32_t* done); /* 7 */
typedef int32_t(THISCALL* FinishFn)(void* self);                                                    /* 16 */

static int Deflate(void* factory) {
  static const char text[] = "abcabcabcabcabcabcabcabcabcabcabcabc";
  MemoryStream packed;
  void* stream = NULL;
  char back[64];
  uint32_t done = 0, total = 0;
  int32_t rc;
  StreamInit(&packed, NULL, 0);
  rc = CALL(CreateDeflateStreamFn, factory, 3)(factory, &stream, &packed, 1, 9, 4096);
  if (rc >= 0) {
    rc = CALL(WriteFn, stream, 7)(stream, text, sizeof text - 1, NULL);
    if (rc >= 0) rc = CALL(FinishFn, stream, 16)(stream);
    CALL(ReleaseFn, stream, 0)(stream);
  }
  packed.position = 0;
  if (rc >= 0) rc = CALL(CreateDeflateStreamFn, factory, 3)(factory, &stream, &packed, 0, -1, 4096);
  if (rc >= 0) {
    while ((rc = CALL(ReadFn, stream, 5)(stream, back + total, sizeof back - total, &done)) == 0) total += done;
    CALL(ReleaseFn, stream, 0)(stream);
    if (rc == E_END_OF_DATA_CODE) rc = 0; /* the end of the compressed data */
  }
  if (Check(rc, "deflate"))
    printf("deflate: %u bytes as %u, back %s\n", (unsigned)(sizeof text - 1), packed.length,
           total == sizeof text - 1 && memcmp(back, text, total) == 0 ? "the same" : "DIFFERENT");
  StreamFree(&packed);
  return rc >= 0;
}
/* [/guide:c-deflate] */

/* [guide:c-zip-writer] */
typedef int32_t(THISCALL* OpenOnStreamFn)(void* self, MemoryStream* stream); /* writer slot 2 */
typedef int32_t(THISCALL* AddFromStreamFn)(void* self, MemoryStream* source, const wchar_t* name, uint32_t nameLength,
                                           const ZipCompression* compression, const wchar_t* password,
                                           int32_t passwordLength, int32_t passwordSelector, const wchar_t* comment,
                                           int32_t commentLength, uint64_t time); /* writer slot 4 */
typedef int32_t(THISCALL* CloseFn)(void* self);                               /* writer slot 8 */

/* Writes an archive of one entry into memory. */
static int WriteArchive(void* root, MemoryStream* archive) {
  static const char text[] = "hello from C\r\n";
  const ZipCompression deflate = {2, 9};
  MemoryStream source;
  void* writer = NULL;
  ObjectReceiver receiver = ReceiveInto(&writer, 1);
  int32_t rc = CALL(CreateFn, root, 15)(root, &receiver); /* CreateZipStreamWriter */
  if (!Check(rc, "CreateZipStreamWriter")) return 0;
  StreamInit(&source, text, sizeof text - 1);
  rc = CALL(OpenOnStreamFn, writer, 2)(writer, archive); /* an empty stream: a new archive */
  if (rc >= 0)
    rc = CALL(AddFromStreamFn, writer, 4)(writer, &source, L"hello.txt", 9, &deflate, NULL, 0, 0, NULL, 0,
                                          ~(uint64_t)0 /* now */);
  if (rc >= 0) rc = CALL(CloseFn, writer, 8)(writer);
  CALL(DestroyFn, writer, 1)(writer, &kDefaultHeap);
  StreamFree(&source);
  if (Check(rc, "streaming writer")) printf("archive of %u bytes written\n", archive->length);
  return rc >= 0;
}
/* [/guide:c-zip-writer] */

/* [guide:c-zip-reading] */
typedef int32_t(THISCALL* CreateZipServiceFn)(void* self, void** out);                     /* factory slot 2 */
typedef int32_t(THISCALL* OpenArchiveFn)(void* self, void** out, const wchar_t* path, uint32_t length); /* 2 */
typedef int32_t(THISCALL* FindEntryFn)(void* self, void** out, const wchar_t* name, uint32_t length); /* 6 */
typedef uint32_t(THISCALL* CountFn)(void* self);                                          /* archive 8 */
typedef int32_t(THISCALL* ExtractToFn)(void* self, MemoryStream* destination);           /* entry 14 */

static int ReadArchive(void* factory, const wchar_t* path) {
  void *zip = NULL, *archive = NULL, *entry = NULL;
  MemoryStream out;
  int32_t rc = CALL(CreateZipServiceFn, factory, 2)(factory, &zip);
  if (!Check(rc, "CreateZipService")) return 0;
  StreamInit(&out, NULL, 0);
  rc = CALL(OpenArchiveFn, zip, 2)(zip, &archive, path, (uint32_t)wcslen(path)); /* zero-terminated too */
  if (rc >= 0) {
    printf("%u entries\n", CALL(CountFn, archive, 8)(archive));
    rc = CALL(FindEntryFn, archive, 6)(archive, &entry, L"hello.txt", 9);
    if (rc >= 0) {
      rc = CALL(ExtractToFn, entry, 14)(entry, &out);
      CALL(ReleaseFn, entry, 0)(entry); /* entries from FindEntry are the host's */
    }
    CALL(ReleaseFn, archive, 0)(archive);
  }
  CALL(ReleaseFn, zip, 0)(zip);
  if (Check(rc, "extract")) printf("hello.txt: %.12s\n", (const char*)out.bytes);
  StreamFree(&out);
  return rc >= 0;
}
/* [/guide:c-zip-reading] */

int main(void) {
  Session session;
  void* factory = NULL;
  ObjectReceiver receiver = ReceiveInto(&factory, 1);
  MemoryStream archive;
  wchar_t path[MAX_PATH];
  HANDLE file;
  DWORD written = 0;
  int ok;
  if (!SessionStart(&session)) return 1;
  if (!Check(CALL(CreateFn, session.root, 4)(session.root, &receiver), "CreateArchiveFactory")) {
    SessionEnd(&session);
    return 1;
  }
  StreamInit(&archive, NULL, 0);
  ok = Deflate(factory) && WriteArchive(session.root, &archive);
  if (ok) {
    GetTempPathW(MAX_PATH, path);
    wcscat(path, L"ryl-example-c.zip");
    file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    WriteFile(file, archive.bytes, archive.length, &written, NULL);
    CloseHandle(file);
    ok = ReadArchive(factory, path);
    DeleteFileW(path);
  }
  StreamFree(&archive);
  CALL(DestroyFn, factory, 1)(factory, &kDefaultHeap);
  SessionEnd(&session);
  if (!ok) return 1;
  printf("archives: done\n");
  return 0;
}
