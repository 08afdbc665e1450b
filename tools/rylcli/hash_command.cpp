#include "hash_command.h"

#include <cstdio>
#include <cwchar>

namespace rylcli {
namespace {

void PrintUsage() {
  std::fprintf(stderr, "usage: rylcli hash sha256|sha1|sha512|crc32 FILE\n");
}

const wchar_t* const kAlgorithms[] = {L"sha256", L"sha1", L"sha512", L"crc32"};

}  // namespace

// The SDK hands hosts no digest or checksum object: the module's digests are
// reachable only inside RSA signing, and its CRC-32 only inside ZIP entries.
// A digest computed here would be rylcli's own, not the library's, so every
// algorithm is refused until the SDK offers one.
int RunHash(int argc, wchar_t** argv) {
  if (argc != 2) {
    PrintUsage();
    return 2;
  }
  for (const wchar_t* algorithm : kAlgorithms) {
    if (std::wcscmp(argv[0], algorithm) == 0) {
      std::fprintf(stderr, "rylcli: hash %ls is not offered by this build\n", algorithm);
      return 2;
    }
  }
  std::fprintf(stderr, "rylcli: unknown algorithm '%ls'\n", argv[0]);
  PrintUsage();
  return 2;
}

}  // namespace rylcli
