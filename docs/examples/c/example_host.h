/* What every C example host brings along. The SDK headers are C++, so a C
 * host declares the records it passes and calls each slot by number through
 * a typed thiscall function pointer: slot n of an object is the n-th entry
 * of the table its first word points to. */
#ifndef RYL_EXAMPLE_HOST_H
#define RYL_EXAMPLE_HOST_H

#include <stdint.h>
#include <stdio.h>
#include <windows.h>

/* [guide:c-slots] */
#define THISCALL __attribute__((thiscall))

/* The address of slot n of an object: its first word points to the table. */
#define SLOT(object, n) ((*(void* const**)(object))[n])
/* Slot n called as the given thiscall function-pointer type. */
#define CALL(type, object, n) ((type)SLOT(object, n))
/* [/guide:c-slots] */

/* Result codes the examples test for (negative is failure). */
#define E_END_OF_DATA_CODE ((int32_t)0xE001018Bu)
#define S_NO_MORE_ITEMS_CODE ((int32_t)0x6001000Eu)
#define E_NOT_IMPLEMENTED_CODE ((int32_t)0xE001003Cu)
#define E_INVALID_SEEK_CODE ((int32_t)0xE0010051u)
#define E_OUT_OF_MEMORY_CODE ((int32_t)0xE0010001u)

/* [guide:c-records] */
/* Object delivery: the module calls deliver(object, context); success hands
 * the object over. A null allocator table means the default heap. */
typedef struct {
  uint32_t version; /* 1 */
  int32_t(__cdecl* deliver)(void* object, void* context);
} ReceiverTable;

typedef struct {
  const void* callbacks; /* null: the process's default heap */
  void* context;
} AllocatorRecord;

typedef struct {
  const ReceiverTable* callbacks;
  void* context;
  uint32_t requestedVersion;
  AllocatorRecord allocator;
} ObjectReceiver;

/* Variable-length results: Resize(view, length, context) makes room, then
 * the module writes into view.data. */
typedef struct {
  void* data;
  uint32_t length; /* in elements: bytes or UTF-16 units, as the slot says */
} BufferView;

typedef struct {
  uint32_t version; /* 1: Resize alone */
  int32_t(__cdecl* resize)(BufferView* view, uint32_t length, void* context);
  void* reserve;
  void* swap;
  void* capacity;
} OutputBufferTable;

typedef struct {
  const OutputBufferTable* callbacks;
  void* context; /* the element size, for the resize below */
  BufferView view;
} OutputBuffer;

typedef struct {
  const wchar_t* data;
  uint32_t length;
} StringView;
/* [/guide:c-records] */

/* A receiver storing the object in *(void**)context, on the default heap. */
ObjectReceiver ReceiveInto(void** out, uint32_t version);
extern const AllocatorRecord kDefaultHeap;

/* An OutputBuffer over malloc'd memory of bytes (1) or UTF-16 units (2). */
OutputBuffer BufferOf(uint32_t elementSize);
void BufferFree(OutputBuffer* buffer);

/* A host stream over memory, seekable like a file: its first field is the
 * table of the public stream's seventeen slots. */
typedef struct MemoryStream {
  const void* table;
  uint8_t* bytes;
  uint32_t length;
  uint32_t capacity;
  uint32_t position;
} MemoryStream;
void StreamInit(MemoryStream* stream, const void* data, uint32_t length);
void StreamFree(MemoryStream* stream);

/* The module loaded at run time and its root. */
typedef struct {
  HMODULE module;
  int32_t(__cdecl* finish)(void);
  void* root;
} Session;
int SessionStart(Session* session);
void SessionEnd(Session* session);

/* Prints what failed and its code; 1 when the code is a success. */
int Check(int32_t code, const char* what);

#endif
