// What a security operation acts on: a file named by a DOS path or a
// registry key named by its native path, the latter optionally inside a
// transaction.
#pragma once

#include <cstdint>

namespace ryl::sys {

enum RylWinObjectKind : int32_t {
  kRylWinObjectFile = 0,
  kRylWinObjectFileAlternate = 1,  // also a file by DOS path
  kRylWinObjectRegistryKey = 2,
};

struct RylWinObject {
  int32_t kind;
  const char16_t* path;  // zero-terminated
  void* transaction;     // registry keys only; null for none
};

inline bool IsFileObjectKind(int32_t kind) noexcept {
  return kind == kRylWinObjectFile || kind == kRylWinObjectFileAlternate;
}

}  // namespace ryl::sys
