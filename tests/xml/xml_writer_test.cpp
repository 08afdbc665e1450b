// The XML writer, byte for byte: states, escaping in every mode, formatting,
// the buffer's edges and the sticky status.
#include "xml/xml_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "hoststreams/memory_host_stream.h"

namespace ryl::xml {
namespace {

using Stream = host::MemoryHostStream<std::string>;

const RylChar16* W(const std::u16string& text) { return reinterpret_cast<const RylChar16*>(text.data()); }
uint32_t L(const std::u16string& text) { return static_cast<uint32_t>(text.size()); }

struct Writer {
  Writer() {
    void* object = nullptr;
    const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                       *static_cast<void**>(c) = o;
                                       return RYL_OK;
                                     }};
    const ObjectReceiver receiver{&store, &object, 1, {}};
    EXPECT_EQ(CreateXmlWriter(&receiver, &stream), RYL_OK);
    w = static_cast<RylXmlWriter*>(object);
  }
  ~Writer() {
    if (w != nullptr) w->Destroy(nullptr);
  }
  std::string Output() {
    EXPECT_EQ(w->Flush(), RYL_OK);
    return stream.data;
  }
  Stream stream;
  RylXmlWriter* w = nullptr;
};

TEST(XmlWriter, DefaultsWriteNoWhitespaceOfTheirOwn) {
  Writer x;
  ASSERT_EQ(x.w->WriteDeclaration(W(u"1.0"), 3), RYL_OK);
  ASSERT_EQ(x.w->StartElement(W(u"a"), 1), RYL_OK);
  ASSERT_EQ(x.w->WriteAttribute(W(u"k"), 1, W(u"x<\"y"), 4), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  EXPECT_EQ(x.Output(), "<?xml version=\"1.0\" encoding=\"utf-8\"?><a k=\"x&lt;&quot;y\"/>");
}

TEST(XmlWriter, IndentationAndLineBreaks) {
  Writer x;
  ASSERT_EQ(x.w->SetFormatting(W(u"  "), 2, W(u"\n"), 1), RYL_OK);
  ASSERT_EQ(x.w->WriteDeclaration(W(u"1.0"), 3), RYL_OK);
  ASSERT_EQ(x.w->StartElement(W(u"a"), RYL_XML_NUL_TERMINATED), RYL_OK);
  ASSERT_EQ(x.w->StartElement(W(u"b"), 1), RYL_OK);
  ASSERT_EQ(x.w->WriteText(W(u"t"), 1), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  EXPECT_EQ(x.Output(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a>\n  <b>t</b>\n</a>\n");
}

TEST(XmlWriter, NestingWithoutTextAndTheTwoEmptyForms) {
  Writer x;
  ASSERT_EQ(x.w->SetFormatting(W(u"\t"), 1, W(u"\r\n"), 2), RYL_OK);
  ASSERT_EQ(x.w->StartElement(W(u"r"), 1), RYL_OK);
  ASSERT_EQ(x.w->StartElement(W(u"e"), 1), RYL_OK);
  ASSERT_EQ(x.w->EndElementFull(), RYL_OK);
  ASSERT_EQ(x.w->StartElement(W(u"f"), 1), RYL_OK);
  ASSERT_EQ(x.w->StartAttribute(W(u"a"), 1), RYL_OK);
  ASSERT_EQ(x.w->WriteText(W(u"1'2"), 3), RYL_OK);
  ASSERT_EQ(x.w->EndAttribute(), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  ASSERT_EQ(x.w->WriteText(W(u"tail"), 4), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  EXPECT_EQ(x.Output(), "<r>\r\n\t<e></e>\r\n\t<f a=\"1&apos;2\"/>\r\n\ttail</r>\r\n");
}

TEST(XmlWriter, EscapingByModeInTextAndAttributes) {
  const std::u16string text = u"a\u0001b&<>\"'\uFFFE\t\n\r";
  struct Row {
    uint32_t mode;
    ResultCode result;
    const char* inText;
  } rows[] = {
      {RYL_XML_ESCAPE_ENCODE, RYL_OK, "a&#x1;b&amp;&lt;&gt;\"'&#xfffe;\t\n\r"},
      {RYL_XML_ESCAPE_DROP, RYL_OK, "ab&amp;&lt;&gt;\"'\t\n\r"},
      {RYL_XML_ESCAPE_VERBATIM, RYL_OK, "a\x01" "b&amp;&lt;&gt;\"'\xEF\xBF\xBE\t\n\r"},
      {RYL_XML_ESCAPE_REFUSE, RYL_E_BAD_FORMAT, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    Writer x;
    ASSERT_EQ(x.w->SetEscapeMode(row.mode), RYL_OK);
    ASSERT_EQ(x.w->StartElement(W(u"e"), 1), RYL_OK);
    ASSERT_EQ(x.w->WriteText(W(text), L(text)), row.result);
    EXPECT_EQ(x.w->GetStatus(), RYL_OK) << "a refusal is not kept";
    ASSERT_EQ(x.w->EndElement(), RYL_OK);
    const std::string expected = row.result < 0 ? "<e/>" : std::string("<e>") + row.inText + "</e>";
    EXPECT_EQ(x.Output(), expected);
  }
  Writer x;
  ASSERT_EQ(x.w->StartElement(W(u"e"), 1), RYL_OK);
  ASSERT_EQ(x.w->WriteAttribute(W(u"v"), 1, W(text), L(text)), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  EXPECT_EQ(x.Output(), "<e v=\"a&#x1;b&amp;&lt;&gt;&quot;&apos;&#xfffe;\t\n\r\"/>");
  EXPECT_EQ(x.w->SetEscapeMode(4), RYL_E_INVALID_ARG);
}

TEST(XmlWriter, NonAsciiAndSurrogates) {
  Writer x;
  const std::u16string name = u"\u00e9l\u4e2d";
  const std::u16string text = u"\U0001F600 \u00ff";
  ASSERT_EQ(x.w->StartElement(W(name), L(name)), RYL_OK);
  ASSERT_EQ(x.w->WriteText(W(text), L(text)), RYL_OK);
  const std::u16string lone = u"a\xD800";
  EXPECT_EQ(x.w->WriteText(W(lone), L(lone)), RYL_E_BAD_FORMAT);
  EXPECT_EQ(x.w->WriteRaw(W(lone), L(lone)), RYL_E_BAD_FORMAT);
  EXPECT_EQ(x.w->GetStatus(), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  EXPECT_EQ(x.Output(), "<\xC3\xA9l\xE4\xB8\xAD>\xF0\x9F\x98\x80 \xC3\xBF</\xC3\xA9l\xE4\xB8\xAD>");
}

TEST(XmlWriter, TextBeforeAnyElementAndUnbalancedEnds) {
  Writer x;
  EXPECT_EQ(x.w->WriteText(W(u""), 0), RYL_OK) << "nothing to write succeeds anywhere";
  EXPECT_EQ(x.w->WriteText(W(u"t"), 1), RYL_E_NOT_IMPLEMENTED);
  EXPECT_EQ(x.w->EndElement(), RYL_E_INVALID_STATE);
  EXPECT_EQ(x.w->EndElementFull(), RYL_E_INVALID_STATE);
  EXPECT_EQ(x.Output(), "");
}

TEST(XmlWriter, RawTextAndWholeElements) {
  Writer x;
  ASSERT_EQ(x.w->StartElement(W(u"r"), 1), RYL_OK);
  ASSERT_EQ(x.w->WriteRaw(W(u"<!-- & -->"), 10), RYL_OK);
  ASSERT_EQ(x.w->WriteElement(W(u"k"), 1, W(u"1&2"), 3), RYL_OK);
  ASSERT_EQ(x.w->WriteElement(W(u"empty"), 5, W(u""), 0), RYL_OK);
  ASSERT_EQ(x.w->EndElement(), RYL_OK);
  EXPECT_EQ(x.Output(), "<r><!-- & --><k>1&amp;2</k><empty/></r>");
}

TEST(XmlWriter, TheBufferEdgeAndTextsLongerThanIt) {
  for (size_t length : {4080u, 4090u, 4095u, 4096u, 4097u, 10000u, 100000u}) {
    SCOPED_TRACE(length);
    Writer x;
    ASSERT_EQ(x.w->StartElement(W(u"t"), 1), RYL_OK);
    std::u16string text(length, u'x');
    text[length / 2] = u'&';
    ASSERT_EQ(x.w->WriteText(W(text), L(text)), RYL_OK);
    ASSERT_EQ(x.w->EndElement(), RYL_OK);
    std::string expected(length, 'x');
    expected.replace(length / 2, 1, "&amp;");
    EXPECT_EQ(x.Output(), "<t>" + expected + "</t>");
    // Each long run goes to the stream whole (after what was buffered), not
    // in buffer-sized pieces: "<t>", run, "&amp;", run, "</t>".
    if (length > 8192) {
      EXPECT_EQ(x.stream.writes, 5);
    }
  }
}

TEST(XmlWriter, AFailedWriteIsKeptAndEveryLaterCallReturnsIt) {
  Writer x;
  x.stream.writeFailure = RYL_E_ACCESS_DENIED;
  x.stream.writesAllowed = 0;
  ASSERT_EQ(x.w->StartElement(W(u"a"), 1), RYL_OK);  // still in the buffer
  const std::u16string big(5000, u'z');
  EXPECT_EQ(x.w->WriteText(W(big), L(big)), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(x.w->GetStatus(), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(x.w->WriteText(W(u"t"), 1), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(x.w->EndElement(), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(x.w->Flush(), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(x.w->SetEscapeMode(1), RYL_OK) << "setters still work";
}

TEST(XmlWriter, CreationRefusesNewerVersionsAndWritesWithoutAStreamFail) {
  void* object = nullptr;
  const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                     *static_cast<void**>(c) = o;
                                     return RYL_OK;
                                   }};
  const ObjectReceiver tooNew{&store, &object, 2, {}};
  EXPECT_EQ(CreateXmlWriter(&tooNew, nullptr), RYL_E_UNSUPPORTED_VERSION);
  const ObjectReceiver receiver{&store, &object, 1, {}};
  ASSERT_EQ(CreateXmlWriter(&receiver, nullptr), RYL_OK);
  auto* w = static_cast<RylXmlWriter*>(object);
  uint8_t supported = 0;
  EXPECT_EQ(w->Query(RYL_TYPE_XML_WRITER, 1, &supported), w);
  EXPECT_EQ(supported, 1);
  EXPECT_EQ(w->Query(RYL_TYPE_XML_WRITER, 2, &supported), nullptr);
  EXPECT_EQ(supported, 0);
  ASSERT_EQ(w->StartElement(W(u"a"), 1), RYL_OK);
  EXPECT_EQ(w->Flush(), RYL_E_NOT_OPEN);
  w->Destroy(nullptr);
}

}  // namespace
}  // namespace ryl::xml
