#include "registry/registry_watcher.h"

#include "core/delivery.h"
#include "core/query.h"
#include "registry/registry_key.h"
#include "sys/result_codes.h"

namespace ryl::registry {
namespace {
constexpr int32_t kStatusPending = 0x103;
}  // namespace

RegistryWatcher::~RegistryWatcher() {
  CloseKey();
  if (context_ != nullptr) context_->Release();
}

ResultCode RegistryWatcher::Start(const RegKeyRecord& record, bool watchSubtree,
                                  const AllocatorRecord& allocator) noexcept {
  allocator_ = allocator;
  watchSubtree_ = watchSubtree;
  ResultCode result = event_.Create(sys::RylBasEvent::kManualReset, true);
  if (result < 0) return result;
  result = async::PlatformWaitable::Adapt(&event_, &waitable_);
  if (result < 0) return result;
  result = OpenSubKeyOfRecord(record, &key_, nullptr, 0, false, kKeyNotify);
  if (result < 0) return result;
  context_ = record.contextPointer();
  context_->AddRef();
  return Rearm();
}

void* RYL_THISCALL RegistryWatcher::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylRegistryWatcher*>(this), RYL_TYPE_REGISTRY_WATCHER, kHighestVersion,
                           type, version, outHighest);
}

ResultCode RYL_THISCALL RegistryWatcher::Rearm() {
  if (key_ == nullptr || context_ == nullptr) return RYL_E_INVALID_STATE;
  // The event starts signalled (so that a watcher never armed is not waited
  // for); it must read unsignalled until the next change whatever the system
  // does with it on arming.
  (void)event_.Reset();
  const int32_t status = context_->keys().NotifyChangeKey(key_, event_.GetHandle(), watchSubtree_);
  if (status == kStatusSuccess || status == kStatusPending) {
    armed_ = true;
    return RYL_OK;
  }
  CloseKey();
  return sys::RylResultFromNtStatus(status);
}

void RegistryWatcher::CloseKey() noexcept {
  if (key_ == nullptr) return;
  context_->CloseHandle(key_);
  key_ = nullptr;
  // Closing the key ends a pending notification, which sets the event: only
  // then may the event go. A watcher that was never armed has nothing pending.
  if (armed_) (void)event_.Wait(sys::kWaitForever);
  armed_ = false;
}

void RYL_THISCALL RegistryWatcher::Destroy() {
  const AllocatorRecord allocator = allocator_;
  core::DestroyPlainObject(this, &allocator);
}

ResultCode RYL_THISCALL RegistryKey::CreateWatcher(const ObjectReceiver* receiver, uint8_t watchSubtree) {
  return core::CreateAndDeliver<RegistryWatcher>(
      receiver, core::Placement::kReceiverAllocator, [&](RegistryWatcher& watcher) {
        return watcher.Start(record_, watchSubtree != 0, receiver->allocator);
      });
}

}  // namespace ryl::registry
