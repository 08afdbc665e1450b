#include "async/platform_waitable.h"

#include "core/query.h"

namespace ryl::async {

ResultCode PlatformWaitable::Adapt(sys::RylBasWaitable* waitable, PlatformWaitable* out) noexcept {
  // A forwarding chain is short; a cycle would be a fault of its maker, so
  // the walk is bounded rather than trusted.
  for (int hops = 0; waitable != nullptr && hops < 64; ++hops) {
    const uint32_t type = waitable->GetResourceType();
    if (type != sys::RylBasWaitable::kForwarding) {
      if (type > sys::RylBasWaitable::kMaxResourceType) return RYL_E_UNSUPPORTED_VERSION;
      out->target_ = waitable;
      return RYL_OK;
    }
    waitable = waitable->GetForward();
  }
  return RYL_E_UNSUPPORTED_VERSION;
}

void* RYL_THISCALL PlatformWaitable::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RylWaitable*>(this), RYL_TYPE_WAITABLE, kHighestVersion, type, version,
                           outHighest);
}

uint32_t RYL_THISCALL PlatformWaitable::Kind() {
  if (target_ == nullptr) return 0;
  switch (target_->GetResourceType()) {
    case sys::RylBasWaitable::kKernelHandle:
      return RYL_WAITABLE_KIND_HANDLE;
    case sys::RylBasWaitable::kStoredHandle:
      return 4;
    default:
      return 0;
  }
}

void* RYL_THISCALL PlatformWaitable::Handle() {
  if (target_ == nullptr) return nullptr;
  const uint32_t type = target_->GetResourceType();
  if (type == sys::RylBasWaitable::kKernelHandle) return target_->GetHandle();
  if (type == sys::RylBasWaitable::kStoredHandle && target_->GetSubKind() == 3) return target_->GetStoredHandle();
  return nullptr;
}

uint8_t RYL_THISCALL PlatformWaitable::IsClosed() { return target_ == nullptr || !target_->IsInitialized() ? 1 : 0; }

}  // namespace ryl::async
