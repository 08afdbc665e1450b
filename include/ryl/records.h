// The records through which hosts and the module hand each other objects,
// memory and variable-length results. Host callback entries are plain
// caller-cleans functions; the module calls them synchronously, on the
// calling thread, holding no lock, and never after the operation returned.
#pragma once

#include "ryl/platform.h"
#include "ryl/result.h"

// --- Object delivery -------------------------------------------------------

// Version 1 table: deliver(object, context). A success result means the host
// has taken ownership of the object.
struct RylReceiverCallbacks {
  uint32_t version;
  ResultCode(RYL_CDECL* Deliver)(void* object, void* context);
};

// The module reads only Free and Allocate, whatever the version word says.
struct RylAllocatorCallbacks {
  uint32_t version;
  void(RYL_CDECL* Free)(void* pointer, void* context);
  ResultCode(RYL_CDECL* Allocate)(void** outPointer, uint32_t size, void* context);
};

// Where a plain object lives. A null table means the process's default heap.
// Objects do not remember their allocator: Destroy is given this record again.
struct AllocatorRecord {
  const RylAllocatorCallbacks* callbacks;
  void* context;
};

struct ObjectReceiver {
  const RylReceiverCallbacks* callbacks;
  void* context;
  uint32_t requestedVersion;
  AllocatorRecord allocator;
};

// --- Variable-length results -----------------------------------------------

// The {data, length} pair inside an OutputBuffer; callbacks receive its address
// and may move the data.
struct RylBufferView {
  void* data;
  uint32_t length;
};

struct RylOutputBufferCallbacks {
  uint32_t version;  // 1: Resize only; 2 and above: all four entries
  // Makes the buffer hold exactly newLength elements, keeping the first
  // min(old, new) of them.
  ResultCode(RYL_CDECL* Resize)(RylBufferView* view, uint32_t newLength, void* context);
  // Ensures room for capacity elements without changing the length.
  ResultCode(RYL_CDECL* Reserve)(RylBufferView* view, uint32_t capacity, void* context);
  // Exchanges the storage of two buffers of the same kind; a buffer of another
  // kind (another table) is refused with RYL_E_UNSUPPORTED_VERSION.
  ResultCode(RYL_CDECL* Swap)(RylBufferView* view, const RylOutputBufferCallbacks* otherCallbacks,
                              void* otherContext, RylBufferView* otherView, void* context);
  // Elements that fit without growing; *canGrow is 1 when the buffer can grow.
  uint32_t(RYL_CDECL* Capacity)(uint8_t* canGrow, void* context);
};

// Elements are bytes or UTF-16 code units, as each operation states.
struct OutputBuffer {
  const RylOutputBufferCallbacks* callbacks;
  void* context;
  RylBufferView view;
};

// --- Text views ----------------------------------------------------------------

struct RylStringView {
  const RylChar16* data;
  uint32_t length;  // in UTF-16 units
};

#if defined(__cplusplus) && RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(RylReceiverCallbacks) == 8, "receiver table");
static_assert(offsetof(RylReceiverCallbacks, Deliver) == 4, "receiver table");
static_assert(sizeof(RylAllocatorCallbacks) == 12, "allocator table");
static_assert(offsetof(RylAllocatorCallbacks, Free) == 4, "allocator table");
static_assert(offsetof(RylAllocatorCallbacks, Allocate) == 8, "allocator table");
static_assert(sizeof(AllocatorRecord) == 8, "allocator record");
static_assert(offsetof(AllocatorRecord, context) == 4, "allocator record");
static_assert(sizeof(ObjectReceiver) == 20, "object receiver");
static_assert(offsetof(ObjectReceiver, context) == 4, "object receiver");
static_assert(offsetof(ObjectReceiver, requestedVersion) == 8, "object receiver");
static_assert(offsetof(ObjectReceiver, allocator) == 12, "object receiver");
static_assert(sizeof(RylBufferView) == 8, "buffer view");
static_assert(sizeof(RylOutputBufferCallbacks) == 20, "output buffer table");
static_assert(offsetof(RylOutputBufferCallbacks, Resize) == 4, "output buffer table");
static_assert(offsetof(RylOutputBufferCallbacks, Reserve) == 8, "output buffer table");
static_assert(offsetof(RylOutputBufferCallbacks, Swap) == 12, "output buffer table");
static_assert(offsetof(RylOutputBufferCallbacks, Capacity) == 16, "output buffer table");
static_assert(sizeof(OutputBuffer) == 16, "output buffer");
static_assert(offsetof(OutputBuffer, context) == 4, "output buffer");
static_assert(offsetof(OutputBuffer, view) == 8, "output buffer");
static_assert(sizeof(RylStringView) == 8, "string view");
#endif
