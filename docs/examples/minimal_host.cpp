// The smallest useful host: start the module, take the root, reach the
// string service, give everything back. Build it against include/ and the
// import library librylutil.dll.a; put rylutil.dll beside the executable.
#include <ryl/ryl.h>

#include <cstdio>

static ResultCode RYL_CDECL Store(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

int main() {
  if (RylFailed(RylModuleInit())) return 1;

  void* rootObject = nullptr;
  ResultCode rc = GetRylObject(kRylRootInterfaceId, &rootObject);
  if (RylFailed(rc)) {
    std::printf("GetRylObject failed: 0x%08X\n", static_cast<unsigned>(rc));
    RylModuleFinish();
    return 1;
  }
  auto* root = static_cast<RootFactory*>(rootObject);

  // Embedded services are delivered, not created: no Destroy, no Release.
  static const RylReceiverCallbacks kStore = {1, Store};
  void* service = nullptr;
  ObjectReceiver receiver = {&kStore, &service, RYL_VERSION_STRING_SERVICE, {nullptr, nullptr}};
  rc = root->GetStringService(&receiver);
  if (RylSucceeded(rc)) {
    uint32_t version = 0;
    static_cast<StringService*>(service)->Query(RYL_TYPE_STRING_SERVICE, 0, &version);
    std::printf("string service version %u\n", version);
  }

  root->Release();  // the reference GetRylObject handed out
  RylModuleFinish();
  return RylSucceeded(rc) ? 0 : 1;
}
