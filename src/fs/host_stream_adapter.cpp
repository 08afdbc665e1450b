#include "fs/host_stream_adapter.h"

#include "core/delivery.h"

namespace ryl::fs {

void RYL_THISCALL HostStreamAdapter::Destroy(const AllocatorRecord* allocator) {
  core::DestroyPlainObject(this, allocator);
}

}  // namespace ryl::fs
