/* The writing slots of Archive, ArchiveEntry and ZipService, and the
 * StreamingArchive of root slot 15, reached the way an MSVC-built host
 * reaches them: slots by number through AbiCall (which checks that the callee
 * removed exactly its argument words, 64-bit times as two), the compression
 * request as two words in memory, the host's own streams as tables of
 * thiscall functions. Every archive written is read back through the reader
 * slots and compared byte for byte. */
#include <stdlib.h>
#include <string.h>

#include "abi_codes.h"
#include "abi_host.h"
#include "abi_host_stream.h"

typedef struct {
  const uint16_t* data;
  uint32_t length;
} View;

typedef struct {
  int32_t selector;
  int32_t level;
} Compression;

static const Compression kDeflate = {2, 6};
static const Compression kBzip2 = {3, 900};
static const Compression kStored = {0, 0};
static const Compression kZstd = {93, 19};
static const uint64_t kTime = 132682340960000000ull; /* 2021-06-15 12:34:56, an even second */
static const uint32_t kAllocator[2] = {0, 0};       /* the default heap */

static char g_text[6000];
static uint32_t g_textLength;
static uint8_t g_noise[3000];

static uint64_t Call64(void* object, unsigned n) { return ((uint64_t(THISCALL*)(void*))AbiSlot(object, n))(object); }

static int ViewIs(const View* view, const wchar_t* text) {
  const uint32_t length = LEN(text);
  if (view->length != length || view->data == NULL) return 0;
  return length == 0 || memcmp(view->data, text, length * 2) == 0;
}

static int WriteFileBytes(const wchar_t* path, const void* data, uint32_t length) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data, length, &written, NULL);
  CloseHandle(file);
  return ok && written == length;
}

/* The whole file in a malloc'd buffer (NULL when it cannot be read). */
static uint8_t* ReadFileBytes(const wchar_t* path, uint32_t* length) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return NULL;
  const DWORD size = GetFileSize(file, NULL);
  uint8_t* data = (uint8_t*)malloc(size + 1);
  DWORD got = 0;
  if (data != NULL && !ReadFile(file, data, size, &got, NULL)) got = 0;
  CloseHandle(file);
  *length = got;
  return data;
}

/* Reads entry name of the archive at path back through the reader slots:
 * 1 when it extracts (with password when given) to exactly want. */
static int EntryIs(void* service, const wchar_t* path, const wchar_t* name, const void* want, uint32_t wantLength,
                   const wchar_t* password) {
  void* archive = NULL;
  const uint32_t openWords[3] = {W(&archive), W(path), LEN(path)};
  if (AbiCall(service, 2, openWords, 3, "OpenArchive") != 0) return 0;
  void* entry = NULL;
  const uint32_t findWords[3] = {W(&entry), W(name), LEN(name)};
  int same = 0;
  if (AbiCall(archive, 6, findWords, 3, "FindEntry") == 0) {
    if (password != NULL) {
      const uint32_t passwordWords[3] = {W(password), (uint32_t)-1, 0};
      AbiCall(entry, 8, passwordWords, 3, "SetPassword");
    }
    AbiHostStream sink;
    AbiHostStreamInit(&sink, NULL, 0);
    const uint32_t sinkWords[1] = {W(&sink)};
    same = AbiCall(entry, 14, sinkWords, 1, "ExtractTo") == 0 && sink.length == wantLength &&
           (wantLength == 0 || memcmp(sink.data, want, wantLength) == 0);
    AbiHostStreamFree(&sink);
    AbiCall(entry, 0, NULL, 0, "entry Release");
  }
  AbiCall(archive, 0, NULL, 0, "archive Release");
  return same;
}

/* Entries written with the AES-256 password selector (256) and the zstd
 * selector (93), read back through GetMethod (13), GetMethodId (15) and
 * GetEncryption (16): hosts that know only the first four methods see the
 * AES entry's deflate and OTHER for zstd. */
static void CheckNewMethods(void* service, const wchar_t* path) {
  void* archive = NULL;
  const uint32_t createWords[1] = {W(&archive)};
  if (AbiCall(service, 1, createWords, 1, "CreateArchive") != 0 || archive == NULL) {
    ABI_CHECK(0, "CreateArchive for the new methods");
    return;
  }
  AbiHostStream source;
  AbiHostStreamInitSeekable(&source, g_text, g_textLength);
  const uint32_t aesWords[7] = {W(&source), W(L"aes.txt"), 7, W(&kDeflate), W(L"s\u00e9same"), (uint32_t)-1, 256};
  ABI_CHECK(AbiCall(archive, 2, aesWords, 7, "AddEntryFromStream") == 0, "AddEntryFromStream with selector 256");
  AbiHostStreamFree(&source);
  AbiHostStreamInitSeekable(&source, g_text, g_textLength);
  const uint32_t zstdWords[7] = {W(&source), W(L"zstd.txt"), 8, W(&kZstd), 0, 0, 0};
  ABI_CHECK(AbiCall(archive, 2, zstdWords, 7, "AddEntryFromStream") == 0, "AddEntryFromStream with selector 93");
  AbiHostStreamFree(&source);
  const uint32_t saveWords[2] = {W(path), LEN(path)};
  ABI_CHECK(AbiCall(archive, 10, saveWords, 2, "Save") == 0, "Save with AES and zstd entries");
  static const struct {
    const wchar_t* name;
    uint32_t method, methodId, encryption;
  } kExpected[] = {{L"aes.txt", 2, 8, 4}, {L"zstd.txt", 0, 93, 0}};
  for (unsigned i = 0; i < 2; ++i) {
    void* entry = NULL;
    const uint32_t findWords[3] = {W(&entry), W(kExpected[i].name), LEN(kExpected[i].name)};
    if (AbiCall(archive, 6, findWords, 3, "FindEntry") != 0 || entry == NULL) {
      ABI_CHECK(0, "FindEntry for a new-method entry");
      continue;
    }
    ABI_CHECK(AbiCall(entry, 13, NULL, 0, "GetMethod") == kExpected[i].method, "GetMethod keeps its four values");
    ABI_CHECK(AbiCall(entry, 15, NULL, 0, "GetMethodId") == kExpected[i].methodId, "GetMethodId names the method");
    ABI_CHECK(AbiCall(entry, 16, NULL, 0, "GetEncryption") == kExpected[i].encryption, "GetEncryption");
    ABI_CHECK((AbiCall(entry, 11, NULL, 0, "IsVersionSupported") & 0xFF) == 1, "the reader takes it");
    AbiCall(entry, 0, NULL, 0, "entry Release");
  }
  AbiCall(archive, 0, NULL, 0, "archive Release");
  ABI_CHECK(!EntryIs(service, path, L"aes.txt", g_text, g_textLength, L"wrong"), "a wrong password gets nothing");
  ABI_CHECK(EntryIs(service, path, L"aes.txt", g_text, g_textLength, L"s\u00e9same"), "the AES entry reads back");
  ABI_CHECK(EntryIs(service, path, L"zstd.txt", g_text, g_textLength, NULL), "the zstd entry reads back");
}

/* --- Archive and ArchiveEntry ------------------------------------------------ */

static void CheckArchiveWriting(void* service, const wchar_t* path, const wchar_t* sourcePath) {
  void* archive = (void*)0xDEADBEEF;
  const uint32_t createWords[1] = {W(&archive)};
  ABI_CHECK(AbiCall(service, 1, createWords, 1, "CreateArchive") == 0 && archive != (void*)0xDEADBEEF,
            "CreateArchive delivers an archive");
  if (archive == (void*)0xDEADBEEF) return;
  const uint32_t dirWords[2] = {W(L"d"), 1};
  ABI_CHECK(AbiCall(archive, 1, dirWords, 2, "AddDirectory") == 0, "AddDirectory");
  AbiHostStream source;
  AbiHostStreamInitSeekable(&source, g_text, g_textLength);
  const uint32_t streamWords[7] = {W(&source), W(L"text.txt"), 8, W(&kDeflate), 0, 0, 0};
  ABI_CHECK(AbiCall(archive, 2, streamWords, 7, "AddEntryFromStream") == 0, "AddEntryFromStream");
  AbiHostStreamFree(&source);
  const uint32_t fileWords[8] = {W(sourcePath), 0, W(L"file.bin"), 8, W(&kBzip2), W(L"pw"), 2, 0};
  ABI_CHECK(AbiCall(archive, 3, fileWords, 8, "AddEntryFromFile") == 0, "AddEntryFromFile with a password");
  AbiHostStreamInitSeekable(&source, "gone", 4);
  const uint32_t goneWords[7] = {W(&source), W(L"gone.txt"), 8, W(&kStored), 0, 0, 0};
  ABI_CHECK(AbiCall(archive, 2, goneWords, 7, "AddEntryFromStream") == 0, "a second stream entry");
  ABI_CHECK(AbiCall(archive, 2, goneWords, 7, "AddEntryFromStream") == E_ALREADY_EXISTS, "a duplicate is refused");
  AbiHostStreamFree(&source);
  ABI_CHECK(AbiCall(archive, 8, NULL, 0, "GetEntryCount") == 4, "four entries");
  const uint32_t removeWords[2] = {W(L"gone.txt"), 8};
  ABI_CHECK(AbiCall(archive, 7, removeWords, 2, "RemoveEntry") == 0, "RemoveEntry");
  ABI_CHECK(AbiCall(archive, 7, removeWords, 2, "RemoveEntry") == E_ELEMENT_NOT_FOUND, "removed already");
  const uint32_t commentWords[2] = {W(L"archive comment"), (uint32_t)-1};
  ABI_CHECK(AbiCall(archive, 5, commentWords, 2, "SetComment") == 0, "SetComment");
  View view = {NULL, 0};
  const uint32_t viewWords[1] = {W(&view)};
  ABI_CHECK(AbiCall(archive, 4, viewWords, 1, "GetComment") == W(&view) && ViewIs(&view, L"archive comment"),
            "the comment set");

  void* entry = NULL;
  const uint32_t findWords[3] = {W(&entry), W(L"text.txt"), 8};
  ABI_CHECK(AbiCall(archive, 6, findWords, 3, "FindEntry") == 0 && entry != NULL, "FindEntry on a new entry");
  if (entry != NULL) {
    const uint32_t nameWords[2] = {W(L"renamed.txt"), (uint32_t)-1};
    ABI_CHECK(AbiCall(entry, 2, nameWords, 2, "SetName") == 0, "SetName");
    const uint32_t noteWords[2] = {W(L"entry note, cut"), 10};
    ABI_CHECK(AbiCall(entry, 4, noteWords, 2, "SetComment") == 0, "entry SetComment");
    const uint32_t timeWords[2] = {LO(kTime), HI(kTime)};
    ABI_CHECK(AbiCall(entry, 6, timeWords, 2, "SetTime") == 0, "SetTime takes the time as two words");
    ABI_CHECK(Call64(entry, 5) == kTime, "GetTime answers it in EDX:EAX");
    AbiCall(entry, 0, NULL, 0, "entry Release");
  }
  const uint32_t emptyPathWords[2] = {W(path), 0};
  ABI_CHECK(AbiCall(archive, 10, emptyPathWords, 2, "Save") == E_INVALID_ARG, "Save with path length 0");
  const uint32_t saveWords[2] = {W(path), LEN(path)};
  ABI_CHECK(AbiCall(archive, 10, saveWords, 2, "Save") == 0, "Save");
  /* Save reopened the archive from its file. */
  ABI_CHECK(AbiCall(archive, 8, NULL, 0, "GetEntryCount") == 3, "three entries saved");
  entry = NULL;
  const uint32_t renamedWords[3] = {W(&entry), W(L"renamed.txt"), 11};
  ABI_CHECK(AbiCall(archive, 6, renamedWords, 3, "FindEntry") == 0 && entry != NULL, "the renamed entry");
  if (entry != NULL) {
    ABI_CHECK(Call64(entry, 5) == kTime, "its time survives the save");
    ABI_CHECK(AbiCall(entry, 3, viewWords, 1, "GetComment") == W(&view) && ViewIs(&view, L"entry note"),
              "its comment, cut at the length");
    AbiCall(entry, 0, NULL, 0, "entry Release");
  }
  AbiCall(archive, 0, NULL, 0, "archive Release");

  ABI_CHECK(EntryIs(service, path, L"renamed.txt", g_text, g_textLength, NULL), "deflated entry round trip");
  ABI_CHECK(EntryIs(service, path, L"file.bin", g_noise, sizeof g_noise, L"pw"), "bzip2 encrypted round trip");
  ABI_CHECK(EntryIs(service, path, L"d/", "", 0, NULL), "the directory");
}

/* --- ZipService ---------------------------------------------------------------- */

static void CheckServiceWriting(void* service, const wchar_t* path, const wchar_t* sourcePath) {
  const uint32_t pathLength = LEN(path);
  AbiHostStream source;
  AbiHostStreamInitSeekable(&source, g_text, g_textLength);
  const uint32_t bzipWords[9] = {W(path), pathLength, W(&source), W(L"s.txt"), 5, W(&kBzip2), 0, 0, 0};
  ABI_CHECK(AbiCall(service, 4, bzipWords, 9, "AddStreamToArchive") == E_UNSUPPORTED_VERSION,
            "AddStreamToArchive takes deflate only");
  const uint32_t addWords[9] = {W(path), pathLength, W(&source), W(L"s.txt"), 5, W(&kDeflate), W(L"pw"), 2, 0};
  ABI_CHECK(AbiCall(service, 4, addWords, 9, "AddStreamToArchive") == 0, "AddStreamToArchive");
  AbiHostStreamFree(&source);
  const uint32_t fileWords[10] = {W(path), pathLength, W(sourcePath), 0, W(L"f2.bin"), 6, W(&kStored), 0, 0, 0};
  ABI_CHECK(AbiCall(service, 5, fileWords, 10, "AddFileToArchive") == 0, "AddFileToArchive");
  ABI_CHECK(AbiCall(service, 5, fileWords, 10, "AddFileToArchive") == E_ALREADY_EXISTS, "a duplicate is refused");
  const uint32_t removeWords[4] = {W(path), pathLength, W(L"d\\"), 2};
  ABI_CHECK(AbiCall(service, 7, removeWords, 4, "RemoveEntryFromArchive") == 0, "RemoveEntryFromArchive");
  ABI_CHECK(AbiCall(service, 7, removeWords, 4, "RemoveEntryFromArchive") == E_ELEMENT_NOT_FOUND, "gone already");
  uint8_t contains = 7;
  const uint32_t containsWords[5] = {W(&contains), W(path), pathLength, W(L"d/"), 2};
  ABI_CHECK(AbiCall(service, 3, containsWords, 5, "ContainsEntry") == 0 && contains == 0, "d/ was removed");
  ABI_CHECK(EntryIs(service, path, L"s.txt", g_text, g_textLength, L"pw"), "stream entry round trip");
  ABI_CHECK(EntryIs(service, path, L"f2.bin", g_noise, sizeof g_noise, NULL), "file entry round trip");
  ABI_CHECK(EntryIs(service, path, L"renamed.txt", g_text, g_textLength, NULL), "earlier entries stay");
}

/* --- StreamingArchive ------------------------------------------------------------ */

static void* NewWriter(void* root) {
  void* writer = NULL;
  AbiReceiver receiver = {&kAbiStore, &writer, 1, NULL, NULL};
  const uint32_t receiverWords[1] = {W(&receiver)};
  ABI_CHECK(AbiCall(root, 15, receiverWords, 1, "CreateZipStreamWriter") == 0 && writer != NULL,
            "root slot 15 delivers a StreamingArchive");
  return writer;
}

static void Destroy(void* writer) {
  const uint32_t destroyWords[1] = {W(kAllocator)};
  AbiCall(writer, 1, destroyWords, 1, "Destroy");
}

/* Slot 4 with the eleven words of its arguments. */
static uint32_t StreamAdd(void* writer, const void* data, uint32_t length, const wchar_t* name, uint64_t time) {
  AbiHostStream source;
  AbiHostStreamInitSeekable(&source, data, length);
  const uint32_t words[11] = {W(&source), W(name), LEN(name), W(&kDeflate), 0, 0, 0, W(L"note"), (uint32_t)-1,
                              LO(time), HI(time)};
  const uint32_t rc = AbiCall(writer, 4, words, 11, "AddEntryFromStream");
  AbiHostStreamFree(&source);
  return rc;
}

static void CheckStreamingArchive(void* root, void* service, const wchar_t* path, const wchar_t* sourcePath,
                                  const wchar_t* scratch) {
  void* none = (void*)0xDEADBEEF;
  AbiReceiver tooNew = {&kAbiStore, &none, 2, NULL, NULL};
  const uint32_t tooNewWords[1] = {W(&tooNew)};
  ABI_CHECK(AbiCall(root, 15, tooNewWords, 1, "CreateZipStreamWriter") == E_UNSUPPORTED_VERSION &&
                none == (void*)0xDEADBEEF,
            "version 2 is refused and nothing delivered");
  void* writer = NewWriter(root);
  if (writer == NULL) return;
  uint32_t highest = 99;
  const uint32_t queryWords[3] = {25, 1, W(&highest)};
  ABI_CHECK(AbiCall(writer, 0, queryWords, 3, "Query") == W(writer) && highest == 1, "type 25 up to version 1");
  const uint32_t query2Words[3] = {25, 2, W(&highest)};
  ABI_CHECK(AbiCall(writer, 0, query2Words, 3, "Query") == 0 && highest == 1, "not version 2");
  const uint32_t otherWords[3] = {1, 1, W(&highest)};
  ABI_CHECK(AbiCall(writer, 0, otherWords, 3, "Query") == 0 && highest == 0, "no other type");
  ABI_CHECK(AbiCall(writer, 8, NULL, 0, "Close") == E_NOT_OPEN, "Close before opening");
  ABI_CHECK(StreamAdd(writer, "x", 1, L"x.txt", ~0ull) == E_NOT_OPEN, "an add before opening");

  const uint32_t openWords[2] = {W(path), (uint32_t)-1};
  ABI_CHECK(AbiCall(writer, 3, openWords, 2, "OpenFile") == 0, "OpenFile");
  ABI_CHECK(StreamAdd(writer, g_text, g_textLength, L"a.txt", kTime) == 0, "AddEntryFromStream");
  const uint32_t fileWords[12] = {W(sourcePath), 0, W(L"b.bin"), 5, W(&kBzip2), W(L"pw"), 2, 0, 0, 0,
                                  0xFFFFFFFFu, 0xFFFFFFFFu};
  ABI_CHECK(AbiCall(writer, 5, fileWords, 12, "AddEntryFromFile") == 0, "AddEntryFromFile");
  const uint32_t dirWords[2] = {W(L"dir"), 3};
  ABI_CHECK(AbiCall(writer, 6, dirWords, 2, "AddDirectory") == 0, "AddDirectory");
  const uint32_t commentWords[2] = {W(L"streamed"), (uint32_t)-1};
  ABI_CHECK(AbiCall(writer, 7, commentWords, 2, "SetComment") == 0, "SetComment");
  ABI_CHECK(AbiCall(writer, 8, NULL, 0, "Close") == 0, "Close");
  ABI_CHECK(AbiCall(writer, 8, NULL, 0, "Close") == E_NOT_OPEN, "closed");
  Destroy(writer);
  ABI_CHECK(EntryIs(service, path, L"a.txt", g_text, g_textLength, NULL), "streamed entry round trip");
  ABI_CHECK(EntryIs(service, path, L"b.bin", g_noise, sizeof g_noise, L"pw"), "streamed file round trip");
  ABI_CHECK(EntryIs(service, path, L"dir/", "", 0, NULL), "the directory added last");
  void* archive = NULL;
  const uint32_t archiveWords[3] = {W(&archive), W(path), LEN(path)};
  if (AbiCall(service, 2, archiveWords, 3, "OpenArchive") == 0) {
    View view = {NULL, 0};
    const uint32_t viewWords[1] = {W(&view)};
    AbiCall(archive, 4, viewWords, 1, "GetComment");
    ABI_CHECK(ViewIs(&view, L"streamed"), "the archive comment");
    void* entry = NULL;
    const uint32_t findWords[3] = {W(&entry), W(L"a.txt"), 5};
    if (AbiCall(archive, 6, findWords, 3, "FindEntry") == 0) {
      ABI_CHECK(Call64(entry, 5) == kTime, "the time given as two words");
      AbiCall(entry, 3, viewWords, 1, "GetComment");
      ABI_CHECK(ViewIs(&view, L"note"), "the entry comment");
      AbiCall(entry, 0, NULL, 0, "entry Release");
    }
    AbiCall(archive, 0, NULL, 0, "archive Release");
  }

  /* Into a stream that cannot seek: data descriptors, and still readable. */
  writer = NewWriter(root);
  if (writer == NULL) return;
  AbiHostStream pipe;
  AbiHostStreamInit(&pipe, NULL, 0);
  const uint32_t pipeWords[1] = {W(&pipe)};
  ABI_CHECK(AbiCall(writer, 2, pipeWords, 1, "OpenOnStream") == 0, "OpenOnStream on a pipe");
  ABI_CHECK(StreamAdd(writer, g_text, g_textLength, L"p1.txt", ~0ull) == 0, "an entry into the pipe");
  ABI_CHECK(StreamAdd(writer, g_noise, sizeof g_noise, L"p2.bin", kTime) == 0, "another");
  ABI_CHECK(AbiCall(writer, 8, NULL, 0, "Close") == 0, "Close on the pipe");
  Destroy(writer);
  ABI_CHECK(WriteFileBytes(scratch, pipe.data, pipe.length), "the pipe's bytes saved");
  ABI_CHECK(EntryIs(service, scratch, L"p1.txt", g_text, g_textLength, NULL), "piped entry round trip");
  ABI_CHECK(EntryIs(service, scratch, L"p2.bin", g_noise, sizeof g_noise, NULL), "second piped entry");
  AbiHostStreamFree(&pipe);

  /* Released without Close: the caller's stream as it was, a created file gone. */
  uint32_t length = 0;
  uint8_t* original = ReadFileBytes(path, &length);
  writer = NewWriter(root);
  if (writer == NULL || original == NULL) return;
  AbiHostStream stream;
  AbiHostStreamInitSeekable(&stream, original, length);
  const uint32_t streamWords[1] = {W(&stream)};
  ABI_CHECK(AbiCall(writer, 2, streamWords, 1, "OpenOnStream") == 0, "OpenOnStream on an archive");
  ABI_CHECK(StreamAdd(writer, g_noise, sizeof g_noise, L"a.txt", ~0ull) == E_ALREADY_EXISTS, "its names are known");
  ABI_CHECK(StreamAdd(writer, g_noise, sizeof g_noise, L"more.bin", ~0ull) == 0, "an entry appended");
  Destroy(writer);
  ABI_CHECK(stream.length == length && memcmp(stream.data, original, length) == 0,
            "the abandoned stream has its bytes and length back (%u of %u)", stream.length, length);
  AbiHostStreamFree(&stream);
  free(original);
  writer = NewWriter(root);
  if (writer == NULL) return;
  const uint32_t scratchWords[2] = {W(scratch), LEN(scratch)};
  DeleteFileW(scratch);
  ABI_CHECK(AbiCall(writer, 3, scratchWords, 2, "OpenFile") == 0, "OpenFile with its length");
  ABI_CHECK(StreamAdd(writer, "x", 1, L"x.txt", ~0ull) == 0, "an entry");
  Destroy(writer);
  ABI_CHECK(GetFileAttributesW(scratch) == INVALID_FILE_ATTRIBUTES, "the abandoned file is deleted");
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  for (uint32_t line = 0; g_textLength + 40 < sizeof g_text; ++line) {
    g_textLength += (uint32_t)sprintf(g_text + g_textLength, "line %u of the host's text\n", line);
  }
  uint32_t seed = 12345;
  for (uint32_t i = 0; i < sizeof g_noise; ++i) g_noise[i] = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 16);
  wchar_t directory[MAX_PATH], path[MAX_PATH], streamed[MAX_PATH], source[MAX_PATH], scratch[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  const unsigned long pid = GetCurrentProcessId();
  swprintf(path, MAX_PATH, L"%lsabi_zipw_%lu.zip", directory, pid);
  swprintf(streamed, MAX_PATH, L"%lsabi_zipw_%lu_streamed.zip", directory, pid);
  swprintf(source, MAX_PATH, L"%lsabi_zipw_%lu.bin", directory, pid);
  swprintf(scratch, MAX_PATH, L"%lsabi_zipw_%lu_scratch.zip", directory, pid);
  DeleteFileW(path);
  DeleteFileW(streamed);
  ABI_CHECK(WriteFileBytes(source, g_noise, sizeof g_noise), "the source file is written");
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
        CheckArchiveWriting(service, path, source);
        CheckServiceWriting(service, path, source);
        CheckStreamingArchive(root, service, streamed, source, scratch);
        CheckNewMethods(service, path);
        AbiCall(service, 0, NULL, 0, "service Release");
      }
      const uint32_t destroyWords[1] = {W(kAllocator)};
      AbiCall(factory, 1, destroyWords, 1, "Destroy");
    }
    ABI_CHECK(((uint32_t(THISCALL*)(void*))AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  ABI_CHECK(DeleteFileW(path), "the archive is closed and can be deleted");
  ABI_CHECK(DeleteFileW(streamed), "the streamed archive too");
  DeleteFileW(source);
  DeleteFileW(scratch);
  AbiUnload(&dll);
  return AbiReport("abi_zip_writer");
}
