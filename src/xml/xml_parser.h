// Parsing a document from a host's stream into handler events, over expat
// (UTF-16 build, no namespace processing) with the module's additions: a
// limit of 50 internal entity expansions, and the optional cut of long
// unfinished tokens.
#pragma once

#include <cstdint>

#include "ryl/streams.h"
#include "ryl/xml.h"

namespace ryl::xml {

inline constexpr uint32_t kParseChunk = 4096;
inline constexpr unsigned kEntityExpansionLimit = 50;

// The handler's last code on success; RYL_E_BAD_FORMAT for a document that is
// not well-formed, truncated or expands too many entities; a failing read's
// code; a handler's negative code.
[[nodiscard]] ResultCode ParseXml(HostStream* input, RylXmlEventHandler* handler, uint8_t flags) noexcept;

}  // namespace ryl::xml
