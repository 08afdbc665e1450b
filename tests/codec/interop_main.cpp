// The Windows half of the interoperability check that interop.py drives.
// For each case named in <dir>\cases.txt it decompresses <case>.py.deflate
// (raw deflate from Python's zlib) and <case>.cli.bz2 (from the bzip2
// command line) through the library's streams and compares them with
// <case>.raw, then compresses <case>.raw with both streams into
// <case>.ours.deflate and <case>.ours.bz2 for the Linux side to check.
// Prints one line per check; exits 0 only when every check passed.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codec/bzip2_stream.h"
#include "codec/deflate_stream.h"
#include "streams/memory_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;
using ryl::codec::Bzip2Stream;
using ryl::codec::DeflateStream;
using ryl::streams::MemoryStream;

int g_failed = 0;
int g_passed = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok" : "FAILED", what.c_str());
  ++(ok ? g_passed : g_failed);
}

bool ReadFile(const std::string& path, Bytes* out) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  out->clear();
  uint8_t chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) != 0) out->insert(out->end(), chunk, chunk + n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t length) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(data, 1, length, file) == length;
  return std::fclose(file) == 0 && ok;
}

ResultCode InitStream(DeflateStream& s, SeekableStream* target, bool compress) {
  return s.Initialize(target, compress, 6, DeflateStream::kArchiveBufferSize);
}
ResultCode InitStream(Bzip2Stream& s, SeekableStream* target, bool compress) {
  return s.Initialize(target, compress, Bzip2Stream::kArchiveBufferSize, 9);
}

// The whole decompressed content, or the failure that ended it early.
template <typename Stream>
ResultCode Decompress(Bytes& packed, Bytes* out) {
  MemoryStream source(packed.data(), static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(packed.size()),
                      MemoryStream::kReadOnly);
  Stream stream;
  ResultCode rc = InitStream(stream, &source, false);
  if (rc < 0) return rc;
  out->clear();
  uint8_t chunk[1 << 16];
  for (;;) {
    uint32_t produced = 0;
    rc = stream.Read(chunk, sizeof chunk, &produced);
    if (rc != RYL_OK) break;
    out->insert(out->end(), chunk, chunk + produced);
  }
  return rc == RYL_E_END_OF_DATA ? RYL_OK : rc;
}

template <typename Stream>
ResultCode Compress(const Bytes& raw, MemoryStream* target) {
  Stream stream;
  ResultCode rc = InitStream(stream, target, true);
  if (rc < 0) return rc;
  for (size_t at = 0; at < raw.size() && rc >= 0; at += 1 << 20) {
    rc = stream.Write(raw.data() + at, static_cast<uint32_t>(std::min<size_t>(1 << 20, raw.size() - at)), nullptr);
  }
  return rc < 0 ? rc : stream.Close();
}

template <typename Stream>
void CheckCase(const std::string& base, const Bytes& raw, const char* theirs, const char* ours, const char* label) {
  Bytes packed;
  Check(ReadFile(base + theirs, &packed), base + theirs + " readable");
  Bytes plain;
  const ResultCode rc = Decompress<Stream>(packed, &plain);
  char code[16];
  std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(rc));
  Check(rc == RYL_OK, std::string(label) + " decompresses " + base + theirs + " (0x" + code + ")");
  Check(plain == raw, std::string(label) + " gives back " + base + ".raw");

  MemoryStream target;
  Check(Compress<Stream>(raw, &target) == RYL_OK, std::string(label) + " compresses " + base + ".raw");
  Check(WriteFile(base + ours, target.data(), target.size()), base + ours + " written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: codec_interop <directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  Bytes list;
  if (!ReadFile(dir + "\\cases.txt", &list)) {
    std::fprintf(stderr, "cannot read %s\\cases.txt\n", dir.c_str());
    return 2;
  }
  std::string names(list.begin(), list.end());
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find('\n', start);
    if (end == std::string::npos) end = names.size();
    const std::string name = names.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    const std::string base = dir + "\\" + name;
    Bytes raw;
    Check(ReadFile(base + ".raw", &raw), base + ".raw readable");
    CheckCase<DeflateStream>(base, raw, ".py.deflate", ".ours.deflate", "DeflateStream");
    CheckCase<Bzip2Stream>(base, raw, ".cli.bz2", ".ours.bz2", "Bzip2Stream");
  }
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 && g_passed != 0 ? 0 : 1;
}
