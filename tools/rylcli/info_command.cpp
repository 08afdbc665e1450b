#include "info_command.h"

#include <cstdio>

#include "module_session.h"

namespace rylcli {
namespace {

void PrintInterface(const char* name, uint32_t type, uint32_t version) {
  std::printf("  %-20s type %-3u version %u\n", name, type, version);
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

  void* fsObject = nullptr;
  ObjectReceiver fsReceiver = MakeReceiver(&fsObject, RYL_VERSION_FILE_SYSTEM_SERVICE);
  const ResultCode fsResult = root->GetFileSystemService(&fsReceiver);
  if (RylFailed(fsResult)) {
    std::fprintf(stderr, "rylcli: GetFileSystemService: %s\n", DescribeResult(fsResult));
    return 1;
  }
  uint32_t fsVersion = 0;
  static_cast<FileSystemService*>(fsObject)->Query(RYL_TYPE_FILE_SYSTEM_SERVICE, 0, &fsVersion);
  PrintInterface("FileSystemService", RYL_TYPE_FILE_SYSTEM_SERVICE, fsVersion);

  void* stringObject = nullptr;
  ObjectReceiver stringReceiver = MakeReceiver(&stringObject, RYL_VERSION_STRING_SERVICE);
  const ResultCode stringResult = root->GetStringService(&stringReceiver);
  if (RylFailed(stringResult)) {
    std::fprintf(stderr, "rylcli: GetStringService: %s\n", DescribeResult(stringResult));
    return 1;
  }
  uint32_t stringVersion = 0;
  static_cast<StringService*>(stringObject)->Query(RYL_TYPE_STRING_SERVICE, 0, &stringVersion);
  PrintInterface("StringService", RYL_TYPE_STRING_SERVICE, stringVersion);

  std::printf("releasing the root and finishing the module\n");
  return 0;
}

}  // namespace rylcli
