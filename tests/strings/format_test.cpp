// The formatter's conversions, one behaviour a line: what a host gets for a
// format and its arguments, and what it gets for hostile formats.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "format_host.h"
#include "support/result_matchers.h"

namespace ryl::test {
namespace {

// The text on success, else the code in hex, so one comparison shows both.
std::string Text(const Narrow& result) {
  if (result.code == RYL_OK) return result.text;
  char code[16];
  std::snprintf(code, sizeof code, "<%08X>", static_cast<unsigned>(result.code));
  return code;
}

std::string Text(const Wide& result) {
  if (result.code != RYL_OK) return Text(Narrow{result.code, {}});
  std::string narrow;
  for (char16_t unit : result.text) {
    if (unit < 0x80) {
      narrow += static_cast<char>(unit);
    } else {
      char escape[12];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
      narrow += escape;
    }
  }
  return narrow;
}

// The runtime's own text for one double conversion, the reference for the
// digits the module takes from it.
std::string Runtime(const char* format, double value) {
  char text[512];
#if defined(_WIN32)
  const int n = _snprintf(text, sizeof text, format, value);
#else
  const int n = std::snprintf(text, sizeof text, format, value);
#endif
  return n < 0 ? std::string("<runtime failed>") : std::string(text, static_cast<size_t>(n));
}

TEST(FormatTest, IntegersHonourFlagsWidthsPrecisionsAndSizes) {
  EXPECT_EQ(Text(FormatNarrow("%5.2f|%-4d|%04x", 3.14159, 7, 255)), " 3.14|7   |00ff");
  EXPECT_EQ(Text(FormatNarrow("%hhd %hhd %hhu", 300, 200, 300)), "44 -56 44");
  EXPECT_EQ(Text(FormatNarrow("%hd %hu %hx", 70000, -1, 0x12345)), "4464 65535 2345");
  EXPECT_EQ(Text(FormatNarrow("%+u % u %+d % d", 5u, 5u, 5, -5)), "+5  5 +5 -5");
  EXPECT_EQ(Text(FormatNarrow("%#o %#o %#x %#X %#x", 8, 0, 0, 255, 255)), "010 0 0 0XFF 0xff");
  EXPECT_EQ(Text(FormatNarrow("%#.0o|%.0d|%.0x|%5.0d|", 0, 0, 0, 0)), "0|||     |");
  EXPECT_EQ(Text(FormatNarrow("%.5d|%8.5d|%-8.5d|%08.5d|%+.3d", -42, 42, 42, 42, 7)),
            "-00042|   00042|00042   |00000042|+007");
  EXPECT_EQ(Text(FormatNarrow("%08d|%-08d|%+08d|%#010x|% 05d", -42, -42, 42, 255, 7)),
            "-0000042|-42     |+0000042|0x000000ff| 0007");
  EXPECT_EQ(Text(FormatNarrow("%d %i %u", INT_MIN, INT_MAX, UINT_MAX)), "-2147483648 2147483647 4294967295");
  EXPECT_EQ(Text(FormatNarrow("%I64d %lld %I64u %llx", LLONG_MIN, LLONG_MAX, ULLONG_MAX, 0x123456789abcdefULL)),
            "-9223372036854775808 9223372036854775807 18446744073709551615 123456789abcdef");
  EXPECT_EQ(Text(FormatNarrow("%I32d %ld %Id %zu %lu", -1, -2, -3, 4u, 5u)), "-1 -2 -3 4 5");
  // A precision above 32 digits is taken as 32.
  EXPECT_EQ(Text(FormatNarrow("%.40d", 1)), std::string(31, '0') + "1");
}

TEST(FormatTest, StarsTakeArgumentsBeforeTheValue) {
  EXPECT_EQ(Text(FormatNarrow("[%*d]", 5, 42)), "[   42]");
  EXPECT_EQ(Text(FormatNarrow("[%*d]", -5, 42)), "[42   ]");
  EXPECT_EQ(Text(FormatNarrow("[%.*d]", 4, 42)), "[0042]");
  EXPECT_EQ(Text(FormatNarrow("[%.*d]", -1, 42)), "[42]");
  EXPECT_EQ(Text(FormatNarrow("[%*.*s]", 6, 2, "hello")), "[    he]");
  EXPECT_EQ(Text(FormatNarrow("[%.*s]", -3, "hello")), "[hello]");
}

TEST(FormatTest, CharactersIgnoreWidthAndModifier) {
  EXPECT_EQ(Text(FormatNarrow("%c%5c%lc%hc", 'a', 'b', 0x141, 0x263)), "abAc");
  EXPECT_EQ(Text(FormatWide(u"%c|%5c", 0x263A, 'x')), "\\u263A|x");
}

TEST(FormatTest, StringsOfBothWidths) {
  EXPECT_EQ(Text(FormatNarrow("[%s|%.2s|%5s|%-5s|%hs]", "abc", "abc", "ab", "ab", "n")), "[abc|ab|   ab|ab   |n]");
  EXPECT_EQ(Text(FormatNarrow("[%s|%.3s|%.6s|%8s|%-7s]", nullptr, nullptr, nullptr, nullptr, nullptr)),
            "[(null)|(nu|(null)|  (null)|(null) ]");
  EXPECT_EQ(Text(FormatNarrow("[%ls|%S|%lS|%hS|%.2ls]", u"wide", u"W", u"lS", "hS", u"abc")), "[wide|W|lS|hS|ab]");
  EXPECT_EQ(Text(FormatNarrowIn(RYL_ENCODING_UTF8, "%ls", u"\u00e9\u20ac")), "\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(Text(FormatNarrowIn(RYL_ENCODING_LATIN1, "%S", u"\u00e9")), "\xe9");
  EXPECT_EQ(Text(FormatWide(u"[%s|%ls|%hs|%S|%hS|%lS|%3.1s]", u"w", u"l", "h", "S", "hS", u"lS", u"xyz")),
            "[w|l|h|S|hS|lS|  x]");
  EXPECT_EQ(Text(FormatWideIn(RYL_ENCODING_UTF8, u"%hs", "\xc3\xa9")), "\\u00E9");
  EXPECT_EQ(Text(FormatWide(u"[%s|%S]", nullptr, nullptr)), "[(null)|(null)]");
  // Other modifiers make s and S no conversion at all.
  EXPECT_EQ(Text(FormatNarrow("%Is|%ws|%llS|%d", 7)), "%Is|%ws|%llS|7");
}

TEST(FormatTest, PrecisionBoundsTheReadOfAnUnterminatedString) {
  const std::vector<char> narrow = {'a', 'b', 'c'};
  const std::vector<char16_t> wide = {u'x', u'y', u'z'};
  EXPECT_EQ(Text(FormatNarrow("%.3s|%.2ls", narrow.data(), wide.data())), "abc|xy");
  EXPECT_EQ(Text(FormatWide(u"%.3s|%.3hs", wide.data(), narrow.data())), "xyz|abc");
}

TEST(FormatTest, CountedStringsAndViews) {
  const RylCountedString narrow{5, 6, "hello"};
  const RylCountedString wide{6, 8, u"abc"};
  const RylCountedString empty{0, 0, nullptr};
  EXPECT_EQ(Text(FormatNarrow("[%Z|%.2Z|%wZ|%7Z|%Z|%Z]", &narrow, &narrow, &wide, &narrow, &empty, nullptr)),
            "[hello|he|abc|  hello|(null)|(null)]");
  EXPECT_EQ(Text(FormatWide(u"[%Z|%wZ|%-4wZ]", &narrow, &wide, &wide)), "[hello|abc|abc ]");
  EXPECT_EQ(Text(FormatNarrow("%hZ|%lZ", 1)), "%hZ|%lZ");
  EXPECT_EQ(Text(FormatNarrow("[%r|%.2r|%5r|%r]", "abcdef", 3, "abcdef", 6, "xy", 2, nullptr, 4)),
            "[abc|ab|   xy|(null)]");
  EXPECT_EQ(Text(FormatWide(u"[%r]", u"wide view", 4)), "[wide]");
  EXPECT_EQ(Text(FormatNarrow("%lr|%d", 9)), "%lr|9");
}

TEST(FormatTest, PointersAreZeroPaddedLowerCaseHex) {
  EXPECT_EQ(Text(FormatNarrow("%p|%8p|%-8p|", reinterpret_cast<void*>(0xBEEF), reinterpret_cast<void*>(0x1234),
                              reinterpret_cast<void*>(0xAB))),
            "beef|00001234|ab      |");
  EXPECT_EQ(Text(FormatNarrow("%p", nullptr)), "0");
}

TEST(FormatTest, UnknownSpecificationsAreCopiedAndTakeNoArgument) {
  EXPECT_EQ(Text(FormatNarrow("%q|%n|%C|%F|%a|%A|%Lf|%jd|%d", 5)), "%q|%n|%C|%F|%a|%A|%Lf|%jd|5");
  EXPECT_EQ(Text(FormatNarrow("%-08.3q")), "%-08.3q");
  EXPECT_EQ(Text(FormatNarrow("100%%|%5%|%")), "100%|%|%");
  EXPECT_EQ(Text(FormatNarrow("abc%")), "abc%");
  EXPECT_EQ(Text(FormatNarrow("abc%5")), "abc%5");
  EXPECT_EQ(Text(FormatNarrow("x%\x01y%-\ty")), "x%\x01y%-\ty");
  // A modifier with nothing after it is no modifier: "l" is the conversion.
  EXPECT_EQ(Text(FormatNarrow("%l")), "%l");
  EXPECT_EQ(Text(FormatNarrow("%I3|%I6d|%d", 1)), "%I3|%I6d|1");
  // With w an integer conversion prints nothing and takes nothing.
  EXPECT_EQ(Text(FormatNarrow("[%wd%wx%d]", 42)), "[42]");
}

TEST(FormatTest, DoublesTakeTheRuntimeDigitsAndTheModuleSpecialValues) {
  for (const char* format : {"%e", "%.2E", "%f", "%12.3f", "%-+12.4g|", "%#.0f", "% 010.3G", "%.20e", "%g"}) {
    for (double value : {0.0, -0.0, 1234.5, -1e-300, 6.02214076e23, 4.9406564584124654e-324, 1.0 / 3}) {
      EXPECT_EQ(Text(FormatNarrow(format, value)), Runtime(format, value)) << format << " " << value;
    }
  }
  // Precisions above 20 are taken as 20.
  EXPECT_EQ(Text(FormatNarrow("%.30f", 0.1)), Runtime("%.20f", 0.1));
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Text(FormatNarrow("%f|%+e|% g|%E|%G", inf, inf, inf, -inf, nan)), "inf|+inf| inf|-inf|nan");
  EXPECT_EQ(Text(FormatNarrow("[%6f|%-6f|%06f|%+06f|%06f]", inf, -inf, -inf, nan, inf)),
            "[   inf|-inf  |-00inf|+00nan|000inf]");
  EXPECT_EQ(Text(FormatNarrow("%f", -nan)), "nan");
  EXPECT_EQ(Text(FormatWide(u"%.3f|%e", 2.5, inf)), Runtime("%.3f", 2.5) + "|inf");
}

TEST(FormatTest, HostileWidthsFailCleanlyKeepingWhatCameBefore) {
  EXPECT_EQ(Text(FormatNarrow("a%2147483647d", 1)), "<E0010002>");
  EXPECT_EQ(Text(FormatNarrow("a%99999999999999999999d", 1)), "<E0010002>");
  EXPECT_EQ(Text(FormatNarrow("a%*d", INT_MIN, 1)), "<E0010002>");
  EXPECT_EQ(Text(FormatNarrow("a%1048577s", "x")), "<E0010002>");
  EXPECT_EQ(Text(FormatNarrow("a%1048577f", 1.0)), "<E0010002>");
  const Narrow kept = FormatNarrow("before %d %4294967296d after", 1, 2);
  EXPECT_CODE(kept.code, RYL_E_INVALID_ARG);
  EXPECT_EQ(kept.text, "before 1 ");
  // The largest width allowed is written in full.
  const Narrow widest = FormatNarrow("%1048576d|%-1048576.1f|", 7, 0.5);
  ASSERT_CODE(widest.code, RYL_OK);
  ASSERT_EQ(widest.text.size(), 2u * 1048576 + 2);
  EXPECT_EQ(widest.text.substr(1048575, 2), "7|");
  EXPECT_EQ(widest.text.substr(1048577, 4), "0.5 ");
  // Huge precisions of strings only bound the read.
  EXPECT_EQ(Text(FormatNarrow("%.4294967295s", "ok")), "ok");
}

TEST(FormatTest, AppendsAfterWhatTheBufferHolds) {
  core::GrowableBuffer<char> out;
  ASSERT_CODE(out.Resize(3), RYL_OK);
  std::memcpy(out.data(), "abc", 3);
  OutputBuffer* const target = out.Output();
  ASSERT_CODE(AppendNarrow(target, "-%d-", 12), RYL_OK);
  ASSERT_CODE(AppendNarrow(target, "%s", std::string(1000, 'z').c_str()), RYL_OK);
  ASSERT_EQ(out.size(), 3u + 4u + 1000u);
  EXPECT_EQ(std::string(out.data(), 7), "abc-12-");
}

// A sink that records its pieces and fails from a given call on.
template <typename Sink, typename Unit>
struct RecordingSink : Sink {
  std::basic_string<Unit> text;
  int calls = 0;
  int failFrom = 1 << 30;
  ResultCode RYL_THISCALL Write(const Unit* first, const Unit* last) override {
    if (++calls >= failFrom) return RYL_E_ACCESS_DENIED;
    text.append(first, last);
    return RYL_OK;
  }
};

ResultCode ToNarrowSink(RylNarrowSink* sink, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ResultCode code = Service().FormatToSink(0, sink, format, arguments);
  va_end(arguments);
  return code;
}

ResultCode ToWideSink(RylWideSink* sink, const RylChar16* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ResultCode code = Service().FormatToSinkW(0, sink, format, arguments);
  va_end(arguments);
  return code;
}

TEST(FormatTest, SinksReceiveTheTextAndStopAtTheirFailure) {
  RecordingSink<RylNarrowSink, char> narrow;
  ASSERT_CODE(ToNarrowSink(&narrow, "%s=%d;", "x", 1), RYL_OK);
  EXPECT_EQ(narrow.text, "x=1;");
  const std::string big(700, 'b');
  RecordingSink<RylNarrowSink, char> failing;
  failing.failFrom = 2;
  EXPECT_CODE(ToNarrowSink(&failing, "%s|%s|%d", big.c_str(), big.c_str(), 5), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(failing.calls, 2);
  EXPECT_FALSE(failing.text.empty());
  EXPECT_EQ(failing.text, big.substr(0, failing.text.size()));
  RecordingSink<RylWideSink, RylChar16> wide;
  const std::u16string format = u"%hs-%s-%5.1f";
  ASSERT_CODE(ToWideSink(&wide, reinterpret_cast<const RylChar16*>(format.c_str()), "n",
                         reinterpret_cast<const RylChar16*>(u"w"), 2.25),
              RYL_OK);
  EXPECT_EQ(wide.text.size(), 9u);
  EXPECT_CODE(ToNarrowSink(nullptr, "x"), RYL_E_INVALID_ARG);
  EXPECT_CODE(ToNarrowSink(&narrow, nullptr), RYL_E_INVALID_ARG);
}

// An OutputBuffer whose Resize refuses to go past a limit.
struct LimitedOutput {
  OutputBuffer record;
  RylOutputBufferCallbacks table{};
  std::string storage;
  uint32_t limit;
  explicit LimitedOutput(uint32_t max) : limit(max) {
    table.version = 1;
    table.Resize = [](RylBufferView* view, uint32_t length, void* context) -> ResultCode {
      auto* self = static_cast<LimitedOutput*>(context);
      if (length > self->limit) return RYL_E_OUT_OF_MEMORY;
      self->storage.resize(length);
      view->data = self->storage.data();
      view->length = length;
      return RYL_OK;
    };
    record = {&table, this, {nullptr, 0}};
  }
};

TEST(FormatTest, AFailingResizeIsReturnedAndEarlierTextStays) {
  LimitedOutput out(300);
  OutputBuffer* const target = &out.record;
  ASSERT_CODE(AppendNarrow(target, "%s", std::string(200, 'a').c_str()), RYL_OK);
  EXPECT_CODE(AppendNarrow(target, "%s", std::string(200, 'b').c_str()), RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(out.storage, std::string(200, 'a'));
  EXPECT_CODE(Service().FormatAppend(0, nullptr, "x", nullptr), RYL_E_INVALID_ARG);
}

}  // namespace
}  // namespace ryl::test
