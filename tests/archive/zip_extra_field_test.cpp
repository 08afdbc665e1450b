// The extra field: what is kept, what stops the split, and the ZIP64 record.
#include <gtest/gtest.h>

#include "archive/zip_extra_field.h"
#include "archive_test_support.h"
#include "support/result_matchers.h"

namespace ryl::archive {
namespace {

using test::Bytes;

std::vector<ExtraRecord> Split(const Bytes& field, Zip64Span* zip64) {
  std::vector<ExtraRecord> records;
  EXPECT_CODE(SplitExtraField(reinterpret_cast<const uint8_t*>(field.data()), static_cast<uint32_t>(field.size()),
                              &records, zip64),
              RYL_OK);
  return records;
}

TEST(SplitExtraField, KeepsWholeRecordsInOrderAndStopsAtTheFirstThatOverruns) {
  Zip64Span zip64;
  const Bytes field = test::Le16(0x000A) + test::Le16(2) + "ab" + test::Le16(1) + test::Le16(8) + test::Le64(42) +
                      test::Le16(0x7875) + test::Le16(0) + test::Le16(1) + test::Le16(0) +  // a second ZIP64
                      test::Le16(0x5455) + test::Le16(3) + "xyz" + test::Le16(0xBEEF) + test::Le16(9) + "short" +
                      "\x01";
  const std::vector<ExtraRecord> records = Split(field, &zip64);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], (ExtraRecord{0x000A, {'a', 'b'}}));
  EXPECT_EQ(records[1], (ExtraRecord{0x7875, {}}));
  EXPECT_EQ(records[2], (ExtraRecord{0x5455, {'x', 'y', 'z'}}));
  ASSERT_TRUE(zip64.present);
  EXPECT_EQ(zip64.offset, 10u);
  EXPECT_EQ(zip64.size, 8u);

  // Fewer than four bytes are no header; an empty field has no records.
  EXPECT_TRUE(Split(Bytes("\x01\x00\x00", 3), &zip64).empty());
  EXPECT_FALSE(zip64.present);
  EXPECT_TRUE(Split("", &zip64).empty());
}

TEST(Zip64ExtendedInfo, DecodesTheNeededValuesAndRefusesARecordTooShortForThem) {
  const Bytes data = test::Le64(1) + test::Le64(2) + test::Le64(3);
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  Zip64ExtendedInfo info;
  ASSERT_CODE(DecodeZip64ExtendedInfo(bytes, 24, {true, true, true}, &info), RYL_OK);
  EXPECT_EQ(info, (Zip64ExtendedInfo{1, 2, 3}));
  ASSERT_CODE(DecodeZip64ExtendedInfo(bytes, 24, {false, true, false}, &info), RYL_OK);
  EXPECT_EQ(info, (Zip64ExtendedInfo{std::nullopt, 1, std::nullopt}));
  ASSERT_CODE(DecodeZip64ExtendedInfo(bytes, 8, {false, false, true}, &info), RYL_OK);
  EXPECT_EQ(info.localHeaderOffset, 1u);
  Zip64ExtendedInfo kept{9, 9, 9};
  EXPECT_CODE(DecodeZip64ExtendedInfo(bytes, 15, {true, true, false}, &kept), RYL_E_BAD_FORMAT);
  EXPECT_CODE(DecodeZip64ExtendedInfo(bytes, 0, {true, false, false}, &kept), RYL_E_BAD_FORMAT);
  EXPECT_EQ(kept, (Zip64ExtendedInfo{9, 9, 9}));
}

TEST(EncodeExtraField, WritesKeptRecordsThenZip64AndSplitsBackToTheSame) {
  const std::vector<ExtraRecord> records = {{0x5455, {1, 2, 3}}, {0xCAFE, {}}};
  const Zip64ExtendedInfo zip64{std::nullopt, 0x1'0000'0000, 7};
  std::vector<uint8_t> field;
  ASSERT_CODE(EncodeExtraField(records, &zip64, &field), RYL_OK);
  EXPECT_EQ(field.size(), (4u + 3) + 4 + (4 + 16));
  Zip64Span span;
  const std::vector<ExtraRecord> back = Split(Bytes(field.begin(), field.end()), &span);
  EXPECT_EQ(back, records);
  ASSERT_TRUE(span.present);
  Zip64ExtendedInfo decoded;
  ASSERT_CODE(DecodeZip64ExtendedInfo(field.data() + span.offset, span.size, {false, true, true}, &decoded), RYL_OK);
  EXPECT_EQ(decoded, zip64);

  std::vector<uint8_t> untouched = {1};
  EXPECT_CODE(EncodeExtraField({{1, std::vector<uint8_t>(0xFFFC)}}, &zip64, &untouched), RYL_E_VALUE_TOO_LARGE);
  EXPECT_CODE(EncodeExtraField({{1, std::vector<uint8_t>(0x10000)}}, nullptr, &untouched), RYL_E_VALUE_TOO_LARGE);
  EXPECT_EQ(untouched, std::vector<uint8_t>{1});
  ASSERT_CODE(EncodeExtraField({{1, std::vector<uint8_t>(0xFFFB)}}, nullptr, &field), RYL_OK);
  EXPECT_EQ(field.size(), 0xFFFFu);
}

}  // namespace
}  // namespace ryl::archive
