#include "regex/regex_object.h"

#include <pcre.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/delivery.h"

namespace ryl::regex {
namespace {

// The two PCRE libraries behind one face.
template <typename Unit>
struct Pcre;

template <>
struct Pcre<char> {
  using Text = std::string;
  using Extra = pcre_extra;
  using Stack = pcre_jit_stack;
  static constexpr const char* kNul = "\\x00";
  static void* Compile(const Text& pattern, int options) {
    const char* error = nullptr;
    int offset = 0;
    return pcre_compile(pattern.c_str(), options, &error, &offset, nullptr);
  }
  static Extra* Study(void* compiled, int options) {
    const char* error = nullptr;
    return pcre_study(static_cast<pcre*>(compiled), options, &error);
  }
  static int Info(void* compiled, const Extra* extra, int what, void* out) {
    return pcre_fullinfo(static_cast<pcre*>(compiled), extra, what, out);
  }
  static int Exec(void* compiled, const Extra* extra, const char* subject, int length, int* offsets, int size) {
    return pcre_exec(static_cast<pcre*>(compiled), extra, subject, length, 0, 0, offsets, size);
  }
  static Stack* NewStack(int start, int limit) { return pcre_jit_stack_alloc(start, limit); }
  static void FreeStack(Stack* stack) { pcre_jit_stack_free(stack); }
  static void AssignStack(Extra* extra, Stack* (*callback)(void*)) { pcre_assign_jit_stack(extra, callback, nullptr); }
  static void FreeStudy(Extra* extra) { pcre_free_study(extra); }
  static void Free(void* compiled) { pcre_free(compiled); }
};

template <>
struct Pcre<RylChar16> {
  using Text = std::u16string;
  using Extra = pcre16_extra;
  using Stack = pcre16_jit_stack;
  static constexpr const char16_t* kNul = u"\\x{0}";
  static void* Compile(const Text& pattern, int options) {
    const char* error = nullptr;
    int offset = 0;
    return pcre16_compile(reinterpret_cast<PCRE_SPTR16>(pattern.c_str()), options, &error, &offset, nullptr);
  }
  static Extra* Study(void* compiled, int options) {
    const char* error = nullptr;
    return pcre16_study(static_cast<pcre16*>(compiled), options, &error);
  }
  static int Info(void* compiled, const Extra* extra, int what, void* out) {
    return pcre16_fullinfo(static_cast<pcre16*>(compiled), extra, what, out);
  }
  static int Exec(void* compiled, const Extra* extra, const RylChar16* subject, int length, int* offsets, int size) {
    return pcre16_exec(static_cast<pcre16*>(compiled), extra, reinterpret_cast<PCRE_SPTR16>(subject), length, 0, 0,
                       offsets, size);
  }
  static Stack* NewStack(int start, int limit) { return pcre16_jit_stack_alloc(start, limit); }
  static void FreeStack(Stack* stack) { pcre16_jit_stack_free(stack); }
  static void AssignStack(Extra* extra, Stack* (*callback)(void*)) {
    pcre16_assign_jit_stack(extra, callback, nullptr);
  }
  static void FreeStudy(Extra* extra) { pcre16_free_study(extra); }
  static void Free(void* compiled) { pcre16_free(compiled); }
};

std::atomic<bool> g_jitEnabled{true};

// Each thread matching with the JIT gets its own stack, made on first use
// and grown by PCRE as a pattern needs, up to a bound far above the default
// 32 KiB: patterns the interpreter handles must not fail only for want of
// JIT stack.
template <typename Unit>
class ThreadJitStack {
 public:
  ~ThreadJitStack() {
    if (stack_ != nullptr) Pcre<Unit>::FreeStack(stack_);
  }
  typename Pcre<Unit>::Stack* Get() {
    if (stack_ == nullptr) stack_ = Pcre<Unit>::NewStack(32 * 1024, 8 * 1024 * 1024);
    return stack_;
  }

 private:
  typename Pcre<Unit>::Stack* stack_ = nullptr;
};

template <typename Unit>
typename Pcre<Unit>::Stack* JitStackOfThisThread(void*) {
  thread_local ThreadJitStack<Unit> stack;
  return stack.Get();
}

template <typename Text, typename Unit>
void AppendLiteral(Text* text, const char* ascii) {
  for (; *ascii != 0; ++ascii) text->push_back(static_cast<typename Text::value_type>(*ascii));
}

}  // namespace

template <typename Unit>
RegexObject<Unit>::~RegexObject() {
  Free();
}

template <typename Unit>
void RegexObject<Unit>::Free() noexcept {
  if (study_ != nullptr) Pcre<Unit>::FreeStudy(static_cast<typename Pcre<Unit>::Extra*>(study_));
  if (compiled_ != nullptr) Pcre<Unit>::Free(compiled_);
  study_ = nullptr;
  compiled_ = nullptr;
  captureCount_ = 0;
}

template <typename Unit>
void* RYL_THISCALL RegexObject<Unit>::Query(uint32_t type, uint32_t version, uint8_t* outSupported) {
  const bool answered = type == kTypeId && version < 2;
  if (outSupported != nullptr) *outSupported = answered ? 1 : 0;
  return answered ? static_cast<RylRegexT<Unit>*>(this) : nullptr;
}

template <typename Unit>
void RYL_THISCALL RegexObject<Unit>::Destroy(const AllocatorRecord* allocator) {
  const AllocatorRecord record = allocator != nullptr ? *allocator : core::kDefaultHeap;
  core::DestroyPlainObject(this, &record);
}

template <typename Unit>
ResultCode RYL_THISCALL RegexObject<Unit>::Compile(const Unit* pattern, uint32_t length, uint32_t flags) {
  if (pattern == nullptr && length != 0) return RYL_E_INVALID_ARG;
  Free();
  try {
    using Text = typename Pcre<Unit>::Text;
    Text copy;
    copy.reserve(length + 16);
    const bool whole = (flags & RYL_REGEX_WHOLE_MATCH) != 0;
    if (whole) AppendLiteral<Text, Unit>(&copy, "\\A(?:");
    for (uint32_t i = 0; i < length; ++i) {
      // A zero unit would end the pattern for PCRE: it is written as the
      // escape that means the same character.
      if (pattern[i] == 0) {
        copy += Pcre<Unit>::kNul;
      } else {
        copy.push_back(static_cast<typename Text::value_type>(pattern[i]));
      }
    }
    if (whole) AppendLiteral<Text, Unit>(&copy, ")\\z");
    const int options = kPcreOptions | ((flags & RYL_REGEX_CASELESS) != 0 ? kPcreCaseless : 0);
    void* compiled = Pcre<Unit>::Compile(copy, options);
    if (compiled == nullptr) return RYL_E_BAD_FORMAT;
    int count = 0;
    if (Pcre<Unit>::Info(compiled, nullptr, PCRE_INFO_CAPTURECOUNT, &count) < 0 || count < 0) {
      Pcre<Unit>::Free(compiled);
      return RYL_E_REGEX_FAILED;
    }
    compiled_ = compiled;
    captureCount_ = static_cast<uint32_t>(count);
    // The JIT when the PCRE build has it, the interpreter otherwise. The
    // study record always exists, so that matches carry the recursion limit
    // (which only the interpreter uses).
    using Extra = typename Pcre<Unit>::Extra;
    Extra* study = Pcre<Unit>::Study(compiled, g_jitEnabled.load() ? PCRE_STUDY_JIT_COMPILE | PCRE_STUDY_EXTRA_NEEDED
                                                                    : PCRE_STUDY_EXTRA_NEEDED);
    if (study == nullptr) {
      Free();
      return RYL_E_OUT_OF_MEMORY;
    }
    study->flags |= PCRE_EXTRA_MATCH_LIMIT_RECURSION;
    study->match_limit_recursion = kRecursionLimit;
    int jitted = 0;
    if (Pcre<Unit>::Info(compiled, study, PCRE_INFO_JIT, &jitted) == 0 && jitted == 1) {
      Pcre<Unit>::AssignStack(study, &JitStackOfThisThread<Unit>);
    }
    study_ = study;
    return RYL_OK;
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
}

template <typename Unit>
ResultCode RYL_THISCALL RegexObject<Unit>::Match(const Unit* subject, uint32_t length,
                                                 RylRegexCapturesT<Unit>* captures) {
  if (compiled_ == nullptr) return RYL_E_REGEX_FAILED;
  if (captures == nullptr || captures->first == nullptr || (subject == nullptr && length != 0)) {
    return RYL_E_INVALID_ARG;
  }
  // The array must have room for every group PCRE may fill: checked rather
  // than trusted, since writing past it would corrupt the caller's memory.
  if (captures->last < captures->first ||
      static_cast<size_t>(captures->last - captures->first) < size_t{captureCount_} + 1) {
    return RYL_E_INVALID_ARG;
  }
  if (length > 0x7FFFFFFFu) return RYL_E_INVALID_ARG;
  try {
    const size_t pairs = size_t{captureCount_} + 1;
    std::vector<int> offsets(pairs * 3, -1);
    const int filled = Pcre<Unit>::Exec(compiled_, static_cast<const typename Pcre<Unit>::Extra*>(study_), subject,
                                        static_cast<int>(length), offsets.data(), static_cast<int>(offsets.size()));
    if (filled == PCRE_ERROR_NOMATCH) {
      captures->first[0].matched = 0;
      return RYL_OK;
    }
    if (filled <= 0) return RYL_E_REGEX_FAILED;
    for (int group = 0; group < filled; ++group) {
      RylRegexCaptureT<Unit>& entry = captures->first[group];
      const int begin = offsets[size_t(group) * 2];
      const int end = offsets[size_t(group) * 2 + 1];
      if (begin < 0) {
        entry.matched = 0;
        continue;
      }
      entry.matched = 1;
      entry.begin = subject + begin;
      entry.end = subject + end;
    }
    return RYL_OK;
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
}

void SetJitForTesting(bool enabled) noexcept { g_jitEnabled.store(enabled); }

template <typename Unit>
bool RegexObject<Unit>::UsesJit() const noexcept {
  int jitted = 0;
  return compiled_ != nullptr && study_ != nullptr &&
         Pcre<Unit>::Info(compiled_, static_cast<const typename Pcre<Unit>::Extra*>(study_), PCRE_INFO_JIT,
                          &jitted) == 0 &&
         jitted == 1;
}

template class RegexObject<char>;
template class RegexObject<RylChar16>;

ResultCode CreateRegexNarrow(const ObjectReceiver* receiver, const char* pattern, uint32_t length,
                             uint32_t flags) noexcept {
  return core::CreateAndDeliver<Regex8>(receiver, core::Placement::kReceiverAllocator,
                                        [&](Regex8& regex) { return regex.Compile(pattern, length, flags); });
}

ResultCode CreateRegexWide(const ObjectReceiver* receiver, const RylChar16* pattern, uint32_t length,
                           uint32_t flags) noexcept {
  return core::CreateAndDeliver<Regex16>(receiver, core::Placement::kReceiverAllocator,
                                         [&](Regex16& regex) { return regex.Compile(pattern, length, flags); });
}

}  // namespace ryl::regex
