// The AES, LZMA, zstd and xz entries through the archive model: the AES
// streams' verifier and authentication code against every single-byte
// change of the stored bytes, the reader's gate for each method and
// version, the methods and encryption the entry objects report, and the
// writer's AES-256 and zstd entries read back, with AE-1's CRC and AE-2's
// lack of one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/aes_cipher_streams.h"
#include "archive/archive_operations.h"
#include "archive/archive_writer.h"
#include "archive/compression_request.h"
#include "archive/entry_coding.h"
#include "archive/winzip_aes_record.h"
#include "archive/zip_objects.h"
#include "archive/zip_records.h"
#include "archive_test_support.h"
#include "core/object_ptr.h"
#include "hoststreams/memory_host_stream.h"
#include "streams/memory_stream.h"
#include "support/memory_archive_files.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using Bytes = std::string;
using test::MemoryFiles;

core::ObjectPtr<streams::MemoryStream> MemoryOver(const Bytes& bytes) {
  core::ObjectPtr<streams::MemoryStream> stream(core::MakeObject<streams::MemoryStream>());
  uint32_t done = 0;
  EXPECT_CODE(stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), RYL_OK);
  EXPECT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  return stream;
}

Bytes Contents(streams::MemoryStream& stream) {
  return Bytes(reinterpret_cast<const char*>(stream.data()), stream.size());
}

Bytes Encrypt(const Bytes& plain, uint8_t strength, const Bytes& password) {
  core::ObjectPtr<streams::MemoryStream> out(core::MakeObject<streams::MemoryStream>());
  core::ObjectPtr<AesEncryptingStream> aes(core::MakeObject<AesEncryptingStream>());
  EXPECT_CODE(aes->Open(out.get(), strength, reinterpret_cast<const uint8_t*>(password.data()), password.size()),
              RYL_OK);
  uint32_t done = 0;
  // In uneven pieces, so that the key stream continues across writes.
  for (size_t at = 0; at < plain.size(); at += 777) {
    const size_t n = std::min<size_t>(777, plain.size() - at);
    EXPECT_CODE(aes->Write(plain.data() + at, static_cast<uint32_t>(n), &done), RYL_OK);
  }
  EXPECT_CODE(aes->Finish(), RYL_OK);
  return Contents(*out);
}

struct Decrypted {
  ResultCode code = RYL_OK;
  Bytes data;
};

Decrypted Decrypt(const Bytes& stored, uint8_t strength, const Bytes& password, uint64_t storedSize) {
  auto source = MemoryOver(stored);
  core::ObjectPtr<AesDecryptingStream> aes(core::MakeObject<AesDecryptingStream>());
  Decrypted result;
  result.code = aes->Open(source.get(), storedSize, strength, reinterpret_cast<const uint8_t*>(password.data()),
                          password.size());
  if (result.code < 0) return result;
  char buffer[1000];
  for (;;) {
    uint32_t done = 0;
    const ResultCode rc = aes->Read(buffer, sizeof buffer, &done);
    result.data.append(buffer, done);
    if (rc < 0 && rc != RYL_E_END_OF_DATA) {
      result.code = rc;
      return result;
    }
    if (rc < 0 || done == 0) break;
  }
  result.code = aes->Finish();
  return result;
}

TEST(AesStreams, EveryStrengthRoundTripsAndStoresSaltVerifierAndCode) {
  for (uint8_t strength : {1, 2, 3}) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{4095}, size_t{70001}}) {
      SCOPED_TRACE(testing::Message() << "strength " << int{strength} << " size " << size);
      Bytes plain(size, '\0');
      for (size_t i = 0; i < size; ++i) plain[i] = static_cast<char>(i * 31 + (i >> 8));
      const Bytes stored = Encrypt(plain, strength, "pass word");
      ASSERT_EQ(stored.size(), size + AesEncryptingStream::Overhead(strength));
      if (size >= 16) {
        // Counter mode: never the plain text, and never a repeating key
        // stream between neighbouring blocks.
        EXPECT_NE(stored.substr(4 + 4 * strength + 2, size), plain);
      }
      const Decrypted back = Decrypt(stored, strength, "pass word", stored.size());
      EXPECT_CODE(back.code, RYL_OK);
      EXPECT_EQ(back.data, plain);
    }
  }
  // Two encryptions of the same data differ: the salt is drawn each time.
  EXPECT_NE(Encrypt("same", 3, "pw"), Encrypt("same", 3, "pw"));
}

TEST(AesStreams, NoChangedByteOfTheStoredDataDecryptsAsGood) {
  const Bytes plain = "forty bytes of secret text, give or take";
  const Bytes stored = Encrypt(plain, 3, "pw");
  for (size_t at = 0; at < stored.size(); ++at) {
    for (uint8_t bit : {uint8_t{0x01}, uint8_t{0x80}}) {
      Bytes changed = stored;
      changed[at] = static_cast<char>(changed[at] ^ bit);
      const Decrypted got = Decrypt(changed, 3, "pw", changed.size());
      SCOPED_TRACE(testing::Message() << "byte " << at << " bit " << int{bit});
      // Salt and verifier: the verifier no longer matches (or, once in
      // 65536, the code catches it); data and code: the code.
      if (at < 18) {
        EXPECT_TRUE(got.code == RYL_E_WRONG_PASSWORD || got.code == RYL_E_BAD_FORMAT) << std::hex << got.code;
      } else {
        EXPECT_CODE(got.code, RYL_E_BAD_FORMAT);
      }
    }
  }
  const Decrypted wrong = Decrypt(stored, 3, "pW", stored.size());
  EXPECT_TRUE(wrong.code == RYL_E_WRONG_PASSWORD || wrong.code == RYL_E_BAD_FORMAT);
  // The same bytes taken as AES-128 (a different salt length).
  EXPECT_TRUE(Decrypt(stored, 1, "pw", stored.size()).code < 0);
}

TEST(AesStreams, StoredSizesThatCannotHoldTheFramingAreRefused) {
  const Bytes stored = Encrypt("abc", 3, "pw");
  struct Case {
    const char* what;
    Bytes bytes;
    uint64_t storedSize;
    ResultCode code;
  };
  const Case cases[] = {
      {"no room for the code", stored, 16 + 2 + 9, RYL_E_BAD_FORMAT},
      {"nothing at all", "", 0, RYL_E_BAD_FORMAT},
      {"salt cut short", stored.substr(0, 10), stored.size(), RYL_E_BAD_FORMAT},
      {"code cut short", stored.substr(0, stored.size() - 4), stored.size(), RYL_E_BAD_FORMAT},
      {"size one short", stored, stored.size() - 1, RYL_E_BAD_FORMAT},
      {"exactly framing, no data", Encrypt("", 3, "pw"), 28, RYL_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_CODE(Decrypt(c.bytes, 3, "pw", c.storedSize).code, c.code);
  }
  core::ObjectPtr<AesEncryptingStream> aes(core::MakeObject<AesEncryptingStream>());
  core::ObjectPtr<streams::MemoryStream> out(core::MakeObject<streams::MemoryStream>());
  EXPECT_CODE(aes->Open(out.get(), 4, nullptr, 0), RYL_E_INVALID_ARG);
}

CentralHeaderImage Header(uint16_t method, uint16_t version, const AesRecord* aes = nullptr) {
  CentralHeaderImage header;
  header.method = method;
  header.versionNeeded = version;
  if (aes != nullptr) EXPECT_CODE(SetAesRecord(&header.extras, aes), RYL_OK);
  return header;
}

TEST(EntryCoding, TheGateTakesNewMethodsUpToVersion63AndKeepsTheOldGateForTheRest) {
  const AesRecord deflated{kAesVersion2, 3, kMethodDeflate};
  const AesRecord lzma{kAesVersion1, 1, kMethodLzma};
  const AesRecord ppmd{kAesVersion2, 3, 98};
  struct Case {
    const char* what;
    CentralHeaderImage header;
    bool readable;
    uint16_t method;
  };
  const Case cases[] = {
      {"deflate 2.0", Header(kMethodDeflate, 20), true, kMethodDeflate},
      {"deflate 6.3 stays refused", Header(kMethodDeflate, 63), false, kMethodDeflate},
      {"implode 1.0 delivered as stored", Header(6, 10), true, 6},
      {"LZMA 6.3", Header(kMethodLzma, 63), true, kMethodLzma},
      {"LZMA 6.3 from Unix", Header(kMethodLzma, 0x033F), true, kMethodLzma},
      {"LZMA 6.4", Header(kMethodLzma, 64), false, kMethodLzma},
      {"zstd 6.3", Header(kMethodZstd, 63), true, kMethodZstd},
      {"xz 6.3", Header(kMethodXz, 63), true, kMethodXz},
      {"PPMd 6.3", Header(98, 63), false, 98},
      {"AES around deflate, 5.1", Header(kMethodAes, 51, &deflated), true, kMethodDeflate},
      {"AES around LZMA, 6.3", Header(kMethodAes, 63, &lzma), true, kMethodLzma},
      {"AES around PPMd", Header(kMethodAes, 63, &ppmd), false, 98},
      {"AES without a record", Header(kMethodAes, 51), false, kMethodAes},
      {"AES 2.0 without a record", Header(kMethodAes, 20), false, kMethodAes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsEntryReadable(c.header), c.readable);
    EXPECT_EQ(DescribeCoding(c.header).method, c.method);
  }
}

TEST(WinZipAesRecord, OnlyWellFormedRecordsCount) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    bool valid;
  };
  const Case cases[] = {
      {"AE-2, 256 bits, deflate", {2, 0, 'A', 'E', 3, 8, 0}, true},
      {"AE-1, 128 bits, stored", {1, 0, 'A', 'E', 1, 0, 0}, true},
      {"version 3", {3, 0, 'A', 'E', 3, 8, 0}, false},
      {"strength 0", {2, 0, 'A', 'E', 0, 8, 0}, false},
      {"strength 4", {2, 0, 'A', 'E', 4, 8, 0}, false},
      {"vendor AF", {2, 0, 'A', 'F', 3, 8, 0}, false},
      {"6 bytes", {2, 0, 'A', 'E', 3, 8}, false},
      {"8 bytes", {2, 0, 'A', 'E', 3, 8, 0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<ExtraRecord> extras = {{0x5455, {1, 2, 3, 4, 5}}, {kAesExtraId, c.data}};
    EXPECT_EQ(FindAesRecord(extras).has_value(), c.valid);
  }
}

TEST(CompressionRequest, ZstdLevelsAreClampedAndZeroStillStores) {
  struct Case {
    int32_t level;
    uint16_t method;
    int32_t resolved;
  };
  const Case cases[] = {{1, kMethodZstd, 1},   {19, kMethodZstd, 19}, {22, kMethodZstd, 22}, {23, kMethodZstd, 22},
                        {1000, kMethodZstd, 22}, {-1, kMethodZstd, 3},  {-50, kMethodZstd, 3}, {0, kMethodStored, 0}};
  for (const Case& c : cases) {
    const RylZipCompression request{kSelectorZstd, c.level};
    EntryCompression got;
    ASSERT_CODE(ResolveCompression(&request, &got), RYL_OK);
    EXPECT_EQ(got.method, c.method) << c.level;
    EXPECT_EQ(got.level, c.resolved) << c.level;
  }
}

struct Row {
  const char16_t* name;
  RylZipCompression compression;
  int32_t passwordSelector;  // -1: no password
  uint16_t method;           // in the header
  uint16_t methodId;         // GetMethodId
  uint32_t apiMethod;        // GetMethod
  uint32_t encryption;
  uint16_t versionNeeded;
};

const Row kRows[] = {
    {u"aes-deflate.txt", {2, 6}, RYL_ZIP_PASSWORD_AES256, kMethodAes, kMethodDeflate, RYL_ZIP_METHOD_DEFLATE,
     RYL_ZIP_ENCRYPTION_AES256, 51},
    {u"aes-stored.txt", {0, 0}, RYL_ZIP_PASSWORD_AES256, kMethodAes, kMethodStored, RYL_ZIP_METHOD_STORED,
     RYL_ZIP_ENCRYPTION_AES256, 51},
    {u"aes-bzip2.txt", {3, 900}, RYL_ZIP_PASSWORD_AES256, kMethodAes, kMethodBzip2, RYL_ZIP_METHOD_BZIP2,
     RYL_ZIP_ENCRYPTION_AES256, 51},
    {u"aes-zstd.txt", {93, 9}, RYL_ZIP_PASSWORD_AES256, kMethodAes, kMethodZstd, RYL_ZIP_METHOD_OTHER,
     RYL_ZIP_ENCRYPTION_AES256, 63},
    {u"zstd.txt", {93, 19}, -1, kMethodZstd, kMethodZstd, RYL_ZIP_METHOD_OTHER, RYL_ZIP_ENCRYPTION_NONE, 63},
    {u"traditional.txt", {2, 6}, 0, kMethodDeflate, kMethodDeflate, RYL_ZIP_METHOD_DEFLATE,
     RYL_ZIP_ENCRYPTION_TRADITIONAL, 20},
    {u"selector 7 is traditional.txt", {2, 6}, 7, kMethodDeflate, kMethodDeflate, RYL_ZIP_METHOD_DEFLATE,
     RYL_ZIP_ENCRYPTION_TRADITIONAL, 20},
};

Bytes SampleText() {
  Bytes text;
  for (int line = 0; line < 3000; ++line) text += "line " + std::to_string(line) + " of the sample\n";
  return text;
}

void WriteRows(MemoryFiles& files, const std::u16string& path, bool defer) {
  ArchiveModel model;
  const Bytes text = SampleText();
  std::vector<core::ObjectPtr<streams::MemoryStream>> sources;
  for (const Row& row : kRows) {
    sources.push_back(MemoryOver(text));
    NewEntryOptions options;
    options.compression = &row.compression;
    if (row.passwordSelector >= 0) {
      options.password = reinterpret_cast<const RylChar16*>(u"s\u00e9same");
      options.passwordLength = -1;
      options.passwordSelector = row.passwordSelector;
    }
    options.defer = defer;
    EntryRecord* entry = nullptr;
    ASSERT_CODE(AddEntryWithSource(&model, &files, sources.back().get(), row.name, options, &entry), RYL_OK);
  }
  ASSERT_CODE(SaveToPath(&model, files, path.c_str()), RYL_OK);
}

ResultCode ExtractThrough(ArchiveEntryImpl& entry, Bytes* out) {
  host::MemoryHostStream<std::string> sink(Bytes("kept"));
  sink.writePosition = 4;
  const ResultCode rc = entry.ExtractTo(&sink);
  *out = sink.data;
  return rc;
}

TEST(ZipMethodsWriter, AesAndZstdEntriesCarryTheirHeadersAndReadBack) {
  for (const bool defer : {false, true}) {
    SCOPED_TRACE(defer ? "deferred" : "at once");
    MemoryFiles files;
    WriteRows(files, u"m.zip", defer);
    ArchiveModel model;
    streams::OwnedStream stream;
    ASSERT_CODE(files.OpenForReading(u"m.zip", &stream), RYL_OK);
    ASSERT_CODE(model.Attach(std::move(stream)), RYL_OK);
    ASSERT_EQ(model.entries().size(), std::size(kRows));
    for (size_t i = 0; i < std::size(kRows); ++i) {
      const Row& row = kRows[i];
      EntryRecord& record = *model.entries()[i];
      SCOPED_TRACE(testing::Message() << i);
      EXPECT_EQ(record.header.method, row.method);
      EXPECT_EQ(record.header.versionNeeded & 0xFF, row.versionNeeded);
      const bool aes = row.passwordSelector == RYL_ZIP_PASSWORD_AES256;
      if (aes) {
        EXPECT_EQ(record.header.crc32, 0u);  // AE-2
        const auto found = FindAesRecord(record.header.extras);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, (AesRecord{kAesVersion2, kAesStrength256, row.methodId}));
        EXPECT_NE(record.header.flags & kFlagEncrypted, 0);
      }
      ArchiveEntryImpl entry(&record);
      EXPECT_EQ(entry.GetMethod(), row.apiMethod);
      EXPECT_EQ(entry.GetMethodId(), row.methodId);
      EXPECT_EQ(entry.GetEncryption(), row.encryption);
      EXPECT_EQ(entry.IsVersionSupported(), 1);
      EXPECT_EQ(entry.IsEncrypted(), row.passwordSelector >= 0 ? 1 : 0);
      Bytes got;
      if (row.passwordSelector >= 0) {
        EXPECT_CODE(ExtractThrough(entry, &got), RYL_E_PASSWORD_REQUIRED);
        ASSERT_CODE(record.SetPassword(u"wrong", -1, 0), RYL_OK);
        const ResultCode wrong = ExtractThrough(entry, &got);
        EXPECT_TRUE(wrong == RYL_E_WRONG_PASSWORD || wrong == RYL_E_BAD_FORMAT) << std::hex << wrong;
        EXPECT_EQ(got, "kept");
        // Reading takes any selector: the entry says how it was encrypted.
        ASSERT_CODE(record.SetPassword(u"s\u00e9same", -1, 0), RYL_OK);
      }
      ASSERT_CODE(ExtractThrough(entry, &got), RYL_OK);
      EXPECT_EQ(got, "kept" + SampleText());
    }
  }
}

// Finds an entry's stored data in the archive's bytes.
size_t DataOffset(const Bytes& archive, EntryRecord& record) {
  const auto* at = reinterpret_cast<const uint8_t*>(archive.data()) + record.localHeaderOffset;
  return record.localHeaderOffset + 30 + (at[26] | at[27] << 8) + (at[28] | at[29] << 8);
}

TEST(ZipMethodsWriter, TamperedAesEntriesAndAe1CrcMismatchesLeaveNothingBehind) {
  MemoryFiles files;
  WriteRows(files, u"m.zip", false);
  const Bytes original = files[u"m.zip"];
  ArchiveModel probe;
  streams::OwnedStream stream;
  ASSERT_CODE(files.OpenForReading(u"m.zip", &stream), RYL_OK);
  ASSERT_CODE(probe.Attach(std::move(stream)), RYL_OK);
  EntryRecord& first = *probe.entries()[0];
  const size_t data = DataOffset(original, first);
  const size_t stored = static_cast<size_t>(first.header.CompressedSize());
  struct Case {
    const char* what;
    size_t at;
    ResultCode code;
  };
  const Case cases[] = {
      {"first data byte", data + 18, RYL_E_BAD_FORMAT},
      {"middle of the data", data + stored / 2, RYL_E_BAD_FORMAT},
      {"last data byte", data + stored - 11, RYL_E_BAD_FORMAT},
      {"first code byte", data + stored - 10, RYL_E_BAD_FORMAT},
      {"last code byte", data + stored - 1, RYL_E_BAD_FORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes changed = original;
    changed[c.at] = static_cast<char>(changed[c.at] ^ 0x04);
    ArchiveModel model;
    auto source = MemoryOver(changed);
    ASSERT_CODE(model.AttachBorrowed(source.get()), RYL_OK);
    EntryRecord& record = *model.entries()[0];
    ASSERT_CODE(record.SetPassword(u"s\u00e9same", -1, 0), RYL_OK);
    ArchiveEntryImpl entry(&record);
    Bytes got;
    EXPECT_CODE(ExtractThrough(entry, &got), c.code);
    EXPECT_EQ(got, "kept");
  }
  // The same entry as AE-1 must match its CRC, which an AE-2 writer left 0;
  // with the right CRC it reads.
  for (const bool rightCrc : {false, true}) {
    ArchiveModel model;
    auto source = MemoryOver(original);
    ASSERT_CODE(model.AttachBorrowed(source.get()), RYL_OK);
    EntryRecord& record = *model.entries()[0];
    AesRecord ae1{kAesVersion1, kAesStrength256, kMethodDeflate};
    ASSERT_CODE(SetAesRecord(&record.header.extras, &ae1), RYL_OK);
    if (rightCrc) {
      const Bytes text = SampleText();
      record.header.crc32 = test::Crc32(text);
    }
    ASSERT_CODE(record.SetPassword(u"s\u00e9same", -1, 0), RYL_OK);
    ArchiveEntryImpl entry(&record);
    Bytes got;
    EXPECT_CODE(ExtractThrough(entry, &got), rightCrc ? RYL_OK : RYL_E_BAD_FORMAT);
    EXPECT_EQ(got, rightCrc ? "kept" + SampleText() : Bytes("kept"));
  }
}

}  // namespace
}  // namespace ryl::archive
