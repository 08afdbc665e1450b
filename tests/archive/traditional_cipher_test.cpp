// The traditional encryption against archives that Info-ZIP zip and 7-Zip
// encrypted, byte for byte, and the stream wrappers' edges.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <set>

#include "archive/central_directory.h"
#include "archive/local_header.h"
#include "archive/traditional_cipher_streams.h"
#include "archive_test_support.h"
#include "streams/window_stream.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;

TraditionalKeys KeysFor(const std::string& password) {
  return TraditionalKeys(reinterpret_cast<const uint8_t*>(password.data()), password.size());
}

Bytes ReadAll(SeekableStream* stream) {
  Bytes out;
  char buffer[333];  // an odd size, so that reads end mid-block
  for (;;) {
    uint32_t done = 0;
    const ResultCode rc = stream->Read(buffer, sizeof buffer, &done);
    out.append(buffer, done);
    if (rc < 0 || done == 0) {
      EXPECT_CODE(rc, RYL_E_END_OF_DATA);
      return out;
    }
  }
}

Bytes RawInflate(const Bytes& compressed) {
  z_stream z = {};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  Bytes out(1 << 20, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

struct EncryptedEntry {
  CentralHeaderImage image;
  uint64_t dataOffset = 0;
};

std::vector<EncryptedEntry> EncryptedEntriesOf(streams::MemoryStream* stream) {
  ZipDirectory directory;
  EXPECT_CODE(ReadZipDirectory(stream, &directory), RYL_OK);
  std::vector<EncryptedEntry> entries;
  for (const CentralHeaderImage& image : directory.entries) {
    LocalHeaderInfo local;
    EXPECT_CODE(ReadLocalHeader(stream, image.LocalHeaderOffset(), &local), RYL_OK);
    entries.push_back({image, local.dataOffset});
  }
  return entries;
}

// Decrypts (and inflates) every secret of a fixture archive and checks it
// against the plaintext and the CRC-32 the archive stores.
void CheckFixtureDecrypts(const std::string& file, uint16_t expectedFlags) {
  const test::ManifestArchive& manifest = test::Manifest().at(file);
  ASSERT_FALSE(manifest.secrets.empty());
  auto stream = test::StreamOver(test::ReadFixture(file));
  const std::vector<EncryptedEntry> entries = EncryptedEntriesOf(stream.get());
  for (const auto& [index, secret] : manifest.secrets) {
    SCOPED_TRACE(file + " entry " + std::to_string(index));
    const CentralHeaderImage& image = entries.at(index).image;
    EXPECT_EQ(image.flags, expectedFlags);
    streams::WindowStream window(stream.get(), entries[index].dataOffset,
                            entries[index].dataOffset + image.CompressedSize());
    ASSERT_CODE(SeekTo(&window, 0), RYL_OK);
    DecryptingStream decrypting;
    ASSERT_CODE(decrypting.Open(&window, KeysFor(secret.first),
                                EncryptionCheckByte(image.flags, image.dosTime, image.crc32)),
                RYL_OK);
    const Bytes stored = ReadAll(&decrypting);
    EXPECT_EQ(stored.size(), image.CompressedSize() - kEncryptionHeaderSize);
    const Bytes plain = image.method == kMethodDeflate ? RawInflate(stored) : stored;
    EXPECT_EQ(plain, secret.second);
    EXPECT_EQ(test::Crc32(plain), image.crc32);
  }
}

TEST(TraditionalCipher, DecryptsWhatInfoZipEncryptedWithTheTimeCheckByte) {
  CheckFixtureDecrypts("infozip_encrypted.zip", kFlagEncrypted | kFlagDataDescriptor);
}

TEST(TraditionalCipher, DecryptsWhatSevenZipEncryptedWithTheCrcCheckByte) {
  CheckFixtureDecrypts("sevenzip_encrypted.zip", kFlagEncrypted);
}

TEST(TraditionalCipher, EncryptsByteForByteWhatSevenZipWroteGivenItsHeader) {
  const std::string file = "sevenzip_encrypted.zip";
  const auto& [password, plain] = test::Manifest().at(file).secrets.at(0);
  const Bytes archive = test::ReadFixture(file);
  auto stream = test::StreamOver(archive);
  const EncryptedEntry entry = EncryptedEntriesOf(stream.get()).at(0);
  ASSERT_EQ(entry.image.method, kMethodStored);
  const Bytes cipher = archive.substr(static_cast<size_t>(entry.dataOffset),
                                      static_cast<size_t>(entry.image.CompressedSize()));
  // Recover 7-Zip's random header, then encrypt header and data afresh.
  uint8_t header[kEncryptionHeaderSize];
  std::memcpy(header, cipher.data(), sizeof header);
  TraditionalKeys keys = KeysFor(password);
  keys.Decrypt(header, sizeof header);
  EXPECT_EQ(header[11], entry.image.crc32 >> 24);

  auto output = test::StreamOver("");
  EncryptingStream encrypting;
  ASSERT_CODE(encrypting.Open(output.get(), KeysFor(password), header), RYL_OK);
  uint32_t done = 0;
  ASSERT_CODE(encrypting.Write(plain.data(), 100, &done), RYL_OK);
  EXPECT_EQ(done, 100u);
  ASSERT_CODE(encrypting.Write(plain.data() + 100, static_cast<uint32_t>(plain.size() - 100), nullptr), RYL_OK);
  ASSERT_CODE(encrypting.Close(), RYL_OK);
  EXPECT_EQ(test::ContentsOf(output.get()), cipher);
}

TEST(TraditionalCipher, WrongPasswordsAndShortHeadersAreWrongPasswords) {
  uint8_t header[kEncryptionHeaderSize] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x5A};
  auto output = test::StreamOver("");
  EncryptingStream encrypting;
  ASSERT_CODE(encrypting.Open(output.get(), KeysFor("right"), header), RYL_OK);
  ASSERT_CODE(encrypting.Write("data", 4, nullptr), RYL_OK);
  ASSERT_CODE(encrypting.Close(), RYL_OK);
  const Bytes cipher = test::ContentsOf(output.get());
  ASSERT_EQ(cipher.size(), 16u);

  auto source = test::StreamOver(cipher);
  DecryptingStream decrypting;
  ASSERT_CODE(decrypting.Open(source.get(), KeysFor("right"), 0x5A), RYL_OK);
  EXPECT_EQ(ReadAll(&decrypting), "data");

  // Of 64 wrong passwords most fail the check byte; one in 256 passes it,
  // which is all the format offers.
  int rejected = 0;
  for (int i = 0; i < 64; ++i) {
    ASSERT_CODE(source->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
    DecryptingStream wrong;
    const ResultCode rc = wrong.Open(source.get(), KeysFor("wrong" + std::to_string(i)), 0x5A);
    if (rc == RYL_E_WRONG_PASSWORD) {
      ++rejected;
      EXPECT_FALSE(wrong.IsOpen());
    } else {
      EXPECT_CODE(rc, RYL_OK);
    }
  }
  EXPECT_GE(rejected, 60);
  // The right password with another check byte, and a header cut short.
  ASSERT_CODE(source->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  EXPECT_CODE(decrypting.Open(source.get(), KeysFor("right"), 0x5B), RYL_E_WRONG_PASSWORD);
  auto cut = test::StreamOver(cipher.substr(0, 11));
  DecryptingStream shortHeader;
  EXPECT_CODE(shortHeader.Open(cut.get(), KeysFor("right"), 0x5A), RYL_E_WRONG_PASSWORD);
  EXPECT_CODE(shortHeader.Read(header, 1, nullptr), RYL_E_NOT_OPEN);
}

TEST(TraditionalCipher, PasswordsEndAtTheirFirstZeroByte) {
  const TraditionalKeys cut = KeysFor(std::string("abc\0def", 7));
  const TraditionalKeys plain = KeysFor("abc");
  EXPECT_EQ(cut.key0(), plain.key0());
  EXPECT_EQ(cut.key1(), plain.key1());
  EXPECT_EQ(cut.key2(), plain.key2());
  const TraditionalKeys empty;
  EXPECT_EQ(empty.key0(), 0x12345678u);
  EXPECT_EQ(empty.key1(), 0x23456789u);
  EXPECT_EQ(empty.key2(), 0x34567890u);
}

TEST(EncryptingStream, AnEntryWithoutDataStillGetsItsHeader) {
  uint8_t header[kEncryptionHeaderSize];
  ASSERT_CODE(MakeEncryptionHeader(0x77, header), RYL_OK);
  EXPECT_EQ(header[11], 0x77);
  auto output = test::StreamOver("");
  EncryptingStream encrypting;
  ASSERT_CODE(encrypting.Open(output.get(), KeysFor("pw"), header), RYL_OK);
  ASSERT_CODE(encrypting.Close(), RYL_OK);
  ASSERT_EQ(output->size(), kEncryptionHeaderSize);
  ASSERT_CODE(encrypting.Close(), RYL_OK);  // closing twice writes nothing more
  EXPECT_EQ(output->size(), kEncryptionHeaderSize);
  auto source = test::StreamOver(test::ContentsOf(output.get()));
  DecryptingStream decrypting;
  ASSERT_CODE(decrypting.Open(source.get(), KeysFor("pw"), 0x77), RYL_OK);
  char c;
  uint32_t done = 9;
  EXPECT_CODE(decrypting.Read(&c, 1, &done), RYL_E_END_OF_DATA);
  EXPECT_EQ(done, 0u);
}

TEST(MakeEncryptionHeader, DrawsFreshRandomBytesEachTime) {
  std::set<Bytes> seen;
  for (int i = 0; i < 16; ++i) {
    uint8_t header[kEncryptionHeaderSize];
    ASSERT_CODE(MakeEncryptionHeader(1, header), RYL_OK);
    seen.insert(Bytes(reinterpret_cast<char*>(header), 11));
  }
  EXPECT_EQ(seen.size(), 16u);
  EXPECT_EQ(EncryptionCheckByte(kFlagDataDescriptor, 0xAB12, 0xCD345678), 0xAB);
  EXPECT_EQ(EncryptionCheckByte(kFlagEncrypted, 0xAB12, 0xCD345678), 0xCD);
}

// Takes the first few bytes, then fails every write.
class FailingStream final : public streams::PositionedStream<FailingStream> {
 public:
  ResultCode RYL_THISCALL GetSize(uint64_t* out) override {
    *out = taken;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t count, uint32_t* outDone) override {
    const uint32_t n = taken + count <= 21 ? count : 21 - taken;
    taken += n;
    if (outDone != nullptr) *outDone = n;
    return n == 0 ? RYL_E_ACCESS_DENIED : RYL_OK;
  }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 0; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }
  uint32_t taken = 0;
};

TEST(EncryptingStream, ATargetThatTakesLessBreaksTheStreamForGood) {
  FailingStream target;
  uint8_t header[kEncryptionHeaderSize] = {};
  EncryptingStream encrypting;
  ASSERT_CODE(encrypting.Open(&target, KeysFor("pw"), header), RYL_OK);
  ASSERT_CODE(encrypting.Write("12345678", 8, nullptr), RYL_OK);
  EXPECT_CODE(encrypting.Write("abc", 3, nullptr), RYL_E_END_OF_DATA);
  EXPECT_FALSE(encrypting.CanWrite());
  EXPECT_CODE(encrypting.Write("d", 1, nullptr), RYL_E_INVALID_STATE);
  EXPECT_CODE(encrypting.Close(), RYL_E_INVALID_STATE);
}

}  // namespace
}  // namespace ryl::archive
