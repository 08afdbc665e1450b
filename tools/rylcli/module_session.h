// The host's side of the module's life: initialise, hold the root, release
// it, finish. Everything a command creates must be released before this ends.
#pragma once

#include <ryl/ryl.h>

namespace rylcli {

class ModuleSession {
 public:
  ModuleSession() = default;
  ~ModuleSession();
  ModuleSession(const ModuleSession&) = delete;
  ModuleSession& operator=(const ModuleSession&) = delete;

  // Initialises the module and takes the root; the failing step's code.
  ResultCode Start();
  RootFactory* root() const { return root_; }

 private:
  bool initialised_ = false;
  RootFactory* root_ = nullptr;
};

// Objects the module delivered on the default heap are destroyed with this.
inline constexpr AllocatorRecord kDefaultHeap = {nullptr, nullptr};

// Receives an object into *context.
ResultCode RYL_CDECL StoreObject(void* object, void* context);

// A receiver on the default heap that stores the delivered object in *slot.
ObjectReceiver MakeReceiver(void** slot, uint32_t version);

// "RYL_E_UNSUPPORTED_VERSION (0xE0010054)": the tail of every error line.
const char* DescribeResult(ResultCode code);

}  // namespace rylcli
