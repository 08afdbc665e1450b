// XML: the streaming writer (RootFactory::CreateXmlWriter) and the event
// handler ParseXml calls.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

// What the writer does with a character XML does not allow (units 0-8, 11,
// 12, 14-31, 0xFFFE, 0xFFFF).
#define RYL_XML_ESCAPE_REFUSE 0u   // the call fails with RYL_E_BAD_FORMAT
#define RYL_XML_ESCAPE_DROP 1u     // the unit is left out
#define RYL_XML_ESCAPE_ENCODE 2u   // written as &#xN; (the default)
#define RYL_XML_ESCAPE_VERBATIM 3u  // written unchanged

// Lengths in UTF-16 units; StartElement also takes this for a NUL-terminated
// name.
#define RYL_XML_NUL_TERMINATED 0xFFFFFFFFu

// A string handed to the event handler: UTF-16, length in units. Names are
// also NUL-terminated; text is not.
struct RylXmlText {
  const RylChar16* data;
  uint32_t length;
};

// ParseXml's flags. Bit 0: an unfinished token longer than 4096 bytes at
// the end of the input read so far ends the parse as malformed, so that one
// tag, comment or declaration cannot make the parser buffer without bound.
#define RYL_XML_PARSE_CUT_LONG_RUNS 0x01u

#if defined(__cplusplus)

// What ParseXml calls, in document order. A negative result (a warning
// included) stops the events and becomes ParseXml's result.
RYL_INTERFACE RylXmlEventHandler {
  virtual void RYL_THISCALL Reserved() = 0;  // never called
  virtual ResultCode RYL_THISCALL StartElement(const RylXmlText* name) = 0;
  // Each attribute of the element just started, in document order.
  virtual ResultCode RYL_THISCALL Attribute(const RylXmlText* element, const RylXmlText* name,
                                            const RylXmlText* value) = 0;
  virtual ResultCode RYL_THISCALL EndElement(const RylXmlText* name) = 0;
  // One piece of character data; one run may come in several pieces.
  virtual ResultCode RYL_THISCALL Text(const RylXmlText* text) = 0;
};

// Writes UTF-8 to the stream it was made for, escaping text and attribute
// values, optionally indenting. A failed write is kept: every later
// operation but the setters returns it.
RYL_INTERFACE RylXmlWriter {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) = 0;
  // Writes what is buffered (its result is not reported) and frees the
  // writer through the allocator it was made with.
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  virtual ResultCode RYL_THISCALL Flush() = 0;
  virtual ResultCode RYL_THISCALL SetFormatting(const RylChar16* indent, uint32_t indentLength,
                                                const RylChar16* lineBreak, uint32_t lineBreakLength) = 0;
  virtual ResultCode RYL_THISCALL SetEscapeMode(uint32_t mode) = 0;
  virtual ResultCode RYL_THISCALL WriteDeclaration(const RylChar16* version, uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL StartElement(const RylChar16* name, uint32_t length) = 0;
  // An element with no content as <name/>.
  virtual ResultCode RYL_THISCALL EndElement() = 0;
  // An element with no content as <name></name>.
  virtual ResultCode RYL_THISCALL EndElementFull() = 0;
  virtual ResultCode RYL_THISCALL WriteElement(const RylChar16* name, uint32_t nameLength, const RylChar16* text,
                                               uint32_t textLength) = 0;
  virtual ResultCode RYL_THISCALL StartAttribute(const RylChar16* name, uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL EndAttribute() = 0;
  virtual ResultCode RYL_THISCALL WriteAttribute(const RylChar16* name, uint32_t nameLength, const RylChar16* value,
                                                 uint32_t valueLength) = 0;
  virtual ResultCode RYL_THISCALL WriteText(const RylChar16* text, uint32_t length) = 0;
  // Written as given, converted to UTF-8, with no escaping or checking.
  virtual ResultCode RYL_THISCALL WriteRaw(const RylChar16* text, uint32_t length) = 0;
  virtual ResultCode RYL_THISCALL GetStatus() = 0;
};

#endif  // __cplusplus
