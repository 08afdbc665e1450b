// An archive put together from the record writers and the encrypting
// stream, read back here and left in the build tree, where the
// archive_format_interop test has Info-ZIP unzip and Python's zipfile test
// and extract it (check_written.py holds the same list of entries).
#include <gtest/gtest.h>
#include <windows.h>

#include "archive/central_directory.h"
#include "archive/local_header.h"
#include "archive/traditional_cipher_streams.h"
#include "archive/zip_record_writer.h"
#include "archive/zip_text.h"
#include "archive_test_support.h"
#include "core/result_helpers.h"
#include "streams/window_stream.h"
#include "support/result_matchers.h"
#include "support/temp_dir.h"

namespace ryl::archive {
namespace {

using test::Bytes;

constexpr char kPassword[] = "pass word";

struct Planned {
  std::u16string name;
  std::u16string comment;
  Bytes data;
  uint16_t flags;
  bool reserveZip64;
};

std::vector<Planned> Plan() {
  return {
      {u"plain.txt", u"", "plain text\n", 0, false},
      {u"secret-crc.txt", u"", "checked by the CRC's high byte\n", kFlagEncrypted, false},
      {u"secret-time.txt", u"", "checked by the time's high byte\n", kFlagEncrypted | kFlagDataDescriptor, false},
      {u"dir/", u"", "", 0, false},
      {u"\u00fcn\u00efcode.txt", u"\u043a\u043e\u043c\u043c\u0435\u043d\u0442", "utf-8 name\n", 0, false},
      {u"zip64.txt", u"", "sizes in a ZIP64 record\n", 0, true},
      {u"empty-secret.txt", u"", "", kFlagEncrypted | kFlagDataDescriptor, false},
  };
}

ResultCode WriteArchive(SeekableStream* out) {
  std::vector<CentralHeaderImage> images;
  for (const Planned& p : Plan()) {
    CentralHeaderImage image;
    image.name = p.name;
    image.comment = p.comment;
    image.flags = p.flags;
    image.dosDate = (42 << 9) | (3 << 5) | 4;  // 2022-03-04
    image.dosTime = (5 << 11) | (6 << 5) | 4;  // 05:06:08
    image.crc32 = test::Crc32(p.data);
    const bool directory = p.name.back() == u'/';
    image.externalAttributes = directory ? kExternalAttributesDirectory : kExternalAttributesFile;
    image.versionNeeded = directory ? kVersionNeededDeflate : kVersionNeededDefault;
    const bool encrypted = (p.flags & kFlagEncrypted) != 0;
    const uint64_t stored = p.data.size() + (encrypted ? kEncryptionHeaderSize : 0);
    if (p.reserveZip64) RYL_RETURN_IF_FAILED(PlaceSizes(&image, 0xFFFFFFFF, 0xFFFFFFFF));
    RYL_RETURN_IF_FAILED(PlaceSizes(&image, stored, p.data.size()));
    if (image.zip64) image.versionNeeded = kVersionNeededZip64;

    uint64_t offset = 0;
    RYL_RETURN_IF_FAILED(out->Tell(&offset));
    RYL_RETURN_IF_FAILED(PlaceLocalHeaderOffset(&image, offset));
    RYL_RETURN_IF_FAILED(WriteLocalHeader(out, image));
    if (encrypted) {
      uint8_t header[kEncryptionHeaderSize];
      RYL_RETURN_IF_FAILED(MakeEncryptionHeader(EncryptionCheckByte(image.flags, image.dosTime, image.crc32), header));
      std::vector<uint8_t> password;
      RYL_RETURN_IF_FAILED(EncodePassword(u"pass word", &password));
      EncryptingStream encrypting;
      RYL_RETURN_IF_FAILED(encrypting.Open(out, TraditionalKeys(password.data(), password.size()), header));
      RYL_RETURN_IF_FAILED(encrypting.Write(p.data.data(), static_cast<uint32_t>(p.data.size()), nullptr));
      RYL_RETURN_IF_FAILED(encrypting.Close());
    } else {
      RYL_RETURN_IF_FAILED(WriteAll(out, p.data.data(), static_cast<uint32_t>(p.data.size())));
    }
    if ((image.flags & kFlagDataDescriptor) != 0) RYL_RETURN_IF_FAILED(WriteDataDescriptor(out, image));
    images.push_back(image);
  }
  uint64_t directoryStart = 0;
  RYL_RETURN_IF_FAILED(out->Tell(&directoryStart));
  for (const CentralHeaderImage& image : images) RYL_RETURN_IF_FAILED(WriteCentralHeader(out, image));
  uint64_t directoryEnd = 0;
  RYL_RETURN_IF_FAILED(out->Tell(&directoryEnd));
  // An entry carries a ZIP64 record, so the ZIP64 trailer goes out too.
  EndRecord end;
  Zip64EndRecord end64;
  FillDirectoryTotals(images.size(), directoryEnd - directoryStart, directoryStart, &end, &end64);
  RYL_RETURN_IF_FAILED(WriteZip64EndRecord(out, end64));
  RYL_RETURN_IF_FAILED(WriteZip64Locator(out, {0, directoryEnd, 1}));
  return WriteEndRecord(out, end, u"written by the format tests");
}

TEST(WrittenArchive, ReadsBackDecryptsAndIsLeftForUnzipToCheck) {
  auto out = test::StreamOver("");
  ASSERT_CODE(WriteArchive(out.get()), RYL_OK);
  const Bytes bytes = test::ContentsOf(out.get());

  const ZipDirectory directory = test::DirectoryOf(bytes);
  const std::vector<Planned> plan = Plan();
  ASSERT_EQ(directory.entries.size(), plan.size());
  ASSERT_TRUE(directory.zip64.has_value());
  EXPECT_EQ(directory.comment, u"written by the format tests");
  for (size_t i = 0; i < plan.size(); ++i) {
    SCOPED_TRACE(i);
    const CentralHeaderImage& image = directory.entries[i];
    EXPECT_EQ(image.name, plan[i].name);
    EXPECT_EQ(image.comment, plan[i].comment);
    EXPECT_EQ(image.UncompressedSize(), plan[i].data.size());
    LocalHeaderInfo local;
    ASSERT_CODE(ReadLocalHeader(out.get(), image.LocalHeaderOffset(), &local), RYL_OK);
    streams::WindowStream window(out.get(), local.dataOffset, local.dataOffset + image.CompressedSize());
    Bytes data(static_cast<size_t>(image.CompressedSize()), '\0');
    if ((image.flags & kFlagEncrypted) != 0) {
      DecryptingStream decrypting;
      ASSERT_CODE(decrypting.Open(&window, TraditionalKeys(reinterpret_cast<const uint8_t*>(kPassword), 9),
                                  EncryptionCheckByte(image.flags, image.dosTime, image.crc32)),
                  RYL_OK);
      data.resize(data.size() - kEncryptionHeaderSize);
      if (!data.empty()) {
        ASSERT_CODE(decrypting.Read(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
      }
    } else if (!data.empty()) {
      ASSERT_CODE(window.Read(data.data(), static_cast<uint32_t>(data.size()), nullptr), RYL_OK);
    }
    EXPECT_EQ(data, plan[i].data);
  }

  const std::u16string path = test::OutputPath("written.zip");
  ASSERT_TRUE(ryl::test::WriteWholeFile(std::wstring(path.begin(), path.end()), bytes));
}

}  // namespace
}  // namespace ryl::archive
