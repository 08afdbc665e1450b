// The two enumerator objects hosts get from the FileSystemService: the
// type-4 enumerator of slots 3 and 4, delivered through a receiver, and the
// two-table object of slots 1, 2, 6 and 7, handed to an object sink.
#pragma once

#include <cstdint>

#include "fs/directory_entry.h"
#include "fs/directory_enumeration.h"
#include "ryl/enumeration.h"
#include "ryl/file_system_service.h"
#include "strings/path_text.h"

namespace ryl::fs {

// What a host asked to list. With onHandle the handle is used instead of
// opening the directory; ownsHandle hands it over, so that it is closed on
// every failure and otherwise with the enumerator.
struct ListingRequest {
  strings::PathText directory;
  strings::PathText pattern;
  uint32_t flags = 0;
  bool onHandle = false;
  void* handle = nullptr;
  bool ownsHandle = false;
};

// Reads the host's records. A null pattern record lists everything. When the
// records are unusable a handed-over handle is closed: the host gave it away.
[[nodiscard]] ResultCode MakeListingRequest(const RylStringView* directory, const RylStringView* pattern,
                                            uint32_t flags, ListingRequest* out) noexcept;
[[nodiscard]] ResultCode MakeListingRequestOnHandle(void* handle, const RylStringView* directory,
                                                    const RylStringView* pattern, uint32_t flags, bool ownsHandle,
                                                    ListingRequest* out) noexcept;

class HostEnumeratorObject final : public HostDirectoryEnumerator {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_HOST_ENUMERATOR;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_HOST_ENUMERATOR;

  HostEnumeratorObject() noexcept = default;
  void* DeliveredInterface() noexcept { return static_cast<HostDirectoryEnumerator*>(this); }
  DirectoryEnumeration& enumeration() noexcept { return enumeration_; }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL GetEntry(const ObjectReceiver* receiver) override;
  ResultCode RYL_THISCALL MoveNext() override;
  ResultCode RYL_THISCALL Start() override;

 private:
  DirectoryEnumeration enumeration_;
};

// One object, two tables of the same four operations: each override below
// serves both.
class EnumeratorObject final : public DirectoryEnumerator, public DirectoryEnumerator2 {
 public:
  EnumeratorObject() noexcept : entry_(DirectoryEntryObject::Lent{}) {}
  DirectoryEnumeration& enumeration() noexcept { return enumeration_; }

  void RYL_THISCALL Destroy() override;
  ResultCode RYL_THISCALL GetEntry(DirectoryEntry** outEntry) override;
  ResultCode RYL_THISCALL MoveNext() override;
  ResultCode RYL_THISCALL Start() override;

 private:
  DirectoryEnumeration enumeration_;
  DirectoryEntryObject entry_;
  bool entryHasDirectory_ = false;
};

// Service slots 1, 2, 6 and 7: an EnumeratorObject on the default heap,
// opened and handed to the sink (its second table when secondTable is set).
[[nodiscard]] ResultCode CreateEnumeratorForSink(const RylObjectSink* sink, const ListingRequest& request,
                                                 bool secondTable) noexcept;

// Service slots 3 and 4: a HostEnumeratorObject through the receiver.
[[nodiscard]] ResultCode CreateHostEnumerator(const ObjectReceiver* receiver, const ListingRequest& request) noexcept;

}  // namespace ryl::fs
