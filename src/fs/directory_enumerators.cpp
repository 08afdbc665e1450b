#include "fs/directory_enumerators.h"

#include "core/delivery.h"
#include "core/entry_guard.h"
#include "core/object_ptr.h"
#include "core/query.h"
#include "core/result_helpers.h"

namespace ryl::fs {
namespace {

// An enumerator stands on its first entry from creation on: a Start before
// the first move keeps it there instead of querying the directory again.
ResultCode StartUnlessStarted(DirectoryEnumeration& enumeration) noexcept {
  if (!enumeration.started()) RYL_RETURN_IF_FAILED(enumeration.Start());
  return enumeration.positioned() ? RYL_OK : RYL_S_NO_MORE_ITEMS;
}

ResultCode OpenListing(DirectoryEnumeration& enumeration, const ListingRequest& request) noexcept {
  if (request.onHandle) {
    return enumeration.OpenOnHandle(request.handle, request.directory, request.pattern, request.flags,
                                    request.ownsHandle);
  }
  return enumeration.Open(request.directory, request.pattern, request.flags);
}

// Until the listing has taken it, a handed-over handle is the operation's to close.
ResultCode CloseUntaken(const ListingRequest& request, ResultCode failure) noexcept {
  if (request.onHandle && request.ownsHandle) CloseHandedOverHandle(request.handle);
  return failure;
}

}  // namespace

ResultCode MakeListingRequest(const RylStringView* directory, const RylStringView* pattern, uint32_t flags,
                              ListingRequest* out) noexcept {
  if (out == nullptr || directory == nullptr) return RYL_E_INVALID_ARG;
  ListingRequest request;
  if (!strings::FromHostText(directory->data, directory->length, &request.directory)) return RYL_E_INVALID_ARG;
  if (pattern != nullptr && !strings::FromHostText(pattern->data, pattern->length, &request.pattern)) return RYL_E_INVALID_ARG;
  request.flags = flags;
  *out = request;
  return RYL_OK;
}

ResultCode MakeListingRequestOnHandle(void* handle, const RylStringView* directory, const RylStringView* pattern,
                                      uint32_t flags, bool ownsHandle, ListingRequest* out) noexcept {
  ListingRequest request;
  request.onHandle = true;
  request.handle = handle;
  request.ownsHandle = ownsHandle;
  const ResultCode read = MakeListingRequest(directory, pattern, flags, out);
  if (read < 0) return CloseUntaken(request, read);
  out->onHandle = true;
  out->handle = handle;
  out->ownsHandle = ownsHandle;
  return RYL_OK;
}

void* RYL_THISCALL HostEnumeratorObject::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<HostDirectoryEnumerator*>(this), kTypeId, kHighestVersion, type, version,
                           outHighest);
}

void RYL_THISCALL HostEnumeratorObject::Destroy(const AllocatorRecord* allocator) {
  core::DestroyPlainObject(this, allocator);
}

ResultCode RYL_THISCALL HostEnumeratorObject::GetEntry(const ObjectReceiver* receiver) {
  return core::GuardEntry([&]() -> ResultCode {
    RYL_RETURN_IF_FAILED(core::CheckCreateVersion(receiver, DirectoryEntryObject::kHighestVersion));
    if (!enumeration_.positioned()) return RYL_E_NO_MORE_ITEMS;
    return core::CreateAndDeliver<DirectoryEntryObject>(
        receiver, core::Placement::kReceiverAllocator, [&](DirectoryEntryObject& entry) {
          return entry.Assign(enumeration_.current(), enumeration_.directory(), enumeration_.verbatim());
        });
  });
}

ResultCode RYL_THISCALL HostEnumeratorObject::MoveNext() { return enumeration_.MoveNext(); }

ResultCode RYL_THISCALL HostEnumeratorObject::Start() { return StartUnlessStarted(enumeration_); }

void RYL_THISCALL EnumeratorObject::Destroy() {
  core::ObjectPtr<EnumeratorObject> self(this);
}

ResultCode RYL_THISCALL EnumeratorObject::GetEntry(DirectoryEntry** outEntry) {
  if (outEntry == nullptr) return RYL_E_INVALID_ARG;
  if (!enumeration_.positioned()) return RYL_E_NO_MORE_ITEMS;
  // The directory is the same for every entry of this listing: copied once.
  if (!entryHasDirectory_) {
    RYL_RETURN_IF_FAILED(entry_.Assign(enumeration_.current(), enumeration_.directory(), enumeration_.verbatim()));
    entryHasDirectory_ = true;
  } else {
    entry_.AssignRecord(enumeration_.current());
  }
  *outEntry = &entry_;
  return RYL_OK;
}

ResultCode RYL_THISCALL EnumeratorObject::MoveNext() { return enumeration_.MoveNext(); }

ResultCode RYL_THISCALL EnumeratorObject::Start() { return StartUnlessStarted(enumeration_); }

ResultCode CreateEnumeratorForSink(const RylObjectSink* sink, const ListingRequest& request,
                                   bool secondTable) noexcept {
  if (sink == nullptr || sink->callback == nullptr) return CloseUntaken(request, RYL_E_INVALID_ARG);
  core::ObjectPtr<EnumeratorObject> object(core::MakeObject<EnumeratorObject>());
  if (!object) return CloseUntaken(request, RYL_E_OUT_OF_MEMORY);
  RYL_RETURN_IF_FAILED(OpenListing(object->enumeration(), request));
  void* delivered = secondTable ? static_cast<void*>(static_cast<DirectoryEnumerator2*>(object.get()))
                                : static_cast<void*>(static_cast<DirectoryEnumerator*>(object.get()));
  RYL_RETURN_IF_FAILED(sink->callback(delivered, sink->context));
  static_cast<void>(object.release());
  return RYL_OK;
}

ResultCode CreateHostEnumerator(const ObjectReceiver* receiver, const ListingRequest& request) noexcept {
  const ResultCode version = core::CheckCreateVersion(receiver, HostEnumeratorObject::kHighestVersion);
  if (version < 0) return CloseUntaken(request, version);
  bool taken = false;
  const ResultCode created = core::CreateAndDeliver<HostEnumeratorObject>(
      receiver, core::Placement::kReceiverAllocator, [&](HostEnumeratorObject& object) {
        taken = true;
        return OpenListing(object.enumeration(), request);
      });
  return taken ? created : CloseUntaken(request, created);
}

}  // namespace ryl::fs
