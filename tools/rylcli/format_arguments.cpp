#include "format_arguments.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <type_traits>

#include "utf8_text.h"

namespace rylcli {
namespace {

enum class Modifier { kNone, kWide, kHalf, kHalfHalf, kLong, kPointer, kInt32, kInt64, kLongLong };

struct ModifierText {
  const wchar_t* text;
  size_t length;
  Modifier id;
};

// The formatter's order: the longest first, and a modifier counts only when
// a conversion character follows it.
const ModifierText kModifiers[] = {
    {L"I32", 3, Modifier::kInt32},   {L"I64", 3, Modifier::kInt64}, {L"ll", 2, Modifier::kLongLong},
    {L"hh", 2, Modifier::kHalfHalf}, {L"l", 1, Modifier::kLong},    {L"h", 1, Modifier::kHalf},
    {L"w", 1, Modifier::kWide},      {L"I", 1, Modifier::kPointer}, {L"z", 1, Modifier::kPointer},
};

Modifier ReadModifier(const wchar_t*& p) {
  for (const ModifierText& m : kModifiers) {
    if (std::wcsncmp(p, m.text, m.length) == 0 && p[m.length] != 0) {
      p += m.length;
      return m.id;
    }
  }
  return Modifier::kNone;
}

bool IsInteger(wchar_t c) { return c == L'd' || c == L'i' || c == L'u' || c == L'o' || c == L'x' || c == L'X'; }

std::string Shown(const std::wstring& text) { return "'" + Utf8(text) + "'"; }

// Decimal, or hex after 0x, with an optional sign; the whole text.
bool ParseInteger(const std::wstring& text, bool wide64, uint64_t* out) {
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == L'-';
  if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) ++at;
  int base = 10;
  if (text.size() > at + 2 && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X')) {
    base = 16;
    at += 2;
  }
  if (at >= text.size() || !std::iswxdigit(text[at])) return false;
  wchar_t* end = nullptr;
  errno = 0;
  const unsigned long long magnitude = std::wcstoull(text.c_str() + at, &end, base);
  if (errno != 0 || *end != 0) return false;
  if (wide64) {
    if (negative && magnitude > (1ull << 63)) return false;
  } else {
    // 32-bit directives take what fits in 32 bits, signed or not; the
    // formatter itself narrows to the directive's width (h, hh).
    if (negative ? magnitude > (1ull << 31) : magnitude > 0xFFFFFFFFull) return false;
  }
  *out = negative ? 0 - static_cast<uint64_t>(magnitude) : static_cast<uint64_t>(magnitude);
  return true;
}

}  // namespace

bool FormatArgumentList::Take(const std::vector<std::wstring>& args, std::string* error, const std::wstring** out) {
  if (next_ >= args.size()) {
    *error = "the format needs more arguments than the " + std::to_string(args.size()) + " given";
    return false;
  }
  *out = &args[next_++];
  return true;
}

bool FormatArgumentList::Build(const std::wstring& format, const std::vector<std::wstring>& args, std::string* error) {
  words_.clear();
  wide_.clear();
  narrow_.clear();
  next_ = 0;
  const std::wstring* arg = nullptr;
  auto takeInt32 = [&](const char* what) {
    if (!Take(args, error, &arg)) return false;
    uint64_t value = 0;
    if (!ParseInteger(*arg, false, &value)) {
      *error = Shown(*arg) + " is not a 32-bit integer (" + what + ")";
      return false;
    }
    PushWord(static_cast<uint32_t>(value));
    return true;
  };
  for (const wchar_t* p = format.c_str(); *p != 0;) {
    if (*p++ != L'%') continue;
    while (*p == L' ' || *p == L'#' || *p == L'+' || *p == L'-' || *p == L'0') ++p;
    if (*p == L'*') {
      ++p;
      if (!takeInt32("a * width")) return false;
    } else {
      while (*p >= L'0' && *p <= L'9') ++p;
    }
    if (*p == L'.') {
      ++p;
      if (*p == L'*') {
        ++p;
        if (!takeInt32("a * precision")) return false;
      } else {
        while (*p >= L'0' && *p <= L'9') ++p;
      }
    }
    const Modifier modifier = ReadModifier(p);
    const wchar_t c = *p;
    // The formatter writes a lone "%" and goes on after it.
    if (c < 0x20) continue;
    ++p;
    if (c == L'%') continue;
    if (IsInteger(c)) {
      if (modifier == Modifier::kWide) continue;  // takes nothing, writes nothing
      const bool wide64 = modifier == Modifier::kInt64 || modifier == Modifier::kLongLong;
      if (!Take(args, error, &arg)) return false;
      uint64_t value = 0;
      if (!ParseInteger(*arg, wide64, &value)) {
        *error =
            Shown(*arg) + " is not a " + (wide64 ? "64" : "32") + "-bit integer (%" + Utf8(std::wstring(1, c)) + ")";
        return false;
      }
      PushWord(static_cast<uint32_t>(value));
      if (wide64) PushWord(static_cast<uint32_t>(value >> 32));
    } else if (c == L'c') {
      // One character stands for itself; anything longer is its number.
      if (!Take(args, error, &arg)) return false;
      if (arg->size() == 1) {
        PushWord(static_cast<uint16_t>((*arg)[0]));
      } else {
        uint64_t value = 0;
        if (!ParseInteger(*arg, false, &value)) {
          *error = Shown(*arg) + " is neither one character nor a character's number (%c)";
          return false;
        }
        PushWord(static_cast<uint32_t>(value));
      }
    } else if (c == L's' || c == L'S') {
      // The UTF-16 formatter's own strings are %s, %ls and %lS... as its
      // KindOfString decides: no modifier, s own and S other; h other; l own.
      bool own;
      if (modifier == Modifier::kNone) {
        own = c == L's';
      } else if (modifier == Modifier::kHalf) {
        own = false;
      } else if (modifier == Modifier::kLong) {
        own = true;
      } else {
        continue;  // written as it stands
      }
      if (!Take(args, error, &arg)) return false;
      if (own) {
        wide_.push_back(*arg);
        PushWord(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wide_.back().c_str())));
      } else {
        narrow_.push_back(Utf8(*arg));
        PushWord(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(narrow_.back().c_str())));
      }
    } else if (c == L'e' || c == L'E' || c == L'f' || c == L'g' || c == L'G') {
      if (!Take(args, error, &arg)) return false;
      wchar_t* end = nullptr;
      const double value = std::wcstod(arg->c_str(), &end);
      if (arg->empty() || *end != 0) {
        *error = Shown(*arg) + " is not a number (%" + Utf8(std::wstring(1, c)) + ")";
        return false;
      }
      uint32_t halves[2];
      std::memcpy(halves, &value, sizeof halves);
      PushWord(halves[0]);
      PushWord(halves[1]);
    } else if (c == L'p' || (c == L'Z' && (modifier == Modifier::kNone || modifier == Modifier::kWide)) ||
               (c == L'r' && modifier == Modifier::kNone)) {
      *error = "%" + Utf8(std::wstring(1, c)) + " takes an address, which a command line cannot give";
      return false;
    }
    // Any other conversion is copied as written and takes no argument.
  }
  if (next_ != args.size()) {
    *error = std::to_string(args.size() - next_) + " argument(s) left over, starting with " + Shown(args[next_]);
    return false;
  }
  return true;
}

// The formatter takes a va_list, and the count and types of the arguments
// are known only at run time. On i686 the va_list is a pointer into the
// caller-cleans argument area, where each argument takes whole 32-bit words
// (int and pointers one, 64-bit integers and doubles two, low word first):
// exactly the words Build laid out. The assertions keep this from building
// for a target where va_list is anything else.
va_list FormatArgumentList::get() {
  static_assert(sizeof(void*) == 4, "the argument area below is the 32-bit x86 one");
  static_assert(std::is_pointer_v<va_list>, "va_list must be a plain pointer into the argument area");
  if (words_.empty()) words_.push_back(0);  // a valid address even for no arguments
  return reinterpret_cast<va_list>(words_.data());
}

}  // namespace rylcli
