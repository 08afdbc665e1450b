#include "zip_test_support.h"

#include <windows.h>

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
