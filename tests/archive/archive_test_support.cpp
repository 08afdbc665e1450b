#include "archive_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "support/result_matchers.h"
#include "support/temp_dir.h"

namespace ryl::archive::test {

std::u16string Utf16(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), n);
  return std::u16string(wide.begin(), wide.end());
}

std::string Utf8(const std::u16string& text) {
  if (text.empty()) return {};
  const std::wstring wide(text.begin(), text.end());
  const int length = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

std::u16string WindowsPathOf(std::string unixPath) {
  for (char& c : unixPath) {
    if (c == '/') c = '\\';
  }
  return Utf16("Z:" + unixPath);
}

std::string FromHex(const std::string& hex) {
  if (hex == "-") return {};
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::map<std::string, ManifestArchive> LoadManifest() {
  std::map<std::string, ManifestArchive> manifest;
  const std::u16string path = FixturePath("manifest.tsv");
  const std::string text = ryl::test::ReadWholeFile(std::wstring(path.begin(), path.end()));
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.empty()) continue;
    ManifestArchive& archive = manifest[f.at(1)];
    if (f[0] == "archive") {
      archive.entries = std::stoull(f.at(2));
      archive.comment = Utf16(FromHex(f.at(3)));
      archive.zip64 = f.at(4) == "1";
      archive.classicTotal = static_cast<uint16_t>(std::stoul(f.at(5)));
    } else if (f[0] == "entry") {
      ManifestEntry e;
      e.index = static_cast<uint32_t>(std::stoul(f.at(2)));
      e.name = Utf16(FromHex(f.at(3)));
      e.flags = static_cast<uint16_t>(std::stoul(f.at(4)));
      e.method = static_cast<uint16_t>(std::stoul(f.at(5)));
      e.crc = static_cast<uint32_t>(std::stoul(f.at(6)));
      e.compressedSize = std::stoull(f.at(7));
      e.uncompressedSize = std::stoull(f.at(8));
      e.offset = std::stoull(f.at(9));
      e.dosDate = static_cast<uint16_t>(std::stoul(f.at(10)));
      e.dosTime = static_cast<uint16_t>(std::stoul(f.at(11)));
      e.time = std::stoull(f.at(12));
      e.comment = Utf16(FromHex(f.at(13)));
      e.versionNeeded = static_cast<uint16_t>(std::stoul(f.at(14)));
      e.versionMadeBy = static_cast<uint16_t>(std::stoul(f.at(15)));
      e.extras = f.at(16);
      archive.described.push_back(e);
    } else if (f[0] == "secret") {
      archive.secrets[static_cast<uint32_t>(std::stoul(f.at(2)))] = {FromHex(f.at(3)), FromHex(f.at(4))};
    }
  }
  return manifest;
}

}  // namespace

std::u16string FixturePath(const std::string& file) { return WindowsPathOf(RYL_ARCHIVE_FIXTURE_DIR "/" + file); }
std::u16string OutputPath(const std::string& file) { return WindowsPathOf(RYL_ARCHIVE_OUTPUT_DIR "/" + file); }

Bytes ReadFixture(const std::string& file) {
  const std::u16string path = FixturePath(file);
  Bytes bytes = ryl::test::ReadWholeFile(std::wstring(path.begin(), path.end()));
  if (bytes == "<missing>") {
    ADD_FAILURE() << "fixture " << file << " is missing; the build makes it with make_fixtures.py";
    return {};
  }
  return bytes;
}

const std::map<std::string, ManifestArchive>& Manifest() {
  static const std::map<std::string, ManifestArchive> manifest = LoadManifest();
  return manifest;
}

}  // namespace ryl::archive::test
