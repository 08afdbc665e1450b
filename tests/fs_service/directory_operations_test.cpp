// The service's directory, link and volume slots through the DLL, checked
// with Win32 calls that do not rest on the code under test.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fs_service/fs_service_host.h"
// After windows.h.
#include <wincrypt.h>

namespace ryl::test {
namespace {

class DirectoryOperationsTest : public FsServiceTest {
 protected:
  ResultCode MakeTree(const std::wstring& path, bool parents) {
    return fs_->CreateDirectoryTree(path.c_str(), Len(path), parents ? 1 : 0, nullptr);
  }
  ResultCode Remove(const std::wstring& path, bool recursive, uint32_t flags = 0) {
    return fs_->RemoveDirectory(path.c_str(), Len(path), recursive ? 1 : 0, flags);
  }
  ResultCode CopyFiles(const std::wstring& from, const std::wstring& to, const std::wstring& pattern, uint32_t mode,
                       uint32_t* count) {
    return fs_->CopyDirectoryFiles(from.c_str(), Len(from), to.c_str(), Len(to), pattern.c_str(), Len(pattern), mode,
                                   count);
  }
  bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  // n files name0.txt ... in directory, each holding its own name.
  void Fill(const std::wstring& directory, int n, const std::wstring& extension = L".txt") {
    for (int i = 0; i < n; ++i) {
      const std::wstring name = L"name" + std::to_wstring(i) + extension;
      ASSERT_TRUE(WriteBytes(directory + L"\\" + name, std::string(name.begin(), name.end())));
    }
  }
  int CountFiles(const std::wstring& directory, const std::wstring& pattern = L"*") {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((directory + L"\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++n;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
  }
};

TEST_F(DirectoryOperationsTest, CreateDirectoryTreeMakesTheMissingParentsOnly) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"a").c_str(), nullptr));
  EXPECT_CODE(MakeTree(Path(L"a\\b\\c\\"), true), RYL_OK);
  EXPECT_TRUE(IsDirectory(Path(L"a\\b\\c")));
  EXPECT_CODE(MakeTree(Path(L"a\\b\\c"), true), RYL_E_ALREADY_EXISTS);
  EXPECT_CODE(MakeTree(Path(L"x\\y"), false), RYL_E_PATH_NOT_FOUND);
  EXPECT_FALSE(Exists(Path(L"x")));
  EXPECT_CODE(fs_->CreateDirectory(Path(L"single").c_str(), Len(Path(L"single")), nullptr), RYL_OK);
  EXPECT_CODE(fs_->CreateDirectory(Path(L"single").c_str(), Len(Path(L"single")), nullptr), RYL_E_ALREADY_EXISTS);
  // A file where a parent should be: nothing is made.
  ASSERT_TRUE(WriteBytes(Path(L"file"), "x"));
  EXPECT_LT(MakeTree(Path(L"file\\sub\\deeper"), true), 0);
  EXPECT_FALSE(Exists(Path(L"file\\sub")));
}

TEST_F(DirectoryOperationsTest, CreateDirectoryTreeUndoesWhatItMadeWhenTheLastStepFails) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"keep").c_str(), nullptr));
  // The last name is one the file system refuses; its parents were made by
  // the call and must go again, while the existing one stays.
  EXPECT_LT(MakeTree(Path(L"keep\\new1\\new2\\bad|name"), true), 0);
  EXPECT_TRUE(IsDirectory(Path(L"keep")));
  EXPECT_FALSE(Exists(Path(L"keep\\new1")));
}

TEST_F(DirectoryOperationsTest, CreateDirectoryTreeUndoesItsWorkWhenTheVolumeFills) {
  const ExtraVolumes volumes = ReadExtraVolumes();
  if (volumes.full.empty()) GTEST_SKIP() << "no small volume: " << volumes.fullReason;
  ScratchDirectory scratch(volumes.full + L"\\");
  ASSERT_TRUE(scratch.ready());
  // Fill the small volume, then ask for a deep chain: some creation runs
  // out of room midway, and nothing of the chain may remain.
  std::string block(64 << 10, 'f');
  for (int i = 0; WriteBytes(scratch / (L"fill" + std::to_wstring(i)), block); ++i) {
  }
  std::wstring chain = scratch.path();
  for (int i = 0; i < 64; ++i) chain += L"\\" + std::wstring(200, static_cast<wchar_t>(L'a' + i % 26));
  const ResultCode rc = MakeTree(chain, true);
  if (rc >= 0) GTEST_SKIP() << "the full volume still took the whole chain";
  EXPECT_FALSE(Exists(scratch / std::wstring(200, L'a')));
}

TEST_F(DirectoryOperationsTest, RemoveDirectoryAloneAndRecursively) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"empty").c_str(), nullptr));
  EXPECT_CODE(Remove(Path(L"empty"), false), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"empty")));
  EXPECT_LT(Remove(Path(L"empty"), false), 0);

  ASSERT_CODE(MakeTree(Path(L"t\\a\\b"), true), RYL_OK);
  Fill(Path(L"t"), 3);
  Fill(Path(L"t\\a\\b"), 2);
  ASSERT_TRUE(WriteBytes(Path(L"t\\a\\readonly.txt"), "r", FILE_ATTRIBUTE_READONLY));
  EXPECT_LT(Remove(Path(L"t"), false), 0);
  EXPECT_TRUE(Exists(Path(L"t\\name0.txt")));
  // The read-only file stops a plain recursive removal, and what was
  // removed before it stays removed.
  EXPECT_LT(Remove(Path(L"t"), true, 0), 0);
  EXPECT_TRUE(Exists(Path(L"t\\a\\readonly.txt")));
  EXPECT_CODE(Remove(Path(L"t"), true, 1), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"t")));
}

TEST_F(DirectoryOperationsTest, RemoveDirectoryRecursiveOnADeepTreeLeavesNoHandle) {
  // Depth 200, far past 260 characters: only the verbatim form reaches the
  // bottom from Win32.
  std::wstring path = L"\\\\?\\" + Path(L"deep");
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  for (int depth = 0; depth < 200; ++depth) {
    path += L"\\level" + std::to_wstring(depth);
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << depth;
    if (depth % 20 == 0) {
      ASSERT_TRUE(WriteBytes(path + L"\\f.bin", "data"));
    }
  }
  ASSERT_GT(path.size(), 1200u);
  const ULONG before = ProcessHandles();
  EXPECT_CODE(Remove(Path(L"deep"), true), RYL_OK);
  EXPECT_EQ(ProcessHandles(), before);
  EXPECT_FALSE(Exists(Path(L"deep")));
}

TEST_F(DirectoryOperationsTest, RemoveDirectoryNeverEntersAJunction) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"target").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Path(L"target\\precious.txt"), "keep"));
  ASSERT_TRUE(CreateDirectoryW(Path(L"tree").c_str(), nullptr));
  if (!MakeJunction(Path(L"tree\\link"), Path(L"target"))) GTEST_SKIP() << kNoReparsePoints;
  EXPECT_CODE(Remove(Path(L"tree"), true), RYL_OK);
  EXPECT_FALSE(Exists(Path(L"tree")));
  EXPECT_EQ(ReadBytes(Path(L"target\\precious.txt")), "keep");
  // A junction given as the tree itself is removed as the link.
  ASSERT_TRUE(MakeJunction(Path(L"direct"), Path(L"target")));
  EXPECT_CODE(Remove(Path(L"direct"), true), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"target\\precious.txt")), "keep");
}

TEST_F(DirectoryOperationsTest, MoveDirectoryRenamesWithinTheVolumeOnly) {
  ASSERT_CODE(MakeTree(Path(L"from\\inner"), true), RYL_OK);
  Fill(Path(L"from\\inner"), 2);
  const std::wstring from = Path(L"from");
  const std::wstring to = Path(L"to");
  EXPECT_CODE(fs_->MoveDirectory(from.c_str(), Len(from), to.c_str(), Len(to)), RYL_OK);
  EXPECT_EQ(CountFiles(Path(L"to\\inner")), 2);
  EXPECT_FALSE(Exists(from));
  ASSERT_TRUE(CreateDirectoryW(from.c_str(), nullptr));
  EXPECT_CODE(fs_->MoveDirectory(to.c_str(), Len(to), from.c_str(), Len(from)), RYL_E_ALREADY_EXISTS);
  EXPECT_TRUE(Exists(Path(L"to\\inner\\name1.txt")));
  const ExtraVolumes volumes = ReadExtraVolumes();
  if (volumes.other.empty()) return;
  ScratchDirectory other(volumes.other + L"\\");
  const std::wstring elsewhere = other / L"moved";
  EXPECT_LT(fs_->MoveDirectory(to.c_str(), Len(to), elsewhere.c_str(), Len(elsewhere)), 0);
  EXPECT_TRUE(Exists(Path(L"to\\inner\\name1.txt")));
}

TEST_F(DirectoryOperationsTest, CopyDirectoryFilesNumbersCopiesInModeTwo) {
  ASSERT_CODE(MakeTree(Path(L"src"), false), RYL_OK);
  ASSERT_CODE(MakeTree(Path(L"dst"), false), RYL_OK);
  ASSERT_TRUE(WriteBytes(Path(L"src\\a.txt"), "new"));
  ASSERT_TRUE(WriteBytes(Path(L"src\\b.log"), "log"));
  ASSERT_TRUE(WriteBytes(Path(L"dst\\a.txt"), "old"));
  uint32_t count = 77;
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"*.txt", 2, &count), RYL_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(ReadBytes(Path(L"dst\\a.txt")), "old");
  EXPECT_EQ(ReadBytes(Path(L"dst\\a.txt.1")), "new");
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"*.txt", 2, &count), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"dst\\a.txt.2")), "new");
  EXPECT_FALSE(Exists(Path(L"dst\\b.log")));
  // A name ending in a dot and a number counts on from its base.
  ASSERT_TRUE(WriteBytes(Path(L"src\\a.txt.2"), "two"));
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"a.txt.2", 2, &count), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"dst\\a.txt.3")), "two");
  // Mode 1 stops at the first existing name; mode 0 replaces.
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"a.txt", 1, &count), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(count, 0u);
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"a.txt", 0, &count), RYL_OK);
  EXPECT_EQ(ReadBytes(Path(L"dst\\a.txt")), "new");
  // A source that is a file, or missing.
  EXPECT_CODE(CopyFiles(Path(L"src\\a.txt"), Path(L"dst"), L"*", 0, &count), RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(CopyFiles(Path(L"nowhere"), Path(L"dst"), L"*", 0, &count), RYL_E_PATH_NOT_FOUND);
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"*", 3, &count), RYL_E_INVALID_ARG);
}

TEST_F(DirectoryOperationsTest, CopyDirectoryFilesGivesUpAfterNinetyNineNumbers) {
  ASSERT_CODE(MakeTree(Path(L"src"), false), RYL_OK);
  ASSERT_CODE(MakeTree(Path(L"dst"), false), RYL_OK);
  ASSERT_TRUE(WriteBytes(Path(L"src\\x"), "new"));
  ASSERT_TRUE(WriteBytes(Path(L"dst\\x"), "old"));
  for (int i = 1; i <= 99; ++i) ASSERT_TRUE(WriteBytes(Path(L"dst\\x." + std::to_wstring(i)), "old"));
  uint32_t count = 5;
  EXPECT_CODE(CopyFiles(Path(L"src"), Path(L"dst"), L"x", 2, &count), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(Exists(Path(L"dst\\x.100")));
  for (int i = 1; i <= 99; ++i) ASSERT_EQ(ReadBytes(Path(L"dst\\x." + std::to_wstring(i))), "old");
}

TEST_F(DirectoryOperationsTest, BulkOperationsCountTenThousandFiles) {
  ASSERT_CODE(MakeTree(Path(L"many"), false), RYL_OK);
  ASSERT_CODE(MakeTree(Path(L"copy"), false), RYL_OK);
  ASSERT_CODE(MakeTree(Path(L"moved"), false), RYL_OK);
  Fill(Path(L"many"), 10000, L".dat");
  ASSERT_TRUE(WriteBytes(Path(L"many\\other.txt"), "not matched"));
  const std::wstring many = Path(L"many");
  const std::wstring copy = Path(L"copy");
  const std::wstring moved = Path(L"moved");
  const std::wstring pattern = L"*.dat";
  uint32_t count = 0;
  EXPECT_CODE(CopyFiles(many, copy, pattern, 0, &count), RYL_OK);
  EXPECT_EQ(count, 10000u);
  EXPECT_EQ(CountFiles(copy), 10000);
  EXPECT_CODE(fs_->MoveDirectoryFiles(copy.c_str(), Len(copy), moved.c_str(), Len(moved), pattern.c_str(),
                                      Len(pattern), 1, &count),
              RYL_OK);
  EXPECT_EQ(count, 10000u);
  EXPECT_EQ(CountFiles(copy), 0);
  EXPECT_EQ(ReadBytes(moved + L"\\name9999.dat"), "name9999.dat");
  EXPECT_CODE(fs_->DeleteDirectoryFiles(moved.c_str(), Len(moved), pattern.c_str(), Len(pattern), &count, 0), RYL_OK);
  EXPECT_EQ(count, 10000u);
  EXPECT_EQ(CountFiles(moved), 0);
  EXPECT_EQ(CountFiles(many), 10001);
}

TEST_F(DirectoryOperationsTest, ACountAfterAFailureIsWhatWasReallyDone) {
  const ExtraVolumes volumes = ReadExtraVolumes();
  if (volumes.full.empty()) GTEST_SKIP() << "no small volume: " << volumes.fullReason;
  ScratchDirectory full(volumes.full + L"\\");
  ASSERT_TRUE(full.ready());
  ASSERT_CODE(MakeTree(Path(L"big"), false), RYL_OK);
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(WriteBytes(Path(L"big\\part" + std::to_wstring(100 + i)), Pattern(64 << 10, i)));
  }
  uint32_t count = 0;
  const ResultCode rc = CopyFiles(Path(L"big"), full.path(), L"*", 0, &count);
  ASSERT_LT(rc, 0) << "40 blocks of 64 KiB fit a 1 MiB volume";
  EXPECT_GT(count, 0u);
  EXPECT_EQ(static_cast<int>(count), CountFiles(full.path()));
  // The file that failed is not left behind half-written.
  EXPECT_FALSE(Exists(full / (L"part" + std::to_wstring(100 + count))));
}

TEST_F(DirectoryOperationsTest, LinksThatCannotBeMadeLeaveNothingBehind) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"target").c_str(), nullptr));
  const std::wstring target = Path(L"target");
  const std::wstring link = Path(L"link");
  const ResultCode junction = fs_->CreateLink(target.c_str(), Len(target), link.c_str(), Len(link), 1, 1);
  if (junction == RYL_OK) {
    const DWORD attributes = Attributes(link);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_CODE(Remove(link, false), RYL_OK);
  } else {
    // Where the file system refuses reparse points the half-made link goes.
    EXPECT_FALSE(Exists(link)) << std::hex << junction;
  }
  EXPECT_TRUE(IsDirectory(target));
  const ResultCode symbolic = fs_->CreateLink(target.c_str(), Len(target), link.c_str(), Len(link), 1, 0);
  if (symbolic != RYL_OK) {
    EXPECT_FALSE(Exists(link)) << std::hex << symbolic;
  }
  const std::wstring longTarget(0x8000, L'a');
  EXPECT_CODE(fs_->CreateLink(longTarget.c_str(), Len(longTarget), link.c_str(), Len(link), 1, 1), RYL_E_INVALID_ARG);
}

// The MD5 digest through the system's own provider.
std::vector<uint8_t> Md5(const void* data, DWORD length) {
  std::vector<uint8_t> digest(16);
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  DWORD size = 16;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return {};
  const bool ok = CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
                  CryptHashData(hash, static_cast<const BYTE*>(data), length, 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &size, 0);
  if (hash != 0) CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  return ok ? digest : std::vector<uint8_t>{};
}

TEST_F(DirectoryOperationsTest, VolumeQueriesAgreeWithWin32) {
  const std::wstring root = Path(L"");
  uint64_t total = 0;
  uint64_t available = 0;
  ASSERT_CODE(fs_->GetDiskSpace(root.c_str(), Len(root), &total, &available), RYL_OK);
  ULARGE_INTEGER freeToCaller;
  ULARGE_INTEGER totalBytes;
  ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &freeToCaller, &totalBytes, nullptr));
  EXPECT_EQ(total, totalBytes.QuadPart);
  // Free space moves while other tests write; the two readings are close.
  const uint64_t difference =
      available > freeToCaller.QuadPart ? available - freeToCaller.QuadPart : freeToCaller.QuadPart - available;
  EXPECT_LT(difference, uint64_t{64} << 20);
  EXPECT_LT(fs_->GetDiskSpace(Path(L"missing").c_str(), Len(Path(L"missing")), &total, &available), 0);

  uint8_t isNtfs = 0xCC;
  ASSERT_CODE(fs_->IsNtfs(root.c_str(), Len(root), &isNtfs, 1), RYL_OK);
  wchar_t fileSystem[32] = {};
  ASSERT_TRUE(GetVolumeInformationW(L"C:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem, 32));
  if (isNtfs == 1) {
    EXPECT_STREQ(fileSystem, L"NTFS");
  }
  EXPECT_TRUE(isNtfs == 0 || isNtfs == 1);

  ASSERT_TRUE(WriteBytes(Path(L"id.txt"), "identity"));
  const std::wstring file = Path(L"id.txt");
  uint8_t volumeId[16];
  uint8_t fileId[16];
  uint8_t again[16];
  uint8_t volumeAgain[16];
  ASSERT_CODE(fs_->GetFileIdentity(volumeId, fileId, file.c_str(), Len(file)), RYL_OK);
  ASSERT_CODE(fs_->GetFileIdentity(volumeAgain, again, file.c_str(), Len(file)), RYL_OK);
  EXPECT_EQ(std::memcmp(fileId, again, 16), 0);
  EXPECT_EQ(std::memcmp(volumeId, volumeAgain, 16), 0);
  DWORD serial = 0;
  ASSERT_TRUE(GetVolumeInformationW(L"C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
  const std::vector<uint8_t> serialDigest = Md5(&serial, sizeof serial);
  if (RunningUnderWine()) {
    // No object identifiers there: the digest of the serial number.
    ASSERT_EQ(serialDigest.size(), 16u);
    EXPECT_EQ(std::memcmp(volumeId, serialDigest.data(), 16), 0);
  }
  ASSERT_TRUE(WriteBytes(Path(L"other.txt"), "identity"));
  const std::wstring other = Path(L"other.txt");
  ASSERT_CODE(fs_->GetFileIdentity(volumeAgain, again, other.c_str(), Len(other)), RYL_OK);
  EXPECT_NE(std::memcmp(fileId, again, 16), 0);
  EXPECT_LT(fs_->GetFileIdentity(volumeId, fileId, Path(L"missing").c_str(), Len(Path(L"missing"))), 0);

  HANDLE volume = CreateFileW(L"\\\\.\\C:", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (volume != INVALID_HANDLE_VALUE) {
    uint8_t solid = 0xCC;
    const ResultCode rc = fs_->IsSolidStateVolume(volume, &solid);
    EXPECT_TRUE(rc == RYL_OK || rc < 0);
    if (rc == RYL_OK) {
      EXPECT_TRUE(solid == 0 || solid == 1);
    }
    CloseHandle(volume);
  }
}

TEST_F(DirectoryOperationsTest, DriveLettersAreDefinedAndRemoved) {
  wchar_t letter = 0;
  for (wchar_t candidate = L'R'; candidate >= L'J' && letter == 0; --candidate) {
    const wchar_t name[3] = {candidate, L':', 0};
    wchar_t target[MAX_PATH];
    if (QueryDosDeviceW(name, target, MAX_PATH) == 0) letter = candidate;
  }
  if (letter == 0) GTEST_SKIP() << "no free drive letter between J and R";
  const std::wstring target = dir_.path();
  ASSERT_CODE(fs_->DefineDriveLetter(target.c_str(), Len(target), 0, letter), RYL_OK);
  const wchar_t name[3] = {letter, L':', 0};
  wchar_t mapped[MAX_PATH] = {};
  EXPECT_NE(QueryDosDeviceW(name, mapped, MAX_PATH), 0u);
  EXPECT_CODE(fs_->RemoveDriveLetter(letter), RYL_OK);
  EXPECT_EQ(QueryDosDeviceW(name, mapped, MAX_PATH), 0u);
}

}  // namespace
}  // namespace ryl::test
