// The event parser: events and their order, the expansion limit, handler
// failures, encodings, truncation, hostile documents and the cut flag.
#include "xml/xml_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hoststreams/memory_host_stream.h"

namespace ryl::xml {
namespace {

using Stream = host::MemoryHostStream<std::string>;

std::string Narrow(const RylXmlText* text) {
  std::string out;
  for (uint32_t i = 0; i < text->length; ++i) {
    const char16_t unit = static_cast<char16_t>(text->data[i]);
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else {
      out += "\\u" + std::to_string(static_cast<unsigned>(unit));
    }
  }
  return out;
}

// Records every event as one line; optionally fails at the n-th call.
struct Recorder final : RylXmlEventHandler {
  std::vector<std::string> events;
  int failAt = -1;
  ResultCode failWith = RYL_E_ACCESS_DENIED;
  int calls = 0;
  ResultCode Next(std::string event) {
    events.push_back(std::move(event));
    return ++calls == failAt ? failWith : RYL_OK;
  }
  void RYL_THISCALL Reserved() override { events.push_back("reserved"); }
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override { return Next("start " + Narrow(name)); }
  ResultCode RYL_THISCALL Attribute(const RylXmlText* element, const RylXmlText* name,
                                    const RylXmlText* value) override {
    return Next("attr " + Narrow(element) + " " + Narrow(name) + "=" + Narrow(value));
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText* name) override { return Next("end " + Narrow(name)); }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    // Pieces of one run are joined, so tests see the text, not expat's cuts.
    if (!events.empty() && events.back().rfind("text ", 0) == 0) {
      events.back() += Narrow(text);
      return ++calls == failAt ? failWith : RYL_OK;
    }
    return Next("text " + Narrow(text));
  }
};

ResultCode Parse(const std::string& document, Recorder* recorder, uint8_t flags = 0) {
  Stream stream(document);
  return ParseXml(&stream, recorder, flags);
}

std::string Entities(int references, const std::string& where = "content") {
  std::string document = "<!DOCTYPE r [<!ENTITY e \"x\">]>";
  std::string refs;
  for (int i = 0; i < references; ++i) refs += "&e;";
  if (where == "content") return document + "<r>" + refs + "</r>";
  return document + "<r a=\"" + refs + "\"/>";
}

TEST(XmlParser, ElementsAttributesAndTextInDocumentOrder) {
  Recorder r;
  ASSERT_EQ(Parse("<?xml version=\"1.0\"?><a x=\"1\" y='2' z=\"&amp;&#65;\">t<b/>u<!--c--><?pi d?>"
                  "<![CDATA[<c>]]></a>",
                  &r),
            RYL_OK);
  EXPECT_EQ(r.events, (std::vector<std::string>{"start a", "attr a x=1", "attr a y=2", "attr a z=&A", "text t",
                                                "start b", "end b", "text u<c>", "end a"}));
}

TEST(XmlParser, ANamespacePrefixArrivesAsWritten) {
  Recorder r;
  ASSERT_EQ(Parse("<p:a xmlns:p=\"urn:x\" p:k=\"v\"/>", &r), RYL_OK);
  EXPECT_EQ(r.events, (std::vector<std::string>{"start p:a", "attr p:a xmlns:p=urn:x", "attr p:a p:k=v", "end p:a"}));
}

TEST(XmlParser, FiftyExpansionsPassAndTheFiftyFirstIsSkippedThenRefused) {
  for (const char* where : {"content", "attribute"}) {
    SCOPED_TRACE(where);
    Recorder fifty;
    EXPECT_EQ(Parse(Entities(50, where), &fifty), RYL_OK);
    Recorder more;
    EXPECT_EQ(Parse(Entities(51, where), &more), RYL_E_BAD_FORMAT);
    const std::string expected(50, 'x');
    if (std::string(where) == "content") {
      EXPECT_EQ(fifty.events[1], "text " + expected);
      EXPECT_EQ(more.events[1], "text " + expected) << "the fifty-first expansion gives no text";
    } else {
      EXPECT_EQ(more.events[1], "attr r a=" + expected);
    }
  }
}

TEST(XmlParser, NestedExpansionsCountOneEach) {
  // Each &b; expands b, which expands a twice: three expansions.
  const std::string prolog = "<!DOCTYPE r [<!ENTITY a \"x\"><!ENTITY b \"&a;&a;\">]>";
  std::string sixteen, seventeen;
  for (int i = 0; i < 16; ++i) sixteen += "&b;";
  seventeen = sixteen + "&b;";
  Recorder ok, tooMany;
  EXPECT_EQ(Parse(prolog + "<r>" + sixteen + "&a;&a;</r>", &ok), RYL_OK);  // 48 + 2
  EXPECT_EQ(Parse(prolog + "<r>" + seventeen + "</r>", &tooMany), RYL_E_BAD_FORMAT);  // 51
  EXPECT_EQ(tooMany.events[1], "text " + std::string(33, 'x')) << "the 17th &b; is counted, its second &a; skipped";
}

TEST(XmlParser, CharacterReferencesAndPredefinedEntitiesAreNotExpansions) {
  std::string body;
  for (int i = 0; i < 200; ++i) body += "&amp;&#x41;";
  Recorder r;
  EXPECT_EQ(Parse("<r>" + body + "</r>", &r), RYL_OK);
}

TEST(XmlParser, BillionLaughsFailsFast) {
  std::string prolog = "<!DOCTYPE r [<!ENTITY l0 \"ha\">";
  for (int i = 1; i <= 9; ++i) {
    prolog += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) prolog += "&l" + std::to_string(i - 1) + ";";
    prolog += "\">";
  }
  Recorder r;
  EXPECT_EQ(Parse(prolog + "]><r>&l9;</r>", &r), RYL_E_BAD_FORMAT);
  size_t text = 0;
  for (const std::string& e : r.events) text += e.size();
  EXPECT_LT(text, 1000u) << "at most 50 expansions reached the handler";
}

TEST(XmlParser, AHandlerFailureStopsEveryLaterCall) {
  Recorder r;
  r.failAt = 1;
  EXPECT_EQ(Parse("<a x=\"1\" y=\"2\"><b/></a>", &r), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(r.events, std::vector<std::string>{"start a"});
  Recorder warning;
  warning.failAt = 2;
  warning.failWith = RYL_W_TIMEOUT;
  EXPECT_EQ(Parse("<a x=\"1\" y=\"2\"/>", &warning), RYL_W_TIMEOUT) << "a warning stops the parse too";
  EXPECT_EQ(warning.events.size(), 2u);
}

TEST(XmlParser, EncodingsWithAndWithoutByteOrderMarks) {
  const std::u16string text = u"<a b=\"\u00e9\">\u4e2d</a>";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t unit : text) {
    le += static_cast<char>(unit & 0xFF);
    le += static_cast<char>(unit >> 8);
    be += static_cast<char>(unit >> 8);
    be += static_cast<char>(unit & 0xFF);
  }
  const std::vector<std::string> expected{"start a", "attr a b=\\u233", "text \\u20013", "end a"};
  for (const std::string& document :
       {le, be, std::string("<a b=\"\xC3\xA9\">\xE4\xB8\xAD</a>"),
        std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><a b=\"\xC3\xA9\">\xE4\xB8\xAD</a>"),
        std::string("\xEF\xBB\xBF<a b=\"\xC3\xA9\">\xE4\xB8\xAD</a>")}) {
    Recorder r;
    ASSERT_EQ(Parse(document, &r), RYL_OK);
    EXPECT_EQ(r.events, expected);
  }
}

TEST(XmlParser, EmptyTruncatedAndMalformedDocumentsAreRefused) {
  Recorder empty;
  EXPECT_EQ(Parse("", &empty), RYL_E_BAD_FORMAT);
  const std::string whole = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"v\">]><a k=\"&e;\">t&e;<b/></a>";
  Recorder full;
  ASSERT_EQ(Parse(whole, &full), RYL_OK);
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    Recorder r;
    EXPECT_EQ(Parse(whole.substr(0, cut), &r), RYL_E_BAD_FORMAT) << "cut at " << cut;
  }
  for (const char* bad : {"<a>", "<a></b>", "<a x=1/>", "<a>&undefined;</a>", "<a/><b/>", "text", "<a>\x01</a>",
                          "<a x=\"1\" x=\"2\"/>", "<a>\xC3</a>"}) {
    Recorder r;
    EXPECT_EQ(Parse(bad, &r), RYL_E_BAD_FORMAT) << bad;
  }
}

TEST(XmlParser, AFailingReadEndsTheParseWithItsCode) {
  struct FailingStream final : host::HostStreamBase {
    ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_ACCESS_DENIED; }
  } failing;
  Recorder r;
  EXPECT_EQ(ParseXml(&failing, &r, 0), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(ParseXml(nullptr, &r, 0), RYL_E_INVALID_ARG);
}

TEST(XmlParser, LongDocumentsStreamThroughSmallChunks) {
  std::string document = "<r>";
  for (int i = 0; i < 20000; ++i) document += "<e i=\"" + std::to_string(i) + "\">text " + std::to_string(i) + "</e>";
  document += "</r>";
  Recorder r;
  ASSERT_EQ(Parse(document, &r), RYL_OK);
  EXPECT_EQ(r.events.size(), 2u + 20000u * 4u);
  EXPECT_EQ(r.events[20000 * 4 - 1], "text text 19999");
}

TEST(XmlParser, TheCutFlagRefusesOneTokenLongerThanTheChunk) {
  const std::string longComment = "<r><!--" + std::string(20000, 'c') + "--></r>";
  const std::string longTag = "<r a=\"" + std::string(20000, 'v') + "\"/>";
  const std::string longText = "<r>" + std::string(200000, 't') + "</r>";
  for (const std::string* document : {&longComment, &longTag}) {
    Recorder plain, cut;
    EXPECT_EQ(Parse(*document, &plain), RYL_OK);
    EXPECT_EQ(Parse(*document, &cut, RYL_XML_PARSE_CUT_LONG_RUNS), RYL_E_BAD_FORMAT);
  }
  Recorder text;
  EXPECT_EQ(Parse(longText, &text, RYL_XML_PARSE_CUT_LONG_RUNS), RYL_OK) << "text is delivered as it comes";
  Recorder small;
  EXPECT_EQ(Parse("<r><!--short--></r>", &small, RYL_XML_PARSE_CUT_LONG_RUNS), RYL_OK);
}

}  // namespace
}  // namespace ryl::xml
