// What the library's XML parser and writer cost a host, next to doing the
// same work without them, in the same process and the same run, so the
// machine's and Wine's speed cancel out of the ratios.
//
// The document is generated once, from a fixed seed, as the list of calls
// that builds it (element and attribute names, attribute values and text,
// all std::wstring): records with attributes, text, mixed content, empty
// elements, characters that need escaping, and text outside ASCII (two- and
// three-byte UTF-8 and a surrogate pair). Its UTF-8 form, SIZE_MIB MiB, is
// kept in memory as well.
//
// parse  RootFactory::ParseXml over a host stream that copies from the bytes
//        in memory, with a handler whose methods do nothing and return 0,
//        against expat called directly (the static library the DLL holds):
//        XML_ParserCreate(NULL), the start, end and character data handlers
//        as empty functions, and the bytes fed 4096 at a time through
//        XML_GetBuffer, memcpy and XML_ParseBuffer, as the library feeds
//        them. Creating and freeing the parser is inside the time on both
//        sides. Reported as MB/s of input.
// write  The list through the writer (WriteDeclaration, then StartElement,
//        WriteAttribute, WriteText, EndElement with UTF-16 input, then
//        Flush) into a temporary file through a host stream whose Write
//        calls WriteFile, against a hand-written loop over the same list
//        that escapes & < > in text and & < > " ' in attribute values,
//        converts to UTF-8 and calls WriteFile with full 4096-byte chunks.
//        The file is opened (emptied) before and closed after the time.
//        Reported as MB/s of UTF-8 output.
//
// MB is 10^6 bytes. Before anything is timed, the writer's bytes are
// compared with the hand-written loop's one for one, and a counting parse
// checks that every element, attribute and text unit comes back, so that
// both sides of each pair provably do the same work; after every timed
// write the file's size is checked. Each measurement runs REPETITIONS
// times, the two sides alternating which goes first; the table shows the
// median of each side and the ratio rylutil / peer (above 1.0 the library
// is the faster). The goals: parse at least 0.90x expat, write at least
// 1.00x the hand-written loop. The exit code says only whether the
// benchmark ran, not whether the goals were met.
//
// Usage: xml_bench.exe [SIZE_MIB [REPETITIONS]]
//        defaults 100, 5
//
// The process is 32-bit (2 GiB of address space) and the list holds the
// text as UTF-16, so memory peaks near three and a half times SIZE_MIB, in
// a few large blocks; hence the limit of 256.
//
// Under Wine, keep one wineserver running for the whole session so Wine's
// start-up and the server's shutdown stay out of what is measured, and the
// runs see a warm server. cmake/wine-run.sh --setup makes the prefix and
// starts a persistent server (`wineserver -p`); from the repository root:
//
//   export RYL_WINEPREFIX=$PWD/build/wineprefix
//   cmake/wine-run.sh --setup
//   cmake/wine-run.sh build/bin/xml_bench.exe 100 5
//   cmake/wine-run.sh --shutdown     # when done
//
// The temporary file goes to the prefix's temporary directory, on the
// Linux file system. The benchmark loads rylutil.dll from beside the
// executable (build/bin). Configure with -DRYL_BUILD_BENCH=ON to build it.
#include <windows.h>

#include "bench_timing.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "hoststreams/host_stream_base.h"
#include "hoststreams/memory_host_stream.h"
#include "ryl/ryl.h"

using ryl::bench::Median;
using ryl::bench::Now;

namespace {

static_assert(sizeof(XML_Char) == sizeof(RylChar16), "expat is the UTF-16 build the DLL holds");

// The library reads its input this many bytes at a time; the raw side feeds
// expat the same way and the hand-written writer writes the same chunks.
constexpr uint32_t kChunk = 4096;
constexpr uint64_t kSeed = 0x9E3779B97F4A7C15ull;
constexpr uint32_t kMaxSizeMiB = 256;

using Bytes = std::vector<uint8_t>;
using MemoryInput = ryl::host::MemoryHostStream<Bytes>;

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

const RylReceiverCallbacks kStore = {1, StoreObject};
const AllocatorRecord kDefaultHeap = {nullptr, nullptr};

double MegabytesPerSecond(uint64_t bytes, double seconds) { return static_cast<double>(bytes) / seconds / 1e6; }

bool Fail(const char* what, unsigned long code) {
  std::fprintf(stderr, "xml_bench: %s failed (0x%08lX)\n", what, code);
  return false;
}

bool FailResult(const char* what, ResultCode code) {
  const char* name = RylResultName(code);
  std::fprintf(stderr, "xml_bench: %s failed (0x%08lX%s%s)\n", what, static_cast<unsigned long>(code),
               name != nullptr ? ", " : "", name != nullptr ? name : "");
  return false;
}

// --- The document -------------------------------------------------------------

enum OpKind : uint8_t { kStart, kAttribute, kText, kEnd };

// One writer call. Names are few and shared; every attribute value and text
// is a string of its own, as a host's data would be, so that neither side
// works from one hot string in the cache.
struct Op {
  OpKind kind;
  uint16_t name;  // into Document::names: kStart, kAttribute
  uint32_t text;  // into Document::texts: kAttribute (the value), kText
};

struct Document {
  std::vector<std::wstring> names;
  std::vector<std::wstring> texts;
  std::vector<Op> ops;
  uint64_t bytes = 0;  // of the UTF-8 form, declaration included
  uint32_t records = 0;
  uint64_t elements = 0;
  uint64_t attributes = 0;
  uint64_t attributeUnits = 0;
  uint64_t textUnits = 0;
};

const wchar_t kVersion[] = L"1.0";
// What WriteDeclaration(kVersion) writes; the byte-for-byte check before
// the runs proves the two agree.
const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
constexpr uint32_t kDeclarationBytes = sizeof kDeclaration - 1;

enum NameIndex : uint16_t {
  kCatalog, kRecord, kTitle, kAuthor, kBody, kEm, kStrong, kTags, kTag, kPrice, kMeasure,  // elements
  kId, kType, kLang, kPersonName, kBorn, kRef, kCurrency, kAmount, kFormat, kGenerator,     // attributes
  kNameCount
};

// One name outside ASCII, so that names too go through the conversion.
const wchar_t* const kNames[kNameCount] = {
    L"catalog", L"record", L"title", L"author", L"body", L"em", L"strong", L"tags", L"tag", L"price", L"ma\u00DF",
    L"id", L"type", L"lang", L"name", L"born", L"ref", L"currency", L"wert", L"format", L"generator"};

// Mostly ASCII, as most documents are; about one word in nine outside ASCII
// and one in twelve with a character that must be escaped.
const wchar_t* const kWords[] = {
    L"the",      L"of",       L"and",      L"to",       L"in",        L"is",        L"was",
    L"for",      L"on",       L"with",     L"as",       L"by",        L"at",        L"from",
    L"archive",  L"stream",   L"record",   L"value",    L"entry",     L"window",    L"river",
    L"mountain", L"quick",    L"brown",    L"fox",      L"jumps",     L"over",      L"lazy",
    L"dog",      L"library",  L"parser",   L"writer",   L"element",   L"attribute", L"buffer",
    L"chunk",    L"memory",   L"system",   L"process",  L"thread",    L"harbour",   L"lantern",
    L"meadow",   L"quarter",  L"signal",   L"timber",   L"voyage",    L"winter",    L"caf\u00E9",
    L"na\u00EFve", L"Gr\u00F6\u00DFe", L"\u041C\u043E\u0441\u043A\u0432\u0430", L"\u6771\u4EAC",
    L"\u20AC10", L"\U0001F600", L"R&D", L"a<b", L"x>y", L"\"quoted\"", L"it's"};
constexpr uint32_t kWordCount = sizeof kWords / sizeof kWords[0];

const wchar_t* const kKinds[] = {L"book", L"article", L"letter", L"map", L"note"};
const wchar_t* const kLanguages[] = {L"en", L"de", L"fr", L"ja", L"ru"};
const wchar_t* const kCurrencies[] = {L"EUR", L"GBP", L"JPY", L"USD"};

// xorshift64*: the same document on every run and every machine.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
  }
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>((static_cast<uint64_t>(Next()) * bound) >> 32); }
  template <typename T, size_t N>
  T Pick(T const (&items)[N]) {
    return items[Below(static_cast<uint32_t>(N))];
  }

 private:
  uint64_t state_;
};

enum class Escaping { kNone, kText, kAttribute };

// An ASCII character's entity, six bytes so that it is copied whole.
struct Entity {
  char text[6];
  uint8_t length;  // 0: the character stands for itself
};
using EntityTable = std::array<Entity, 128>;

constexpr EntityTable MakeEntities(bool attribute) {
  EntityTable table{};
  table['&'] = {{'&', 'a', 'm', 'p', ';', 0}, 5};
  table['<'] = {{'&', 'l', 't', ';', 0, 0}, 4};
  table['>'] = {{'&', 'g', 't', ';', 0, 0}, 4};
  if (attribute) {
    table['"'] = {{'&', 'q', 'u', 'o', 't', ';'}, 6};
    table['\''] = {{'&', 'a', 'p', 'o', 's', ';'}, 6};
  }
  return table;
}

constexpr EntityTable kTextEntities = MakeEntities(false);
constexpr EntityTable kAttributeEntities = MakeEntities(true);

bool IsHighSurrogate(uint32_t unit) { return (unit & 0xFC00u) == 0xD800u; }
bool IsLowSurrogate(uint32_t unit) { return (unit & 0xFC00u) == 0xDC00u; }

// What the hand-written writer makes of the text; the generator stops on it.
uint64_t Utf8Size(const std::wstring& text, Escaping escaping) {
  const EntityTable& entities = escaping == Escaping::kAttribute ? kAttributeEntities : kTextEntities;
  uint64_t size = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t unit = text[i];
    if (unit < 0x80) {
      const uint32_t length = escaping == Escaping::kNone ? 0 : entities[unit].length;
      size += length == 0 ? 1 : length;
    } else if (unit < 0x800) {
      size += 2;
    } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      size += 4;
      ++i;
    } else {
      size += 3;
    }
  }
  return size;
}

// Appends calls to the list, keeping the UTF-8 size and the counts that the
// checking parse compares with.
class Builder {
 public:
  explicit Builder(Document* doc) : doc_(doc) {
    for (const std::wstring& name : doc_->names) nameBytes_.push_back(Utf8Size(name, Escaping::kNone));
    doc_->bytes = kDeclarationBytes;
  }

  void Start(uint16_t name) {
    doc_->ops.push_back(Op{kStart, name, 0});
    doc_->bytes += (inStartTag_ ? 1 : 0) + 1 + nameBytes_[name];
    open_.push_back(name);
    inStartTag_ = true;
    ++doc_->elements;
  }

  void Attribute(uint16_t name, const std::wstring& value) {
    doc_->ops.push_back(Op{kAttribute, name, Keep(value)});
    doc_->bytes += 1 + nameBytes_[name] + 2 + Utf8Size(value, Escaping::kAttribute) + 1;
    ++doc_->attributes;
    doc_->attributeUnits += value.size();
  }

  // The writer writes nothing for empty text, not even the end of the start
  // tag; leaving it out keeps the two sides' bytes the same.
  void Text(const std::wstring& text) {
    if (text.empty()) return;
    doc_->ops.push_back(Op{kText, 0, Keep(text)});
    doc_->bytes += (inStartTag_ ? 1 : 0) + Utf8Size(text, Escaping::kText);
    inStartTag_ = false;
    doc_->textUnits += text.size();
  }

  void End() {
    doc_->ops.push_back(Op{kEnd, 0, 0});
    doc_->bytes += inStartTag_ ? 2 : 3 + nameBytes_[open_.back()];
    open_.pop_back();
    inStartTag_ = false;
  }

 private:
  // A copy with no spare capacity: the list is most of the process's memory.
  uint32_t Keep(const std::wstring& text) {
    doc_->texts.emplace_back(text.data(), text.size());
    return static_cast<uint32_t>(doc_->texts.size() - 1);
  }

  Document* doc_;
  std::vector<uint64_t> nameBytes_;
  std::vector<uint16_t> open_;
  bool inStartTag_ = false;
};

std::wstring Words(Random& rng, uint32_t count) {
  std::wstring text;
  text.reserve(count * 8);
  for (uint32_t i = 0; i < count; ++i) {
    if (i != 0) text += L' ';
    text += kWords[rng.Below(kWordCount)];
  }
  if (rng.Below(4) == 0) text += L'.';
  return text;
}

void AddRecord(Builder& b, Random& rng, uint32_t number) {
  b.Start(kRecord);
  b.Attribute(kId, L"r" + std::to_wstring(number));
  b.Attribute(kType, rng.Pick(kKinds));
  if (rng.Below(4) != 0) b.Attribute(kLang, rng.Pick(kLanguages));

  b.Start(kTitle);
  b.Text(Words(rng, 2 + rng.Below(8)));
  b.End();

  b.Start(kAuthor);  // written as an empty element
  b.Attribute(kPersonName, Words(rng, 2));
  b.Attribute(kBorn, std::to_wstring(1900 + rng.Below(120)));
  b.End();

  // Mixed content: runs of text around inline elements.
  b.Start(kBody);
  const uint32_t pieces = 1 + rng.Below(6);
  for (uint32_t i = 0; i < pieces; ++i) {
    const uint32_t pick = rng.Below(8);
    if (pick < 5) {
      b.Text(Words(rng, 4 + rng.Below(40)) + L' ');
    } else if (pick < 7) {
      b.Start(kEm);
      b.Text(Words(rng, 1 + rng.Below(4)));
      b.End();
    } else {
      b.Start(kStrong);
      b.Attribute(kRef, Words(rng, 1));
      b.Text(Words(rng, 1 + rng.Below(6)));
      b.End();
    }
  }
  b.End();

  b.Start(kTags);  // empty when there are none
  const uint32_t tags = rng.Below(4);
  for (uint32_t i = 0; i < tags; ++i) {
    b.Start(kTag);
    b.Text(kWords[rng.Below(kWordCount)]);
    b.End();
  }
  b.End();

  if (rng.Below(3) == 0) {
    const uint32_t cents = rng.Below(100000);
    b.Start(kPrice);
    b.Attribute(kCurrency, rng.Pick(kCurrencies));
    b.Text(std::to_wstring(cents / 100) + (cents % 100 < 10 ? L".0" : L".") + std::to_wstring(cents % 100));
    b.End();
  }
  if (rng.Below(6) == 0) {
    b.Start(kMeasure);
    b.Attribute(kAmount, Words(rng, 1 + rng.Below(3)));
    b.End();
  }
  b.End();
}

// Records until the document reaches targetBytes (it ends within a record
// of it). Throws std::bad_alloc when the process runs out of room.
void Generate(Document* doc, uint64_t targetBytes) {
  doc->names.assign(kNames, kNames + kNameCount);
  // About 20 bytes of output per call and 45 per string: reserving keeps the
  // vectors from doubling past what the address space holds.
  doc->ops.reserve(static_cast<size_t>(targetBytes / 18 + 1024));
  doc->texts.reserve(static_cast<size_t>(targetBytes / 40 + 1024));
  Random rng(kSeed);
  Builder b(doc);
  b.Start(kCatalog);
  b.Attribute(kFormat, L"1");
  b.Attribute(kGenerator, L"xml_bench");
  const uint64_t closing = 3 + Utf8Size(doc->names[kCatalog], Escaping::kNone);
  while (doc->bytes + closing < targetBytes) AddRecord(b, rng, ++doc->records);
  b.End();
}

// --- The hand-written writer ---------------------------------------------------

// Where the hand-written writer's chunks go: the temporary file when timed,
// memory when it makes the document's bytes.
class FileSink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}
  bool Take(const uint8_t* data, uint32_t size) {
    DWORD done = 0;
    if (!WriteFile(file_, data, size, &done, nullptr)) return Fail("WriteFile", GetLastError());
    if (done != size) return Fail("WriteFile (short write)", done);
    return true;
  }

 private:
  HANDLE file_;
};

class MemorySink {
 public:
  MemorySink(uint8_t* out, size_t capacity) : out_(out), capacity_(capacity) {}
  bool Take(const uint8_t* data, uint32_t size) {
    if (size > capacity_ - size_) return Fail("the document's bytes (more than counted)", size);
    std::memcpy(out_ + size_, data, size);
    size_ += size;
    return true;
  }
  size_t size() const { return size_; }

 private:
  uint8_t* out_;
  size_t capacity_;
  size_t size_ = 0;
};

// The peer of the library's writer: what a host would write by hand to get
// the same bytes. Full chunks go to the sink; the few bytes that one unit can
// carry past the chunk wait in the slack for the next one.
template <typename Sink>
class HandWriter {
 public:
  explicit HandWriter(Sink* sink) : sink_(sink) { open_.reserve(64); }

  bool Write(const Document& doc) {
    std::memcpy(buffer_, kDeclaration, kDeclarationBytes);
    fill_ = kDeclarationBytes;
    bool inStartTag = false;
    for (const Op& op : doc.ops) {
      switch (op.kind) {
        case kStart: {
          const std::wstring& name = doc.names[op.name];
          if (inStartTag) PutByte('>');
          PutByte('<');
          Put<Escaping::kNone>(name);
          open_.push_back(&name);
          inStartTag = true;
          break;
        }
        case kAttribute:
          PutByte(' ');
          Put<Escaping::kNone>(doc.names[op.name]);
          PutByte('=');
          PutByte('"');
          Put<Escaping::kAttribute>(doc.texts[op.text]);
          PutByte('"');
          break;
        case kText:
          if (inStartTag) PutByte('>');
          inStartTag = false;
          Put<Escaping::kText>(doc.texts[op.text]);
          break;
        case kEnd:
          if (inStartTag) {
            PutByte('/');
            PutByte('>');
          } else {
            PutByte('<');
            PutByte('/');
            Put<Escaping::kNone>(*open_.back());
            PutByte('>');
          }
          open_.pop_back();
          inStartTag = false;
          break;
      }
      if (failed_) return false;
    }
    return fill_ == 0 || sink_->Take(buffer_, fill_);
  }

 private:
  void Spill() {
    if (!sink_->Take(buffer_, kChunk)) failed_ = true;
    fill_ -= kChunk;
    std::memcpy(buffer_, buffer_ + kChunk, fill_);
  }

  void PutByte(uint8_t byte) {
    buffer_[fill_++] = byte;
    if (fill_ == kChunk) Spill();
  }

  template <Escaping escaping>
  void Put(const std::wstring& text) {
    const wchar_t* units = text.data();
    const size_t length = text.size();
    uint8_t* at = buffer_ + fill_;
    for (size_t i = 0; i < length; ++i) {
      const uint32_t unit = units[i];
      if (unit < 0x80) {
        if constexpr (escaping == Escaping::kNone) {
          *at++ = static_cast<uint8_t>(unit);
        } else {
          const Entity& entity = (escaping == Escaping::kText ? kTextEntities : kAttributeEntities)[unit];
          if (entity.length == 0) {
            *at++ = static_cast<uint8_t>(unit);
          } else {
            std::memcpy(at, entity.text, sizeof entity.text);
            at += entity.length;
          }
        }
      } else if (unit < 0x800) {
        at[0] = static_cast<uint8_t>(0xC0 | (unit >> 6));
        at[1] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        at += 2;
      } else if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(units[i + 1])) {
        const uint32_t code = 0x10000 + ((unit - 0xD800) << 10) + (static_cast<uint32_t>(units[++i]) - 0xDC00);
        at[0] = static_cast<uint8_t>(0xF0 | (code >> 18));
        at[1] = static_cast<uint8_t>(0x80 | ((code >> 12) & 0x3F));
        at[2] = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
        at[3] = static_cast<uint8_t>(0x80 | (code & 0x3F));
        at += 4;
      } else {
        at[0] = static_cast<uint8_t>(0xE0 | (unit >> 12));
        at[1] = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
        at[2] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        at += 3;
      }
      if (at >= buffer_ + kChunk) {
        fill_ = static_cast<uint32_t>(at - buffer_);
        Spill();
        at = buffer_ + fill_;
      }
    }
    fill_ = static_cast<uint32_t>(at - buffer_);
  }

  Sink* sink_;
  std::vector<const std::wstring*> open_;
  uint32_t fill_ = 0;
  bool failed_ = false;
  uint8_t buffer_[kChunk + 8];  // the slack takes the longest entity, 6 bytes
};

// --- The library's side ----------------------------------------------------------

// What the library's parse is timed with: nothing but the calls.
class EmptyHandler final : public RylXmlEventHandler {
 public:
  void RYL_THISCALL Reserved() override {}
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override { return RYL_OK; }
  ResultCode RYL_THISCALL Attribute(const RylXmlText* element, const RylXmlText* name,
                                    const RylXmlText* value) override {
    return RYL_OK;
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText* name) override { return RYL_OK; }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override { return RYL_OK; }
};

// The untimed check that the parse sees the whole document.
class CountingHandler final : public RylXmlEventHandler {
 public:
  void RYL_THISCALL Reserved() override {}
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override {
    ++elements;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText* element, const RylXmlText* name,
                                    const RylXmlText* value) override {
    ++attributes;
    attributeUnits += value->length;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText* name) override {
    ++ends;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    textUnits += text->length;
    return RYL_OK;
  }

  uint64_t elements = 0;
  uint64_t ends = 0;
  uint64_t attributes = 0;
  uint64_t attributeUnits = 0;
  uint64_t textUnits = 0;
};

// The writer's destination when timed.
class FileOutput final : public ryl::host::HostStreamBase {
 public:
  explicit FileOutput(HANDLE file) : file_(file) {}
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    DWORD done = 0;
    if (!WriteFile(file_, buffer, count, &done, nullptr)) {
      const DWORD error = GetLastError();
      Fail("WriteFile (the writer's stream)", error);
      return static_cast<ResultCode>(HRESULT_FROM_WIN32(error));
    }
    if (outDone != nullptr) *outDone = done;
    return RYL_OK;
  }

 private:
  HANDLE file_;
};

// The writer's destination for the check: its bytes against the hand-written
// loop's, noting where they first differ.
class ComparingOutput final : public ryl::host::HostStreamBase {
 public:
  ComparingOutput(const uint8_t* expected, size_t size) : expected_(expected), size_(size) {}
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (!differs_) {
      const size_t comparable = position_ < size_ ? std::min<size_t>(count, size_ - position_) : 0;
      size_t same = comparable;
      if (comparable > 0 && std::memcmp(bytes, expected_ + position_, comparable) != 0) {
        same = 0;
        while (bytes[same] == expected_[position_ + same]) ++same;
      }
      if (same < count) {
        differs_ = true;
        firstDifference_ = position_ + same;
        const size_t shown = std::min<size_t>(count - same, sizeof got_ - 1);
        std::memcpy(got_, bytes + same, shown);
        got_[shown] = '\0';
      }
    }
    position_ += count;
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }

  bool Matches() const {
    if (differs_) {
      const size_t shown = std::min<size_t>(size_ - std::min(firstDifference_, size_), sizeof got_ - 1);
      std::fprintf(stderr,
                   "xml_bench: the writer's bytes differ from the hand-written loop's at offset %lu:\n"
                   "  writer: \"%s\"\n  by hand: \"%.*s\"\n",
                   static_cast<unsigned long>(firstDifference_), got_, static_cast<int>(shown),
                   reinterpret_cast<const char*>(expected_ + std::min(firstDifference_, size_)));
      return false;
    }
    if (position_ != size_) {
      std::fprintf(stderr, "xml_bench: the writer wrote %lu bytes, the hand-written loop %lu\n",
                   static_cast<unsigned long>(position_), static_cast<unsigned long>(size_));
      return false;
    }
    return true;
  }

 private:
  const uint8_t* expected_;
  size_t size_;
  size_t position_ = 0;
  bool differs_ = false;
  size_t firstDifference_ = 0;
  char got_[48] = {};
};

// --- The timed runs; each returns the elapsed seconds, or a negative number on failure ---

void XMLCALL RawStart(void* data, const XML_Char* name, const XML_Char** attributes) {}
void XMLCALL RawEnd(void* data, const XML_Char* name) {}
void XMLCALL RawText(void* data, const XML_Char* text, int length) {}

double RawParse(const Bytes& bytes) {
  const double start = Now();
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) {
    Fail("XML_ParserCreate", 0);
    return -1.0;
  }
  XML_SetElementHandler(parser, RawStart, RawEnd);
  XML_SetCharacterDataHandler(parser, RawText);
  const uint8_t* data = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  for (;;) {
    void* buffer = XML_GetBuffer(parser, static_cast<int>(kChunk));
    if (buffer == nullptr) {
      ok = Fail("XML_GetBuffer", 0);
      break;
    }
    const size_t count = std::min<size_t>(left, kChunk);
    std::memcpy(buffer, data, count);
    data += count;
    left -= count;
    const bool final = count == 0;
    if (XML_ParseBuffer(parser, static_cast<int>(count), final ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
      std::fprintf(stderr, "xml_bench: expat: %ls at line %lu\n", XML_ErrorString(XML_GetErrorCode(parser)),
                   static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)));
      ok = false;
      break;
    }
    if (final) break;
  }
  XML_ParserFree(parser);
  const double elapsed = Now() - start;
  return ok ? elapsed : -1.0;
}

double RylParse(RootFactory* root, MemoryInput* input, RylXmlEventHandler* handler) {
  input->readPosition = 0;
  const double start = Now();
  const ResultCode parsed = root->ParseXml(input, handler, 0);
  const double elapsed = Now() - start;
  if (RylFailed(parsed)) {
    FailResult("RootFactory::ParseXml", parsed);
    return -1.0;
  }
  return elapsed;
}

// The whole life of a writer: made, driven through the list, flushed, destroyed.
double RylWrite(RootFactory* root, const Document& doc, HostStream* output) {
  const double start = Now();
  void* object = nullptr;
  const ObjectReceiver receiver = {&kStore, &object, RYL_VERSION_XML_WRITER, {nullptr, nullptr}};
  const ResultCode created = root->CreateXmlWriter(&receiver, output);
  if (RylFailed(created)) {
    FailResult("RootFactory::CreateXmlWriter", created);
    return -1.0;
  }
  auto* writer = static_cast<RylXmlWriter*>(object);
  ResultCode result = writer->WriteDeclaration(kVersion, static_cast<uint32_t>(std::wcslen(kVersion)));
  const char* failed = "RylXmlWriter::WriteDeclaration";
  for (size_t i = 0; i < doc.ops.size() && RylSucceeded(result); ++i) {
    const Op& op = doc.ops[i];
    switch (op.kind) {
      case kStart: {
        const std::wstring& name = doc.names[op.name];
        result = writer->StartElement(name.data(), static_cast<uint32_t>(name.size()));
        failed = "RylXmlWriter::StartElement";
        break;
      }
      case kAttribute: {
        const std::wstring& name = doc.names[op.name];
        const std::wstring& value = doc.texts[op.text];
        result = writer->WriteAttribute(name.data(), static_cast<uint32_t>(name.size()), value.data(),
                                        static_cast<uint32_t>(value.size()));
        failed = "RylXmlWriter::WriteAttribute";
        break;
      }
      case kText: {
        const std::wstring& text = doc.texts[op.text];
        result = writer->WriteText(text.data(), static_cast<uint32_t>(text.size()));
        failed = "RylXmlWriter::WriteText";
        break;
      }
      case kEnd:
        result = writer->EndElement();
        failed = "RylXmlWriter::EndElement";
        break;
    }
  }
  if (RylSucceeded(result)) {
    result = writer->Flush();
    failed = "RylXmlWriter::Flush";
  }
  writer->Destroy(&kDefaultHeap);
  const double elapsed = Now() - start;
  if (RylFailed(result)) {
    FailResult(failed, result);
    return -1.0;
  }
  return elapsed;
}

// The temporary file both writers write; deleted when the benchmark ends.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (created_) DeleteFileW(path_);
  }

  bool Create() {
    wchar_t directory[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, directory);
    if (length == 0 || length > MAX_PATH) return Fail("GetTempPathW", GetLastError());
    if (GetTempFileNameW(directory, L"xmb", 0, path_) == 0) return Fail("GetTempFileNameW", GetLastError());
    created_ = true;
    return true;
  }

  // Empty, so that every run writes a new file of the same size.
  HANDLE OpenEmpty() const {
    HANDLE file = CreateFileW(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("CreateFileW (the temporary file)", GetLastError());
    return file;
  }

  bool HasSize(uint64_t expected) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path_, GetFileExInfoStandard, &data)) {
      return Fail("GetFileAttributesExW", GetLastError());
    }
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size == expected) return true;
    std::fprintf(stderr, "xml_bench: the file holds %llu bytes, the document has %llu\n",
                 static_cast<unsigned long long>(size), static_cast<unsigned long long>(expected));
    return false;
  }

 private:
  wchar_t path_[MAX_PATH] = {};
  bool created_ = false;
};

double RylWriteFile(RootFactory* root, const Document& doc, const TempFile& temp) {
  HANDLE file = temp.OpenEmpty();
  if (file == INVALID_HANDLE_VALUE) return -1.0;
  FileOutput output(file);
  const double elapsed = RylWrite(root, doc, &output);
  CloseHandle(file);
  return elapsed >= 0 && temp.HasSize(doc.bytes) ? elapsed : -1.0;
}

double HandWriteFile(const Document& doc, const TempFile& temp) {
  HANDLE file = temp.OpenEmpty();
  if (file == INVALID_HANDLE_VALUE) return -1.0;
  const double start = Now();
  FileSink sink(file);
  HandWriter<FileSink> writer(&sink);
  const bool ok = writer.Write(doc);
  const double elapsed = Now() - start;
  CloseHandle(file);
  return ok && temp.HasSize(doc.bytes) ? elapsed : -1.0;
}

// --- Checks, which double as the warm-up ------------------------------------------

bool CheckWriter(RootFactory* root, const Document& doc, const Bytes& bytes) {
  ComparingOutput output(bytes.data(), bytes.size());
  return RylWrite(root, doc, &output) >= 0 && output.Matches();
}

bool CheckCount(const char* what, uint64_t seen, uint64_t expected) {
  if (seen == expected) return true;
  std::fprintf(stderr, "xml_bench: the parse saw %llu %s, the document has %llu\n",
               static_cast<unsigned long long>(seen), what, static_cast<unsigned long long>(expected));
  return false;
}

bool CheckParse(RootFactory* root, const Document& doc, MemoryInput* input) {
  CountingHandler counter;
  if (RylParse(root, input, &counter) < 0) return false;
  bool ok = CheckCount("elements", counter.elements, doc.elements);
  ok = CheckCount("element ends", counter.ends, doc.elements) && ok;
  ok = CheckCount("attributes", counter.attributes, doc.attributes) && ok;
  ok = CheckCount("attribute value units", counter.attributeUnits, doc.attributeUnits) && ok;
  return CheckCount("text units", counter.textUnits, doc.textUnits) && ok;
}

struct Samples {
  std::vector<double> ryl;
  std::vector<double> peer;
};

int Run(RootFactory* root, const Document& doc, MemoryInput* input, uint32_t repetitions) {
  const Bytes& bytes = input->data;
  TempFile temp;
  if (!temp.Create()) return 1;
  if (!CheckWriter(root, doc, bytes) || !CheckParse(root, doc, input)) return 1;
  std::printf("checked: the writer's bytes equal the hand-written loop's; the parse sees every element, "
              "attribute and text unit\n");
  // Faults in the heap, the parsers' code and the file's blocks before
  // anything is timed.
  EmptyHandler handler;
  if (RawParse(bytes) < 0 || RylParse(root, input, &handler) < 0 || HandWriteFile(doc, temp) < 0 ||
      RylWriteFile(root, doc, temp) < 0) {
    return 1;
  }

  Samples parse;
  Samples write;
  for (uint32_t rep = 0; rep < repetitions; ++rep) {
    const bool rylFirst = rep % 2 == 0;
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == rylFirst) {
        const double seconds = RylParse(root, input, &handler);
        if (seconds < 0) return 1;
        parse.ryl.push_back(MegabytesPerSecond(doc.bytes, seconds));
      } else {
        const double seconds = RawParse(bytes);
        if (seconds < 0) return 1;
        parse.peer.push_back(MegabytesPerSecond(doc.bytes, seconds));
      }
    }
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == rylFirst) {
        const double seconds = RylWriteFile(root, doc, temp);
        if (seconds < 0) return 1;
        write.ryl.push_back(MegabytesPerSecond(doc.bytes, seconds));
      } else {
        const double seconds = HandWriteFile(doc, temp);
        if (seconds < 0) return 1;
        write.peer.push_back(MegabytesPerSecond(doc.bytes, seconds));
      }
    }
    std::printf("run %u (%s first): parse %.1f / %.1f MB/s, write %.1f / %.1f MB/s (rylutil / peer)\n", rep + 1,
                rylFirst ? "rylutil" : "peer", parse.ryl.back(), parse.peer.back(), write.ryl.back(),
                write.peer.back());
    std::fflush(stdout);
  }

  const double rylParse = Median(parse.ryl);
  const double rawParse = Median(parse.peer);
  const double rylWrite = Median(write.ryl);
  const double handWrite = Median(write.peer);
  const double parseRatio = rylParse / rawParse;
  const double writeRatio = rylWrite / handWrite;

  std::printf("xml_bench: median of %u runs, MB = 10^6 bytes\n", repetitions);
  std::printf("%-36s %12s %12s %10s\n", "measurement", "rylutil", "peer", "ryl/peer");
  std::printf("%-36s %12.1f %12.1f %9.2fx\n", "parse MB/s (peer: expat directly)", rylParse, rawParse, parseRatio);
  std::printf("%-36s %12.1f %12.1f %9.2fx\n", "write MB/s (peer: hand-written loop)", rylWrite, handWrite,
              writeRatio);
  std::printf("goal: parse at least 0.90x expat: %s (%.2fx)\n", parseRatio >= 0.9 ? "met" : "NOT met", parseRatio);
  std::printf("goal: write at least 1.00x the hand-written loop: %s (%.2fx)\n",
              writeRatio >= 1.0 ? "met" : "NOT met", writeRatio);
  return 0;
}

uint32_t ParseCount(const char* text, const char* name, uint32_t limit) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value == 0 || value > limit) {
    std::fprintf(stderr, "xml_bench: %s must be a whole number from 1 to %u\n", name, limit);
    std::exit(2);
  }
  return static_cast<uint32_t>(value);
}

// The list and the document's bytes; false having said why.
bool Prepare(uint32_t sizeMiB, Document* doc, Bytes* bytes) {
  const double start = Now();
  try {
    Generate(doc, static_cast<uint64_t>(sizeMiB) << 20);
    bytes->resize(static_cast<size_t>(doc->bytes));
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "xml_bench: out of memory making a %u MiB document; try a smaller SIZE_MIB\n", sizeMiB);
    return false;
  }
  MemorySink sink(bytes->data(), bytes->size());
  HandWriter<MemorySink> writer(&sink);
  if (!writer.Write(*doc)) return false;
  if (sink.size() != bytes->size()) {
    std::fprintf(stderr, "xml_bench: the hand-written loop wrote %lu bytes, %lu were counted\n",
                 static_cast<unsigned long>(sink.size()), static_cast<unsigned long>(bytes->size()));
    return false;
  }
  std::printf("xml_bench: %llu-byte document (%.1f MiB): %u records, %llu elements, %llu attributes, "
              "%llu text units, %lu calls; made in %.1f s\n",
              static_cast<unsigned long long>(doc->bytes), static_cast<double>(doc->bytes) / (1024.0 * 1024.0),
              doc->records, static_cast<unsigned long long>(doc->elements),
              static_cast<unsigned long long>(doc->attributes), static_cast<unsigned long long>(doc->textUnits),
              static_cast<unsigned long>(doc->ops.size()), Now() - start);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3) {
    std::fprintf(stderr, "usage: xml_bench [SIZE_MIB [REPETITIONS]]\n");
    return 2;
  }
  const uint32_t sizeMiB = argc > 1 ? ParseCount(argv[1], "SIZE_MIB", kMaxSizeMiB) : 100;
  const uint32_t repetitions = argc > 2 ? ParseCount(argv[2], "REPETITIONS", 1000) : 5;

  Document doc;
  Bytes bytes;
  if (!Prepare(sizeMiB, &doc, &bytes)) return 1;
  // The stream takes the bytes over rather than copying them: the address
  // space is short.
  MemoryInput input(std::move(bytes));

  const ResultCode initialised = RylModuleInit();
  if (RylFailed(initialised)) {
    FailResult("RylModuleInit", initialised);
    return 1;
  }
  void* rootObject = nullptr;
  const ResultCode got = GetRylObject(kRylRootInterfaceId, &rootObject);
  if (RylFailed(got)) {
    FailResult("GetRylObject", got);
    RylModuleFinish();
    return 1;
  }
  auto* root = static_cast<RootFactory*>(rootObject);

  const int status = Run(root, doc, &input, repetitions);
  root->Release();
  RylModuleFinish();
  return status;
}
