#include "zip_test_support.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "support/temp_dir.h"

namespace ryl::test {

std::wstring FixturePath(const std::string& file) {
  std::string path = std::string("Z:") + RYL_ZIP_FIXTURE_DIR + "/" + file;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return std::wstring(path.begin(), path.end());
}

Bytes ReadFixture(const std::string& file) { return ReadWholeFile(FixturePath(file)); }

std::string FromHex(const std::string& hex) {
  if (hex == "-") return {};
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::u16string U16(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string Utf8(const RylStringView& view) {
  if (view.length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, view.data, static_cast<int>(view.length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, view.data, static_cast<int>(view.length), out.data(), n, nullptr, nullptr);
  return out;
}

ResultCode RYL_THISCALL SeekableHostStream::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  if (position >= readFailsAt) return readFailure;
  if (position >= data.size()) return RYL_E_END_OF_DATA;
  uint64_t n = std::min<uint64_t>(count, data.size() - position);
  n = std::min<uint64_t>(n, readFailsAt - position);
  std::memcpy(buffer, data.data() + position, static_cast<size_t>(n));
  position += n;
  if (outDone != nullptr) *outDone = static_cast<uint32_t>(n);
  return RYL_OK;
}

ResultCode RYL_THISCALL SeekableHostStream::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  if (position + count > data.size()) data.resize(static_cast<size_t>(position + count));
  if (count != 0) std::memcpy(data.data() + position, buffer, count);
  position += count;
  if (outDone != nullptr) *outDone = count;
  return RYL_OK;
}

ResultCode RYL_THISCALL SeekableHostStream::Tell(uint64_t* outPosition) {
  *outPosition = position;
  return RYL_OK;
}

ResultCode RYL_THISCALL SeekableHostStream::Seek(int64_t offset, uint32_t origin) {
  if (seekFails) return RYL_E_NOT_IMPLEMENTED;
  const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(position) : static_cast<int64_t>(data.size());
  if (origin > 2) return RYL_E_INVALID_ARG;
  if (base + offset < 0) return RYL_E_INVALID_SEEK;
  position = static_cast<uint64_t>(base + offset);
  return RYL_OK;
}

ResultCode RYL_THISCALL SeekableHostStream::GetSize(uint64_t* outSize) {
  *outSize = data.size();
  return RYL_OK;
}

ResultCode RYL_THISCALL SeekableHostStream::SetSize(uint64_t size) {
  data.resize(static_cast<size_t>(size));
  return RYL_OK;
}

ResultCode RYL_THISCALL ZerosHostStream::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  if (position_ >= size_) return RYL_E_END_OF_DATA;
  const uint64_t n = std::min<uint64_t>(count, size_ - position_);
  std::memset(buffer, 0, static_cast<size_t>(n));
  position_ += n;
  if (outDone != nullptr) *outDone = static_cast<uint32_t>(n);
  return RYL_OK;
}

ResultCode RYL_THISCALL ZerosHostStream::Tell(uint64_t* outPosition) {
  *outPosition = position_;
  return RYL_OK;
}

ResultCode RYL_THISCALL ZerosHostStream::Seek(int64_t offset, uint32_t origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(position_) : static_cast<int64_t>(size_);
  if (origin > 2) return RYL_E_INVALID_ARG;
  if (base + offset < 0) return RYL_E_INVALID_SEEK;
  position_ = static_cast<uint64_t>(base + offset);
  return RYL_OK;
}

ResultCode RYL_THISCALL ZerosHostStream::GetSize(uint64_t* outSize) {
  *outSize = size_;
  return RYL_OK;
}

ScopedTmp::ScopedTmp(const std::wstring& directory) {
  wchar_t old[MAX_PATH + 1];
  const DWORD n = GetEnvironmentVariableW(L"TMP", old, MAX_PATH + 1);
  had_ = n != 0 && n <= MAX_PATH;
  if (had_) old_.assign(old, n);
  SetEnvironmentVariableW(L"TMP", directory.c_str());
}

ScopedTmp::~ScopedTmp() { SetEnvironmentVariableW(L"TMP", had_ ? old_.c_str() : nullptr); }

std::vector<std::wstring> LibraryTempFiles(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((directory + L"\\vqz-*.tmp").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

std::wstring FullVolume(std::string* whyNot) {
  char unixPath[1024];
  const DWORD n = GetEnvironmentVariableA("RYL_FS_VOLUMES", unixPath, sizeof unixPath);
  if (n == 0 || n >= sizeof unixPath) {
    *whyNot = "RYL_FS_VOLUMES is not set (the CTest fixture fs_volumes sets it)";
    return {};
  }
  std::wstring dosPath = L"Z:";
  for (DWORD i = 0; i < n; ++i) dosPath += unixPath[i] == '/' ? L'\\' : static_cast<wchar_t>(unixPath[i]);
  std::istringstream lines(ReadWholeFile(dosPath));
  std::string line, full, reason = "volumes.txt names no 1 MiB drive";
  while (std::getline(lines, line)) {
    if (line.rfind("full=", 0) == 0) full = line.substr(5);
    if (line.rfind("full_reason=", 0) == 0) reason = line.substr(12);
  }
  if (full.empty()) *whyNot = reason;
  return std::wstring(full.begin(), full.end());
}

void ZipServiceTest::SetUp() {
  ArchiveTest::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_CODE(factory_->CreateZipService(&service_), RYL_OK);
}

void ZipServiceTest::TearDown() {
  if (service_ != nullptr) service_->Release();
  ArchiveTest::TearDown();
}

Archive* ZipServiceTest::Open(const std::string& fixture) {
  const std::wstring path = FixturePath(fixture);
  Archive* archive = nullptr;
  const ResultCode rc = service_->OpenArchive(&archive, path.c_str(), static_cast<uint32_t>(path.size()));
  EXPECT_CODE(rc, RYL_OK) << fixture;
  return rc < 0 ? nullptr : archive;
}

std::vector<std::u16string> ZipServiceTest::Names(Archive* archive) {
  std::vector<std::u16string> names;
  EntryEnumerator* enumerator = nullptr;
  if (archive->CreateEnumerator(&enumerator) < 0) return names;
  for (;;) {
    ArchiveEntry* entry = nullptr;
    if (enumerator->Current(&entry) < 0) break;
    RylStringView view = {nullptr, 0};
    entry->GetName(&view);
    names.emplace_back(reinterpret_cast<const char16_t*>(view.data), view.length);
    if (enumerator->MoveNext() != RYL_OK) break;
  }
  enumerator->Release();
  return names;
}

ResultCode ZipServiceTest::Extract(ArchiveEntry* entry, Bytes* out) {
  SinkHostStream sink;
  const ResultCode rc = entry->ExtractTo(&sink);
  *out = sink.data;
  return rc;
}

}  // namespace ryl::test
