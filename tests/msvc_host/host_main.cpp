// A C++ host built by clang in MSVC mode (the Microsoft C++ ABI: its vtable
// order, __thiscall member calls, record layout) with no C runtime, linked
// by lld-link against rylutil.lib. It reaches every service through the
// SDK's interface types as virtual calls; the C hosts check the same slots
// by number.
#include "checks.h"
#include "host_runtime.h"
#include "win32.h"

extern "C" void __cdecl HostEntry() {
  using namespace msvc_host;
  const ResultCode started = RylModuleInit();
  HOST_CHECK(started >= 0, "RylModuleInit");
  void* object = nullptr;
  const ResultCode got = GetRylObject(kRylRootInterfaceId, &object);
  HOST_CHECK(got >= 0 && object != nullptr, "GetRylObject hands out the root");
  if (object != nullptr) {
    RootFactory* root = static_cast<RootFactory*>(object);
    CheckRoot(root);
    CheckStrings(root);
    CheckFiles(root);
    CheckArchives(root);
    CheckXml(root);
    CheckRegex(root);
    CheckCrypto(root);
    CheckAsync(root);
    CheckRegistry(root);
    HOST_CHECK(root->Release() == 0, "the last Release destroys the root");
  }
  HOST_CHECK(RylModuleFinish() >= 0, "RylModuleFinish");
  Print("msvc_host: ");
  PrintNumber(static_cast<uint32_t>(PassedCount()));
  Print(" passed, ");
  PrintNumber(static_cast<uint32_t>(FailedCount()));
  Print(" failed\n");
  ExitProcess(FailedCount() == 0 && PassedCount() > 0 ? 0 : 1);
}
