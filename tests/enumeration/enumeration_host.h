// What the enumeration tests share: the file-system service reached through
// the DLL as a host reaches it, a scratch directory that each test fills and
// that is removed afterwards, and helpers that walk a listing by slot.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "ryl/ryl.h"
#include "support/default_heap.h"
#include "support/dll_host.h"
#include "support/module_fixture.h"
#include "support/result_matchers.h"
#include "support/temp_dir.h"

namespace ryl::test {

inline std::wstring ViewText(const RylStringView& view) {
  return view.length == 0 ? std::wstring() : std::wstring(view.data, view.length);
}

inline RylStringView View(const std::wstring& text) { return {text.c_str(), static_cast<uint32_t>(text.size())}; }

// The handles the process holds: a leak shows as a count that grows. Wine
// answers ProcessHandleCount with 0 whatever the process holds, so the
// system-wide handle table is counted instead.
inline ULONG ProcessHandles() { return static_cast<ULONG>(::ryl::test::ProcessHandleCount()); }

// A directory of its own under the temporary directory, removed with all it
// holds when the test ends.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
      std::wstring candidate = std::wstring(temp) + L"rylenum-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount() + static_cast<DWORD>(attempt));
      if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~ScratchDirectory() {
    if (!path_.empty()) RemoveTree(L"\\\\?\\" + path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool ready() const { return !path_.empty(); }
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  bool File(const std::wstring& name, DWORD size = 0) const { return MakeFile(*this / name, size); }
  bool Directory(const std::wstring& name) const { return CreateDirectoryW((*this / name).c_str(), nullptr) != 0; }

  static bool MakeFile(const std::wstring& path, DWORD size = 0) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes(size, 'x');
    DWORD written = 0;
    const bool ok = size == 0 || (WriteFile(file, bytes.data(), size, &written, nullptr) && written == size);
    CloseHandle(file);
    return ok;
  }

 private:
  static void RemoveTree(const std::wstring& verbatim) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((verbatim + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = verbatim + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(child);
        } else {
          SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(child.c_str());
        }
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(verbatim.c_str());
  }

  std::wstring path_;
};

// The DLL loaded and initialised, the file-system service delivered, and a
// scratch directory ready.
class EnumerationTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(dir_.ready());
  }

  // A host enumerator (slot 3) over path; null when creation failed, with
  // the code in *code.
  HostDirectoryEnumerator* Open(const std::wstring& path, const std::wstring& pattern, uint32_t flags,
                                ResultCode* code = nullptr) {
    StoringReceiver receiver(1);
    const RylStringView directory = View(path);
    const RylStringView filter = View(pattern);
    const ResultCode rc = fs_->CreateEnumeratorObject(&receiver.record, &directory, &filter, flags, nullptr);
    if (code != nullptr) *code = rc;
    return rc < 0 ? nullptr : static_cast<HostDirectoryEnumerator*>(receiver.object);
  }

  static void Close(HostDirectoryEnumerator* enumerator) {
    if (enumerator != nullptr) enumerator->Destroy(&test::kDefaultHeap);
  }

  // The name of the current entry, through a delivered entry object.
  static std::wstring CurrentName(HostDirectoryEnumerator* enumerator) {
    StoringReceiver receiver(2);
    if (enumerator->GetEntry(&receiver.record) < 0) return L"<no entry>";
    auto* entry = static_cast<DirectoryEntry*>(receiver.object);
    RylStringView name{};
    const std::wstring text = ViewText(*entry->GetName(&name));
    entry->Destroy(&test::kDefaultHeap);
    return text;
  }

  // Every name the listing reports, in order; "<failed 0x...>" ends the list
  // when creation or a step fails.
  std::vector<std::wstring> List(const std::wstring& path, const std::wstring& pattern, uint32_t flags) {
    std::vector<std::wstring> names;
    ResultCode rc = RYL_OK;
    HostDirectoryEnumerator* enumerator = Open(path, pattern, flags, &rc);
    if (enumerator == nullptr) return {Failed(rc)};
    for (rc = enumerator->Start(); rc == RYL_OK; rc = enumerator->MoveNext()) names.push_back(CurrentName(enumerator));
    if (rc != RYL_S_NO_MORE_ITEMS) names.push_back(Failed(rc));
    Close(enumerator);
    return names;
  }

  static std::wstring Failed(ResultCode rc) {
    wchar_t text[32];
    swprintf(text, 32, L"<failed 0x%08X>", static_cast<unsigned>(rc));
    return text;
  }

  ScratchDirectory dir_;
};

}  // namespace ryl::test
