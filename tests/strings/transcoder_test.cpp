// The table transcoder inside the strings library (white-box): its vector
// and plain integer paths must give the same bytes, the same counts and the
// same failures, and neither may write past the room it is given.
#include "strings/transcoder.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/result_matchers.h"

namespace ryl::strings {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kGuard = 0xFD;

struct Outcome {
  ResultCode code;
  Bytes bytes;
  uint32_t measured;
  ResultCode measureCode;
  bool guardIntact;
};

Outcome Convert(TextForm from, TextForm to, const Bytes& source, uint32_t capacity) {
  Bytes destination(capacity + 32, kGuard);
  uint32_t produced = 0xDEADBEEF;
  Outcome outcome{};
  outcome.code = Transcode(from, to, source.data(), static_cast<uint32_t>(source.size()), destination.data(),
                           capacity, &produced);
  outcome.guardIntact = true;
  for (size_t i = capacity; i < destination.size(); ++i) outcome.guardIntact &= destination[i] == kGuard;
  if (outcome.code >= 0) outcome.bytes.assign(destination.begin(), destination.begin() + produced);
  outcome.measured = 0xDEADBEEF;
  outcome.measureCode = MeasureTranscoded(from, to, source.data(), static_cast<uint32_t>(source.size()),
                                          &outcome.measured);
  return outcome;
}

// Mostly ASCII with other bytes in between, so that runs of every length
// meet group boundaries of every alignment.
Bytes MostlyAscii(std::mt19937& rng, size_t length, bool utf8) {
  static const Bytes kOthers[] = {{0xC3, 0xA9}, {0xE2, 0x82, 0xAC}, {0xF0, 0x9F, 0x98, 0x80}, {0x80}, {0xFF}};
  std::uniform_int_distribution<int> pick(0, 99);
  Bytes text;
  while (text.size() < length) {
    const int roll = pick(rng);
    if (roll < 6) {
      const Bytes& other = utf8 ? kOthers[roll % 3] : Bytes{static_cast<uint8_t>(0x80 + roll * 20)};
      text.insert(text.end(), other.begin(), other.end());
    } else {
      text.push_back(static_cast<uint8_t>(0x20 + roll % 0x5F));
    }
  }
  return text;
}

class VectorAndPlainPaths : public ::testing::Test {
 protected:
  void TearDown() override { AllowVectorInstructionsForTesting(true); }

  void ExpectSameBothWays(TextForm from, TextForm to, const Bytes& source, uint32_t capacity) {
    AllowVectorInstructionsForTesting(true);
    const Outcome vector = Convert(from, to, source, capacity);
    AllowVectorInstructionsForTesting(false);
    const Outcome plain = Convert(from, to, source, capacity);
    EXPECT_CODE(vector.code, plain.code);
    EXPECT_TRUE(vector.bytes == plain.bytes);
    EXPECT_CODE(vector.measureCode, plain.measureCode);
    EXPECT_EQ(vector.measured, plain.measured);
    EXPECT_TRUE(vector.guardIntact) << "vector path wrote past its room";
    EXPECT_TRUE(plain.guardIntact) << "plain path wrote past its room";
    if (vector.code >= 0) {
      EXPECT_EQ(vector.bytes.size(), vector.measured);
    }
  }
};

TEST_F(VectorAndPlainPaths, AgreeOnTextAndCountsAtEveryAlignmentAndRoom) {
  std::mt19937 rng(99);
  const TextForm targets[] = {TextForm::kUtf16Le, TextForm::kUtf16Be, TextForm::kUtf8, TextForm::kLatin1,
                              TextForm::kUtf32Le};
  for (int sample = 0; sample < 60; ++sample) {
    const bool utf8 = sample % 2 == 0;
    const Bytes text = MostlyAscii(rng, 1 + sample * 7, utf8);
    const TextForm from = utf8 ? TextForm::kUtf8 : TextForm::kLatin1;
    for (TextForm to : targets) {
      if (to == from) continue;
      uint32_t needed = 0;
      ASSERT_CODE(MeasureTranscoded(from, to, text.data(), static_cast<uint32_t>(text.size()), &needed), RYL_OK);
      for (uint32_t room : {needed, needed + 40, needed > 0 ? needed - 1 : 0, needed / 2}) {
        SCOPED_TRACE(::testing::Message() << "sample " << sample << " to " << int(to) << " room " << room);
        ExpectSameBothWays(from, to, text, room);
      }
    }
  }
}

TEST_F(VectorAndPlainPaths, AgreeOnMalformedText) {
  std::mt19937 rng(5);
  for (int sample = 0; sample < 20; ++sample) {
    Bytes text = MostlyAscii(rng, 40 + sample, true);
    text.insert(text.begin() + sample, {0xE2, 0x82});  // cut short by the next byte
    ExpectSameBothWays(TextForm::kUtf8, TextForm::kUtf16Le, text, 200);
    const Outcome outcome = Convert(TextForm::kUtf8, TextForm::kUtf16Le, text, 200);
    EXPECT_CODE(outcome.code, RYL_E_BAD_FORMAT);
  }
}

TEST(Transcode, AsciiFillsTheRoomExactlyAndNoMore) {
  const Bytes ascii(48, 'a');
  for (bool vector : {true, false}) {
    AllowVectorInstructionsForTesting(vector);
    const Outcome exact = Convert(TextForm::kUtf8, TextForm::kUtf16Le, ascii, 96);
    EXPECT_CODE(exact.code, RYL_OK);
    EXPECT_EQ(exact.bytes.size(), 96u);
    EXPECT_TRUE(exact.guardIntact);
    const Outcome short1 = Convert(TextForm::kUtf8, TextForm::kUtf16Le, ascii, 95);
    EXPECT_CODE(short1.code, RYL_E_OUT_OF_RANGE);
    EXPECT_TRUE(short1.guardIntact);
    const Outcome odd = Convert(TextForm::kLatin1, TextForm::kUtf16Be, ascii, 33);
    EXPECT_CODE(odd.code, RYL_E_OUT_OF_RANGE);
    EXPECT_TRUE(odd.guardIntact);
  }
  AllowVectorInstructionsForTesting(true);
}

TEST(Transcode, SameFormIsACopyThatNeedsRoomForAll) {
  const Bytes text = {0xC0, 0x80, 0x41};
  const Outcome copied = Convert(TextForm::kUtf8, TextForm::kUtf8, text, 3);
  EXPECT_CODE(copied.code, RYL_OK);
  EXPECT_EQ(copied.bytes, text);
  EXPECT_EQ(copied.measured, 3u);
  const Outcome tight = Convert(TextForm::kUtf32Be, TextForm::kUtf32Be, text, 2);
  EXPECT_CODE(tight.code, RYL_E_OUT_OF_RANGE);
  EXPECT_TRUE(tight.guardIntact);
}

}  // namespace
}  // namespace ryl::strings
