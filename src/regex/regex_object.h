// Regex8 (type 13) and Regex16 (type 14): a compiled PCRE pattern of the
// object's unit width, with the options the service fixes and the optional
// whole-subject wrapper.
#pragma once

#include <cstdint>

#include "ryl/regex.h"

namespace ryl::regex {

template <typename Unit>
class RegexObject;

using Regex8 = RegexObject<char>;
using Regex16 = RegexObject<RylChar16>;

// PCRE's options for every pattern: multi-line, dot-all, any newline.
inline constexpr int kPcreOptions = 0x400006;
inline constexpr int kPcreCaseless = 0x1;
// How deep PCRE's interpreter (used where the PCRE build has no JIT) may
// recurse on the thread's stack: enough for ordinary patterns, well inside a
// 1 MiB stack, so that a pathological pattern fails with RYL_E_REGEX_FAILED
// instead of overflowing the stack.
inline constexpr unsigned long kRecursionLimit = 1500;

template <typename Unit>
class RegexObject final : public RylRegexT<Unit> {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_REGEX;
  static constexpr uint32_t kTypeId = sizeof(Unit) == 1 ? RYL_TYPE_REGEX8 : RYL_TYPE_REGEX16;

  RegexObject() noexcept = default;
  ~RegexObject();
  void* DeliveredInterface() noexcept { return static_cast<RylRegexT<Unit>*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL Compile(const Unit* pattern, uint32_t length, uint32_t flags) override;
  ResultCode RYL_THISCALL Match(const Unit* subject, uint32_t length, RylRegexCapturesT<Unit>* captures) override;
  uint32_t RYL_THISCALL GetCaptureCount() override { return compiled_ != nullptr ? captureCount_ : 0; }

  // Whether matches run on PCRE's JIT (the PCRE build decides).
  bool UsesJit() const noexcept;

 private:
  void Free() noexcept;

  void* compiled_ = nullptr;  // pcre / pcre16
  void* study_ = nullptr;     // its study record: the JIT code and the limits
  uint32_t captureCount_ = 0;
};

// Tests compile with the interpreter alone (false) to hold it against the JIT.
void SetJitForTesting(bool enabled) noexcept;

[[nodiscard]] ResultCode CreateRegexNarrow(const ObjectReceiver* receiver, const char* pattern, uint32_t length,
                                           uint32_t flags) noexcept;
[[nodiscard]] ResultCode CreateRegexWide(const ObjectReceiver* receiver, const RylChar16* pattern, uint32_t length,
                                         uint32_t flags) noexcept;

}  // namespace ryl::regex
