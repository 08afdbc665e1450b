#include "archive/archive_factory.h"

#include "archive/zip_objects.h"
#include "codec/host_deflate_stream.h"
#include "core/delivery.h"
#include "core/entry_guard.h"

namespace ryl::archive {

// The factory always lives on the default heap, whatever the receiver's
// allocator was, so a host that hands that allocator back here must not get
// the block passed to its Free entry.
void RYL_THISCALL ArchiveFactoryImpl::Destroy(const AllocatorRecord*) {
  core::DestroyDefaultHeapObject(this);
}

ResultCode RYL_THISCALL ArchiveFactoryImpl::CreateZipService(ZipService** outService) {
  return core::GuardEntry([&] { return archive::CreateZipService(files_, outService); });
}

ResultCode RYL_THISCALL ArchiveFactoryImpl::CreateDeflateStream(HostDeflateStream** outStream, HostStream* hostStream,
                                                                uint8_t compress, int32_t level, uint32_t bufferSize) {
  return core::GuardEntry([&] {
    return codec::HostDeflateStreamImpl::Create(hostStream, compress != 0, level, bufferSize, outStream);
  });
}

ResultCode DeliverArchiveFactory(const ObjectReceiver* receiver, const ArchiveFiles* files) noexcept {
  return core::CreateAndDeliver<ArchiveFactoryImpl>(receiver, core::Placement::kDefaultHeap,
                                                    [files](ArchiveFactoryImpl& factory) {
                                                      factory.set_files(files);
                                                      return RYL_OK;
                                                    });
}

}  // namespace ryl::archive
