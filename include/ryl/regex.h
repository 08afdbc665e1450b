// Regular expressions (RootFactory::CreateRegexNarrow / CreateRegexWide):
// PCRE patterns over bytes (Regex8) or UTF-16 units (Regex16).
//
// Patterns run multi-line ("^" and "$" at every line), with "." matching line
// breaks, any line-break sequence counting as a newline, and each byte or
// unit matched as one character (a surrogate pair is two). A pattern PCRE
// does not compile gives RYL_E_BAD_FORMAT, from Compile and from the root's
// creating slots alike.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

#define RYL_REGEX_WHOLE_MATCH 0x1u  // the pattern must match the whole subject
#define RYL_REGEX_CASELESS 0x2u

#if defined(__cplusplus)

// One group of a match: group 0 is the whole match. end is one past the
// last unit.
template <typename Unit>
struct RylRegexCaptureT {
  uint8_t matched;
  const Unit* begin;
  const Unit* end;
};

// The caller's array: {first entry, one past the last entry, one past the
// storage}. It must hold GetCaptureCount() + 1 entries.
template <typename Unit>
struct RylRegexCapturesT {
  RylRegexCaptureT<Unit>* first;
  RylRegexCaptureT<Unit>* last;
  RylRegexCaptureT<Unit>* storageEnd;
};

typedef RylRegexCaptureT<char> RylRegexCapture8;
typedef RylRegexCaptureT<RylChar16> RylRegexCapture16;
typedef RylRegexCapturesT<char> RylRegexCaptures8;
typedef RylRegexCapturesT<RylChar16> RylRegexCaptures16;

#if RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(RylRegexCapture8) == 12 && offsetof(RylRegexCapture8, begin) == 4, "capture record");
static_assert(sizeof(RylRegexCaptures8) == 12, "capture array record");
#endif

// Match answers 0 whether or not the pattern matched: read entry 0's
// matched. Groups after the highest one that took part are not written.
template <typename Unit>
RYL_INTERFACE RylRegexT {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  virtual ResultCode RYL_THISCALL Compile(const Unit* pattern, uint32_t length, uint32_t flags) = 0;
  virtual ResultCode RYL_THISCALL Match(const Unit* subject, uint32_t length, RylRegexCapturesT<Unit>* captures) = 0;
  virtual uint32_t RYL_THISCALL GetCaptureCount() = 0;
};

typedef RylRegexT<char> RylRegex8;
typedef RylRegexT<RylChar16> RylRegex16;

#endif  // __cplusplus
