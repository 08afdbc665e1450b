/* Text records as a host lays them out: a view of UTF-16 units the library
 * fills or reads, and an output buffer (version 1: Resize only) that the
 * library grows through the host's table. */
#ifndef RYL_ABI_TEXT_H
#define RYL_ABI_TEXT_H

#include <stdint.h>
#include <wchar.h>

typedef struct {
  const wchar_t* data;
  uint32_t length;
} AbiStringView;

typedef struct {
  void* data;
  uint32_t length;
} AbiBufferView;

typedef struct {
  uint32_t version;
  int32_t(__cdecl* resize)(AbiBufferView* view, uint32_t length, void* context);
} AbiBufferTable;

typedef struct {
  const AbiBufferTable* callbacks;
  void* context;
  AbiBufferView view;
} AbiOutput;

/* Resize on the process heap, with room for a terminator behind the length;
 * the owner frees view.data with HeapFree. */
extern const AbiBufferTable kAbiHeapBuffer;

#endif
