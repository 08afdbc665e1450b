#include "info_command.h"

#include <cstdio>

#include "module_session.h"

namespace rylcli {
namespace {

void PrintInterface(const char* name, uint32_t type, uint32_t version) {
  std::printf("  %-20s type %-3u version %u\n", name, type, version);
}

// Has get deliver the service at the version this host was built for, then
// prints the highest version it answers; says on stderr why when get fails.
template <typename Service, typename Get>
bool PrintService(const char* name, uint32_t type, uint32_t version, Get&& get) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, version);
  const ResultCode rc = get(&receiver);
  if (RylFailed(rc)) {
    std::fprintf(stderr, "rylcli: Get%s: %s\n", name, DescribeResult(rc));
    return false;
  }
  uint32_t highest = 0;
  static_cast<Service*>(object)->Query(type, 0, &highest);
  PrintInterface(name, type, highest);
  return true;
}

}  // namespace

int RunInfo() {
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    std::fprintf(stderr, "rylcli: cannot start the module: %s\n", DescribeResult(started));
    return 1;
  }
  RootFactory* root = session.root();
  std::printf("rylutil module initialised; root at %p\n", static_cast<void*>(root));

  uint32_t rootVersion = 0;
  root->Query(RYL_TYPE_ROOT_FACTORY, 0, &rootVersion);
  PrintInterface("RootFactory", RYL_TYPE_ROOT_FACTORY, rootVersion);

  if (!PrintService<FileSystemService>("FileSystemService", RYL_TYPE_FILE_SYSTEM_SERVICE,
                                       RYL_VERSION_FILE_SYSTEM_SERVICE,
                                       [&](ObjectReceiver* r) { return root->GetFileSystemService(r); })) {
    return 1;
  }
  if (!PrintService<StringService>("StringService", RYL_TYPE_STRING_SERVICE, RYL_VERSION_STRING_SERVICE,
                                   [&](ObjectReceiver* r) { return root->GetStringService(r); })) {
    return 1;
  }

  std::printf("releasing the root and finishing the module\n");
  return 0;
}

}  // namespace rylcli
