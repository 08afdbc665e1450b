// Files, registry keys and handle counts for the security tests. Each
// fixture makes what it needs and removes it again.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "security/security_parts.h"
#include "sys/win_object.h"

namespace ryl::test {

// A fresh directory under the temporary directory, removed with its files.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  bool ok() const { return !path_.empty(); }
  // Creates a file of that name holding a few bytes; returns its full path.
  std::u16string MakeFile(const std::u16string& name);
  std::u16string PathOf(const std::u16string& name) const { return path_ + u"\\" + name; }

 private:
  std::u16string path_;
};

// HKEY_CURRENT_USER\Software\rylutil-test-<random>, deleted at the end. The
// fixture keeps a handle that may delete the key whatever its descriptor
// says by then.
class TestKey {
 public:
  TestKey();
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  bool ok() const { return handle_ != nullptr && !nativePath_.empty(); }
  // The key's full native path (\REGISTRY\User\...\Software\rylutil-test-...).
  const std::u16string& nativePath() const { return nativePath_; }
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
  std::u16string nativePath_;
};

inline sys::RylWinObject FileObject(const std::u16string& path) {
  return sys::RylWinObject{sys::kRylWinObjectFile, path.c_str(), nullptr};
}
inline sys::RylWinObject KeyObject(const std::u16string& path, void* transaction = nullptr) {
  return sys::RylWinObject{sys::kRylWinObjectRegistryKey, path.c_str(), transaction};
}

// The handles this process holds. Wine answers ProcessHandleCount with 0,
// so when the process count reads 0 the system handle table is counted
// instead. 0 means neither source could tell.
uint32_t CountOwnHandles();

// Makes the security operations see a system older (false) or not older
// (true) than Windows Vista for the fixture's lifetime.
class ScopedVistaAnswer {
 public:
  explicit ScopedVistaAnswer(bool vistaOrHigher) { security::SetVistaAnswerForTesting(vistaOrHigher ? 1 : 0); }
  ~ScopedVistaAnswer() { security::SetVistaAnswerForTesting(-1); }
  ScopedVistaAnswer(const ScopedVistaAnswer&) = delete;
  ScopedVistaAnswer& operator=(const ScopedVistaAnswer&) = delete;
};

}  // namespace ryl::test
