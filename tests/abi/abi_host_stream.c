#include "abi_host_stream.h"

#include <stdlib.h>
#include <string.h>

#include "abi_codes.h"
#include "abi_host.h"

struct AbiHostStreamTable {
  void(THISCALL* release)(AbiHostStream* self);
  uint8_t(THISCALL* isOpen)(AbiHostStream* self);
  uint8_t(THISCALL* reserved2)(AbiHostStream* self);
  uint8_t(THISCALL* reserved3)(AbiHostStream* self);
  int32_t(THISCALL* readAt)(AbiHostStream* self, uint64_t offset, void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* read)(AbiHostStream* self, void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* writeAt)(AbiHostStream* self, uint64_t offset, const void* buffer, uint32_t count,
                             uint32_t* done);
  int32_t(THISCALL* write)(AbiHostStream* self, const void* buffer, uint32_t count, uint32_t* done);
  int32_t(THISCALL* tell)(AbiHostStream* self, uint64_t* position);
  int32_t(THISCALL* seek)(AbiHostStream* self, int64_t offset, uint32_t origin);
  int32_t(THISCALL* getSize)(AbiHostStream* self, uint64_t* size);
  int32_t(THISCALL* setSize)(AbiHostStream* self, uint64_t size);
  uint8_t(THISCALL* canSaveState)(AbiHostStream* self, uint32_t format);
  int32_t(THISCALL* saveState)(AbiHostStream* self, void* writer, void* marshaller);
  int32_t(THISCALL* loadState)(AbiHostStream* self, void* reader, void* marshaller);
  int32_t(THISCALL* map)(AbiHostStream* self, uint64_t offset, uint32_t length, void** view, uint8_t readOnly);
  void(THISCALL* dispose)(AbiHostStream* self);
};

/* Room for at least length bytes; 0 when it cannot be had. */
static int Reserve(AbiHostStream* self, uint32_t length) {
  if (length <= self->capacity) return 1;
  uint32_t capacity = self->capacity ? self->capacity : 4096;
  while (capacity < length) capacity *= 2;
  uint8_t* grown = (uint8_t*)realloc(self->data, capacity);
  if (grown == NULL) return 0;
  self->data = grown;
  self->capacity = capacity;
  return 1;
}

static void THISCALL HsNothing(AbiHostStream* self) { (void)self; }
static uint8_t THISCALL HsTrue(AbiHostStream* self) {
  (void)self;
  return 1;
}
static int32_t THISCALL HsReadAt(AbiHostStream* self, uint64_t offset, void* buffer, uint32_t count,
                                 uint32_t* done) {
  (void)self, (void)offset, (void)buffer, (void)count, (void)done;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HsRead(AbiHostStream* self, void* buffer, uint32_t count, uint32_t* done) {
  uint32_t left = self->readPosition < self->length ? self->length - self->readPosition : 0;
  ++self->reads;
  if (left == 0) return (int32_t)E_END_OF_DATA;
  if (count > left) count = left;
  memcpy(buffer, self->data + self->readPosition, count);
  self->readPosition += count;
  if (done != NULL) *done = count;
  return 0;
}
static int32_t THISCALL HsWriteAt(AbiHostStream* self, uint64_t offset, const void* buffer, uint32_t count,
                                  uint32_t* done) {
  (void)self, (void)offset, (void)buffer, (void)count, (void)done;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HsWrite(AbiHostStream* self, const void* buffer, uint32_t count, uint32_t* done) {
  ++self->writes;
  const uint32_t at = self->seekable ? self->readPosition : self->length;
  if (!Reserve(self, at + count)) return (int32_t)E_OUT_OF_MEMORY;
  if (at > self->length) memset(self->data + self->length, 0, at - self->length);
  if (count != 0) memcpy(self->data + at, buffer, count);
  if (at + count > self->length) self->length = at + count;
  if (self->seekable) self->readPosition = at + count;
  if (done != NULL) *done = count;
  return 0;
}
static int32_t THISCALL HsLength(AbiHostStream* self, uint64_t* value) {
  *value = self->length;
  return 0;
}
static int32_t THISCALL HsTell(AbiHostStream* self, uint64_t* value) {
  *value = self->seekable ? self->readPosition : self->length;
  return 0;
}
static int32_t THISCALL HsSeek(AbiHostStream* self, int64_t offset, uint32_t origin) {
  if (!self->seekable) return (int32_t)E_NOT_IMPLEMENTED;
  const int64_t base = origin == 0 ? 0 : origin == 1 ? (int64_t)self->readPosition : (int64_t)self->length;
  if (origin > 2) return (int32_t)E_INVALID_ARG;
  if (base + offset < 0 || base + offset > 0xFFFFFFFF) return (int32_t)E_INVALID_SEEK;
  self->readPosition = (uint32_t)(base + offset);
  return 0;
}
static int32_t THISCALL HsSetSize(AbiHostStream* self, uint64_t size) {
  if (size > 0xFFFFFFFFu || !Reserve(self, (uint32_t)size)) return (int32_t)E_OUT_OF_MEMORY;
  if (size > self->length) memset(self->data + self->length, 0, (uint32_t)size - self->length);
  self->length = (uint32_t)size;
  if (self->readPosition > self->length) self->readPosition = self->length;
  return 0;
}
static uint8_t THISCALL HsCanSave(AbiHostStream* self, uint32_t format) {
  (void)self, (void)format;
  return 0;
}
static int32_t THISCALL HsState(AbiHostStream* self, void* stream, void* marshaller) {
  (void)self, (void)stream, (void)marshaller;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static int32_t THISCALL HsMap(AbiHostStream* self, uint64_t offset, uint32_t length, void** view,
                              uint8_t readOnly) {
  (void)self, (void)offset, (void)length, (void)view, (void)readOnly;
  return (int32_t)E_NOT_IMPLEMENTED;
}

/* Release and Dispose do nothing: the stream is the host's, on its stack. */
static const AbiHostStreamTable kTable = {HsNothing, HsTrue,   HsTrue,   HsTrue,    HsReadAt,  HsRead,
                                          HsWriteAt, HsWrite,  HsTell,   HsSeek,    HsLength,  HsSetSize,
                                          HsCanSave, HsState,  HsState,  HsMap,     HsNothing};

void AbiHostStreamInit(AbiHostStream* stream, const void* data, uint32_t length) {
  memset(stream, 0, sizeof *stream);
  stream->table = &kTable;
  if (length != 0 && Reserve(stream, length)) {
    memcpy(stream->data, data, length);
    stream->length = length;
  }
}

void AbiHostStreamInitSeekable(AbiHostStream* stream, const void* data, uint32_t length) {
  AbiHostStreamInit(stream, data, length);
  stream->seekable = 1;
}

void AbiHostStreamFree(AbiHostStream* stream) {
  free(stream->data);
  stream->data = NULL;
  stream->length = stream->capacity = stream->readPosition = 0;
}
