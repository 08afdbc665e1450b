// Black-box tests reach rylutil.dll as a C++ host does: LoadLibraryW, the
// three exports through GetProcAddress, and the SDK headers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ryl/ryl.h"

namespace ryl::test {

class DllHost {
 public:
  DllHost();
  ~DllHost();
  DllHost(const DllHost&) = delete;
  DllHost& operator=(const DllHost&) = delete;

  bool loaded() const { return module_ != nullptr; }
  ResultCode Init() const { return init_(); }
  ResultCode Finish() const { return finish_(); }
  ResultCode GetObject(const RylInterfaceId& id, void** out) const { return getObject_(id, out); }

 private:
  HMODULE module_ = nullptr;
  ResultCode (*init_)() = nullptr;
  ResultCode (*finish_)() = nullptr;
  ResultCode(RYL_STDCALL* getObject_)(RylInterfaceId, void**) = nullptr;
};

// A receiver whose deliver stores the object, counting calls.
struct StoringReceiver {
  explicit StoringReceiver(uint32_t version, const RylAllocatorCallbacks* allocator = nullptr,
                           void* allocatorContext = nullptr);
  ObjectReceiver record;
  void* object = reinterpret_cast<void*>(0xDEADBEEF);
  int deliveries = 0;
  ResultCode deliverResult = RYL_OK;
};

}  // namespace ryl::test
