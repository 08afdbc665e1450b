// Loads rylutil through its import library and reports the interface
// versions it offers and the release it was built against.
#include <cstdio>

#include "ryl/ryl.h"
#include "ryl/version.h"

namespace {

ResultCode RYL_CDECL Keep(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return 0;
}

}  // namespace

int main() {
  if (RylFailed(RylModuleInit())) return 1;
  void* object = nullptr;
  const ResultCode got = GetRylObject(kRylRootInterfaceId, &object);
  if (RylFailed(got)) {
    std::printf("GetRylObject: %s\n", RylResultName(got));
    return 1;
  }
  RootFactory* root = static_cast<RootFactory*>(object);
  uint32_t rootVersion = 0;
  root->Query(RYL_TYPE_ROOT_FACTORY, 0, &rootVersion);

  static const RylReceiverCallbacks kKeep = {1, &Keep};
  void* strings = nullptr;
  const ObjectReceiver receiver = {&kKeep, &strings, RYL_VERSION_STRING_SERVICE, {nullptr, nullptr}};
  uint32_t stringVersion = 0;
  if (RylSucceeded(root->GetStringService(&receiver)) && strings != nullptr) {
    static_cast<StringService*>(strings)->Query(RYL_TYPE_STRING_SERVICE, 0, &stringVersion);
  }
  std::printf("consumer of rylutil %s: root version %u, string service version %u\n", RYL_SDK_VERSION_STRING,
              rootVersion, stringVersion);
  root->Release();
  RylModuleFinish();
  return stringVersion == RYL_VERSION_STRING_SERVICE ? 0 : 1;
}
