// The thread's current registry transaction, through the ntdll routines
// that exist from Windows Vista on. They are looked up by name on first use
// so that the module still loads where they are missing.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

// The thread's current transaction handle; null when there is none or the
// platform does not keep one.
void* RylNtdll_RtlGetCurrentTransaction() noexcept;

// Makes transaction (null for none) the thread's current one. The platform
// lacking the routine is RYL_E_NOT_IMPLEMENTED; a platform that refuses
// (Wine answers every transaction call with STATUS_NOT_IMPLEMENTED) gives
// that status converted by the native status rule.
[[nodiscard]] ResultCode RylNtdll_RtlSetCurrentTransaction(void* transaction) noexcept;

// The transacted key calls, as native statuses (STATUS_NOT_IMPLEMENTED where
// the platform lacks them). attributes is an OBJECT_ATTRIBUTES record.
[[nodiscard]] int32_t RylNtdll_ZwOpenKeyTransacted(void** outKey, uint32_t access, void* attributes,
                                                   void* transaction) noexcept;
[[nodiscard]] int32_t RylNtdll_ZwCreateKeyTransacted(void** outKey, uint32_t access, void* attributes,
                                                     uint32_t titleIndex, void* keyClass, uint32_t options,
                                                     void* transaction, uint32_t* outDisposition) noexcept;

}  // namespace ryl::sys
