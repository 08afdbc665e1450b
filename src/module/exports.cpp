// The DLL's three exports. They are thin: the work is in module_entry.cpp so
// that tests can reach it without loading the DLL.
#include "core/entry_guard.h"
#include "module/module_entry.h"

extern "C" {

ResultCode RylModuleInit(void) { return ryl::core::GuardEntry([] { return ryl::module::ModuleInit(); }); }

ResultCode RylModuleFinish(void) { return ryl::core::GuardEntry([] { return ryl::module::ModuleFinish(); }); }

ResultCode RYL_STDCALL GetRylObject(RylInterfaceId id, void** outObject) {
  return ryl::core::GuardEntry([&] { return ryl::module::GetRootObject(id, outObject); });
}

}  // extern "C"
