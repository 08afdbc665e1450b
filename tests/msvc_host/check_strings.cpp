// The root's own slots, the string service (conversions, formatting through
// a va_list, number parsing, path views through the hidden result pointer)
// and the file-system service's path slots.
#include <stdarg.h>

#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"

namespace msvc_host {
namespace {

ResultCode Format(StringService* strings, OutputBuffer* output, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ResultCode rc = strings->FormatAppend(0, output, format, arguments);
  va_end(arguments);
  return rc;
}

ResultCode FormatWide(StringService* strings, OutputBuffer* output, const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ResultCode rc = strings->FormatAppendW(0, output, format, arguments);
  va_end(arguments);
  return rc;
}

class CollectingSink final : public RylNarrowSink {
 public:
  ResultCode RYL_THISCALL Write(const char* first, const char* last) override {
    const uint32_t count = static_cast<uint32_t>(last - first);
    if (length_ + count > sizeof text_) return RYL_E_BUFFER_TOO_SMALL;
    memcpy(text_ + length_, first, count);
    length_ += count;
    ++calls_;
    return 0;
  }
  const char* text() const { return text_; }
  uint32_t length() const { return length_; }

 private:
  char text_[64] = {};
  uint32_t length_ = 0;
  int calls_ = 0;
};

ResultCode FormatToSink(StringService* strings, RylNarrowSink* sink, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const ResultCode rc = strings->FormatToSink(0, sink, format, arguments);
  va_end(arguments);
  return rc;
}

StringService* GetStrings(RootFactory* root) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_STRING_SERVICE);
  if (root->GetStringService(&receiver) < 0) return nullptr;
  return static_cast<StringService*>(object);
}

}  // namespace

void CheckRoot(RootFactory* root) {
  HOST_CHECK(root->AddRef() == 2, "the root's AddRef answers 2");
  HOST_CHECK(root->Release() != 0, "a Release that leaves a reference answers non-zero");
  uint32_t highest = 0;
  HOST_CHECK(root->Query(RYL_TYPE_ROOT_FACTORY, 0, &highest) == root && highest == RYL_VERSION_ROOT_FACTORY,
             "the root answers its own type at its highest version");
  highest = 0;
  HOST_CHECK(root->Query(RYL_TYPE_ARCHIVE_FACTORY, 0, &highest) == nullptr, "the root is no archive factory");

  RylInterfaceId unknown = kRylRootInterfaceId;
  unknown.bytes[15] = RYL_MODULE_INTERFACE_VERSION + 1;
  void* untouched = &highest;
  HOST_CHECK_CODE(GetRylObject(unknown, &untouched), RYL_E_UNSUPPORTED_VERSION,
                  "a newer module version is refused");
  HOST_CHECK(untouched == &highest, "and the out pointer is left alone");
}

void CheckStrings(RootFactory* root) {
  StringService* strings = GetStrings(root);
  HOST_CHECK(strings != nullptr, "GetStringService delivers the service");
  if (strings == nullptr) return;
  uint32_t highest = 0;
  HOST_CHECK(strings->Query(RYL_TYPE_STRING_SERVICE, 0, &highest) == strings && highest == RYL_VERSION_STRING_SERVICE,
             "the string service answers type 6 at version 2");

  static const char kUtf8[] = "gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x98\x80";
  HeapBuffer wide(2);
  HOST_CHECK_OK(strings->ConvertToUtf16(wide.get(), kUtf8, NarrowLength(kUtf8), RYL_ENCODING_UTF8),
                "ConvertToUtf16 from UTF-8");
  HOST_CHECK(SameWide(wide.wide(), wide.length(), L"gr\u00FC\u00DFe \xD83D\xDE00"),
             "UTF-8 with a supplementary character arrives as UTF-16 with its surrogate pair");
  HeapBuffer back(1);
  HOST_CHECK_OK(strings->ConvertFromUtf16(back.get(), wide.wide(), wide.length(), RYL_ENCODING_UTF8),
                "ConvertFromUtf16 to UTF-8");
  HOST_CHECK(SameNarrow(back.narrow(), back.length(), kUtf8), "and back to the same bytes");

  HeapBuffer text(1);
  HOST_CHECK_OK(Format(strings, text.get(), "%5d|%-4s|%08.3f|%I64u|%ls|%c", 42, "ab", 3.14159,
                       static_cast<uint64_t>(1) << 40, L"wide", 'z'),
                "FormatAppend through this compiler's va_list");
  HOST_CHECK(SameNarrow(text.narrow(), text.length(), "   42|ab  |0003.142|1099511627776|wide|z"),
             "integers, strings, a double and a 64-bit value read in order");
  HeapBuffer wideText(2);
  HOST_CHECK_OK(FormatWide(strings, wideText.get(), L"%s=%hs/%x", L"key", "value", 0xBEEFu), "FormatAppendW");
  HOST_CHECK(SameWide(wideText.wide(), wideText.length(), L"key=value/beef"), "%s is wide and %hs narrow there");
  CollectingSink sink;
  HOST_CHECK_OK(FormatToSink(strings, &sink, "[%-3d|%q]", 1), "FormatToSink into a sink of this compiler");
  HOST_CHECK(SameNarrow(sink.text(), sink.length(), "[1  |%q]"), "the sink's Write is called as __thiscall");

  int64_t value = 0;
  const char* stop = nullptr;
  static const char kNumber[] = "-9000000000x";
  HOST_CHECK_CODE(strings->ParseInt64(&value, kNumber, 12, 10, &stop, 8), RYL_E_INVALID_ARG,
                  "ParseInt64 stops at a letter");
  HOST_CHECK(value == -9000000000LL && stop == kNumber + 11, "a 64-bit result comes back whole with its stop");
  double parsed = 0;
  HOST_CHECK_OK(strings->ParseDouble(&parsed, "2.5e3", 5, nullptr, 0), "ParseDouble");
  HOST_CHECK(parsed == 2500.0, "2.5e3 is 2500");
  HeapBuffer number(1);
  HOST_CHECK_OK(strings->UInt64ToText(number.get(), 0xFEDCBA9876543210ull, 16, 8), "UInt64ToText");
  HOST_CHECK(SameNarrow(number.narrow(), number.length(), "fedcba9876543210"), "all eight bytes in base 16");

  // Slots that return a view take the result's address first and hand it back.
  static const wchar_t kPath[] = L"C:\\dir\\name.ext";
  const uint32_t pathLength = WideLength(kPath);
  RylStringView view = {nullptr, 0xDEADBEEF};
  HOST_CHECK(strings->GetFileNamePartView(&view, kPath, pathLength) == &view, "a view slot returns its result");
  HOST_CHECK(view.data == kPath + 7 && view.length == 8, "the file name part points into the path");
  HOST_CHECK(strings->GetExtensionView(&view, kPath, pathLength) == &view && view.data == kPath + 11 &&
                 view.length == 4,
             "the extension includes its dot");
  RylStringView parent = {}, name = {};
  HOST_CHECK_OK(strings->SplitParentAndName(kPath, pathLength, &parent, &name), "SplitParentAndName");
  HOST_CHECK(parent.length == 6 && SameWide(name.data, name.length, L"name.ext"), "into C:\\dir and name.ext");
  HOST_CHECK(strings->CompareNoCase(0, L"ABC", 3, L"abd", 3) < 0, "CompareNoCase orders ABC before abd");
  uint8_t matches = 0;
  const RylStringView pattern = {L"*.E?T", 5};
  const RylStringView candidate = {L"name.ext", 8};
  HOST_CHECK_OK(strings->MatchWildcardNoCase(&matches, &pattern, &candidate), "MatchWildcardNoCase");
  HOST_CHECK(matches == 1, "*.E?T matches name.ext without case");
  HeapBuffer combined(2);
  HOST_CHECK_OK(strings->CombinePaths(combined.get(), L"C:\\dir", 6, L"sub\\f.txt", 9), "CombinePaths");
  HOST_CHECK(SameWide(combined.wide(), combined.length(), L"C:\\dir\\sub\\f.txt"), "joins with one separator");
}

}  // namespace msvc_host
