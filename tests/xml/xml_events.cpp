// Prints what ParseXml reports for each file named, in a form
// tests/xml/parser_differential.py holds against Python's expat bindings:
// one line per file, the result code then the events, as JSON.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "hoststreams/memory_host_stream.h"
#include "xml/xml_parser.h"

namespace {

void AppendJsonString(std::string* out, const RylXmlText* text) {
  *out += '"';
  for (uint32_t i = 0; i < text->length; ++i) {
    const auto unit = static_cast<uint16_t>(text->data[i]);
    if (unit == '"' || unit == '\\') {
      *out += '\\';
      *out += static_cast<char>(unit);
    } else if (unit >= 0x20 && unit < 0x7F) {
      *out += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
      *out += escaped;
    }
  }
  *out += '"';
}

class Printer final : public RylXmlEventHandler {
 public:
  void RYL_THISCALL Reserved() override {}
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override {
    Event("start", name);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText* element, const RylXmlText* name,
                                    const RylXmlText* value) override {
    Open("attr");
    AppendJsonString(&events, element);
    events += ",";
    AppendJsonString(&events, name);
    events += ",";
    AppendJsonString(&events, value);
    events += "]";
    return RYL_OK;
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText* name) override {
    Event("end", name);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    Event("text", text);
    return RYL_OK;
  }
  std::string events;

 private:
  void Open(const char* kind) {
    if (!events.empty()) events += ",";
    events += "[\"";
    events += kind;
    events += "\",";
  }
  void Event(const char* kind, const RylXmlText* text) {
    Open(kind);
    AppendJsonString(&events, text);
    events += "]";
  }
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ryl::host::MemoryHostStream<std::string> stream(bytes);
    Printer printer;
    const ResultCode result = ryl::xml::ParseXml(&stream, &printer, 0);
    std::printf("{\"file\":\"%s\",\"result\":%d,\"events\":[%s]}\n", argv[i], static_cast<int>(result),
                printer.events.c_str());
  }
  return 0;
}
