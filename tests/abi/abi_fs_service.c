/* The file operations of the file-system service (root + 4, delivered by
 * root slot 5) reached the way an MSVC-built host reaches them: slots 13-52
 * called by number with real paths and 64-bit times passed as two
 * stack words (low first), checking the result, what the call did on disk,
 * and that the callee removed exactly its argument words. */
#include <string.h>
#include <wchar.h>

#include "abi_codes.h"
#include "abi_host.h"
#include "abi_text.h"

static wchar_t g_dir[MAX_PATH];

/* g_dir + "\" + name into out. */
static const wchar_t* In(wchar_t* out, const wchar_t* name) {
  swprintf(out, MAX_PATH, L"%ls\\%ls", g_dir, name);
  return out;
}

static int WriteText(const wchar_t* path, const char* text) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE) return 0;
  WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
  CloseHandle(file);
  return written == strlen(text);
}

static int HasText(const wchar_t* path, const char* text) {
  char buffer[256];
  DWORD got = 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 0;
  ReadFile(file, buffer, sizeof buffer, &got, NULL);
  CloseHandle(file);
  return got == strlen(text) && memcmp(buffer, text, got) == 0;
}

static int Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

static void CheckTempSlots(void* fs) {
  AbiOutput out = {&kAbiHeapBuffer, NULL, {NULL, 0}};
  const uint32_t output[] = {W(&out)};
  ABI_CHECK(AbiCall(fs, 13, output, 1, "GetTempDirectory") == 0 && out.view.length > 2 &&
                ((wchar_t*)out.view.data)[1] == L':',
            "GetTempDirectory writes a full drive path");
  ABI_CHECK(AbiCall(fs, 14, NULL, 0, "GetTempFileNameLength") == 44, "the temporary-name length is 44");
  ABI_CHECK(AbiCall(fs, 15, output, 1, "MakeTempFileName") == 0 && out.view.length == 44 &&
                memcmp(out.view.data, L"vqz-", 8) == 0 &&
                memcmp((wchar_t*)out.view.data + 40, L".tmp", 8) == 0,
            "MakeTempFileName writes vqz-, 36 identifier characters, .tmp");
  HeapFree(GetProcessHeap(), 0, out.view.data);
}

static void CheckAttributeSlots(void* fs) {
  wchar_t file[MAX_PATH];
  In(file, L"a.txt");
  ABI_CHECK(WriteText(file, "abc"), "setup: a.txt");
  uint64_t attributes = 0xDEADBEEFDEADBEEFull;
  const uint32_t get[] = {W(&attributes), W(file), LEN(file)};
  ABI_CHECK(AbiCall(fs, 16, get, 3, "GetAttributes") == 0 && (attributes >> 32) == 0 &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0,
            "GetAttributes of a file (high half 0)");
  const uint64_t hidden = 0xFFFFFFFF00000000ull | FILE_ATTRIBUTE_HIDDEN;
  const uint32_t set[] = {LO(hidden), HI(hidden), W(file), LEN(file)};
  ABI_CHECK(AbiCall(fs, 17, set, 4, "SetAttributes") == 0 && (GetFileAttributesW(file) & FILE_ATTRIBUTE_HIDDEN),
            "SetAttributes takes a 64-bit value and writes its low half");
  const uint32_t exists[] = {W(file), LEN(file)};
  ABI_CHECK(AbiCall(fs, 22, exists, 2, "FileExists") == 0, "FileExists of a file");
  ABI_CHECK(AbiCall(fs, 23, exists, 2, "DirectoryExists") == E_PATH_NOT_FOUND, "DirectoryExists of a file");
  const uint32_t dir[] = {W(g_dir), LEN(g_dir)};
  ABI_CHECK(AbiCall(fs, 22, dir, 2, "FileExists") == E_FILE_NOT_FOUND, "FileExists of a directory");
  ABI_CHECK(AbiCall(fs, 23, dir, 2, "DirectoryExists") == 0, "DirectoryExists of a directory");
}

static void CheckCopyMoveDelete(void* fs) {
  wchar_t a[MAX_PATH], b[MAX_PATH], c[MAX_PATH], d[MAX_PATH];
  In(a, L"a.txt");
  In(b, L"b.txt");
  In(c, L"c.txt");
  In(d, L"d.txt");
  const uint32_t copy[] = {W(a), LEN(a), W(b), LEN(b), 1, 1};
  const uint32_t copied = AbiCall(fs, 18, copy, 6, "CopyFile with security");
  ABI_CHECK((copied == 0 || copied == S_COPIED_WITHOUT_SECURITY) && HasText(b, "abc"), "CopyFile (slot 18) copies");
  ABI_CHECK(AbiCall(fs, 18, copy, 6, "CopyFile with security") == E_ALREADY_EXISTS, "fail if exists");
  const uint32_t copy19[] = {W(a), LEN(a), W(c), LEN(c), 1};
  ABI_CHECK(AbiCall(fs, 19, copy19, 5, "CopyFile") == 0 && HasText(c, "abc"), "CopyFile (slot 19) copies");
  const uint32_t move[] = {W(c), LEN(c), W(d), LEN(d), 1};
  ABI_CHECK(AbiCall(fs, 20, move, 5, "MoveFile") == 0 && !Exists(c) && HasText(d, "abc"), "MoveFile renames");
  const uint32_t del[] = {W(d), LEN(d), 1};
  ABI_CHECK(AbiCall(fs, 21, del, 3, "DeleteFile") == 0 && !Exists(d), "DeleteFile deletes");
  ABI_CHECK(AbiCall(fs, 21, del, 3, "DeleteFile") == E_FILE_NOT_FOUND, "DeleteFile of a missing file");
}

static void CheckTimeSlots(void* fs) {
  wchar_t file[MAX_PATH];
  In(file, L"t.txt");
  ABI_CHECK(WriteText(file, "t"), "setup: t.txt");
  const uint32_t n = LEN(file);
  const uint64_t write = 131500000000000000ull;
  const uint64_t access = 129000000000000000ull;
  const uint64_t keep = ~0ull;

  const uint32_t setCreation[] = {W(file), n, LO(keep), HI(keep), 0};
  ABI_CHECK(AbiCall(fs, 26, setCreation, 5, "SetCreationTime") == 0, "SetCreationTime");
  const uint32_t setAccess[] = {W(file), n, LO(access), HI(access), 1};
  ABI_CHECK(AbiCall(fs, 27, setAccess, 5, "SetLastAccessTime") == 0, "SetLastAccessTime");
  const uint32_t setWrite[] = {W(file), n, LO(write), HI(write), 0};
  ABI_CHECK(AbiCall(fs, 28, setWrite, 5, "SetLastWriteTime") == 0, "SetLastWriteTime");
  const uint32_t setChange[] = {W(file), n, LO(keep), HI(keep)};
  ABI_CHECK(AbiCall(fs, 29, setChange, 4, "SetChangeTime") == 0, "SetChangeTime");
  const uint32_t set4[] = {W(file), n, LO(keep), HI(keep), LO(access), HI(access), LO(write), HI(write),
                           LO(keep), HI(keep)};
  ABI_CHECK(AbiCall(fs, 30, set4, 10, "SetFileTimes (four times)") == 0, "SetFileTimes with a change time");
  const uint32_t set3[] = {W(file), n, LO(keep), HI(keep), LO(access), HI(access), LO(write), HI(write), 0};
  ABI_CHECK(AbiCall(fs, 31, set3, 9, "SetFileTimes (three times)") == 0, "SetFileTimes with attributes-only access");

  uint64_t one = 0xDEADBEEFDEADBEEFull;
  const uint32_t get[] = {W(file), n, W(&one)};
  ABI_CHECK(AbiCall(fs, 32, get, 3, "GetCreationTime") == 0 && one != 0xDEADBEEFDEADBEEFull, "GetCreationTime");
  ABI_CHECK(AbiCall(fs, 33, get, 3, "GetLastWriteTime") == 0 && one == write, "GetLastWriteTime gives what was set");
  ABI_CHECK(AbiCall(fs, 34, get, 3, "GetLastAccessTime") == 0 && one == access, "GetLastAccessTime gives what was set");
  ABI_CHECK(AbiCall(fs, 35, get, 3, "GetChangeTime") == 0, "GetChangeTime");

  uint64_t t[4] = {0, 0, 0, 0};
  const uint32_t get4[] = {W(file), n, W(&t[0]), W(&t[1]), W(&t[2]), W(&t[3])};
  ABI_CHECK(AbiCall(fs, 36, get4, 6, "GetFileTimes (four)") == 0 && t[1] == write && t[2] == access,
            "GetFileTimes gives creation, last write, last access, change");
  memset(t, 0, sizeof t);
  const uint32_t get3[] = {W(file), n, W(&t[0]), W(&t[1]), W(&t[2])};
  ABI_CHECK(AbiCall(fs, 37, get3, 5, "GetFileTimes (three)") == 0 && t[1] == write && t[2] == access,
            "GetFileTimes gives creation, last write, last access");

  const uint32_t reserved[] = {0x12345678, 0x9ABCDEF0};
  ABI_CHECK((AbiCall(fs, 38, reserved, 2, "reserved slot 38") & 0xFF) == 0, "slot 38 answers false");
}

static void CheckLinkAndSize(void* fs) {
  wchar_t a[MAX_PATH], link[MAX_PATH];
  In(a, L"a.txt");
  In(link, L"link.txt");
  const uint32_t hard[] = {W(a), LEN(a), W(link), LEN(link)};
  ABI_CHECK(AbiCall(fs, 39, hard, 4, "CreateHardLink") == 0 && HasText(link, "abc"), "CreateHardLink");
  const uint32_t relative[] = {W(L"a.txt"), 5, W(link), LEN(link)};
  ABI_CHECK(AbiCall(fs, 39, relative, 4, "CreateHardLink") == E_INVALID_ARG, "a relative path is refused");

  uint64_t size = 0xDEADBEEFDEADBEEFull;
  const uint32_t getSize[] = {W(link), LEN(link), W(&size)};
  ABI_CHECK(AbiCall(fs, 47, getSize, 3, "GetFileSize") == 0 && size == 3, "GetFileSize of a 3-byte file");
  const uint32_t dirSize[] = {W(g_dir), LEN(g_dir), W(&size)};
  ABI_CHECK(AbiCall(fs, 47, dirSize, 3, "GetFileSize") == 0 && size == 0, "GetFileSize of a directory is 0");
}

/* Slots 24, 25 and 40-52: directories, links and volumes. */
static void CheckDirectorySlots(void* fs) {
  wchar_t tree[MAX_PATH], leaf[MAX_PATH], single[MAX_PATH], moved[MAX_PATH], copy[MAX_PATH], file[MAX_PATH];
  In(tree, L"tree");
  In(leaf, L"tree\\a\\b");
  In(single, L"single");
  In(moved, L"moved");
  In(copy, L"copy");
  const uint32_t makeTree[] = {W(leaf), LEN(leaf), 1, 0};
  ABI_CHECK(AbiCall(fs, 24, makeTree, 4, "CreateDirectoryTree") == 0 && Exists(leaf), "CreateDirectoryTree with parents");
  const uint32_t makeOne[] = {W(single), LEN(single), 0};
  ABI_CHECK(AbiCall(fs, 25, makeOne, 3, "CreateDirectory") == 0 && Exists(single), "CreateDirectory");
  ABI_CHECK(AbiCall(fs, 25, makeOne, 3, "CreateDirectory") == E_ALREADY_EXISTS, "an existing directory");
  const uint32_t move[] = {W(single), LEN(single), W(moved), LEN(moved)};
  ABI_CHECK(AbiCall(fs, 46, move, 4, "MoveDirectory") == 0 && Exists(moved) && !Exists(single), "MoveDirectory");

  In(file, L"tree\\one.txt");
  WriteText(file, "1");
  In(file, L"tree\\two.txt");
  WriteText(file, "2");
  const uint32_t makeCopy[] = {W(copy), LEN(copy), 0};
  AbiCall(fs, 25, makeCopy, 3, "CreateDirectory");
  uint32_t count = 0xDEAD;
  const uint32_t copyFiles[] = {W(tree), LEN(tree), W(copy), LEN(copy), W(L"*.txt"), 5, 2, W(&count)};
  ABI_CHECK(AbiCall(fs, 42, copyFiles, 8, "CopyDirectoryFiles") == 0 && count == 2, "two files copied (%u)", count);
  ABI_CHECK(AbiCall(fs, 42, copyFiles, 8, "CopyDirectoryFiles") == 0 && count == 2, "numbered copies (%u)", count);
  In(file, L"copy\\one.txt.1");
  ABI_CHECK(HasText(file, "1"), "the numbered copy one.txt.1");
  const uint32_t moveFiles[] = {W(copy), LEN(copy), W(moved), LEN(moved), W(L"*.1"), 3, 1, W(&count)};
  ABI_CHECK(AbiCall(fs, 43, moveFiles, 8, "MoveDirectoryFiles") == 0 && count == 2, "two files moved (%u)", count);
  const uint32_t deleteFiles[] = {W(copy), LEN(copy), W(L"*"), 1, W(&count), 0};
  ABI_CHECK(AbiCall(fs, 44, deleteFiles, 6, "DeleteDirectoryFiles") == 0 && count == 2, "two files deleted (%u)", count);
  const uint32_t removeTree[] = {W(tree), LEN(tree), 1, 0};
  ABI_CHECK(AbiCall(fs, 45, removeTree, 4, "RemoveDirectory") == 0 && !Exists(tree), "RemoveDirectory recursive");
  const uint32_t removeMoved[] = {W(moved), LEN(moved), 1, 0};
  AbiCall(fs, 45, removeMoved, 4, "RemoveDirectory");
  const uint32_t removeCopy[] = {W(copy), LEN(copy), 0, 0};
  ABI_CHECK(AbiCall(fs, 45, removeCopy, 4, "RemoveDirectory") == 0 && !Exists(copy), "RemoveDirectory of an empty one");

  uint64_t total = 0, available = 0;
  const uint32_t space[] = {W(g_dir), LEN(g_dir), W(&total), W(&available)};
  ABI_CHECK(AbiCall(fs, 51, space, 4, "GetDiskSpace") == 0 && total != 0 && available <= total, "GetDiskSpace");
  uint8_t ntfs = 0xCC;
  const uint32_t isNtfs[] = {W(g_dir), LEN(g_dir), W(&ntfs), 1};
  ABI_CHECK(AbiCall(fs, 48, isNtfs, 4, "IsNtfs") == 0 && (ntfs == 0 || ntfs == 1), "IsNtfs answers a boolean");
  uint8_t volumeId[16], fileId[16];
  In(file, L"a.txt");
  const uint32_t identity[] = {W(volumeId), W(fileId), W(file), LEN(file)};
  ABI_CHECK(AbiCall(fs, 52, identity, 4, "GetFileIdentity") == 0, "GetFileIdentity");
  const uint32_t badLink[] = {W(g_dir), 0x8000, W(tree), LEN(tree), 1, 1};
  ABI_CHECK(AbiCall(fs, 40, badLink, 6, "CreateLink") == E_INVALID_ARG, "a target of 0x10000 bytes is refused");
  uint8_t solid = 0xCC;
  const uint32_t solidArgs[] = {W(INVALID_HANDLE_VALUE), W(&solid)};
  ABI_CHECK((int32_t)AbiCall(fs, 41, solidArgs, 2, "IsSolidStateVolume") < 0 && solid == 0,
            "IsSolidStateVolume of no volume fails and says no");
  const uint32_t removeLetter[] = {(uint32_t)L'Q'};
  AbiCall(fs, 50, removeLetter, 1, "RemoveDriveLetter");
  const uint32_t defineLetter[] = {W(g_dir), LEN(g_dir), 0, (uint32_t)L'Q'};
  ABI_CHECK(AbiCall(fs, 49, defineLetter, 4, "DefineDriveLetter") == 0, "DefineDriveLetter Q:");
  ABI_CHECK(AbiCall(fs, 50, removeLetter, 1, "RemoveDriveLetter") == 0, "RemoveDriveLetter Q:");
}

static void RemoveScratch(void) {
  static const wchar_t* const names[] = {L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"t.txt", L"link.txt"};
  wchar_t path[MAX_PATH];
  for (unsigned i = 0; i < sizeof names / sizeof names[0]; ++i) {
    In(path, names[i]);
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path);
  }
  RemoveDirectoryW(g_dir);
}

typedef int32_t(THISCALL* ReceiverFn)(void* self, const AbiReceiver* receiver);

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  swprintf(g_dir, MAX_PATH, L"%lsryl-abi-fs-%lu", temp, GetCurrentProcessId());
  ABI_CHECK(CreateDirectoryW(g_dir, NULL), "setup: scratch directory");

  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    void* fs = NULL;
    AbiReceiver receiver = {&kAbiStore, &fs, 3, NULL, NULL};
    ABI_CHECK(((ReceiverFn)AbiSlot(root, 5))(root, &receiver) == 0 && fs == (char*)root + 4,
              "root slot 5 delivers the file-system service at root + 4");
    if (fs != NULL) {
      CheckTempSlots(fs);
      CheckAttributeSlots(fs);
      CheckCopyMoveDelete(fs);
      CheckTimeSlots(fs);
      CheckLinkAndSize(fs);
      CheckDirectorySlots(fs);
    }
    typedef uint32_t(THISCALL* CountFn)(void* self);
    ABI_CHECK(((CountFn)AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  RemoveScratch();
  return AbiReport("abi_fs_service");
}
