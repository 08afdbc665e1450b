// What the path tests share: the two services reached through the DLL as a
// host reaches them, a host output buffer that catches writes past what it
// granted and reads of storage it has already given up, and scopes that set
// up current directories, extra drives and network shares in the Wine prefix.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/growable_buffer.h"
#include "ryl/ryl.h"
#include "support/module_fixture.h"
#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

// A version-1 host buffer whose every Resize moves the text to fresh storage
// and poisons the old one, so an operation that keeps reading an input that
// lived in the output reads poison. Guard units behind the length catch any
// write past it (a terminator, for example).
class HostBuffer {
 public:
  static constexpr uint32_t kGuard = 8;
  static constexpr wchar_t kGuardUnit = 0xFDFD;
  static constexpr wchar_t kPoison = 0xCCCC;

  explicit HostBuffer(const std::wstring& initial = std::wstring()) {
    record_.callbacks = &kTable;
    record_.context = this;
    Store(initial.data(), static_cast<uint32_t>(initial.size()), static_cast<uint32_t>(initial.size()));
  }

  OutputBuffer* Output() { return &record_; }
  const wchar_t* data() const { return static_cast<const wchar_t*>(record_.view.data); }
  uint32_t size() const { return record_.view.length; }
  std::wstring Text() const { return std::wstring(data(), size()); }
  int resizes() const { return resizes_; }
  // True once anything wrote past the length the buffer granted.
  bool Overrun() const { return overrun_ || !GuardIntact(); }

  // The next Resize calls fail with this code and change nothing.
  void FailResizeWith(ResultCode code) { failWith_ = code; }

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<HostBuffer*>(context);
    ++self->resizes_;
    if (!self->GuardIntact()) self->overrun_ = true;
    if (self->failWith_ < 0) return self->failWith_;
    const uint32_t kept = view->length < length ? view->length : length;
    self->Store(static_cast<const wchar_t*>(view->data), kept, length);
    return RYL_OK;
  }

  void Store(const wchar_t* text, uint32_t kept, uint32_t length) {
    auto storage = std::make_unique<std::vector<wchar_t>>(size_t{length} + kGuard, wchar_t{0xEEEE});
    std::copy(text, text + kept, storage->begin());
    std::fill(storage->begin() + length, storage->end(), kGuardUnit);
    if (!storages_.empty()) std::fill(storages_.back()->begin(), storages_.back()->end(), kPoison);
    record_.view.data = storage->data();
    record_.view.length = length;
    // Old storage stays allocated (poisoned) so a stale read is wrong, not a crash.
    storages_.push_back(std::move(storage));
  }

  bool GuardIntact() const {
    const wchar_t* guard = data() + size();
    for (uint32_t i = 0; i < kGuard; ++i) {
      if (guard[i] != kGuardUnit) return false;
    }
    return true;
  }

  static const RylOutputBufferCallbacks kTable;
  OutputBuffer record_{};
  std::vector<std::unique_ptr<std::vector<wchar_t>>> storages_;
  ResultCode failWith_ = RYL_OK;
  bool overrun_ = false;
  int resizes_ = 0;
};

inline const RylOutputBufferCallbacks HostBuffer::kTable = {1, HostBuffer::Resize, nullptr, nullptr, nullptr};

// A version-2 buffer that grows in place while its capacity allows, the kind
// of buffer whose storage an input can share without the length showing it.
class GrowableHostText {
 public:
  explicit GrowableHostText(const std::wstring& initial) {
    EXPECT_CODE(buffer_.Resize(static_cast<uint32_t>(initial.size())), RYL_OK);
    std::copy(initial.begin(), initial.end(), buffer_.data());
  }
  OutputBuffer* Output() { return buffer_.Output(); }
  const wchar_t* data() { return reinterpret_cast<const wchar_t*>(buffer_.data()); }
  uint32_t size() const { return buffer_.size(); }
  uint32_t capacity() const { return buffer_.capacity(); }
  std::wstring Text() { return std::wstring(data(), size()); }

 private:
  core::GrowableBuffer<char16_t> buffer_;
};

// The DLL loaded and initialised, the root acquired, both services delivered.
class PathServicesTest : public ModuleTest {
 protected:
  static uint32_t Len(const std::wstring& s) { return static_cast<uint32_t>(s.size()); }
};

// A path of exactly `length` characters: prefix, then `\` + "a"-names, then
// the tail.
inline std::wstring PathOfLength(const std::wstring& prefix, const std::wstring& tail, size_t length) {
  std::wstring path = prefix;
  while (path.size() + tail.size() < length) {
    path += L'\\';
    const size_t room = length - tail.size() - path.size();
    path.append(room < 40 ? room : 40, L'a');
  }
  path += tail;
  return path;
}

inline std::wstring CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring text(needed, L'\0');
  text.resize(GetCurrentDirectoryW(needed, text.data()));
  return text;
}

// Sets the current directory for one test and restores it afterwards.
class CurrentDirectoryScope {
 public:
  CurrentDirectoryScope() : saved_(CurrentDirectory()) {}
  ~CurrentDirectoryScope() { SetCurrentDirectoryW(saved_.c_str()); }
  bool Set(const std::wstring& directory) { return SetCurrentDirectoryW(directory.c_str()) != FALSE; }

 private:
  std::wstring saved_;
};

// The Wine prefix's dosdevices directory, as a DOS path through Z:, or empty
// when not running under Wine.
inline std::wstring WineDosDevicesDirectory() {
  wchar_t prefix[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  std::wstring path = L"Z:" + std::wstring(prefix, n) + L"\\dosdevices";
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// A directory in use as the current directory cannot be removed: a scope
// that goes away moves the current directory off its drive or share (the
// test's CurrentDirectoryScope restores the original one afterwards).
inline void LeaveIfInside(const std::wstring& root) {
  const std::wstring current = CurrentDirectory();
  if (current.size() >= root.size() && CompareStringOrdinal(current.c_str(), static_cast<int>(root.size()),
                                                            root.c_str(), static_cast<int>(root.size()),
                                                            TRUE) == CSTR_EQUAL) {
    SetCurrentDirectoryW(L"C:\\");
  }
}

// A drive letter of its own for one test: Wine maps drive X: to the prefix's
// dosdevices entry "x:", and a plain directory there serves as the drive's root.
class ExtraDriveScope {
 public:
  ExtraDriveScope() {
    const std::wstring devices = WineDosDevicesDirectory();
    if (devices.empty()) return;
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'D'; letter <= L'Y'; ++letter) {
      if (used & (1u << (letter - L'A'))) continue;
      const std::wstring entry = devices + L"\\" + static_cast<wchar_t>(letter - L'A' + L'a') + L":";
      if (!CreateDirectoryW(entry.c_str(), nullptr)) continue;
      entry_ = entry;
      letter_ = letter;
      break;
    }
  }
  ~ExtraDriveScope() {
    if (entry_.empty()) return;
    LeaveIfInside(std::wstring(1, letter_) + L":");
    RemoveDirectoryW(entry_.c_str());
  }
  // 0 when no drive could be made.
  wchar_t letter() const { return letter_; }

 private:
  std::wstring entry_;
  wchar_t letter_ = 0;
};

// A network share \\server\share of its own for one test: Wine resolves
// \\server\share through the prefix's dosdevices\unc\server\share.
class NetworkShareScope {
 public:
  NetworkShareScope() {
    const std::wstring devices = WineDosDevicesDirectory();
    if (devices.empty()) return;
    unc_ = devices + L"\\unc";
    CreateDirectoryW(unc_.c_str(), nullptr);
    // Wine hands out the same small process ids run after run: the tick
    // count keeps a share left behind by a crashed run out of the way.
    for (int attempt = 0; attempt < 16 && serverDir_.empty(); ++attempt) {
      server_ = L"rylsrv" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount() + static_cast<DWORD>(attempt));
      if (CreateDirectoryW((unc_ + L"\\" + server_).c_str(), nullptr)) serverDir_ = unc_ + L"\\" + server_;
    }
    if (serverDir_.empty()) return;
    shareDir_ = serverDir_ + L"\\share";
    if (!CreateDirectoryW(shareDir_.c_str(), nullptr)) shareDir_.clear();
  }
  ~NetworkShareScope() {
    if (!shareDir_.empty()) {
      LeaveIfInside(Root());
      RemoveDirectoryW(shareDir_.c_str());
    }
    if (!serverDir_.empty()) RemoveDirectoryW(serverDir_.c_str());
    RemoveDirectoryW(unc_.c_str());  // only when no other share is left
  }
  bool ready() const { return !shareDir_.empty(); }
  // \\server\share
  std::wstring Root() const { return L"\\\\" + server_ + L"\\share"; }

 private:
  std::wstring server_;
  std::wstring unc_;
  std::wstring serverDir_;
  std::wstring shareDir_;
};

}  // namespace ryl::test
