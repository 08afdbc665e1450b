#include "sys/critical_section.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {

static_assert(sizeof(RTL_CRITICAL_SECTION) <= 64, "storage holds the native critical section");

namespace {
RTL_CRITICAL_SECTION* Native(unsigned char* storage) noexcept {
  return reinterpret_cast<RTL_CRITICAL_SECTION*>(storage);
}
}  // namespace

ResultCode RylCriticalSection::Initialize() noexcept {
  if (initialized_) return RYL_OK;
  const NTSTATUS status = RtlInitializeCriticalSection(Native(storage_));
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  initialized_ = true;
  return RYL_OK;
}

void RylCriticalSection::Enter() noexcept { (void)RtlEnterCriticalSection(Native(storage_)); }

void RylCriticalSection::Leave() noexcept { (void)RtlLeaveCriticalSection(Native(storage_)); }

void RylCriticalSection::Delete() noexcept {
  if (!initialized_) return;
  (void)RtlDeleteCriticalSection(Native(storage_));
  initialized_ = false;
}

}  // namespace ryl::sys
