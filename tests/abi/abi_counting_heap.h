/* An allocator table over the process heap that counts its calls, so that a
 * host can tell whether the library used the allocator it was handed. */
#ifndef RYL_ABI_COUNTING_HEAP_H
#define RYL_ABI_COUNTING_HEAP_H

#include "abi_host.h"

extern int g_abiAllocated;
extern int g_abiFreed;

extern const AbiAllocatorTable kAbiCountingHeap;

#endif
