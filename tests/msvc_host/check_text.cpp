// XML written through the writer into a stream of this host and parsed back
// through an event handler of this host; regular expressions over bytes and
// over UTF-16 with their captures.
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"

namespace msvc_host {
namespace {

// Records the events as one line of text: <name, @name=value, "text", /name;.
// Text may arrive in several pieces; consecutive pieces form one quoted run.
class RecordingHandler final : public RylXmlEventHandler {
 public:
  ~RecordingHandler() { Free(text_); }

  void RYL_THISCALL Reserved() override { ++reservedCalls_; }
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override {
    CloseText();
    Append(L"<");
    return Append(name);
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText*, const RylXmlText* name, const RylXmlText* value) override {
    CloseText();
    Append(L" @");
    Append(name);
    Append(L"=");
    return Append(value);
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText* name) override {
    CloseText();
    Append(L" /");
    Append(name);
    return Append(L";");
  }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    if (!inText_) Append(L" \"");
    inText_ = true;
    return Append(text);
  }

  const wchar_t* text() {
    CloseText();
    return text_;
  }
  uint32_t length() const { return length_; }
  int reservedCalls() const { return reservedCalls_; }
  // Fails the next event with this code.
  void FailWith(ResultCode code) { failure_ = code; }

 private:
  void CloseText() {
    if (inText_) Append(L"\"");
    inText_ = false;
  }
  ResultCode Append(const RylXmlText* piece) { return Append(piece->data, piece->length); }
  ResultCode Append(const wchar_t* literal) { return Append(literal, WideLength(literal)); }
  ResultCode Append(const RylChar16* data, uint32_t count) {
    if (failure_ != 0) return failure_;
    if (length_ + count + 1 > capacity_) {
      uint32_t grown = capacity_ == 0 ? 256 : capacity_ * 2;
      while (grown < length_ + count + 1) grown *= 2;
      void* moved = Reallocate(text_, grown * sizeof(wchar_t));
      if (moved == nullptr) return RYL_E_OUT_OF_MEMORY;
      text_ = static_cast<wchar_t*>(moved);
      capacity_ = grown;
    }
    for (uint32_t i = 0; i < count; ++i) text_[length_++] = data[i];
    text_[length_] = 0;
    return 0;
  }

  wchar_t* text_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
  int reservedCalls_ = 0;
  ResultCode failure_ = 0;
  bool inText_ = false;
};

void CheckXmlRoundTrip(RootFactory* root) {
  MemoryStream document;
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_XML_WRITER);
  HOST_CHECK_OK(root->CreateXmlWriter(&receiver, &document), "CreateXmlWriter over a stream of this host");
  RylXmlWriter* writer = static_cast<RylXmlWriter*>(object);
  if (writer == nullptr) return;
  HOST_CHECK_OK(writer->SetFormatting(L"  ", 2, L"\n", 1), "SetFormatting");
  HOST_CHECK_OK(writer->WriteDeclaration(L"1.0", 3), "WriteDeclaration");
  HOST_CHECK_OK(writer->StartElement(L"catalog", 7), "StartElement");
  HOST_CHECK_OK(writer->WriteAttribute(L"owner", 5, L"A&B <\u00E9>", 7), "WriteAttribute");
  HOST_CHECK_OK(writer->WriteElement(L"item", 4, L"one \u20AC", 5), "WriteElement");
  HOST_CHECK_OK(writer->EndElement(), "EndElement");
  HOST_CHECK_OK(writer->Flush(), "Flush");
  HOST_CHECK_OK(writer->GetStatus(), "GetStatus after a clean document");
  writer->Destroy(&kDefaultHeap);
  static const char kExpected[] =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<catalog owner=\"A&amp;B &lt;\xC3\xA9&gt;\">\n"
      "  <item>one \xE2\x82\xAC</item>\n</catalog>\n";
  HOST_CHECK(SameNarrow(reinterpret_cast<const char*>(document.data()), document.size(), kExpected),
             "the writer's UTF-8, escaped and indented");

  document.Seek(0, RYL_SEEK_BEGIN);
  RecordingHandler handler;
  HOST_CHECK_OK(root->ParseXml(&document, &handler, 0), "ParseXml with a handler of this host");
  const wchar_t* events = handler.text();
  HOST_CHECK(SameWide(events, handler.length(),
                      L"<catalog @owner=A&B <\u00E9> \"\n  \"<item \"one \u20AC\" /item; \"\n\" /catalog;"),
             "the events in document order, text as UTF-16");
  HOST_CHECK(handler.reservedCalls() == 0, "the reserved entry is never called");

  document.Seek(0, RYL_SEEK_BEGIN);
  RecordingHandler stopping;
  const ResultCode hostCode = static_cast<ResultCode>(0xE0FF1234u);
  stopping.FailWith(hostCode);
  HOST_CHECK_CODE(root->ParseXml(&document, &stopping, 0), hostCode, "a handler's failure stops the parse");

  static const char kBroken[] = "<a><b></a>";
  MemoryStream broken;
  broken.Assign(kBroken, sizeof kBroken - 1);
  RecordingHandler ignored;
  HOST_CHECK_CODE(root->ParseXml(&broken, &ignored, 0), RYL_E_BAD_FORMAT, "a document that is not well-formed");
}

template <typename Unit>
RylRegexT<Unit>* NewRegex(RootFactory* root, const Unit* pattern, uint32_t length, uint32_t options);

template <>
RylRegex8* NewRegex<char>(RootFactory* root, const char* pattern, uint32_t length, uint32_t options) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_REGEX);
  if (root->CreateRegexNarrow(&receiver, pattern, length, options) < 0) return nullptr;
  return static_cast<RylRegex8*>(object);
}

template <>
RylRegex16* NewRegex<RylChar16>(RootFactory* root, const RylChar16* pattern, uint32_t length, uint32_t options) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_REGEX);
  if (root->CreateRegexWide(&receiver, pattern, length, options) < 0) return nullptr;
  return static_cast<RylRegex16*>(object);
}

void CheckRegexes(RootFactory* root) {
  static const char kPattern[] = "(\\w+)@(\\w+)\\.com";
  RylRegex8* narrow = NewRegex<char>(root, kPattern, NarrowLength(kPattern), 0);
  HOST_CHECK(narrow != nullptr, "CreateRegexNarrow");
  if (narrow != nullptr) {
    HOST_CHECK(narrow->GetCaptureCount() == 2, "two groups");
    static const char kSubject[] = "mail anna@example.com today";
    RylRegexCapture8 entries[3];
    memset(entries, 0xAA, sizeof entries);
    RylRegexCaptures8 captures = {entries, entries + 3, entries + 3};
    HOST_CHECK_OK(narrow->Match(kSubject, NarrowLength(kSubject), &captures), "Match");
    HOST_CHECK(entries[0].matched == 1 && entries[0].begin == kSubject + 5 && entries[0].end == kSubject + 21,
               "the whole match points into the subject");
    HOST_CHECK(entries[1].matched == 1 && entries[1].end - entries[1].begin == 4 && entries[2].matched == 1 &&
                   SameNarrow(entries[2].begin, static_cast<uint32_t>(entries[2].end - entries[2].begin), "example"),
               "and each group");
    HOST_CHECK_OK(narrow->Compile("^ABC$", 5, RYL_REGEX_CASELESS), "Compile again, caseless");
    HOST_CHECK_OK(narrow->Match("abc", 3, &captures), "Match abc");
    HOST_CHECK(entries[0].matched == 1, "caseless ABC matches abc");
    HOST_CHECK(narrow->Compile("(", 1, 0) < 0, "a pattern that does not compile is refused");
    narrow->Destroy(&kDefaultHeap);
  }

  static const wchar_t kWidePattern[] = L"\u00E9t\u00E9 (\\d+)";
  RylRegex16* wide = NewRegex<RylChar16>(root, kWidePattern, WideLength(kWidePattern), RYL_REGEX_WHOLE_MATCH);
  HOST_CHECK(wide != nullptr, "CreateRegexWide");
  if (wide != nullptr) {
    static const wchar_t kSubject[] = L"\u00E9t\u00E9 2026";
    RylRegexCapture16 entries[2];
    RylRegexCaptures16 captures = {entries, entries + 2, entries + 2};
    HOST_CHECK_OK(wide->Match(kSubject, WideLength(kSubject), &captures), "Match over UTF-16");
    HOST_CHECK(entries[0].matched == 1 && entries[1].matched == 1 && entries[1].begin == kSubject + 4 &&
                   entries[1].end == kSubject + 8,
               "the group is the four digits");
    HOST_CHECK_OK(wide->Match(L"x\u00E9t\u00E9 1", 6, &captures), "Match a subject with a prefix");
    HOST_CHECK(entries[0].matched == 0, "a whole match does not match a longer subject");
    wide->Destroy(&kDefaultHeap);
  }
}

}  // namespace

void CheckXml(RootFactory* root) { CheckXmlRoundTrip(root); }
void CheckRegex(RootFactory* root) { CheckRegexes(root); }

}  // namespace msvc_host
