// Strings and paths, formatting, result codes, the file-system service,
// directory listings and security descriptors, as a C++ host uses them.
// Prints one line per step; the test checks the last one.
#include <windows.h>

#include <cstdarg>

#include "example_host.h"

using example::Ascii;
using example::Check;
using example::VectorBuffer;

// [guide:format]
// The formatting slots take a va_list, so a host wraps them in a function
// of its own with "..." arguments.
static ResultCode AppendFormatted(StringService* strings, OutputBuffer* out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  // options 0: narrow text on the other side of a conversion (%S) is in the
  // ANSI code page.
  const ResultCode rc = strings->FormatAppend(0, out, format, arguments);
  va_end(arguments);
  return rc;
}
// [/guide:format]

// [guide:security-object]
// The library reads descriptors into an object the host implements: it
// calls SetFromSelfRelative with the descriptor and the parts it holds.
class HostSecurity final : public RylSecurityObject {
 public:
  std::vector<uint8_t> bytes;
  uint32_t parts = 0;

  ResultCode RYL_THISCALL Clone(RylSecurityObject**) override { return RYL_E_NOT_IMPLEMENTED; }
  void RYL_THISCALL Destroy() override {}  // lives on the host's stack
  void RYL_THISCALL DestroyThrough(RylSecurityObject** object) override { *object = nullptr; }
  ResultCode RYL_THISCALL Reserved3() override { return RYL_OK; }
  void RYL_THISCALL Reserved4() override {}
  const void* RYL_THISCALL GetSecurityDescriptor() override { return bytes.empty() ? nullptr : bytes.data(); }
  uint32_t RYL_THISCALL GetPartsPresent() override { return parts; }
  ResultCode RYL_THISCALL SetFromSelfRelative(const void* descriptor, uint32_t newParts) override {
    const DWORD length = GetSecurityDescriptorLength(const_cast<void*>(descriptor));
    const auto* first = static_cast<const uint8_t*>(descriptor);
    bytes.assign(first, first + length);
    parts = newParts;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL WriteToStream(SeekableStream*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadFromStream(SeekableStream*) override { return RYL_E_NOT_IMPLEMENTED; }
};
// [/guide:security-object]

static bool Strings(StringService* strings) {
  // [guide:strings]
  const wchar_t text[] = L"Gr\u00FC\u00DFe.txt";
  const uint32_t length = sizeof text / sizeof text[0] - 1;

  VectorBuffer<char> utf8;  // bytes
  if (!Check(strings->ConvertFromUtf16(utf8.get(), text, length, RYL_ENCODING_UTF8), "ConvertFromUtf16")) return false;

  VectorBuffer<RylChar16> upper;  // UTF-16 units; flags must be 0
  if (!Check(strings->ToUpper(0, upper.get(), text, length), "ToUpper")) return false;

  const RylStringView pattern = {L"*.TXT", 5};
  const RylStringView name = {text, length};
  uint8_t matches = 0;
  if (!Check(strings->MatchWildcardNoCase(&matches, &pattern, &name), "MatchWildcardNoCase")) return false;
  std::printf("utf-8 bytes %u, upper-case units %u, matches *.TXT: %u\n", utf8.size(), upper.size(), matches);
  // [/guide:strings]

  // [guide:paths]
  const wchar_t path[] = L"C:\\data\\reports\\march.csv";
  const uint32_t pathLength = sizeof path / sizeof path[0] - 1;
  RylStringView fileName = {};
  strings->GetFileNamePartView(&fileName, path, pathLength);  // a view into path

  VectorBuffer<RylChar16> combined;
  if (!Check(strings->CombinePaths(combined.get(), L"C:\\data", 7, L"..\\logs\\today.log", 17), "CombinePaths"))
    return false;
  std::printf("file name %s, combined %s\n", Ascii(fileName).c_str(), Ascii(combined).c_str());
  // [/guide:paths]

  // [guide:numbers]
  VectorBuffer<char> formatted;
  if (!Check(AppendFormatted(strings, formatted.get(), "%s has %d rows (%.1f%%)", "march", 1234, 99.5),
             "FormatAppend"))
    return false;
  static const char input[] = "42abc";
  int64_t parsed = 0;
  const char* stop = nullptr;  // asking for the stop position makes trailing text a failure
  const ResultCode partial = strings->ParseInt64(&parsed, input, 5, 10, &stop, 8);  // width 8 bytes
  VectorBuffer<char> hex;
  if (!Check(strings->Int64ToText(hex.get(), -1, 16, 2), "Int64ToText")) return false;  // width 2: "ffff"
  std::printf("%s; parse \"42abc\": %lld, %s at offset %d; -1 in 16 bits: %s\n",
              example::Narrow(formatted).c_str(), static_cast<long long>(parsed), RylResultName(partial),
              static_cast<int>(stop - input), example::Narrow(hex).c_str());
  // [/guide:numbers]
  return true;
}

static bool Files(FileSystemService* files, StringService* strings) {
  // [guide:files]
  VectorBuffer<RylChar16> directory;
  if (!Check(files->GetTempDirectory(directory.get()), "GetTempDirectory")) return false;
  VectorBuffer<RylChar16> stem;  // "vqz-" + 36 characters + ".tmp"
  if (!Check(files->MakeTempFileName(stem.get()), "MakeTempFileName")) return false;
  // AppendComponent adds a separator only where one is needed.
  if (!Check(strings->AppendComponent(directory.get(), stem.data(), stem.size()), "AppendComponent")) return false;
  const std::vector<RylChar16> dir(directory.data(), directory.data() + directory.size());

  if (!Check(files->CreateDirectory(dir.data(), static_cast<uint32_t>(dir.size()), nullptr), "CreateDirectory"))
    return false;
  std::vector<RylChar16> file = dir;
  for (const wchar_t* c = L"\\notes.txt"; *c; ++c) file.push_back(*c);
  file.push_back(0);  // Win32 below needs a terminator; the slots take the length
  const uint32_t fileLength = static_cast<uint32_t>(file.size() - 1);
  HANDLE handle = CreateFileW(file.data(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  WriteFile(handle, "twelve bytes", 12, &written, nullptr);
  CloseHandle(handle);

  uint64_t size = 0;
  if (!Check(files->GetFileSize(file.data(), fileLength, &size), "GetFileSize")) return false;
  const ResultCode isFile = files->FileExists(file.data(), fileLength);
  const ResultCode isDirectory = files->DirectoryExists(file.data(), fileLength);  // a file: not a directory
  std::printf("size %llu; FileExists %s; DirectoryExists %s\n", static_cast<unsigned long long>(size),
              RylResultName(isFile), RylResultName(isDirectory));
  // [/guide:files]

  // [guide:enumeration]
  const RylStringView where = {dir.data(), static_cast<uint32_t>(dir.size())};
  const RylStringView pattern = {L"*.txt", 5};
  HostDirectoryEnumerator* listing = nullptr;
  ObjectReceiver receiver = example::ReceiveInto(&listing, RYL_VERSION_HOST_ENUMERATOR);
  // The last argument is not used: the receiver's allocator places the object.
  if (!Check(files->CreateEnumeratorObject(&receiver, &where, &pattern, RYL_ENUM_FILES, &example::kDefaultHeap),
             "CreateEnumeratorObject"))
    return false;
  // The enumerator stands on its first entry already; MoveNext answers
  // RYL_S_NO_MORE_ITEMS (a success) at the end.
  for (ResultCode rc = RYL_OK; rc == RYL_OK; rc = listing->MoveNext()) {
    DirectoryEntry* entry = nullptr;
    ObjectReceiver entryReceiver = example::ReceiveInto(&entry, RYL_VERSION_DIRECTORY_ENTRY);
    if (listing->GetEntry(&entryReceiver) != RYL_OK) break;  // RYL_E_NO_MORE_ITEMS: an empty listing
    RylStringView name = {};
    entry->GetName(&name);
    std::printf("listed %s, %llu bytes\n", Ascii(name).c_str(), static_cast<unsigned long long>(entry->GetSize()));

    // [guide:security]
    HostSecurity security;
    const ResultCode read = entry->ReadSecurityInto(&security);  // owner, group, access list, label
    if (Check(read, "ReadSecurityInto")) {
      std::printf("descriptor of %u bytes, parts 0x%X\n", static_cast<unsigned>(security.bytes.size()),
                  security.parts);
    }
    // [/guide:security]
    entry->Destroy(&example::kDefaultHeap);  // the entry was delivered: the host frees it
  }
  listing->Destroy(&example::kDefaultHeap);
  // [/guide:enumeration]

  // [guide:files-cleanup]
  if (!Check(files->DeleteFile(file.data(), fileLength, 0), "DeleteFile")) return false;
  if (!Check(files->RemoveDirectory(dir.data(), static_cast<uint32_t>(dir.size()), 0, 0), "RemoveDirectory"))
    return false;
  std::printf("after removal: %s\n", RylResultName(files->DirectoryExists(dir.data(), static_cast<uint32_t>(dir.size()))));
  // [/guide:files-cleanup]
  return true;
}

int main() {
  example::Session session;
  if (session.root() == nullptr) return 1;
  RootFactory* root = session.root();

  // [guide:services]
  // The two embedded services: pointers without a reference, valid while
  // the root is held. Nothing to destroy.
  StringService* strings = nullptr;
  ObjectReceiver stringsReceiver = example::ReceiveInto(&strings, RYL_VERSION_STRING_SERVICE);
  FileSystemService* files = nullptr;
  ObjectReceiver filesReceiver = example::ReceiveInto(&files, RYL_VERSION_FILE_SYSTEM_SERVICE);
  if (!Check(root->GetStringService(&stringsReceiver), "GetStringService") ||
      !Check(root->GetFileSystemService(&filesReceiver), "GetFileSystemService"))
    return 1;
  // [/guide:services]

  // [guide:errors]
  // A module code has a name; a system failure without one of its own keeps
  // its Win32 error in the low 16 bits (facility 7).
  const ResultCode missing = files->FileExists(L"C:\\no\\such\\file", 15);
  std::printf("missing file: 0x%08X %s; a sharing violation would be 0x%08X\n", static_cast<unsigned>(missing),
              RylResultName(missing), static_cast<unsigned>(0xE0070000u | ERROR_SHARING_VIOLATION));
  // [/guide:errors]

  if (!Strings(strings) || !Files(files, strings)) return 1;
  std::printf("text_and_files: done\n");
  return 0;
}
