/* The file operations of the file-system service (root + 4, delivered by
 * root slot 5) reached the way an MSVC-built host reaches them: slots 13-23,
 * 26-39 and 47 called by number with real paths and 64-bit times passed as two
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
    }
    typedef uint32_t(THISCALL* CountFn)(void* self);
    ABI_CHECK(((CountFn)AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  RemoveScratch();
  return AbiReport("abi_fs_service");
}
