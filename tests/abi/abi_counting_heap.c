#include "abi_counting_heap.h"

#include "abi_codes.h"

int g_abiAllocated;
int g_abiFreed;

static int32_t __cdecl CountingAllocate(void** out, uint32_t size, void* context) {
  (void)context;
  ++g_abiAllocated;
  *out = HeapAlloc(GetProcessHeap(), 0, size);
  return *out != NULL ? 0 : (int32_t)E_OUT_OF_MEMORY;
}

static void __cdecl CountingFree(void* p, void* context) {
  (void)context;
  ++g_abiFreed;
  HeapFree(GetProcessHeap(), 0, p);
}

const AbiAllocatorTable kAbiCountingHeap = {1, CountingFree, CountingAllocate};
