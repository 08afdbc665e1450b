#include "xml/xml_parser.h"

#include <expat.h>

#include "streams/host_stream_adapter.h"

namespace ryl::xml {
namespace {

static_assert(sizeof(XML_Char) == sizeof(RylChar16), "expat is the UTF-16 build");

struct ParseState {
  RylXmlEventHandler* handler;
  ResultCode code;
};

RylXmlText TextOf(const XML_Char* text) noexcept {
  uint32_t length = 0;
  if (text != nullptr) {
    while (text[length] != 0) ++length;
  }
  return RylXmlText{reinterpret_cast<const RylChar16*>(text), length};
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* state = static_cast<ParseState*>(data);
  if (state->code < 0) return;
  const RylXmlText element = TextOf(name);
  state->code = state->handler->StartElement(&element);
  for (const XML_Char** pair = attributes; pair != nullptr && pair[0] != nullptr; pair += 2) {
    if (state->code < 0) return;
    const RylXmlText attribute = TextOf(pair[0]);
    const RylXmlText value = TextOf(pair[1]);
    state->code = state->handler->Attribute(&element, &attribute, &value);
  }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto* state = static_cast<ParseState*>(data);
  if (state->code < 0) return;
  const RylXmlText element = TextOf(name);
  state->code = state->handler->EndElement(&element);
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* state = static_cast<ParseState*>(data);
  if (state->code < 0) return;
  const RylXmlText piece{reinterpret_cast<const RylChar16*>(text), static_cast<uint32_t>(length)};
  state->code = state->handler->Text(&piece);
}

// Frees the parser on every path.
class Parser {
 public:
  Parser() noexcept : parser_(XML_ParserCreate(nullptr)) {}
  ~Parser() {
    if (parser_ != nullptr) XML_ParserFree(parser_);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
  XML_Parser get() const noexcept { return parser_; }

 private:
  XML_Parser parser_;
};

}  // namespace

ResultCode ParseXml(HostStream* input, RylXmlEventHandler* handler, uint8_t flags) noexcept {
  if (input == nullptr || handler == nullptr) return RYL_E_INVALID_ARG;
  Parser parser;
  if (parser.get() == nullptr) return RYL_E_OUT_OF_MEMORY;
  ParseState state{handler, RYL_OK};
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), &OnStart, &OnEnd);
  XML_SetCharacterDataHandler(parser.get(), &OnText);
  XML_SetInternalEntityExpansionLimit(parser.get(), kEntityExpansionLimit);
  if ((flags & RYL_XML_PARSE_CUT_LONG_RUNS) != 0) XML_SetCutUnfinishedRuns(parser.get(), XML_TRUE);

  streams::HostStreamAdapter stream(input);
  for (;;) {
    void* buffer = XML_GetBuffer(parser.get(), static_cast<int>(kParseChunk));
    if (buffer == nullptr) return RYL_E_OUT_OF_MEMORY;
    uint32_t read = 0;
    const ResultCode result = stream.Read(buffer, kParseChunk, &read);
    if (result == RYL_E_END_OF_DATA) {
      read = 0;
    } else if (result < 0) {
      return result;
    } else if (read > kParseChunk) {
      return RYL_E_INVALID_STATE;
    }
    const bool final = read == 0;
    if (XML_ParseBuffer(parser.get(), static_cast<int>(read), final ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
      return RYL_E_BAD_FORMAT;
    }
    if (state.code < 0) return state.code;
    if (final) break;
  }
  if (XML_InternalEntityExpansionLimitExceeded(parser.get())) return RYL_E_BAD_FORMAT;
  return state.code;
}

}  // namespace ryl::xml
