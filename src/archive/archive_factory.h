// The archive factory (type 2): the object from which hosts obtain ZIP
// services and deflate streams over their own streams. Its one piece of state
// is how the services it makes reach files.
#pragma once

#include <cstdint>

#include "archive/archive_files.h"
#include "core/query.h"
#include "ryl/archive_factory.h"

namespace ryl::archive {

class ArchiveFactoryImpl final : public ArchiveFactory {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_ARCHIVE_FACTORY;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_ARCHIVE_FACTORY;

  ArchiveFactoryImpl() noexcept = default;

  void* DeliveredInterface() noexcept { return static_cast<ArchiveFactory*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<ArchiveFactory*>(this), kTypeId, kHighestVersion, type, version,
                             outHighest);
  }
  // Frees to the default heap whatever the record says.
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  // A new ZipService on the default heap, released through its slot 0.
  ResultCode RYL_THISCALL CreateZipService(ZipService** outService) override;
  ResultCode RYL_THISCALL CreateDeflateStream(HostDeflateStream** outStream, HostStream* hostStream,
                                              uint8_t compress, int32_t level, uint32_t bufferSize) override;
  ResultCode RYL_THISCALL Reserved4() override { return RYL_E_NOT_IMPLEMENTED; }

  void set_files(const ArchiveFiles* files) noexcept { files_ = files; }

 private:
  const ArchiveFiles* files_ = nullptr;
};

// Root slot 4: a new factory on the default heap, delivered to the receiver.
// files must outlive every object the factory makes.
[[nodiscard]] ResultCode DeliverArchiveFactory(const ObjectReceiver* receiver, const ArchiveFiles* files) noexcept;

}  // namespace ryl::archive
