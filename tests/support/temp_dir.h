// A directory of the test's own under the system temporary directory,
// removed with everything in it when the test ends.
#pragma once

#include <windows.h>

#include <string>

namespace ryl::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
  std::u16string File16(const std::wstring& name) const {
    const std::wstring file = File(name);
    return std::u16string(file.begin(), file.end());
  }

 private:
  std::wstring path_;
};

// Writes bytes to a file through Win32, for tests of the native code.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
std::string ReadWholeFile(const std::wstring& path);

// The number of handles the process holds.
unsigned long ProcessHandleCount();

}  // namespace ryl::test
