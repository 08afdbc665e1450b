// The archive writer over in-memory files: every kind of entry written at
// once and deferred, read back by the library's reader and, where the host
// has them, by Python's zipfile, Info-ZIP unzip, 7-Zip and bsdtar; existing
// entries copied as their stored bytes; headers the reader cannot list
// carried through; saves that fail leaving the archive as it was; and the
// streaming writer into a stream that cannot seek.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_operations.h"
#include "archive/archive_writer.h"
#include "archive/byte_order.h"
#include "archive/compression_request.h"
#include "archive/spill_buffer_stream.h"
#include "archive/streaming_archive.h"
#include "archive/zip_records.h"
#include "core/host_text.h"
#include "core/object_ptr.h"
#include "hoststreams/memory_host_stream.h"
#include "support/memory_archive_files.h"
#include "streams/memory_stream.h"
#include "streams/positioned_stream.h"
#include "streams/sequential_stream.h"
#include "sys/dos_time.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using Bytes = std::string;
using test::MemoryFiles;

// size bytes made by a rule, as a source; reads fail from failAt on.
class GeneratedSource final : public streams::PositionedStream<GeneratedSource> {
 public:
  GeneratedSource(uint64_t size, char kind, uint64_t failAt = ~uint64_t{0}) noexcept
      : size_(size), kind_(kind), failAt_(failAt) {}
  static char At(char kind, uint64_t i) {
    switch (kind) {
      case 'z': return 0;
      case 't': return "the quick brown fox jumps over the lazy dog\n"[i % 44];
      default: return static_cast<char>((i * 2654435761u) >> 13);  // barely compressible
    }
  }
  static Bytes Make(uint64_t size, char kind) {
    Bytes bytes(static_cast<size_t>(size), '\0');
    for (uint64_t i = 0; i < size; ++i) bytes[i] = At(kind, i);
    return bytes;
  }
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override {
    *outSize = size_;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_ACCESS_DENIED; }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override {
    if (offset + count > failAt_) return RYL_E_ACCESS_DENIED;
    const uint64_t left = offset < size_ ? size_ - offset : 0;
    const auto done = static_cast<uint32_t>(left < count ? left : count);
    auto* out = static_cast<char*>(buffer);
    if (kind_ == 'z') {
      std::memset(out, 0, done);
    } else {
      for (uint32_t i = 0; i < done; ++i) out[i] = At(kind_, offset + i);
    }
    if (outDone != nullptr) *outDone = done;
    return done == 0 && count != 0 ? RYL_E_END_OF_DATA : RYL_OK;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override { return RYL_E_ACCESS_DENIED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return 0; }

 private:
  uint64_t size_;
  char kind_;
  uint64_t failAt_;
};

struct EntryKind {
  const char16_t* name;
  uint64_t size;
  char kind;
  RylZipCompression compression;
  const char16_t* password;
  uint16_t method;  // what the entry is written with
};

// Every method and level, passwords, empty data, a UTF-8 name and a
// request that resolves to stored.
const EntryKind kEntries[] = {
    {u"stored.bin", 3000, 'r', {0, 6}, nullptr, kMethodStored},
    {u"level0.txt", 3000, 't', {kSelectorDeflate, 0}, nullptr, kMethodStored},
    {u"level1.txt", 70000, 't', {kSelectorDeflate, 1}, nullptr, kMethodDeflate},
    {u"level6.bin", 70000, 'r', {kSelectorDeflate, 6}, nullptr, kMethodDeflate},
    {u"level9.txt", 70000, 't', {kSelectorDeflate, 9}, nullptr, kMethodDeflate},
    {u"default.txt", 5000, 't', {kSelectorDeflate, -1}, nullptr, kMethodDeflate},
    {u"bzip2.txt", 250000, 't', {kSelectorBzip2, 900}, nullptr, kMethodBzip2},
    {u"bzip2-level50.txt", 100, 't', {kSelectorBzip2, 50}, nullptr, kMethodStored},
    {u"empty.txt", 0, 't', {kSelectorDeflate, 6}, nullptr, kMethodDeflate},
    {u"sub/secret.txt", 9000, 't', {kSelectorDeflate, 6}, u"pass word", kMethodDeflate},
    {u"sub\\secret-stored.bin", 999, 'r', {0, 0}, u"pass word", kMethodStored},
    {u"secret-empty.txt", 0, 't', {0, 0}, u"pass word", kMethodStored},
    {u"secret-bzip2.txt", 4000, 't', {kSelectorBzip2, 100}, u"pass word", kMethodBzip2},
    {u"\u00fcn\u00efc\u00f6de/\u0444\u0430\u0439\u043b.txt", 100, 't', {kSelectorDeflate, 6}, nullptr,
     kMethodDeflate},
};

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

std::u16string Normalized(const char16_t* name) {
  std::u16string text(name);
  for (char16_t& unit : text) {
    if (unit == u'\\') unit = u'/';
  }
  return text;
}

// Builds an archive of every kind of entry, plus a directory, an entry
// comment and an archive comment, and saves it to path.
void WriteSampleArchive(MemoryFiles& files, const std::u16string& path, bool defer) {
  ArchiveModel model;
  std::vector<core::ObjectPtr<GeneratedSource>> sources;
  for (const EntryKind& row : kEntries) {
    sources.emplace_back(core::MakeObject<GeneratedSource>(row.size, row.kind));
    NewEntryOptions options;
    options.compression = &row.compression;
    options.password = reinterpret_cast<const RylChar16*>(row.password);
    options.passwordLength = row.password != nullptr ? -1 : 0;
    options.defer = defer;
    EntryRecord* entry = nullptr;
    ASSERT_CODE(AddEntryWithSource(&model, &files, sources.back().get(), row.name, options, &entry), RYL_OK);
    if (row.size == 3000) {
      ASSERT_CODE(SetEntryComment(entry, u"an entry comment"), RYL_OK);
    }
  }
  ASSERT_CODE(AddDirectoryEntry(&model, u"empty dir"), RYL_OK);
  ASSERT_CODE(model.SetComment(u"the archive comment"), RYL_OK);
  ASSERT_CODE(SaveToPath(&model, files, path.c_str()), RYL_OK);
  EXPECT_TRUE(model.entries().empty());
  EXPECT_EQ(files.liveTemporaries, 0);
}

Bytes ExtractEntry(EntryRecord& entry) {
  core::ObjectPtr<streams::MemoryStream> sink(core::MakeObject<streams::MemoryStream>());
  EXPECT_CODE(entry.OpenData(), RYL_OK);
  EXPECT_CODE(entry.CopyDataTo(sink.get()), RYL_OK);
  entry.CloseData();
  return Bytes(reinterpret_cast<const char*>(sink->data()), sink->size());
}

void OpenModel(MemoryFiles& files, const std::u16string& path, ArchiveModel* model) {
  streams::OwnedStream stream;
  ASSERT_CODE(files.OpenForReading(path.c_str(), &stream), RYL_OK);
  ASSERT_CODE(model->Attach(std::move(stream)), RYL_OK);
}

// The local header's flags of an entry, read from the archive's bytes.
uint16_t LocalFlags(const Bytes& archive, const EntryRecord& entry) {
  return LoadLe16(reinterpret_cast<const uint8_t*>(archive.data()) + entry.localHeaderOffset + 6);
}

#ifndef _WIN32
// The other tools, natively: each must accept the archive and, for
// zipfile, deliver every entry's bytes as the library wrote them.
void CheckWithOtherTools(const Bytes& archive, const std::string& tag) {
  const std::string path = ::testing::TempDir() + "ryl-writer-" + tag + ".zip";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(archive.data(), 1, archive.size(), file), archive.size());
  std::fclose(file);
  const std::string python =
      "python3 -c \"import sys,zipfile,zlib\n"
      "z=zipfile.ZipFile(sys.argv[1]); z.setpassword(b'pass word')\n"
      "for i in z.infolist():\n"
      "  n=c=0; f=z.open(i)\n"  // zipfile checks the CRC at the end of each entry
      "  for b in iter(lambda: f.read(1<<20), b''): n+=len(b); c=zlib.crc32(b,c)\n"
      "  assert n==i.file_size; print(i.filename, i.compress_type, n, c)\n"
      "\" " + path + " > " + path + ".list";
  EXPECT_EQ(std::system(python.c_str()), 0) << python;
  struct Tool {
    const char* probe;
    std::string command;
  };
  const Tool tools[] = {
      // unzip must also print no warning.
      {"unzip", "unzip -tq -P 'pass word' " + path + " > " + path + ".unzip 2>&1 && ! grep -i warning " + path +
                    ".unzip"},
      {"7z", "7z t -p'pass word' " + path + " > /dev/null"},
      {"bsdtar", "bsdtar -tf " + path + " > /dev/null"},
  };
  for (const Tool& tool : tools) {
    if (std::system((std::string("command -v ") + tool.probe + " > /dev/null").c_str()) != 0) continue;
    EXPECT_EQ(std::system(tool.command.c_str()), 0) << tool.command;
  }
}
#endif

TEST(ArchiveWriter, EveryKindOfEntryReadsBackAsWrittenAndOtherToolsAgree) {
  for (const bool defer : {false, true}) {
    SCOPED_TRACE(defer ? "deferred to the save" : "compressed at once");
    MemoryFiles files;
    WriteSampleArchive(files, u"a.zip", defer);
    ArchiveModel model;
    OpenModel(files, u"a.zip", &model);
    ASSERT_EQ(model.entries().size(), std::size(kEntries) + 1);
    EXPECT_EQ(model.comment(), u"the archive comment");
    const Bytes& bytes = files[u"a.zip"];
    for (size_t i = 0; i < std::size(kEntries); ++i) {
      const EntryKind& row = kEntries[i];
      EntryRecord& entry = *model.entries()[i];
      SCOPED_TRACE(Narrow(entry.header.name));
      EXPECT_EQ(entry.header.name, Normalized(row.name));
      EXPECT_EQ(entry.header.method, row.method);
      EXPECT_EQ(entry.header.versionNeeded, row.method == kMethodDeflate ? 20 : 10);
      const bool secret = row.password != nullptr;
      EXPECT_EQ(entry.header.flags & (kFlagEncrypted | kFlagDataDescriptor),
                secret ? kFlagEncrypted | kFlagDataDescriptor : 0);
      // Bit 11 agrees between the two headers.
      EXPECT_EQ(LocalFlags(bytes, entry), entry.header.flags);
      if (secret && row.method == kMethodStored) {
        EXPECT_EQ(entry.header.CompressedSize(), row.size + kEncryptionHeaderSize);
      }
      if (secret) {
        ASSERT_CODE(entry.SetPassword(u"pass word", -1, 0), RYL_OK);
      }
      EXPECT_EQ(ExtractEntry(entry), GeneratedSource::Make(row.size, row.kind));
    }
    EXPECT_EQ(model.entries().back()->header.name, u"empty dir/");
    EXPECT_EQ(model.entries().back()->header.externalAttributes, kExternalAttributesDirectory);
    EXPECT_EQ(model.entries().back()->header.CompressedSize(), 0u);
#ifndef _WIN32
    CheckWithOtherTools(bytes, defer ? "deferred" : "at-once");
#endif
  }
}

TEST(ArchiveWriter, NamesAndCompressionRequestsAreCheckedAsAdded) {
  ArchiveModel model;
  EntryRecord* entry = nullptr;
  const struct {
    const char16_t* name;
    ResultCode expected;
  } names[] = {
      {u"dir/a.txt", RYL_OK},           {u"dir\\a.txt", RYL_E_ALREADY_EXISTS}, {u"DIR/a.txt", RYL_OK},
      {u"dir//a.txt", RYL_E_ALREADY_EXISTS}, {u"", RYL_E_INVALID_ARG},          {u"/abs", RYL_E_INVALID_ARG},
      {u"\\abs", RYL_E_INVALID_ARG},     {u"//", RYL_E_INVALID_ARG},
  };
  for (const auto& row : names) EXPECT_CODE(model.AddEntry(row.name, &entry), row.expected) << Narrow(row.name);
  EXPECT_EQ(model.entries().size(), 2u);
  ASSERT_CODE(AddDirectoryEntry(&model, u"sub"), RYL_OK);
  EXPECT_CODE(AddDirectoryEntry(&model, u"sub"), RYL_E_ALREADY_EXISTS);
  EXPECT_CODE(AddDirectoryEntry(&model, u"sub\\"), RYL_E_ALREADY_EXISTS);
  EXPECT_EQ(model.entries().size(), 3u);

  const struct {
    RylZipCompression request;
    uint16_t method;
    int32_t level;
  } requests[] = {
      {{2, 6}, kMethodDeflate, 6}, {{2, -1}, kMethodDeflate, -1}, {{2, 0}, kMethodStored, 0},
      {{3, 900}, kMethodBzip2, 9}, {{3, 199}, kMethodBzip2, 1},   {{3, 50}, kMethodStored, 0},
      {{1, 9}, kMethodStored, 0},  {{-7, 3}, kMethodStored, 0},
  };
  for (const auto& row : requests) {
    EntryCompression resolved;
    ASSERT_CODE(ResolveCompression(&row.request, &resolved), RYL_OK);
    EXPECT_EQ(resolved.method, row.method) << row.request.selector << "/" << row.request.level;
    EXPECT_EQ(resolved.level, row.level) << row.request.selector << "/" << row.request.level;
  }
  EntryCompression unused;
  EXPECT_CODE(ResolveCompression(nullptr, &unused), RYL_E_INVALID_ARG);

  // An entry encrypted at once keeps the time its password check was made
  // with; one written later takes any.
  MemoryFiles files;
  core::ObjectPtr<GeneratedSource> source(core::MakeObject<GeneratedSource>(10, 't'));
  RylZipCompression stored{0, 0};
  NewEntryOptions options;
  options.compression = &stored;
  options.password = reinterpret_cast<const RylChar16*>(u"pw");
  options.passwordLength = 2;
  EntryRecord* secret = nullptr;
  ASSERT_CODE(AddEntryWithSource(&model, &files, source.get(), u"secret", options, &secret), RYL_OK);
  // 2001-01-01 and twelve hours later: one of them has another high byte
  // of the DOS time than now.
  uint64_t other = 126227808000000000ull;
  uint16_t date = 0;
  uint16_t time = 0;
  ASSERT_CODE(sys::RylConvertRylTimeToDosDateTime(&date, &time, other), RYL_OK);
  if ((time >> 8) == (secret->header.dosTime >> 8)) other += 12ull * 3600 * 10000000;
  EXPECT_CODE(SetEntryTime(secret, other), RYL_E_INVALID_STATE);
  secret->pending = true;
  EXPECT_CODE(SetEntryTime(secret, other), RYL_OK);
}

TEST(ArchiveWriter, ASaveCopiesExistingEntriesAsTheirStoredBytes) {
  MemoryFiles files;
  WriteSampleArchive(files, u"a.zip", false);
  const Bytes before = files[u"a.zip"];
  ArchiveModel original;
  OpenModel(files, u"a.zip", &original);

  ArchiveModel model;
  OpenModel(files, u"a.zip", &model);
  auto source = core::MakeObject<GeneratedSource>(100, 't');
  core::ObjectPtr<GeneratedSource> owner(source);
  RylZipCompression deflate{kSelectorDeflate, 6};
  NewEntryOptions options;
  options.compression = &deflate;
  ASSERT_CODE(AddEntryWithSource(&model, &files, source, u"new.txt", options, nullptr), RYL_OK);
  model.RemoveEntry(model.Find(u"level1.txt"));
  ASSERT_CODE(SaveToPath(&model, files, u"b.zip"), RYL_OK);
  EXPECT_EQ(files[u"a.zip"], before);

  ArchiveModel saved;
  OpenModel(files, u"b.zip", &saved);
  EXPECT_EQ(saved.entries().size(), original.entries().size());
  EXPECT_EQ(saved.Find(u"level1.txt"), nullptr);
  EXPECT_EQ(saved.comment(), original.comment());
  const Bytes& after = files[u"b.zip"];
  for (auto& old : original.entries()) {
    EntryRecord* copy = saved.Find(old->header.name);
    if (old->header.name == u"level1.txt") continue;
    ASSERT_NE(copy, nullptr) << Narrow(old->header.name);
    CentralHeaderImage expected = old->header;
    expected.localHeaderOffset = copy->header.localHeaderOffset;
    EXPECT_EQ(copy->header, expected) << Narrow(old->header.name);
    streams::OwnedStream oldData;
    streams::OwnedStream newData;
    ASSERT_CODE(old->OpenStoredData(&oldData), RYL_OK);
    ASSERT_CODE(copy->OpenStoredData(&newData), RYL_OK);
    const uint64_t size = old->header.CompressedSize();
    EXPECT_EQ(before.substr(old->dataOffset, size), after.substr(copy->dataOffset, size)) << Narrow(old->header.name);
  }
}

// Name and comment bytes as another tool stored them, and what a save
// makes of them: bytes kept while the texts are untouched (UTF-8 without
// bit 11 as Info-ZIP writes it, invalid UTF-8 under bit 11, OEM), a name
// the reader normalised written in its normal form, and both texts encoded
// afresh as UTF-8 once either is changed. Invalid UTF-8 is not listed but
// carried as a header the reader skips; its bytes must survive too.
struct StoredTextCase {
  const char* name;
  const char* comment;
  uint16_t flags;
  const char16_t* newName;     // SetName before the save, when set
  const char16_t* newComment;  // SetComment before the save, when set
  bool setSameComment;         // SetComment with the text the entry has
  const char* savedName;
  const char* savedComment;
  uint16_t savedBit11;
};
constexpr StoredTextCase kStoredTexts[] = {
    {"\xc3\xbc" "ber.txt", "", 0, nullptr, nullptr, false, "\xc3\xbc" "ber.txt", "", 0},
    {"bad\xff.txt", "\xfe", kFlagUtf8, nullptr, nullptr, false, "bad\xff.txt", "\xfe", kFlagUtf8},
    {"\x81" "ber.txt", "\x81", 0, nullptr, nullptr, false, "\x81" "ber.txt", "\x81", 0},
    {"same.txt", "\x81", 0, nullptr, nullptr, true, "same.txt", "\x81", 0},
    {"dir\\x.txt", "", 0, nullptr, nullptr, false, "dir/x.txt", "", 0},
    {"plain.txt", "\x81", 0, nullptr, u"\u00e9", false, "plain.txt", "\xc3\xa9", kFlagUtf8},
    {"old.txt", "", 0, u"renamed-\u00fc.txt", nullptr, false, "renamed-\xc3\xbc.txt", "", kFlagUtf8},
    {"ascii.txt", "", kFlagUtf8, u"ascii2.txt", nullptr, false, "ascii2.txt", "", 0},
};

Bytes Le(uint32_t value, int bytes) {
  Bytes out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

// A stored entry's local and central header; the CRC is not checked by a
// save, which copies the data as stored.
Bytes RawLocal(const Bytes& name, uint16_t flags, const Bytes& data) {
  const auto size = static_cast<uint32_t>(data.size());
  return Le(kLocalHeaderSignature, 4) + Le(10, 2) + Le(flags, 2) + Le(0, 2) + Le(0x6000, 2) + Le(0x2821, 2) +
         Le(0, 4) + Le(size, 4) + Le(size, 4) + Le(static_cast<uint32_t>(name.size()), 2) + Le(0, 2) + name + data;
}

Bytes RawCentral(const Bytes& name, const Bytes& comment, uint16_t flags, uint32_t size, uint32_t offset) {
  return Le(kCentralHeaderSignature, 4) + Le(20, 2) + Le(10, 2) + Le(flags, 2) + Le(0, 2) + Le(0x6000, 2) +
         Le(0x2821, 2) + Le(0, 4) + Le(size, 4) + Le(size, 4) + Le(static_cast<uint32_t>(name.size()), 2) +
         Le(0, 2) + Le(static_cast<uint32_t>(comment.size()), 2) + Le(0, 2) + Le(0, 2) + Le(0x20, 4) +
         Le(offset, 4) + name + comment;
}

Bytes ArchiveOfRows() {
  Bytes body;
  Bytes directory;
  for (const StoredTextCase& row : kStoredTexts) {
    directory += RawCentral(row.name, row.comment, row.flags, 5, static_cast<uint32_t>(body.size()));
    body += RawLocal(row.name, row.flags, "hello");
  }
  const auto count = static_cast<uint32_t>(std::size(kStoredTexts));
  return body + directory + Le(kEndRecordSignature, 4) + Le(0, 4) + Le(count, 2) + Le(count, 2) +
         Le(static_cast<uint32_t>(directory.size()), 4) + Le(static_cast<uint32_t>(body.size()), 4) + Le(0, 2);
}

// The central headers of a small archive as stored, with the flags and
// name of the local header each points at.
struct RawEntry {
  uint16_t flags;
  Bytes name;
  Bytes comment;
  uint16_t localFlags;
  Bytes localName;
};
std::vector<RawEntry> RawEntriesOf(const Bytes& archive) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(archive.data());
  const size_t end = archive.size() - kEndRecordSize;
  std::vector<RawEntry> entries;
  for (size_t at = LoadLe32(bytes + end + 16); at < end && LoadLe32(bytes + at) == kCentralHeaderSignature;) {
    const uint16_t nameLength = LoadLe16(bytes + at + 28);
    const uint16_t extraLength = LoadLe16(bytes + at + 30);
    const uint16_t commentLength = LoadLe16(bytes + at + 32);
    const uint32_t local = LoadLe32(bytes + at + 42);
    entries.push_back({LoadLe16(bytes + at + 8), archive.substr(at + kCentralHeaderSize, nameLength),
                       archive.substr(at + kCentralHeaderSize + nameLength + extraLength, commentLength),
                       LoadLe16(bytes + local + 6),
                       archive.substr(local + kLocalHeaderSize, LoadLe16(bytes + local + 26))});
    at += kCentralHeaderSize + nameLength + extraLength + commentLength;
  }
  return entries;
}

TEST(ArchiveWriter, ASaveKeepsStoredNameBytesUntilTheTextChanges) {
  MemoryFiles files;
  files[u"a.zip"] = ArchiveOfRows();
  ArchiveModel model;
  OpenModel(files, u"a.zip", &model);
  for (const StoredTextCase& row : kStoredTexts) {
    if (row.newName == nullptr && row.newComment == nullptr && !row.setSameComment) continue;
    const Bytes ascii = row.name;  // the rows that change something have ASCII names
    EntryRecord* entry = model.Find(std::u16string(ascii.begin(), ascii.end()));
    ASSERT_NE(entry, nullptr) << row.name;
    if (row.newName != nullptr) {
      ASSERT_CODE(SetEntryName(entry, row.newName), RYL_OK);
    }
    if (row.newComment != nullptr) {
      ASSERT_CODE(SetEntryComment(entry, row.newComment), RYL_OK);
    }
    if (row.setSameComment) {
      ASSERT_CODE(SetEntryComment(entry, std::u16string(entry->header.comment)), RYL_OK);
    }
  }
  ASSERT_CODE(SaveToPath(&model, files, u"b.zip"), RYL_OK);

  const std::vector<RawEntry> saved = RawEntriesOf(files[u"b.zip"]);
  ASSERT_EQ(saved.size(), std::size(kStoredTexts));
  for (const StoredTextCase& row : kStoredTexts) {
    SCOPED_TRACE(row.savedName);
    auto found = std::find_if(saved.begin(), saved.end(), [&](const RawEntry& e) { return e.name == row.savedName; });
    ASSERT_NE(found, saved.end());
    EXPECT_EQ(found->comment, row.savedComment);
    EXPECT_EQ(found->flags & kFlagUtf8, row.savedBit11);
    EXPECT_EQ(found->localName, row.savedName);
    EXPECT_EQ(found->localFlags & kFlagUtf8, row.savedBit11);
  }
}

// Renames an entry in place, in its local and its central header, to a
// name of the same length that the reader refuses.
Bytes WithNameReplaced(Bytes archive, const std::string& from, const std::string& to) {
  for (size_t at = archive.find(from); at != Bytes::npos; at = archive.find(from, at + 1)) {
    archive.replace(at, from.size(), to);
  }
  return archive;
}

TEST(ArchiveWriter, HeadersTheReaderCannotListAreCarriedThroughASave) {
  MemoryFiles files;
  WriteSampleArchive(files, u"a.zip", false);
  files[u"bad.zip"] = WithNameReplaced(files[u"a.zip"], "level6.bin", "/evel6.bin");
  ArchiveModel model;
  OpenModel(files, u"bad.zip", &model);
  ASSERT_EQ(model.carried().size(), 1u);
  const Bytes record(model.carried().front().record.begin(), model.carried().front().record.end());
  ASSERT_CODE(AddDirectoryEntry(&model, u"added"), RYL_OK);
  ASSERT_CODE(SaveToPath(&model, files, u"saved.zip"), RYL_OK);

  const Bytes& saved = files[u"saved.zip"];
  ArchiveModel reopened;
  OpenModel(files, u"saved.zip", &reopened);
  ASSERT_EQ(reopened.carried().size(), 1u);
  EXPECT_NE(reopened.Find(u"added/"), nullptr);
  // The same header but for where its local record now starts, and that
  // local record with the same data.
  Bytes carried(reopened.carried().front().record.begin(), reopened.carried().front().record.end());
  const uint32_t offset = reopened.carried().front().StoredLocalHeaderOffset();
  carried.replace(42, 4, record.substr(42, 4));
  EXPECT_EQ(carried, record);
  EXPECT_EQ(saved.substr(offset + 30, 10), "/evel6.bin");
  const Bytes original = files[u"bad.zip"];
  const uint32_t oldOffset = LoadLe32(reinterpret_cast<const uint8_t*>(record.data()) + 42);
  const uint32_t compressed = LoadLe32(reinterpret_cast<const uint8_t*>(record.data()) + 20);
  EXPECT_EQ(saved.substr(offset, 40 + compressed), original.substr(oldOffset, 40 + compressed));
}

// What every entry of a model delivers, encrypted ones with the sample's
// password.
std::vector<Bytes> ContentsOfEntries(ArchiveModel& model) {
  std::vector<Bytes> contents;
  for (auto& entry : model.entries()) {
    if ((entry->header.flags & kFlagEncrypted) != 0) {
      EXPECT_CODE(entry->SetPassword(u"pass word", -1, 0), RYL_OK);
    }
    contents.push_back(ExtractEntry(*entry));
  }
  return contents;
}

TEST(ArchiveWriter, AnArchiveBehindAStubIsReadWholeAndASaveKeepsTheStub) {
  MemoryFiles files;
  WriteSampleArchive(files, u"a.zip", false);
  // With a header the reader cannot list, whose record a save carries.
  files[u"plain.zip"] = WithNameReplaced(files[u"a.zip"], "level6.bin", "/evel6.bin");
  const Bytes stub = "MZ" + Bytes(5000, 's');
  files[u"sfx.zip"] = stub + files[u"plain.zip"];

  ArchiveModel plain;
  OpenModel(files, u"plain.zip", &plain);
  EXPECT_EQ(plain.prefix_length(), 0u);
  ArchiveModel model;
  OpenModel(files, u"sfx.zip", &model);
  EXPECT_EQ(model.prefix_length(), stub.size());
  ASSERT_EQ(model.entries().size(), plain.entries().size());
  EXPECT_EQ(model.carried().size(), 1u);
  EXPECT_TRUE(model.directory_complete());
  const std::vector<Bytes> expected = ContentsOfEntries(plain);
  EXPECT_EQ(ContentsOfEntries(model), expected);

  ASSERT_CODE(AddDirectoryEntry(&model, u"added"), RYL_OK);
  ASSERT_CODE(SaveToPath(&model, files, u"saved.zip"), RYL_OK);
  const Bytes saved = files[u"saved.zip"];
  EXPECT_EQ(saved.substr(0, stub.size()), stub);
  // Saved with offsets from the start of the file: nothing to correct.
  ArchiveModel reopened;
  OpenModel(files, u"saved.zip", &reopened);
  EXPECT_EQ(reopened.prefix_length(), 0u);
  ASSERT_EQ(reopened.entries().size(), expected.size() + 1);
  EXPECT_EQ(reopened.carried().size(), 1u);
  std::vector<Bytes> contents = ContentsOfEntries(reopened);
  contents.pop_back();
  EXPECT_EQ(contents, expected);
  const uint32_t carriedAt = reopened.carried().front().StoredLocalHeaderOffset();
  EXPECT_EQ(saved.substr(carriedAt + 30, 10), "/evel6.bin");
#ifndef _WIN32
  CheckWithOtherTools(saved, "behind-stub");
#endif
  // An empty archive behind a stub has no directory to find and stays empty.
  files[u"empty.zip"] = stub + Le(kEndRecordSignature, 4) + Bytes(18, '\0');
  ArchiveModel empty;
  OpenModel(files, u"empty.zip", &empty);
  EXPECT_EQ(empty.prefix_length(), 0u);
  EXPECT_TRUE(empty.entries().empty());
}

TEST(ArchiveWriter, ASaveThatWouldLoseEntriesIsRefusedAndChangesNothing) {
  MemoryFiles files;
  WriteSampleArchive(files, u"a.zip", false);
  Bytes cut = files[u"a.zip"];
  // The third central header's name length runs past the end: the reader
  // lists two entries and stops.
  size_t header = cut.find("PK\x01\x02");
  for (int i = 0; i < 2; ++i) header = cut.find("PK\x01\x02", header + 4);
  cut[header + 28] = '\xFF';
  cut[header + 29] = '\xFF';
  files[u"cut.zip"] = cut;
  const int temporaries = files.temporariesMade;
  ArchiveModel model;
  OpenModel(files, u"cut.zip", &model);
  EXPECT_EQ(model.entries().size(), 2u);
  EXPECT_FALSE(model.directory_complete());
  EXPECT_CODE(SaveToPath(&model, files, u"cut.zip"), RYL_E_BAD_FORMAT);
  EXPECT_EQ(files[u"cut.zip"], cut);
  EXPECT_EQ(files.temporariesMade, temporaries);
}

TEST(ArchiveWriter, AFailedSaveLeavesTheArchiveAndNoTemporaryFile) {
  MemoryFiles files;
  WriteSampleArchive(files, u"a.zip", false);
  const Bytes before = files[u"a.zip"];
  RylZipCompression deflate{kSelectorDeflate, 6};
  NewEntryOptions options;
  options.compression = &deflate;
  options.defer = true;

  // A source that fails half-way, read only during the save.
  {
    ArchiveModel model;
    OpenModel(files, u"a.zip", &model);
    core::ObjectPtr<GeneratedSource> source(core::MakeObject<GeneratedSource>(500000, 'r', 200000));
    ASSERT_CODE(AddEntryWithSource(&model, &files, source.get(), u"failing.bin", options, nullptr), RYL_OK);
    EXPECT_CODE(SaveToPath(&model, files, u"a.zip"), RYL_E_ACCESS_DENIED);
    EXPECT_EQ(files[u"a.zip"], before);
    EXPECT_EQ(files.liveTemporaries, 0);
    EXPECT_EQ(model.entries().size(), std::size(kEntries) + 2);
  }
  // A temporary volume that fills.
  {
    files.temporaryCapacity = before.size() / 2;
    ArchiveModel model;
    OpenModel(files, u"a.zip", &model);
    EXPECT_CODE(SaveToPath(&model, files, u"a.zip"), RYL_E_ACCESS_DENIED);
    EXPECT_EQ(files[u"a.zip"], before);
    EXPECT_EQ(files.liveTemporaries, 0);
    files.temporaryCapacity = 0;
  }
  // The final replacement fails: the model shows the unchanged file again.
  {
    files.failReplace = true;
    ArchiveModel model;
    OpenModel(files, u"a.zip", &model);
    model.RemoveEntry(model.entries().front().get());
    EXPECT_CODE(SaveToPath(&model, files, u"b.zip", u"a.zip"), RYL_E_ACCESS_DENIED);
    EXPECT_EQ(files[u"a.zip"], before);
    EXPECT_EQ(files.files.count(u"b.zip"), 0u);
    EXPECT_EQ(files.liveTemporaries, 0);
    ASSERT_EQ(model.entries().size(), std::size(kEntries) + 1);
    EXPECT_EQ(ExtractEntry(*model.entries().front()), GeneratedSource::Make(3000, 'r'));
  }
}

TEST(ArchiveWriter, EntriesCompressedAtOnceMoveToATemporaryFileWhenTheyGrowLarge) {
  MemoryFiles files;
  ArchiveModel model;
  const uint64_t size = SpillBufferStream::kMemoryLimit + 4096;
  core::ObjectPtr<GeneratedSource> source(core::MakeObject<GeneratedSource>(size, 'r'));
  RylZipCompression stored{0, 0};
  NewEntryOptions options;
  options.compression = &stored;
  ASSERT_CODE(AddEntryWithSource(&model, &files, source.get(), u"large.bin", options, nullptr), RYL_OK);
  EXPECT_EQ(files.liveTemporaries, 1);
  ASSERT_CODE(SaveToPath(&model, files, u"large.zip"), RYL_OK);
  EXPECT_EQ(files.liveTemporaries, 0);
  ArchiveModel reopened;
  OpenModel(files, u"large.zip", &reopened);
  ASSERT_EQ(reopened.entries().size(), 1u);
  EXPECT_EQ(ExtractEntry(*reopened.entries().front()), GeneratedSource::Make(size, 'r'));
}

// The streaming writer over a host stream whose Seek fails, as a pipe's.
class PipeWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    writer_.set_files(&files_);
    ASSERT_CODE(writer_.OpenOnStream(&pipe_), RYL_OK);
  }
  ResultCode Add(HostStream* source, const char16_t* name, RylZipCompression compression,
                 const char16_t* password = nullptr) {
    const auto* text = reinterpret_cast<const RylChar16*>(name);
    return writer_.AddEntryFromStream(source, text, core::kZeroTerminated, &compression,
                                      reinterpret_cast<const RylChar16*>(password), password ? -1 : 0, 0, nullptr,
                                      0, ~uint64_t{0});
  }
  MemoryFiles files_;
  host::MemoryHostStream<std::string> pipe_;
  StreamingArchiveImpl writer_;
};

TEST_F(PipeWriter, EveryEntryGetsADataDescriptorAndTheArchiveReadsBack) {
  host::MemoryHostStream<std::string> first(GeneratedSource::Make(20000, 't'));
  host::MemoryHostStream<std::string> second(GeneratedSource::Make(3000, 'r'));
  ASSERT_CODE(writer_.AddDirectory(reinterpret_cast<const RylChar16*>(u"d"), 1), RYL_OK);
  ASSERT_CODE(Add(&first, u"d/first.txt", {kSelectorDeflate, 6}), RYL_OK);
  ASSERT_CODE(Add(&second, u"second.bin", {0, 0}, u"pass word"), RYL_OK);
  EXPECT_CODE(Add(&second, u"d\\first.txt", {0, 0}), RYL_E_ALREADY_EXISTS);
  ASSERT_CODE(writer_.Close(), RYL_OK);
  EXPECT_CODE(writer_.Close(), RYL_E_NOT_OPEN);

  files_[u"pipe.zip"] = pipe_.data;
  ArchiveModel model;
  OpenModel(files_, u"pipe.zip", &model);
  ASSERT_EQ(model.entries().size(), 3u);
  EXPECT_EQ(model.entries()[0]->header.name, u"d/");
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_NE(model.entries()[i]->header.flags & kFlagDataDescriptor, 0) << i;
    EXPECT_EQ(LocalFlags(pipe_.data, *model.entries()[i]), model.entries()[i]->header.flags);
  }
  EXPECT_EQ(ExtractEntry(*model.entries()[1]), GeneratedSource::Make(20000, 't'));
  ASSERT_CODE(model.entries()[2]->SetPassword(u"pass word", -1, 0), RYL_OK);
  EXPECT_EQ(ExtractEntry(*model.entries()[2]), GeneratedSource::Make(3000, 'r'));
#ifndef _WIN32
  CheckWithOtherTools(pipe_.data, "pipe");
#endif
}

TEST(ArchiveWriter, AnEntryOfFourGibibytesAndOneByteGetsZip64RecordsAndAWideDescriptor) {
  MemoryFiles files_;
  const uint64_t size = (uint64_t{4} << 30) + 1;
  core::ObjectPtr<GeneratedSource> zeros(core::MakeObject<GeneratedSource>(size, 'z'));
  ArchiveModel model;
  RylZipCompression deflate{kSelectorDeflate, 1};
  NewEntryOptions options;
  options.compression = &deflate;
  options.defer = true;
  // Through the model directly: the generated source is not a host stream.
  files_[u"big.zip"];
  streams::OwnedStream out;
  ASSERT_CODE(files_.OpenForReading(u"big.zip", &out), RYL_OK);
  ASSERT_CODE(model.AttachBorrowed(out.get()), RYL_OK);
  EntryRecord* entry = nullptr;
  ASSERT_CODE(AddEntryWithSource(&model, &files_, zeros.get(), u"zeros.bin", options, &entry), RYL_OK);
  entry->header.flags |= kFlagDataDescriptor;
  ASSERT_CODE(WriteEntries(&model, out.get(), 0), RYL_OK);
  ASSERT_CODE(WriteDirectory(&model, out.get()), RYL_OK);
  out.reset();
  model.Clear();

  ArchiveModel reopened;
  OpenModel(files_, u"big.zip", &reopened);
  ASSERT_EQ(reopened.entries().size(), 1u);
  EntryRecord& big = *reopened.entries().front();
  EXPECT_EQ(big.header.UncompressedSize(), size);
  EXPECT_EQ(big.header.versionNeeded, kVersionNeededZip64);
  ASSERT_TRUE(big.header.zip64.has_value());
  // The descriptor after the data holds 64-bit sizes.
  const Bytes& bytes = files_[u"big.zip"];
  ASSERT_CODE(big.OpenData(), RYL_OK);  // finds the data offset
  const uint64_t descriptor = big.dataOffset + big.header.CompressedSize();
  ASSERT_LE(descriptor + 28, bytes.size());
  const auto* at = reinterpret_cast<const uint8_t*>(bytes.data()) + descriptor;
  EXPECT_EQ(LoadLe32(at), kDataDescriptorSignature);
  EXPECT_EQ(LoadLe64(at + 8), big.header.CompressedSize());
  EXPECT_EQ(LoadLe64(at + 16), size);
  EXPECT_EQ(LoadLe32(at + 24), kCentralHeaderSignature);
  class CountingSink final : public streams::SequentialStream<CountingSink> {
   public:
    ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
    ResultCode RYL_THISCALL Write(const void*, uint32_t count, uint32_t* outDone) override {
      total += count;
      if (outDone != nullptr) *outDone = count;
      return RYL_OK;
    }
    void RYL_THISCALL Dispose() override {}
    ResultCode RYL_THISCALL Close() override { return RYL_OK; }
    uint8_t RYL_THISCALL IsOpen() override { return 1; }
    uint8_t RYL_THISCALL CanRead() override { return 0; }
    uint8_t RYL_THISCALL CanWrite() override { return 1; }
    uint64_t total = 0;
  } sink;
  // CRC and size checked by the reader.
  EXPECT_CODE(big.CopyDataTo(&sink), RYL_OK);
  EXPECT_EQ(sink.total, size);
#ifndef _WIN32
  CheckWithOtherTools(bytes, "zip64");
#endif
}

}  // namespace
}  // namespace ryl::archive
