// The XML parser on hostile input: whatever the bytes, a parse ends with the
// handler's code or RYL_E_BAD_FORMAT, a successful one has balanced elements,
// no more than 50 entity expansions reach the handler, and the events do not
// depend on how the stream cuts the input into reads.
//
// Input: one byte choosing the short reads' size (1 to 256 bytes), then the
// document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "xml/xml_parser.h"

namespace {

// A host stream over the input that hands out at most `step` bytes a read.
class ChoppedStream final : public HostStream {
 public:
  ChoppedStream(const uint8_t* data, size_t size, uint32_t step) : data_(data), size_(size), step_(step) {}
  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    if (at_ == size_) return RYL_E_END_OF_DATA;
    size_t take = count < step_ ? count : step_;
    if (take > size_ - at_) take = size_ - at_;
    for (size_t i = 0; i < take; ++i) static_cast<uint8_t*>(buffer)[i] = data_[at_ + i];
    at_ += take;
    *outDone = static_cast<uint32_t>(take);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Write(const void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Tell(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL SetSize(uint64_t) override { return RYL_E_NOT_IMPLEMENTED; }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override { return RYL_E_NOT_IMPLEMENTED; }
  void RYL_THISCALL Dispose() override {}

 private:
  const uint8_t* data_;
  size_t size_;
  uint32_t step_;
  size_t at_ = 0;
};

// Keeps a digest of the events (text joined across pieces) and the depth.
class Digest final : public RylXmlEventHandler {
 public:
  void RYL_THISCALL Reserved() override { FUZZ_CHECK(false); }
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override {
    Add('<', name);
    ++depth;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText* element, const RylXmlText* name,
                                    const RylXmlText* value) override {
    FUZZ_CHECK(depth > 0);
    Add('@', element);
    Add('=', name);
    Add('"', value);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText* name) override {
    FUZZ_CHECK(depth > 0);
    --depth;
    Add('>', name);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    FUZZ_CHECK(depth > 0);
    textUnits += text->length;
    if (!events.empty() && last == 't') {
      events.append(reinterpret_cast<const char16_t*>(text->data), text->length);
    } else {
      Add('t', text);
    }
    last = 't';
    return RYL_OK;
  }

  std::u16string events;
  int depth = 0;
  size_t textUnits = 0;

 private:
  void Add(char16_t kind, const RylXmlText* text) {
    events += u'\0';
    events += kind;
    events.append(reinterpret_cast<const char16_t*>(text->data), text->length);
    last = static_cast<char>(kind);
  }
  char last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t step = 1u + data[0];
  ++data;
  --size;

  ChoppedStream whole(data, size, ryl::xml::kParseChunk);
  Digest first;
  const ResultCode a = ryl::xml::ParseXml(&whole, &first, 0);
  FUZZ_CHECK(a == RYL_OK || a == RYL_E_BAD_FORMAT);
  if (a == RYL_OK) FUZZ_CHECK(first.depth == 0);
  // Fifty expansions of entities whose text came from this input cannot
  // deliver more than fifty times the input, besides the input itself.
  FUZZ_CHECK(first.textUnits <= 51 * (size + 1));

  ChoppedStream chopped(data, size, step);
  Digest second;
  const ResultCode b = ryl::xml::ParseXml(&chopped, &second, 0);
  FUZZ_CHECK(a == b);
  if (a == RYL_OK) FUZZ_CHECK(first.events == second.events);

  // The cut may refuse a document, never accept one the plain parse refused.
  ChoppedStream again(data, size, ryl::xml::kParseChunk);
  Digest third;
  const ResultCode c = ryl::xml::ParseXml(&again, &third, RYL_XML_PARSE_CUT_LONG_RUNS);
  FUZZ_CHECK(c == RYL_OK || c == RYL_E_BAD_FORMAT);
  if (a == RYL_E_BAD_FORMAT) FUZZ_CHECK(c == RYL_E_BAD_FORMAT);
  return 0;
}
