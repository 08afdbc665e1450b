// The small rules written once for the whole library: the host's text with a
// zero-terminated length, and the end of a stream's data whatever code
// carries it.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/host_text.h"
#include "core/result_helpers.h"

namespace ryl::core {
namespace {

TEST(HostText, MeasuresOnlyTheZeroTerminatedLengthAndTakesOthersAsGiven) {
  const char16_t text[] = u"abc\0def";
  const struct {
    const char16_t* pointer;
    uint32_t length;
    size_t expectedSize;
  } kCases[] = {
      {text, kZeroTerminated, 3},  // up to the first zero unit
      {text, 7, 7},                // an explicit length reads through the zero
      {text, 0, 0},
      {text + 4, kZeroTerminated, 3},
      {text + 3, kZeroTerminated, 0},  // starts at the zero
      {nullptr, kZeroTerminated, 0},   // null is the empty text, never read
      {nullptr, 5, 0},
  };
  for (const auto& c : kCases) {
    const std::u16string_view view = HostText(c.pointer, c.length);
    EXPECT_EQ(view.size(), c.expectedSize) << "length " << c.length;
    if (c.pointer != nullptr && c.expectedSize != 0) {
      EXPECT_EQ(view.data(), c.pointer);
    }
  }
}

TEST(HostText, AcceptsTheHostsWideUnits) {
  const RylChar16 wide[] = {'x', 'y', 0};
  const std::u16string_view view = HostText(wide, kZeroTerminated);
  EXPECT_EQ(view, u"xy");
  EXPECT_EQ(static_cast<const void*>(view.data()), static_cast<const void*>(wide));
}

TEST(IsEndOfData, KnowsTheEndInEverySeverityAndNothingElse) {
  const struct {
    uint32_t code;
    bool end;
  } kCases[] = {
      {0xE001018Bu, true},   // the error
      {0x6001018Bu, true},   // the informational code with a partial count
      {0xA001018Bu, true},   // the system's end of file converted as a warning
      {0xE007018Bu, true},   // the same number under another facility
      {0x00000000u, false},  {0xE0010045u, false}, {0xE0010091u, false},
      {0xE001018Au, false},  {0xE001118Bu, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsEndOfData(static_cast<ResultCode>(c.code)), c.end) << std::hex << c.code;
  }
}

}  // namespace
}  // namespace ryl::core
