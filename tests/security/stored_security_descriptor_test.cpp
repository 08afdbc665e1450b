// The stream form of slots 8 and 9: what is written, what is read back, and
// how malformed records are refused without disturbing the object.
#include <gtest/gtest.h>

#include <vector>

#include "core/object_ptr.h"
#include "descriptor_builder.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"
#include "sys/stored_security_descriptor.h"
#include "sys/win_security_descriptor.h"

namespace ryl::sys {
namespace {

using test::Bytes;
using test::DescriptorParts;

core::ObjectPtr<RylWinSecurityDescriptor> NewObject() {
  return core::ObjectPtr<RylWinSecurityDescriptor>(core::MakeObject<RylWinSecurityDescriptor>());
}

core::ObjectPtr<streams::MemoryStream> NewStream() {
  return core::ObjectPtr<streams::MemoryStream>(core::MakeObject<streams::MemoryStream>());
}

core::ObjectPtr<streams::MemoryStream> StreamOf(const Bytes& bytes) {
  auto stream = NewStream();
  EXPECT_CODE(stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr), RYL_OK);
  EXPECT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  return stream;
}

Bytes HeldDescriptor(RylSecurityObject& object) {
  const auto* sd = static_cast<const uint8_t*>(object.GetSecurityDescriptor());
  if (sd == nullptr) return Bytes();
  auto& concrete = static_cast<RylWinSecurityDescriptor&>(object);
  const void* descriptor = nullptr;
  uint32_t length = 0;
  EXPECT_CODE(concrete.SelfRelative(&descriptor, &length), RYL_OK);
  return Bytes(sd, sd + length);
}

Bytes Contents(const streams::MemoryStream& stream) { return Bytes(stream.data(), stream.data() + stream.size()); }

// A large list takes the writer past its local copy onto the heap.
Bytes LargeDescriptor() {
  DescriptorParts parts;
  parts.owner = test::Administrators();
  std::vector<Bytes> aces;
  Bytes acl(8, 0);
  acl[0] = 2;
  for (uint32_t i = 0; i < 40; ++i) {
    const Bytes ace = test::MakeAce(test::kAllowed, 0, i, test::MakeSid(5, {21, i, i + 1, i + 2, 1000 + i}));
    acl.insert(acl.end(), ace.begin(), ace.end());
  }
  test::Put16(acl, 2, static_cast<uint16_t>(acl.size()));
  test::Put16(acl, 4, 40);
  parts.dacl = acl;
  return test::MakeSelfRelative(parts);
}

TEST(StoredSecurityDescriptor, RoundTripKeepsPartsAndSelfRelativeBytes) {
  for (const Bytes& source : {test::FullDescriptor(), LargeDescriptor()}) {
    auto written = NewObject();
    ASSERT_CODE(written->SetFromSelfRelative(source.data(), 0x1F), RYL_OK);
    auto stream = NewStream();
    ASSERT_CODE(written->WriteToStream(stream.get()), RYL_OK);
    ASSERT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
    auto read = NewObject();
    ASSERT_CODE(read->ReadFromStream(stream.get()), RYL_OK);
    EXPECT_EQ(read->GetPartsPresent(), written->GetPartsPresent());
    EXPECT_EQ(HeldDescriptor(*read), HeldDescriptor(*written));
    uint64_t position = 0;
    ASSERT_CODE(stream->Tell(&position), RYL_OK);
    EXPECT_EQ(position, stream->size()) << "the whole record is consumed";
  }
}

TEST(StoredSecurityDescriptor, RecordHoldsPartsLengthAndBlockOffsets) {
  auto object = NewObject();
  const Bytes source = test::FullDescriptor();
  ASSERT_CODE(object->SetFromSelfRelative(source.data(), 0x1F), RYL_OK);
  auto stream = NewStream();
  ASSERT_CODE(object->WriteToStream(stream.get()), RYL_OK);
  const Bytes record = Contents(*stream);
  ASSERT_GE(record.size(), 36u);
  EXPECT_EQ(test::Get32(record.data()), 0x1Fu);
  EXPECT_EQ(test::Get32(record.data() + 4), record.size() - 8);
  const uint8_t* block = record.data() + 8;
  const uint32_t header = test::Get32(block + 4);
  ASSERT_LE(header + 20, record.size() - 8);
  EXPECT_EQ(block[header], 1);
  EXPECT_EQ(test::Get16(block + header + 2) & test::kSelfRelative, 0) << "the stored header is the absolute form";
  // Owner and discretionary list are found at their offsets from the block's start.
  const uint32_t owner = test::Get32(block + header + 4);
  EXPECT_EQ(Bytes(block + owner, block + owner + 16), test::Administrators());
  const uint32_t dacl = test::Get32(block + header + 16);
  const Bytes expectedDacl =
      test::MakeAcl({test::MakeAce(test::kAllowed, 0, 0x1F01FF, test::Administrators()),
                     test::MakeAce(test::kAllowed, 0, 0x120089, test::Users())});
  EXPECT_EQ(Bytes(block + dacl, block + dacl + expectedDacl.size()), expectedDacl);
}

TEST(StoredSecurityDescriptor, StoredOwnerAndDiscretionaryListReadBackWithExactlyThoseParts) {
  // The block holds all four parts; the record's parts say owner and list.
  const Bytes record = test::MakeRecord(RYL_SECURITY_OWNER | RYL_SECURITY_DACL, test::MakeBlock(test::FullDescriptor()));
  auto stream = StreamOf(record);
  auto object = NewObject();
  ASSERT_CODE(object->ReadFromStream(stream.get()), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x05u);

  // And an object holding only those two parts stores and reads back the same.
  auto again = NewStream();
  ASSERT_CODE(object->WriteToStream(again.get()), RYL_OK);
  EXPECT_EQ(test::Get32(again->data()), 0x05u);
  ASSERT_CODE(again->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  auto reread = NewObject();
  ASSERT_CODE(reread->ReadFromStream(again.get()), RYL_OK);
  EXPECT_EQ(reread->GetPartsPresent(), 0x05u);
  EXPECT_EQ(HeldDescriptor(*reread), HeldDescriptor(*object));
}

TEST(StoredSecurityDescriptor, ReaderFollowsTheHeaderOffsetWhereverItPoints) {
  const Bytes source = test::FullDescriptor();
  auto expected = NewObject();
  ASSERT_CODE(expected->SetFromSelfRelative(source.data(), 0x1F), RYL_OK);
  for (uint32_t headerOffset : {8u, 12u, 40u}) {
    auto stream = StreamOf(test::MakeRecord(0x1F, test::MakeBlock(source, headerOffset)));
    auto object = NewObject();
    ASSERT_CODE(object->ReadFromStream(stream.get()), RYL_OK) << headerOffset;
    EXPECT_EQ(HeldDescriptor(*object), HeldDescriptor(*expected)) << headerOffset;
  }
}

TEST(StoredSecurityDescriptor, NeverFilledObjectIsNotWrittenAtAll) {
  auto object = NewObject();
  EXPECT_EQ(object->GetSecurityDescriptor(), nullptr);
  EXPECT_EQ(object->GetPartsPresent(), 0u);
  auto stream = NewStream();
  EXPECT_CODE(object->WriteToStream(stream.get()), RYL_E_NOT_OPEN);
  EXPECT_EQ(stream->size(), 0u);
  EXPECT_CODE(object->WriteToStream(nullptr), RYL_E_INVALID_ARG);
  EXPECT_CODE(object->ReadFromStream(nullptr), RYL_E_INVALID_ARG);
}

class MalformedRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_CODE(object_->SetFromSelfRelative(test::FullDescriptor().data(), RYL_SECURITY_GROUP), RYL_OK);
    before_ = HeldDescriptor(*object_);
  }
  // Reads the record and checks that the object kept what it held.
  ResultCode Read(const Bytes& record) {
    auto stream = StreamOf(record);
    const ResultCode rc = object_->ReadFromStream(stream.get());
    EXPECT_EQ(object_->GetPartsPresent(), 0x02u);
    EXPECT_EQ(HeldDescriptor(*object_), before_);
    return rc;
  }

  core::ObjectPtr<RylWinSecurityDescriptor> object_ = NewObject();
  Bytes before_;
  const Bytes block_ = test::MakeBlock(test::FullDescriptor());
};

TEST_F(MalformedRecord, BadRevisionOrOffsetsOutsideTheBlockAreInvalid) {
  Bytes badRevision = block_;
  badRevision[8] = 2;
  EXPECT_CODE(Read(test::MakeRecord(0x1F, badRevision)), RYL_E_INVALID_ARG);
  Bytes headerOutside = block_;
  test::Put32(headerOutside, 4, static_cast<uint32_t>(block_.size()));
  EXPECT_CODE(Read(test::MakeRecord(0x1F, headerOutside)), RYL_E_INVALID_ARG);
  for (size_t field : {4u, 8u, 12u, 16u}) {
    Bytes partOutside = block_;
    test::Put32(partOutside, 8 + field, static_cast<uint32_t>(block_.size() - 4));
    EXPECT_CODE(Read(test::MakeRecord(0x1F, partOutside)), RYL_E_INVALID_ARG) << field;
    test::Put32(partOutside, 8 + field, 0x80000000u);
    EXPECT_CODE(Read(test::MakeRecord(0x1F, partOutside)), RYL_E_INVALID_ARG) << field;
  }
}

TEST_F(MalformedRecord, TruncatedStreamEndsWithEndOfData) {
  const Bytes record = test::MakeRecord(0x1F, block_);
  for (size_t cut = 0; cut < record.size(); ++cut) {
    EXPECT_CODE(Read(Bytes(record.begin(), record.begin() + cut)), RYL_E_END_OF_DATA) << cut;
  }
}

TEST_F(MalformedRecord, LengthBeyondTheDataEndsWithEndOfData) {
  Bytes record = test::MakeRecord(0x1F, block_);
  test::Put32(record, 4, static_cast<uint32_t>(block_.size() + 1));
  EXPECT_CODE(Read(record), RYL_E_END_OF_DATA);
}

TEST_F(MalformedRecord, LengthNoDescriptorCanHaveIsRefusedBeforeReading) {
  for (uint32_t length : {0u, 27u, kLargestStoredBlock + 1, 0xFFFFFFF0u}) {
    Bytes record = test::MakeRecord(0x1F, block_);
    test::Put32(record, 4, length);
    EXPECT_CODE(Read(record), RYL_E_INVALID_ARG) << length;
  }
}

}  // namespace
}  // namespace ryl::sys
