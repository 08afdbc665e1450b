/* The archive factory and its deflate stream reached the way an MSVC-built
 * host reaches them: the factory from root slot 4 through a receiver, every
 * slot called by number through AbiCallSlot (which also checks that the
 * callee removed exactly its argument words), and the host's own stream as a
 * table of thiscall functions over a memory buffer. Data is compressed
 * through slot 7 and Finish, then decompressed through a second stream. */
#include <stdlib.h>
#include <string.h>

#include "abi_host.h"

#define E_INVALID_ARG 0xE0010002u
#define E_NOT_IMPLEMENTED 0xE001003Cu
#define E_UNSUPPORTED_VERSION 0xE0010054u
#define E_TRAILING_DATA 0xE0010090u
#define E_UNEXPECTED_END 0xE0010091u
#define E_END_OF_DATA 0xE001018Bu

#define W(value) ((uint32_t)(uintptr_t)(value))
#define THISCALL __attribute__((thiscall))

static const AbiGuid kVersioned10 = {
    {0xB8, 0x55, 0xDE, 0xB4, 0xE9, 0x71, 0x45, 0x77, 0x90, 0x46, 0x99, 0x91, 0x00, 0x00, 0x00, 0x0A}};

/* --- A host stream: slots 0-16 of the public stream over a byte buffer. --- */

typedef struct HostBuffer HostBuffer;
typedef struct {
  void(THISCALL* release)(HostBuffer* self);
  uint8_t(THISCALL* isOpen)(HostBuffer* self);
  uint8_t(THISCALL* reserved2)(HostBuffer* self);
  uint8_t(THISCALL* reserved3)(HostBuffer* self);
  int32_t(THISCALL* readAt)(HostBuffer* self, uint64_t offset, void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* read)(HostBuffer* self, void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* writeAt)(HostBuffer* self, uint64_t offset, const void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* write)(HostBuffer* self, const void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* tell)(HostBuffer* self, uint64_t* position);
  int32_t(THISCALL* seek)(HostBuffer* self, int64_t offset, uint32_t origin);
  int32_t(THISCALL* getSize)(HostBuffer* self, uint64_t* size);
  int32_t(THISCALL* setSize)(HostBuffer* self, uint64_t size);
  uint8_t(THISCALL* canSaveState)(HostBuffer* self, uint32_t format);
  int32_t(THISCALL* saveState)(HostBuffer* self, void* writer, void* marshaller);
  int32_t(THISCALL* loadState)(HostBuffer* self, void* reader, void* marshaller);
  int32_t(THISCALL* map)(HostBuffer* self, uint64_t offset, uint32_t length, void** view, uint8_t readOnly);
  void(THISCALL* dispose)(HostBuffer* self);
} HostStreamTable;

struct HostBuffer {
  const HostStreamTable* table;
  uint8_t* data;
  uint32_t length;
  uint32_t capacity;
  uint32_t readPosition;
  int reads;
  int writes;
};

static void THISCALL HbRelease(HostBuffer* self) { (void)self; }
static uint8_t THISCALL HbTrue(HostBuffer* self) {
  (void)self;
  return 1;
}
static int32_t THISCALL HbReadAt(HostBuffer* self, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
  (void)self, (void)offset, (void)buffer, (void)count, (void)done;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HbRead(HostBuffer* self, void* buffer, uint32_t count, uint32_t* done) {
  uint32_t left = self->length - self->readPosition;
  ++self->reads;
  if (left == 0) return (int32_t)E_END_OF_DATA;
  if (count > left) count = left;
  memcpy(buffer, self->data + self->readPosition, count);
  self->readPosition += count;
  if (done != NULL) *done = count;
  return 0;
}
static int32_t THISCALL HbWriteAt(HostBuffer* self, uint64_t offset, const void* buffer, uint32_t count,
                                  uint32_t* done) {
  (void)self, (void)offset, (void)buffer, (void)count, (void)done;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HbWrite(HostBuffer* self, const void* buffer, uint32_t count, uint32_t* done) {
  ++self->writes;
  if (self->length + count > self->capacity) {
    uint32_t capacity = self->capacity ? self->capacity : 4096;
    while (capacity < self->length + count) capacity *= 2;
    uint8_t* grown = (uint8_t*)realloc(self->data, capacity);
    if (grown == NULL) return (int32_t)0xE0010001u;
    self->data = grown;
    self->capacity = capacity;
  }
  memcpy(self->data + self->length, buffer, count);
  self->length += count;
  if (done != NULL) *done = count;
  return 0;
}
static int32_t THISCALL HbPointer(HostBuffer* self, uint64_t* value) {
  (void)self, (void)value;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HbSeek(HostBuffer* self, int64_t offset, uint32_t origin) {
  (void)self, (void)offset, (void)origin;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HbSetSize(HostBuffer* self, uint64_t size) {
  (void)self, (void)size;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static uint8_t THISCALL HbCanSave(HostBuffer* self, uint32_t format) {
  (void)self, (void)format;
  return 0;
}
static int32_t THISCALL HbState(HostBuffer* self, void* stream, void* marshaller) {
  (void)self, (void)stream, (void)marshaller;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HbMap(HostBuffer* self, uint64_t offset, uint32_t length, void** view, uint8_t readOnly) {
  (void)self, (void)offset, (void)length, (void)view, (void)readOnly;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static void THISCALL HbDispose(HostBuffer* self) { (void)self; }

static const HostStreamTable kHostStreamTable = {HbRelease, HbTrue,   HbTrue,    HbTrue,    HbReadAt, HbRead,
                                                 HbWriteAt, HbWrite,  HbPointer, HbSeek,    HbPointer, HbSetSize,
                                                 HbCanSave, HbState, HbState,   HbMap,     HbDispose};

static void HostBufferInit(HostBuffer* host, const uint8_t* data, uint32_t length) {
  memset(host, 0, sizeof *host);
  host->table = &kHostStreamTable;
  if (length != 0) {
    host->data = (uint8_t*)malloc(length);
    memcpy(host->data, data, length);
    host->length = host->capacity = length;
  }
}

static void HostBufferFree(HostBuffer* host) { free(host->data); }

/* --- The module's side ----------------------------------------------------- */

static int32_t __cdecl StoreDeliver(void* object, void* context) {
  *(void**)context = object;
  return 0;
}
static const AbiReceiverTable kStore = {1, StoreDeliver};

/* Calls slot n with count words and checks the callee's stack cleanup. */
static uint32_t Call(void* object, unsigned n, const uint32_t* words, uint32_t count, const char* what) {
  uint32_t eax = 0;
  int32_t left = 0x7FFFFFFF;
  AbiCallSlot(object, n, words, count, &eax, &left);
  ABI_CHECK(left == 0, "%s (slot %u) removes %u argument words (left %d bytes)", what, n, count, left);
  return eax;
}

static void* CreateStream(void* factory, HostBuffer* host, int compress, int32_t level, uint32_t bufferSize,
                          uint32_t* result) {
  void* stream = (void*)0xDEADBEEF;
  const uint32_t words[5] = {W(&stream), W(host), (uint32_t)compress, (uint32_t)level, bufferSize};
  *result = Call(factory, 3, words, 5, "CreateDeflateStream");
  return stream;
}

/* Mixed text and bytes from a fixed linear congruential sequence. */
static uint8_t* MakeData(uint32_t length) {
  static const char* const kWords[] = {"stream ", "deflate ", "host ", "slot ", "table ", "buffer\n"};
  uint8_t* data = (uint8_t*)malloc(length ? length : 1);
  uint32_t state = 12345;
  uint32_t at = 0;
  while (at < length) {
    state = state * 1103515245u + 12345u;
    if ((state >> 16) % 8 == 0) {
      data[at++] = (uint8_t)(state >> 24);
    } else {
      const char* word = kWords[(state >> 16) % 6];
      while (*word && at < length) data[at++] = (uint8_t)*word++;
    }
  }
  return data;
}

static uint32_t Inflate(void* factory, HostBuffer* source, uint8_t* out, uint32_t capacity, uint32_t* produced) {
  uint32_t result = 0;
  void* reader = CreateStream(factory, source, 0, 0, 1000, &result);
  ABI_CHECK(result == 0, "decompressing stream created: 0x%08X", result);
  *produced = 0;
  if (result != 0) return result;
  for (;;) {
    uint32_t got = 0xDEADBEEF;
    const uint32_t words[3] = {W(out + *produced), capacity - *produced < 777 ? capacity - *produced : 777, W(&got)};
    result = Call(reader, 5, words, 3, "Read");
    if (result != 0) break;
    *produced += got;
  }
  ABI_CHECK(Call(reader, 16, NULL, 0, "Finish") == 0, "Finish on a decompressing stream is 0");
  Call(reader, 0, NULL, 0, "Release");
  return result;
}

static void CheckRoundTrip(void* factory) {
  const uint32_t length = 300000;
  uint8_t* data = MakeData(length);
  HostBuffer sink;
  HostBufferInit(&sink, NULL, 0);
  uint32_t result = 0;
  void* writer = CreateStream(factory, &sink, 1, 6, 4096, &result);
  ABI_CHECK(result == 0 && writer != NULL && writer != (void*)0xDEADBEEF, "compressing stream created: 0x%08X",
            result);
  if (result != 0) return;

  /* Writes of odd sizes through slot 7. */
  uint32_t at = 0;
  while (at < length) {
    uint32_t n = length - at < 12345 ? length - at : 12345;
    uint32_t consumed = 0;
    const uint32_t words[3] = {W(data + at), n, W(&consumed)};
    ABI_CHECK(Call(writer, 7, words, 3, "Write") == 0 && consumed == n, "write of %u bytes", n);
    at += n;
  }
  ABI_CHECK(Call(writer, 16, NULL, 0, "Finish") == 0, "Finish succeeds");
  const uint32_t compressedLength = sink.length;
  const int writes = sink.writes;
  ABI_CHECK(compressedLength > 0 && compressedLength < length, "compressed to %u bytes", compressedLength);
  ABI_CHECK(Call(writer, 16, NULL, 0, "Finish") == 0, "a second Finish returns 0");
  ABI_CHECK(sink.length == compressedLength && sink.writes == writes, "and writes nothing");
  Call(writer, 0, NULL, 0, "Release");

  uint8_t* out = (uint8_t*)malloc(length + 100);
  HostBuffer source;
  uint32_t produced = 0;
  HostBufferInit(&source, sink.data, sink.length);
  result = Inflate(factory, &source, out, length + 100, &produced);
  ABI_CHECK(result == E_END_OF_DATA, "the data ends with 0xE001018B (got 0x%08X)", result);
  ABI_CHECK(produced == length && memcmp(out, data, length) == 0, "decompressed bytes match (%u of %u)", produced,
            length);
  HostBufferFree(&source);

  /* The compressed data cut short, and followed by a stray byte. */
  HostBufferInit(&source, sink.data, sink.length - 2);
  result = Inflate(factory, &source, out, length + 100, &produced);
  ABI_CHECK(result == E_UNEXPECTED_END, "truncated data gives 0xE0010091 (got 0x%08X)", result);
  HostBufferFree(&source);
  uint8_t* longer = (uint8_t*)malloc(sink.length + 1);
  memcpy(longer, sink.data, sink.length);
  longer[sink.length] = 0x55;
  HostBufferInit(&source, longer, sink.length + 1);
  result = Inflate(factory, &source, out, length + 100, &produced);
  ABI_CHECK(result == E_TRAILING_DATA && produced == length, "a trailing byte gives 0xE0010090 (got 0x%08X)", result);
  HostBufferFree(&source);

  free(longer);
  free(out);
  HostBufferFree(&sink);
  free(data);
}

static void CheckEmptyInputAndOtherSlots(void* factory) {
  HostBuffer sink;
  HostBufferInit(&sink, NULL, 0);
  uint32_t result = 0;
  void* stream = CreateStream(factory, &sink, 1, -1, 32768, &result);
  ABI_CHECK(result == 0, "stream with the default level: 0x%08X", result);
  if (result != 0) return;

  uint32_t scratch[8] = {0};
  uint32_t words[5] = {0, 0, W(scratch), 4, W(scratch)};
  ABI_CHECK((Call(stream, 1, NULL, 0, "IsOpen") & 0xFF) == 1, "slot 1 is true");
  ABI_CHECK((Call(stream, 2, NULL, 0, "slot 2") & 0xFF) == 1, "slot 2 is true");
  ABI_CHECK((Call(stream, 3, NULL, 0, "slot 3") & 0xFF) == 1, "slot 3 is true");
  ABI_CHECK(Call(stream, 4, words, 5, "ReadAt") == E_UNSUPPORTED_VERSION, "ReadAt unsupported");
  ABI_CHECK(Call(stream, 6, words, 5, "WriteAt") == E_UNSUPPORTED_VERSION, "WriteAt unsupported");
  words[0] = W(scratch);
  ABI_CHECK(Call(stream, 8, words, 1, "Tell") == E_UNSUPPORTED_VERSION, "Tell unsupported");
  ABI_CHECK(Call(stream, 9, words, 3, "Seek") == E_UNSUPPORTED_VERSION, "Seek unsupported");
  ABI_CHECK(Call(stream, 10, words, 1, "GetSize") == E_UNSUPPORTED_VERSION, "GetSize unsupported");
  ABI_CHECK(Call(stream, 11, words, 2, "SetSize") == E_UNSUPPORTED_VERSION, "SetSize unsupported");
  ABI_CHECK((Call(stream, 12, words, 1, "CanSaveState") & 0xFF) == 0, "CanSaveState is false");
  ABI_CHECK(Call(stream, 13, words, 2, "SaveState") == E_UNSUPPORTED_VERSION, "SaveState unsupported");
  ABI_CHECK(Call(stream, 14, words, 2, "LoadState") == E_UNSUPPORTED_VERSION, "LoadState unsupported");
  words[0] = 0;
  words[2] = 0;
  words[3] = W(scratch);
  ABI_CHECK(Call(stream, 15, words, 5, "Map") == E_UNSUPPORTED_VERSION, "Map unsupported");
  ABI_CHECK(scratch[0] == 0, "the unsupported slots wrote nothing");
  ABI_CHECK(sink.writes == 0, "nothing reached the host before Finish");

  ABI_CHECK(Call(stream, 16, NULL, 0, "Finish") == 0, "Finish of an empty stream");
  ABI_CHECK(sink.length == 2 && sink.data[0] == 0x03 && sink.data[1] == 0x00,
            "empty input still writes the end of the deflate data (03 00), got %u bytes", sink.length);
  Call(stream, 0, NULL, 0, "Release");
  HostBufferFree(&sink);

  void* untouched = (void*)0xDEADBEEF;
  const uint32_t bad[5] = {W(&untouched), W(&sink), 1, 6, 0};
  ABI_CHECK(Call(factory, 3, bad, 5, "CreateDeflateStream") == E_INVALID_ARG, "buffer size 0 refused");
  ABI_CHECK(untouched == (void*)0xDEADBEEF, "output untouched on refusal");
  void* service = (void*)0xDEADBEEF;
  const uint32_t serviceWords[1] = {W(&service)};
  ABI_CHECK(Call(factory, 2, serviceWords, 1, "CreateZipService") == 0, "CreateZipService delivers a service");
  ABI_CHECK(service != NULL && service != (void*)0xDEADBEEF, "and stores it");
  if (service != NULL && service != (void*)0xDEADBEEF) Call(service, 0, NULL, 0, "ZipService release");
  ABI_CHECK(Call(factory, 4, NULL, 0, "reserved slot") == E_NOT_IMPLEMENTED, "slot 4 is not implemented");
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) {
    printf("0 passed, 1 failed\n");
    return 1;
  }
  ABI_CHECK(dll.init() == 0, "RylModuleInit succeeds");
  void* root = NULL;
  ABI_CHECK(dll.getObject(kVersioned10, &root) == 0 && root != NULL, "root from the versioned identifier");
  if (root != NULL) {
    void* factory = NULL;
    AbiReceiver receiver = {&kStore, &factory, 1, NULL, NULL};
    const uint32_t receiverWords[1] = {W(&receiver)};
    ABI_CHECK(Call(root, 4, receiverWords, 1, "CreateArchiveFactory") == 0 && factory != NULL,
              "root slot 4 delivers the archive factory");
    if (factory != NULL) {
      uint32_t highest = 0xDEADBEEF;
      const uint32_t query[3] = {2, 1, W(&highest)};
      ABI_CHECK(Call(factory, 0, query, 3, "Query") == W(factory) && highest == 1, "factory answers type 2");
      const uint32_t query2[3] = {2, 2, W(&highest)};
      ABI_CHECK(Call(factory, 0, query2, 3, "Query") == 0 && highest == 1, "but not at version 2");
      CheckRoundTrip(factory);
      CheckEmptyInputAndOtherSlots(factory);
      const uint32_t allocator[2] = {0, 0};
      const uint32_t destroyWords[1] = {W(allocator)};
      Call(factory, 1, destroyWords, 1, "Destroy");
    }
    ABI_CHECK(((uint32_t(THISCALL*)(void*))AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_codec");
}
