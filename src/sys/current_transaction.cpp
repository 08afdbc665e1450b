#include "sys/current_transaction.h"

#include <atomic>
#include <cstdint>

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {
namespace {

using GetCurrentTransactionFunction = HANDLE(NTAPI*)();
using SetCurrentTransactionFunction = BOOLEAN(NTAPI*)(HANDLE);

constexpr NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002L);

// Resolved lazily without a lock: racing threads find the same address.
void* const kUnresolved = reinterpret_cast<void*>(static_cast<intptr_t>(-1));

class LazyNtdllFunction {
 public:
  explicit LazyNtdllFunction(const char* name) noexcept : name_(name) {}

  void* Get() noexcept {
    void* address = address_.load(std::memory_order_acquire);
    if (address != kUnresolved) return address;
    address = nullptr;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"); ntdll != nullptr) {
      address = reinterpret_cast<void*>(GetProcAddress(ntdll, name_));
    }
    address_.store(address, std::memory_order_release);
    return address;
  }

 private:
  const char* name_;
  std::atomic<void*> address_{kUnresolved};
};

LazyNtdllFunction g_getCurrentTransaction("RtlGetCurrentTransaction");
LazyNtdllFunction g_setCurrentTransaction("RtlSetCurrentTransaction");
LazyNtdllFunction g_openKeyTransacted("ZwOpenKeyTransacted");
LazyNtdllFunction g_createKeyTransacted("ZwCreateKeyTransacted");

using OpenKeyTransactedFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, HANDLE);
using CreateKeyTransactedFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG,
                                                     PUNICODE_STRING, ULONG, HANDLE, PULONG);

}  // namespace

void* RylNtdll_RtlGetCurrentTransaction() noexcept {
  auto* get = reinterpret_cast<GetCurrentTransactionFunction>(g_getCurrentTransaction.Get());
  return get != nullptr ? get() : nullptr;
}

ResultCode RylNtdll_RtlSetCurrentTransaction(void* transaction) noexcept {
  auto* set = reinterpret_cast<SetCurrentTransactionFunction>(g_setCurrentTransaction.Get());
  if (set == nullptr) return RYL_E_NOT_IMPLEMENTED;
  // BOOLEAN: only the low byte is defined.
  if (static_cast<BOOLEAN>(set(transaction)) == 0) return RylResultFromNtStatus(kStatusNotImplemented);
  return RYL_OK;
}

int32_t RylNtdll_ZwOpenKeyTransacted(void** outKey, uint32_t access, void* attributes, void* transaction) noexcept {
  auto* open = reinterpret_cast<OpenKeyTransactedFunction>(g_openKeyTransacted.Get());
  if (open == nullptr) return kStatusNotImplemented;
  return open(reinterpret_cast<PHANDLE>(outKey), access, static_cast<POBJECT_ATTRIBUTES>(attributes), transaction);
}

int32_t RylNtdll_ZwCreateKeyTransacted(void** outKey, uint32_t access, void* attributes, uint32_t titleIndex,
                                       void* keyClass, uint32_t options, void* transaction,
                                       uint32_t* outDisposition) noexcept {
  auto* create = reinterpret_cast<CreateKeyTransactedFunction>(g_createKeyTransacted.Get());
  if (create == nullptr) return kStatusNotImplemented;
  ULONG disposition = 0;
  const NTSTATUS status = create(reinterpret_cast<PHANDLE>(outKey), access,
                                 static_cast<POBJECT_ATTRIBUTES>(attributes), titleIndex,
                                 static_cast<PUNICODE_STRING>(keyClass), options, transaction, &disposition);
  if (outDisposition != nullptr) *outDisposition = disposition;
  return status;
}

}  // namespace ryl::sys
