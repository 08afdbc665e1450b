// The archive reader and writer on the Linux host, over files, for
// tests/zip/methods_interop.py:
//
//   zip_tool list ARCHIVE
//     one line per entry, tab-separated: method id (inside any AES
//     encryption), encryption (as ArchiveEntry::GetEncryption numbers it),
//     compressed size, uncompressed size, readable (0/1), "d" for a
//     directory or "f", and the name in UTF-8 last
//   zip_tool extract ARCHIVE OUTDIR [PASSWORD]
//     every entry under OUTDIR: "ok NAME" or "fail NAME CODE" per entry; a
//     failed entry leaves no file behind, as the library's extract promises;
//     exit 0 only when every entry came out
//   zip_tool create ARCHIVE [--aes PASSWORD] [--zstd N | --deflate N |
//                            --bzip2 N | --store] FILE...
//     a new archive of the files, each under its base name
//
// Exit 1 on any other failure, with the result code on standard error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_files.h"
#include "archive/archive_model.h"
#include "archive/archive_operations.h"
#include "archive/archive_writer.h"
#include "archive/compression_request.h"
#include "archive/entry_coding.h"
#include "archive/zip_records.h"
#include "core/object_ptr.h"
#include "ryl/result.h"
#include "ryl/zip.h"
#include "streams/owned_stream.h"
#include "streams/positioned_stream.h"

namespace {

using ryl::archive::ArchiveModel;
using ryl::archive::EntryRecord;
using ryl::streams::OwnedStream;

// A file by descriptor, closed with the stream.
class FileStream final : public ryl::streams::PositionedStream<FileStream> {
 public:
  explicit FileStream(int fd) noexcept : fd_(fd) {}
  ~FileStream() { Close(); }

  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return RYL_E_ACCESS_DENIED;
    *outSize = static_cast<uint64_t>(info.st_size);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    return ftruncate(fd_, static_cast<off_t>(size)) == 0 ? RYL_OK : RYL_E_ACCESS_DENIED;
  }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override {
    uint32_t done = 0;
    while (done < count) {
      const ssize_t got = pread(fd_, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return RYL_E_ACCESS_DENIED;
      if (got == 0) break;
      done += static_cast<uint32_t>(got);
    }
    if (outDone != nullptr) *outDone = done;
    if (done == 0 && count != 0) return RYL_E_END_OF_DATA;
    return done < count && outDone == nullptr ? RYL_E_END_OF_DATA : RYL_OK;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override {
    uint32_t done = 0;
    while (done < count) {
      const ssize_t put =
          pwrite(fd_, static_cast<const char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return RYL_E_ACCESS_DENIED;
      done += static_cast<uint32_t>(put);
    }
    if (outDone != nullptr) *outDone = done;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override {
    if (fd_ >= 0 && ::close(fd_) != 0) {
      fd_ = -1;
      return RYL_E_ACCESS_DENIED;
    }
    fd_ = -1;
    return RYL_OK;
  }
  uint8_t RYL_THISCALL IsOpen() override { return fd_ >= 0 ? 1 : 0; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

 private:
  int fd_;
};

ResultCode OpenFile(const std::string& path, int flags, OwnedStream* out) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return errno == ENOENT ? RYL_E_FILE_NOT_FOUND : RYL_E_ACCESS_DENIED;
  out->reset(ryl::core::MakeObject<FileStream>(fd));
  if (!*out) {
    ::close(fd);
    return RYL_E_OUT_OF_MEMORY;
  }
  return RYL_OK;
}

// The writer only needs temporary files (to spill an entry compressed at
// once); this tool defers every entry, so the rest is never asked for.
class TemporaryFiles final : public ryl::archive::ArchiveFiles {
 public:
  ResultCode OpenForReading(const char16_t*, OwnedStream*) const noexcept override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode CreateForWriting(const char16_t*, OwnedStream*) const noexcept override { return RYL_E_NOT_IMPLEMENTED; }
  void RemoveIncomplete(const char16_t*) const noexcept override {}
  ResultCode OpenSource(const char16_t*, bool, OwnedStream*) const noexcept override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode CreateNew(const char16_t*, OwnedStream*) const noexcept override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode CreateTemporary(OwnedStream* out) const noexcept override {
    char name[] = "/tmp/zip_tool.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return RYL_E_ACCESS_DENIED;
    unlink(name);
    out->reset(ryl::core::MakeObject<FileStream>(fd));
    if (!*out) {
      ::close(fd);
      return RYL_E_OUT_OF_MEMORY;
    }
    return RYL_OK;
  }
  ResultCode ReplaceWithTemporary(OwnedStream, const char16_t*) const noexcept override {
    return RYL_E_NOT_IMPLEMENTED;
  }
};

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) code = (code << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    i += static_cast<size_t>(extra) + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

int Fail(const char* what, ResultCode rc) {
  const char* name = RylResultName(rc);
  std::fprintf(stderr, "zip_tool: %s: 0x%08X %s\n", what, static_cast<unsigned>(rc), name != nullptr ? name : "");
  return 1;
}

// What ArchiveEntry::GetEncryption reports for the entry.
uint32_t EncryptionOf(const EntryRecord& entry) {
  const ryl::archive::EntryCoding coding = ryl::archive::DescribeCoding(entry.header);
  if (coding.aes) return RYL_ZIP_ENCRYPTION_AES128 + coding.aes->strength - 1u;
  if (coding.aesUnreadable) return RYL_ZIP_ENCRYPTION_UNKNOWN;
  return (entry.header.flags & ryl::archive::kFlagEncrypted) != 0 ? RYL_ZIP_ENCRYPTION_TRADITIONAL
                                                                  : RYL_ZIP_ENCRYPTION_NONE;
}

bool IsDirectory(const EntryRecord& entry) {
  return (entry.header.externalAttributes & ryl::archive::kExternalAttributesDirectory) != 0;
}

int OpenArchive(const std::string& path, ArchiveModel* model) {
  OwnedStream stream;
  ResultCode rc = OpenFile(path, O_RDONLY, &stream);
  if (rc < 0) return Fail("open", rc);
  rc = model->Attach(std::move(stream));
  if (rc < 0) return Fail("attach", rc);
  return 0;
}

int List(const std::string& archive) {
  ArchiveModel model;
  if (const int failed = OpenArchive(archive, &model)) return failed;
  for (const auto& entry : model.entries()) {
    std::printf("%u\t%u\t%llu\t%llu\t%d\t%c\t%s\n", ryl::archive::DescribeCoding(entry->header).method,
                EncryptionOf(*entry), static_cast<unsigned long long>(entry->header.CompressedSize()),
                static_cast<unsigned long long>(entry->header.UncompressedSize()),
                ryl::archive::IsEntryReadable(entry->header) ? 1 : 0, IsDirectory(*entry) ? 'd' : 'f',
                Utf8(entry->header.name).c_str());
  }
  return 0;
}

// A name that stays under the output directory.
bool IsSafeName(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find('/', start), name.size());
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

void MakeParents(const std::string& path) {
  for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0755);
  }
}

// The entry into path, as ZipService's extract does it: a file created for
// it, removed again when the data does not come out whole.
ResultCode ExtractEntry(EntryRecord* entry, const std::string& path) {
  ResultCode rc = entry->OpenData();
  if (rc < 0) return rc;
  OwnedStream file;
  rc = OpenFile(path, O_RDWR | O_CREAT | O_TRUNC, &file);
  if (rc >= 0) {
    rc = entry->CopyDataTo(file.get());
    const ResultCode closed = file->Close();
    if (rc >= 0 && closed < 0) rc = closed;
    file.reset();
    if (rc < 0) unlink(path.c_str());
  }
  entry->CloseData();
  return rc;
}

int Extract(const std::string& archive, const std::string& outDir, const std::optional<std::string>& password) {
  ArchiveModel model;
  if (const int failed = OpenArchive(archive, &model)) return failed;
  const std::u16string password16 = password ? Utf16(*password) : std::u16string();
  bool allOk = true;
  for (const auto& entry : model.entries()) {
    std::string name = Utf8(entry->header.name);
    if (!IsSafeName(name)) {
      std::printf("fail %s unsafe-name\n", name.c_str());
      allOk = false;
      continue;
    }
    const std::string path = outDir + "/" + name;
    MakeParents(path);
    if (IsDirectory(*entry)) {
      mkdir(path.c_str(), 0755);
      continue;
    }
    ResultCode rc = RYL_OK;
    if (password) rc = entry->SetPassword(password16.c_str(), static_cast<int32_t>(password16.size()), 0);
    if (rc >= 0) rc = ExtractEntry(entry.get(), path);
    if (rc < 0) {
      const char* code = RylResultName(rc);
      std::printf("fail %s %08x %s\n", name.c_str(), static_cast<unsigned>(rc), code != nullptr ? code : "");
      allOk = false;
    } else {
      std::printf("ok %s\n", name.c_str());
    }
  }
  return allOk ? 0 : 3;
}

int Create(const std::string& archive, int argc, char** argv) {
  std::optional<std::string> password;
  RylZipCompression compression{ryl::archive::kSelectorDeflate, -1};
  std::vector<std::string> inputs;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--aes" && i + 1 < argc) {
      password = argv[++i];
    } else if (arg == "--zstd" && i + 1 < argc) {
      compression = {ryl::archive::kSelectorZstd, std::atoi(argv[++i])};
    } else if (arg == "--deflate" && i + 1 < argc) {
      compression = {ryl::archive::kSelectorDeflate, std::atoi(argv[++i])};
    } else if (arg == "--bzip2" && i + 1 < argc) {
      compression = {ryl::archive::kSelectorBzip2, std::atoi(argv[++i])};
    } else if (arg == "--store") {
      compression = {0, 0};
    } else {
      inputs.push_back(arg);
    }
  }
  OwnedStream out;
  ResultCode rc = OpenFile(archive, O_RDWR | O_CREAT | O_TRUNC, &out);
  if (rc < 0) return Fail("create", rc);
  TemporaryFiles files;
  const std::u16string password16 = password ? Utf16(*password) : std::u16string();
  const uint64_t now = (static_cast<uint64_t>(std::time(nullptr)) + 11644473600ull) * 10000000ull;
  // The sources must live until the deferred entries are written.
  std::vector<OwnedStream> sources;
  int status = 0;
  {
    ArchiveModel model;
    rc = model.AttachBorrowed(out.get());
    if (rc < 0) status = Fail("attach", rc);
    for (size_t i = 0; status == 0 && i < inputs.size(); ++i) {
      OwnedStream source;
      rc = OpenFile(inputs[i], O_RDONLY, &source);
      if (rc < 0) {
        status = Fail(inputs[i].c_str(), rc);
        break;
      }
      const size_t slash = inputs[i].rfind('/');
      const std::u16string name = Utf16(slash == std::string::npos ? inputs[i] : inputs[i].substr(slash + 1));
      ryl::archive::NewEntryOptions options;
      options.compression = &compression;
      options.defer = true;
      options.time = now;
      if (password) {
        options.password = reinterpret_cast<const RylChar16*>(password16.c_str());
        options.passwordLength = static_cast<int32_t>(password16.size());
        options.passwordSelector = RYL_ZIP_PASSWORD_AES256;
      }
      rc = ryl::archive::AddEntryWithSource(&model, &files, source.get(), name, options, nullptr);
      if (rc < 0) status = Fail(inputs[i].c_str(), rc);
      sources.push_back(std::move(source));
    }
    if (status == 0 && (rc = ryl::archive::WriteEntries(&model, out.get(), 0)) < 0) status = Fail("write entries", rc);
    if (status == 0 && (rc = ryl::archive::WriteDirectory(&model, out.get())) < 0) status = Fail("write directory", rc);
  }
  rc = out->Close();
  if (status == 0 && rc < 0) status = Fail("close", rc);
  out.reset();
  if (status != 0) unlink(archive.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string op = argc > 1 ? argv[1] : "";
  if (op == "list" && argc == 3) return List(argv[2]);
  if (op == "extract" && (argc == 4 || argc == 5)) {
    return Extract(argv[2], argv[3], argc == 5 ? std::optional<std::string>(argv[4]) : std::nullopt);
  }
  if (op == "create" && argc >= 3) return Create(argv[2], argc - 3, argv + 3);
  std::fprintf(stderr,
               "usage: zip_tool list ARCHIVE | extract ARCHIVE OUTDIR [PASSWORD] |\n"
               "       create ARCHIVE [--aes PASSWORD] [--zstd N|--deflate N|--bzip2 N|--store] FILE...\n");
  return 2;
}
