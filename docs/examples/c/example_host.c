#include "example_host.h"

#include <stdlib.h>
#include <string.h>

int Check(int32_t code, const char* what) {
  if (code >= 0) return 1;
  printf("FAILED %s: 0x%08X\n", what, (unsigned)code);
  return 0;
}

/* [guide:c-session] */
typedef struct {
  uint8_t bytes[16];
} InterfaceId;

/* The root's identifier, module interface version 10 in the last byte. */
static const InterfaceId kRootId = {
    {0xB8, 0x55, 0xDE, 0xB4, 0xE9, 0x71, 0x45, 0x77, 0x90, 0x46, 0x99, 0x91, 0x00, 0x00, 0x00, 0x0A}};

int SessionStart(Session* session) {
  int32_t(__cdecl * init)(void);
  int32_t(__stdcall * getObject)(InterfaceId id, void** out); /* 20 bytes of arguments */
  memset(session, 0, sizeof *session);
  session->module = LoadLibraryW(L"rylutil.dll");
  if (session->module == NULL) return Check((int32_t)0xE001003Du, "LoadLibraryW");
  init = (int32_t(__cdecl*)(void))(void*)GetProcAddress(session->module, "RylModuleInit");
  session->finish = (int32_t(__cdecl*)(void))(void*)GetProcAddress(session->module, "RylModuleFinish");
  getObject = (int32_t(__stdcall*)(InterfaceId, void**))(void*)GetProcAddress(session->module, "GetRylObject");
  if (init == NULL || session->finish == NULL || getObject == NULL) return Check((int32_t)0xE0010013u, "exports");
  if (!Check(init(), "RylModuleInit")) return 0;
  return Check(getObject(kRootId, &session->root), "GetRylObject");
}

void SessionEnd(Session* session) {
  typedef uint32_t(THISCALL * ReleaseFn)(void* self);
  if (session->root != NULL) CALL(ReleaseFn, session->root, 2)(session->root); /* root slot 2: Release */
  if (session->finish != NULL) session->finish();
  /* Unloading runs the module's static destructors; keep it loaded until
   * every object is gone. */
  if (session->module != NULL) FreeLibrary(session->module);
}
/* [/guide:c-session] */

static int32_t __cdecl StoreObject(void* object, void* context) {
  *(void**)context = object;
  return 0;
}
static const ReceiverTable kStore = {1, StoreObject};
const AllocatorRecord kDefaultHeap = {NULL, NULL};

ObjectReceiver ReceiveInto(void** out, uint32_t version) {
  ObjectReceiver receiver = {&kStore, out, version, {NULL, NULL}};
  return receiver;
}

static int32_t __cdecl ResizeBuffer(BufferView* view, uint32_t length, void* context) {
  const size_t elementSize = (size_t)(uintptr_t)context;
  void* grown = realloc(view->data, length * elementSize + elementSize); /* never 0 bytes */
  if (grown == NULL) return E_OUT_OF_MEMORY_CODE;
  view->data = grown;
  view->length = length;
  return 0;
}
static const OutputBufferTable kBufferTable = {1, ResizeBuffer, NULL, NULL, NULL};

OutputBuffer BufferOf(uint32_t elementSize) {
  OutputBuffer buffer = {&kBufferTable, (void*)(uintptr_t)elementSize, {NULL, 0}};
  return buffer;
}

void BufferFree(OutputBuffer* buffer) {
  free(buffer->view.data);
  buffer->view.data = NULL;
  buffer->view.length = 0;
}

/* --- The memory stream ------------------------------------------------------ */

static int Room(MemoryStream* self, uint32_t length) {
  uint8_t* grown;
  if (length <= self->capacity) return 1;
  grown = (uint8_t*)realloc(self->bytes, length);
  if (grown == NULL) return 0;
  memset(grown + self->capacity, 0, length - self->capacity);
  self->bytes = grown;
  self->capacity = length;
  return 1;
}

static void THISCALL MsNothing(MemoryStream* self) { (void)self; }
static uint8_t THISCALL MsTrue(MemoryStream* self) {
  (void)self;
  return 1;
}
static int32_t THISCALL MsReadAt(MemoryStream* self, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
  uint32_t left = offset < self->length ? self->length - (uint32_t)offset : 0;
  if (left == 0 || (done == NULL && left < count)) return E_END_OF_DATA_CODE;
  if (count > left) count = left;
  memcpy(buffer, self->bytes + offset, count);
  if (done != NULL) *done = count;
  return 0;
}
static int32_t THISCALL MsRead(MemoryStream* self, void* buffer, uint32_t count, uint32_t* done) {
  uint32_t n = 0;
  int32_t rc = MsReadAt(self, self->position, buffer, count, &n);
  if (rc < 0) return rc;
  if (done == NULL && n < count) return E_END_OF_DATA_CODE;
  self->position += n;
  if (done != NULL) *done = n;
  return 0;
}
static int32_t THISCALL MsWriteAt(MemoryStream* self, uint64_t offset, const void* buffer, uint32_t count,
                                  uint32_t* done) {
  if (!Room(self, (uint32_t)offset + count)) return E_OUT_OF_MEMORY_CODE;
  memcpy(self->bytes + offset, buffer, count);
  if ((uint32_t)offset + count > self->length) self->length = (uint32_t)offset + count;
  if (done != NULL) *done = count;
  return 0;
}
static int32_t THISCALL MsWrite(MemoryStream* self, const void* buffer, uint32_t count, uint32_t* done) {
  int32_t rc = MsWriteAt(self, self->position, buffer, count, done);
  if (rc >= 0) self->position += count;
  return rc;
}
static int32_t THISCALL MsTell(MemoryStream* self, uint64_t* position) {
  *position = self->position;
  return 0;
}
static int32_t THISCALL MsSeek(MemoryStream* self, int64_t offset, uint32_t origin) {
  int64_t base = origin == 0 ? 0 : origin == 1 ? (int64_t)self->position : (int64_t)self->length;
  if (base + offset < 0) return E_INVALID_SEEK_CODE;
  self->position = (uint32_t)(base + offset);
  return 0;
}
static int32_t THISCALL MsGetSize(MemoryStream* self, uint64_t* size) {
  *size = self->length;
  return 0;
}
static int32_t THISCALL MsSetSize(MemoryStream* self, uint64_t size) {
  if (!Room(self, (uint32_t)size)) return E_OUT_OF_MEMORY_CODE;
  if (size > self->length) memset(self->bytes + self->length, 0, (uint32_t)size - self->length);
  self->length = (uint32_t)size;
  return 0;
}
static uint8_t THISCALL MsCanSave(MemoryStream* self, uint32_t format) {
  (void)self, (void)format;
  return 0;
}
static int32_t THISCALL MsState(MemoryStream* self, void* stream, void* marshaller) {
  (void)self, (void)stream, (void)marshaller;
  return E_NOT_IMPLEMENTED_CODE;
}
static int32_t THISCALL MsMap(MemoryStream* self, uint64_t offset, uint32_t length, void** view, uint8_t readOnly) {
  (void)self, (void)offset, (void)length, (void)view, (void)readOnly;
  return E_NOT_IMPLEMENTED_CODE;
}

/* Slots 0-16 in order: Release, IsOpen, two reserved, ReadAt, Read, WriteAt,
 * Write, Tell, Seek, GetSize, SetSize, CanSaveState, SaveState, LoadState,
 * Map, Dispose. Release and Dispose do nothing: the host owns the stream. */
static void* const kStreamTable[17] = {
    (void*)MsNothing, (void*)MsTrue,    (void*)MsTrue,   (void*)MsTrue,    (void*)MsReadAt, (void*)MsRead,
    (void*)MsWriteAt, (void*)MsWrite,   (void*)MsTell,   (void*)MsSeek,    (void*)MsGetSize, (void*)MsSetSize,
    (void*)MsCanSave, (void*)MsState,   (void*)MsState,  (void*)MsMap,     (void*)MsNothing};

void StreamInit(MemoryStream* stream, const void* data, uint32_t length) {
  memset(stream, 0, sizeof *stream);
  stream->table = kStreamTable;
  if (length != 0 && Room(stream, length)) {
    memcpy(stream->bytes, data, length);
    stream->length = length;
  }
}

void StreamFree(MemoryStream* stream) {
  free(stream->bytes);
  memset(stream, 0, sizeof *stream);
}
