// Random documents through the XML writer, for tests/xml/writer_roundtrip.py
// to parse with Python's own XML parsers: the writer must never be the judge
// of its own output.
//
//   xml_writer_roundtrip OUTDIR COUNT SEED
//
// writes OUTDIR/N.xml (the writer's bytes) and OUTDIR/N.json (the tree a
// conforming parser must read back) for N = 0 .. COUNT-1. The expected tree
// is derived from the calls made, never from the writer's bytes, and already
// carries what an XML 1.0 parser does to the text: end-of-line normalisation
// everywhere, and tab, line feed and carriage return turned into spaces in
// attribute values. Units XML does not allow are generated only in documents
// written in drop mode, since a reference to one (encode mode) is itself not
// well-formed XML 1.0.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "hoststreams/memory_host_stream.h"
#include "xml/xml_writer.h"

namespace {

// splitmix64: the same sequence on every platform and standard library, so
// that a failing document can be regenerated from its seed anywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform enough in [0, n) for the small n used here.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }

 private:
  uint64_t state_;
};

bool IsDisallowed(char16_t unit) {
  return unit <= 8 || unit == 11 || unit == 12 || (unit >= 14 && unit <= 31) || unit == 0xFFFE || unit == 0xFFFF;
}

bool IsXmlSpace(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r'; }

bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Letters that are name characters in every edition of XML 1.0, a few
// outside ASCII; ':' stays out so that namespace processing has nothing to do.
const char16_t kNameStart[] = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\u00e9\u00f1\u00fc\u03a9\u0434\u4e2d\u6587\u3042";
const char16_t kNameRest[] = u"0123456789-.\u00b7";

std::u16string RandomName(Random& random) {
  const size_t startCount = sizeof kNameStart / sizeof kNameStart[0] - 1;
  const size_t restCount = sizeof kNameRest / sizeof kNameRest[0] - 1;
  for (;;) {
    std::u16string name(1, kNameStart[random.Below(static_cast<uint32_t>(startCount))]);
    const uint32_t length = random.Between(1, 8);
    while (name.size() < length) {
      const uint32_t pick = random.Below(static_cast<uint32_t>(startCount + restCount));
      name += pick < startCount ? kNameStart[pick] : kNameRest[pick - startCount];
    }
    // Names beginning with "xml" in any case are reserved.
    const bool reserved = name.size() >= 3 && (name[0] | 0x20) == u'x' && (name[1] | 0x20) == u'm' &&
                          (name[2] | 0x20) == u'l';
    if (!reserved) return name;
  }
}

void AppendCodePoint(std::u16string& text, uint32_t code) {
  if (code < 0x10000) {
    text += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (code >> 10));
    text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

// One character of a random class; disallowed units only when allowed.
void AppendRandomCharacter(Random& random, std::u16string& text, bool disallowed) {
  static const char16_t kEscapedAlways[] = u"&<>\"'";
  static const char16_t kSpace[] = u"\t\n\r ";
  static const char16_t kDisallowed[] = {0, 1, 2, 7, 8, 11, 12, 14, 0x1B, 0x1F, 0xFFFE, 0xFFFF};
  static const char16_t kOtherBmp[] = {0x03A9, 0x0434, 0x20AC, 0xD7FF, 0xE000, 0xFEFF, 0xFFFD, 0x3042};
  // Sequences that would be markup if the writer let them through as they
  // are; "]]>" is not allowed in text even with '<' and '&' escaped.
  static const char16_t* const kMarkup[] = {u"]]>", u"<!--", u"-->", u"&amp;", u"&#x41;", u"<![CDATA[", u"?>", u"</"};
  switch (random.Below(disallowed ? 10 : 9)) {
    case 0:
    case 1:
      text += static_cast<char16_t>(random.Between(0x20, 0x7E));
      break;
    case 2:
      text += kEscapedAlways[random.Below(5)];
      break;
    case 3:
      text += kSpace[random.Below(4)];
      break;
    case 4:
      text += static_cast<char16_t>(random.Between(0x80, 0xFF));
      break;
    case 5:
      text += static_cast<char16_t>(random.Between(0x4E00, 0x9FFF));
      break;
    case 6:
      text += kOtherBmp[random.Below(sizeof kOtherBmp / sizeof kOtherBmp[0])];
      break;
    case 7:
      AppendCodePoint(text, random.Between(0x10000, 0x10FFFF));
      break;
    case 8:
      text += kMarkup[random.Below(sizeof kMarkup / sizeof kMarkup[0])];
      break;
    default:
      text += kDisallowed[random.Below(sizeof kDisallowed / sizeof kDisallowed[0])];
      break;
  }
}

std::u16string RandomText(Random& random, bool disallowed) {
  // Now and then longer than the writer's conversion slice and its buffer.
  const uint32_t length = random.OneIn(40) ? random.Between(600, 3000) : random.Between(1, 12);
  std::u16string text;
  while (text.size() < length) AppendRandomCharacter(random, text, disallowed);
  return text;
}

// The input with what drop mode leaves out already left out.
std::u16string Dropped(const std::u16string& text) {
  std::u16string kept;
  for (char16_t unit : text) {
    if (!IsDisallowed(unit)) kept += unit;
  }
  return kept;
}

// XML 1.0 end-of-line handling: CR LF and a lone CR both become LF.
std::u16string LineEndsNormalised(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      out += u'\n';
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Attribute-value normalisation without a DTD: after end-of-line handling,
// each tab and line feed is one space.
std::u16string AttributeNormalised(const std::u16string& text) {
  std::u16string out = LineEndsNormalised(text);
  for (char16_t& unit : out) {
    if (unit == u'\t' || unit == u'\n') unit = u' ';
  }
  return out;
}

// Cuts text into up to pieces parts, never between the halves of a pair.
std::vector<std::u16string> Pieces(Random& random, const std::u16string& text, uint32_t pieces) {
  std::vector<std::u16string> out;
  size_t start = 0;
  for (uint32_t i = 1; i < pieces && start < text.size(); ++i) {
    size_t cut = start + random.Below(static_cast<uint32_t>(text.size() - start + 1));
    while (cut < text.size() && IsLowSurrogate(text[cut])) ++cut;
    out.push_back(text.substr(start, cut - start));
    start = cut;
  }
  out.push_back(text.substr(start));
  return out;
}

std::string JsonString(const std::u16string& text) {
  std::string out = "\"";
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\') {
      out += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
      out += escaped;
    }
  }
  return out + "\"";
}

const RylChar16* Units(const std::u16string& text) { return reinterpret_cast<const RylChar16*>(text.c_str()); }
uint32_t Length(const std::u16string& text) { return static_cast<uint32_t>(text.size()); }

struct Failure {
  std::string what;
};

void Expect(ResultCode result, const char* call) {
  if (result != RYL_OK) {
    char message[128];
    std::snprintf(message, sizeof message, "%s answered 0x%08X", call, static_cast<unsigned>(result));
    throw Failure{message};
  }
}

class Document {
 public:
  Document(Random& random, RylXmlWriter* writer, uint32_t mode, bool formatting)
      : random_(random), writer_(writer), mode_(mode), formatting_(formatting) {}

  // Writes one element with its subtree; returns its expected JSON.
  std::string Element(uint32_t depth) {
    const std::u16string name = RandomName(random_);
    const bool leaf = depth >= 6 || random_.OneIn(4);
    if (leaf && random_.OneIn(3)) return WholeElement(name);
    ++elements_;
    if (random_.OneIn(4)) {
      Expect(writer_->StartElement(Units(name), RYL_XML_NUL_TERMINATED), "StartElement (NUL-terminated)");
    } else {
      Expect(writer_->StartElement(Units(name), Length(name)), "StartElement");
    }
    std::string json = "{\"name\":" + JsonString(name) + ",\"attributes\":[" + Attributes() + "],\"children\":[";
    const uint32_t children = leaf ? 0 : random_.Between(1, 4);
    std::vector<std::string> parts;
    std::u16string run;  // adjacent text, as the parser will merge it
    bool inRun = false;
    auto endRun = [&]() {
      if (!inRun) return;
      const std::u16string expected = LineEndsNormalised(run);
      if (!expected.empty()) parts.push_back(JsonString(expected));
      run.clear();
      inRun = false;
    };
    for (uint32_t i = 0; i < children; ++i) {
      if (random_.OneIn(2)) {
        run += Text();
        inRun = true;
      } else {
        endRun();
        parts.push_back(Element(depth + 1));
      }
    }
    endRun();
    for (size_t i = 0; i < parts.size(); ++i) json += (i ? "," : "") + parts[i];
    if (random_.OneIn(2)) {
      Expect(writer_->EndElementFull(), "EndElementFull");
    } else {
      Expect(writer_->EndElement(), "EndElement");
    }
    return json + "]}";
  }

  uint32_t elements_ = 0;
  uint32_t attributes_ = 0;
  uint32_t texts_ = 0;

 private:
  bool Disallowed() const { return mode_ == RYL_XML_ESCAPE_DROP; }

  // What survives the escape mode: drop mode leaves units out, encode mode
  // never sees them.
  std::u16string Surviving(const std::u16string& text) const { return Disallowed() ? Dropped(text) : text; }

  // A text value for formatted output: the writer's indentation can only be
  // told apart from the content when the content does not itself begin or
  // end with white space, so a letter guards such an edge.
  std::u16string Guarded(std::u16string text) const {
    if (!formatting_) return text;
    const std::u16string kept = Surviving(text);
    if (!kept.empty() && IsXmlSpace(kept.front())) text.insert(text.begin(), u'[');
    if (!kept.empty() && IsXmlSpace(kept.back())) text += u']';
    return text;
  }

  // WriteElement: a name and one text (possibly none).
  std::string WholeElement(const std::u16string& name) {
    ++elements_;
    const std::u16string text = random_.OneIn(4) ? std::u16string() : Guarded(RandomText(random_, Disallowed()));
    Expect(writer_->WriteElement(Units(name), Length(name), Units(text), Length(text)), "WriteElement");
    const std::u16string expected = LineEndsNormalised(Surviving(text));
    if (!text.empty()) ++texts_;
    std::string json = "{\"name\":" + JsonString(name) + ",\"attributes\":[],\"children\":[";
    if (!expected.empty()) json += JsonString(expected);
    return json + "]}";
  }

  std::string Attributes() {
    const uint32_t count = random_.OneIn(2) ? 0 : random_.Between(1, 4);
    std::vector<std::u16string> names;
    std::string json;
    for (uint32_t i = 0; i < count; ++i) {
      std::u16string name = RandomName(random_);
      bool taken = false;
      for (const auto& other : names) taken = taken || other == name;
      if (taken) continue;
      names.push_back(name);
      ++attributes_;
      const std::u16string value = random_.OneIn(6) ? std::u16string() : RandomText(random_, Disallowed());
      if (random_.OneIn(2)) {
        Expect(writer_->WriteAttribute(Units(name), Length(name), Units(value), Length(value)), "WriteAttribute");
      } else {
        Expect(writer_->StartAttribute(Units(name), Length(name)), "StartAttribute");
        for (const auto& piece : Pieces(random_, value, random_.Between(1, 3))) {
          Expect(writer_->WriteText(Units(piece), Length(piece)), "WriteText (attribute value)");
        }
        Expect(writer_->EndAttribute(), "EndAttribute");
      }
      if (!json.empty()) json += ",";
      json += "[" + JsonString(name) + "," + JsonString(AttributeNormalised(Surviving(value))) + "]";
    }
    return json;
  }

  // One text child, written in one or more calls; returns what survives.
  std::u16string Text() {
    ++texts_;
    const std::u16string text = Guarded(RandomText(random_, Disallowed()));
    // Pieces of a guarded text may themselves begin or end with white
    // space; with formatting the pieces are written whole.
    const auto pieces = formatting_ ? std::vector<std::u16string>{text} : Pieces(random_, text, random_.Between(1, 3));
    for (const auto& piece : pieces) Expect(writer_->WriteText(Units(piece), Length(piece)), "WriteText");
    return Surviving(text);
  }

  Random& random_;
  RylXmlWriter* writer_;
  uint32_t mode_;
  bool formatting_;
};

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

ResultCode Store(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s OUTDIR COUNT SEED\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];
  const unsigned long count = std::strtoul(argv[2], nullptr, 10);
  const unsigned long long seed = std::strtoull(argv[3], nullptr, 10);
  unsigned long drop = 0, formatted = 0, elements = 0, attributes = 0, texts = 0;
  for (unsigned long n = 0; n < count; ++n) {
    // Each document from its own seed, so that one can be made again alone.
    Random random(seed * 1000003ull + n);
    ryl::host::MemoryHostStream<std::string> stream;
    void* object = nullptr;
    const RylReceiverCallbacks store{1, Store};
    const ObjectReceiver receiver{&store, &object, 1, {}};
    if (ryl::xml::CreateXmlWriter(&receiver, &stream) != RYL_OK || object == nullptr) {
      std::fprintf(stderr, "document %lu: no writer\n", n);
      return 1;
    }
    auto* writer = static_cast<RylXmlWriter*>(object);
    const uint32_t mode = random.OneIn(2) ? RYL_XML_ESCAPE_DROP : RYL_XML_ESCAPE_ENCODE;
    const bool formatting = random.OneIn(2);
    const bool declaration = !random.OneIn(4);
    std::string json;
    try {
      if (mode != RYL_XML_ESCAPE_ENCODE || random.OneIn(2)) Expect(writer->SetEscapeMode(mode), "SetEscapeMode");
      if (formatting) Expect(writer->SetFormatting(Units(u"  "), 2, Units(u"\n"), 1), "SetFormatting");
      if (declaration) Expect(writer->WriteDeclaration(Units(u"1.0"), 3), "WriteDeclaration");
      Document document(random, writer, mode, formatting);
      const std::string root = document.Element(0);
      Expect(writer->Flush(), "Flush");
      Expect(writer->GetStatus(), "GetStatus");
      json = "{\"seed\":" + std::to_string(seed) + ",\"index\":" + std::to_string(n) +
             ",\"mode\":" + std::to_string(mode) + ",\"formatting\":" + (formatting ? "true" : "false") +
             ",\"declaration\":" + (declaration ? "true" : "false") + ",\"root\":" + root + "}\n";
      elements += document.elements_;
      attributes += document.attributes_;
      texts += document.texts_;
    } catch (const Failure& failure) {
      std::fprintf(stderr, "document %lu (seed %llu): %s\n", n, seed, failure.what.c_str());
      writer->Destroy(nullptr);
      return 1;
    }
    writer->Destroy(nullptr);
    drop += mode == RYL_XML_ESCAPE_DROP;
    formatted += formatting;
    const std::string base = directory + "/" + std::to_string(n);
    if (!WriteFile(base + ".xml", stream.data) || !WriteFile(base + ".json", json)) {
      std::fprintf(stderr, "cannot write %s.xml or .json\n", base.c_str());
      return 1;
    }
  }
  std::printf("%lu documents (%lu dropping disallowed units, %lu formatted): %lu elements, %lu attributes, %lu texts\n",
              count, drop, formatted, elements, attributes, texts);
  return 0;
}
