#include "support/dll_host.h"

namespace ryl::test {
namespace {

ResultCode RYL_CDECL Deliver(void* object, void* context) {
  auto* receiver = static_cast<StoringReceiver*>(context);
  ++receiver->deliveries;
  if (receiver->deliverResult < 0) return receiver->deliverResult;
  receiver->object = object;
  return RYL_OK;
}

const RylReceiverCallbacks kDeliver = {1, Deliver};

}  // namespace

DllHost::DllHost() : module_(LoadLibraryW(L"rylutil.dll")) {
  if (module_ == nullptr) return;
  init_ = reinterpret_cast<ResultCode (*)()>(reinterpret_cast<void*>(GetProcAddress(module_, "RylModuleInit")));
  finish_ =
      reinterpret_cast<ResultCode (*)()>(reinterpret_cast<void*>(GetProcAddress(module_, "RylModuleFinish")));
  getObject_ = reinterpret_cast<ResultCode(RYL_STDCALL*)(RylInterfaceId, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "GetRylObject")));
  if (init_ == nullptr || finish_ == nullptr || getObject_ == nullptr) {
    FreeLibrary(module_);
    module_ = nullptr;
  }
}

DllHost::~DllHost() {
  if (module_ != nullptr) FreeLibrary(module_);
}

StoringReceiver::StoringReceiver(uint32_t version, const RylAllocatorCallbacks* allocator, void* allocatorContext)
    : record{&kDeliver, this, version, {allocator, allocatorContext}} {}

}  // namespace ryl::test
