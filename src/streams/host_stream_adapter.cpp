#include "streams/host_stream_adapter.h"

#include "core/delivery.h"

namespace ryl::streams {

void RYL_THISCALL HostStreamAdapter::Destroy(const AllocatorRecord* allocator) {
  core::DestroyPlainObject(this, allocator);
}

}  // namespace ryl::streams
