#include "abi_text.h"

#include <windows.h>

#include "abi_codes.h"

static int32_t __cdecl HeapResize(AbiBufferView* view, uint32_t length, void* context) {
  (void)context;
  wchar_t* data = view->data == NULL ? HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t))
                                     : HeapReAlloc(GetProcessHeap(), 0, view->data, (length + 1) * sizeof(wchar_t));
  if (data == NULL) return (int32_t)E_OUT_OF_MEMORY;
  view->data = data;
  view->length = length;
  return 0;
}

const AbiBufferTable kAbiHeapBuffer = {1, HeapResize};
