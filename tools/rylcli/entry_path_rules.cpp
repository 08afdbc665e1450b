#include "entry_path_rules.h"

namespace rylcli {
namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// The case folding of the scripts most archive names are in, spelt out: the
// C runtime's towupper knows only ASCII in the "C" locale on Windows.
wchar_t Upper(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : static_cast<wchar_t>(c - 0x20);  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A: upper case then lower case in pairs, the pairs
    // starting on an odd code point in two runs; a few have no partner.
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool pairsStartOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool lower = pairsStartOdd ? (c & 1) == 0 : (c & 1) != 0;
    return lower ? static_cast<wchar_t>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 0x20);  // Greek
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);                // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  return c;
}

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Digits that Windows accepts after COM and LPT: 0-9 and the superscripts
// one, two and three.
bool IsDeviceDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || c == 0xB9 || c == 0xB2 || c == 0xB3; }

bool IsReservedCharacter(wchar_t c) {
  return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

}  // namespace

bool NamesReservedDevice(std::wstring_view component) {
  // The system drops trailing dots and spaces, then ignores everything from
  // the first dot (the extension), and spaces before it.
  while (!component.empty() && (component.back() == L'.' || component.back() == L' ')) component.remove_suffix(1);
  const size_t dot = component.find(L'.');
  std::wstring_view base = component.substr(0, dot);
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (EqualsIgnoringCase(base, device)) return true;
  }
  if (base.size() == 4 && IsDeviceDigit(base[3])) {
    return EqualsIgnoringCase(base.substr(0, 3), L"COM") || EqualsIgnoringCase(base.substr(0, 3), L"LPT");
  }
  return false;
}

NameProblem CheckEntryName(std::wstring_view name) {
  if (name.empty()) return NameProblem::kEmpty;
  if (IsSeparator(name[0])) return NameProblem::kAbsolute;
  // A directory entry ends in a separator; the component before it counts.
  if (IsSeparator(name.back())) name.remove_suffix(1);
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparator(name[i])) {
      if (name[i] == L':') return NameProblem::kColon;
      if (IsReservedCharacter(name[i])) return NameProblem::kReservedCharacter;
      continue;
    }
    const std::wstring_view component = name.substr(start, i - start);
    if (component.empty()) return NameProblem::kEmpty;
    if (component == L"..") return NameProblem::kParent;
    if (component.back() == L'.' || component.back() == L' ') return NameProblem::kTrailingDotOrSpace;
    if (NamesReservedDevice(component)) return NameProblem::kDeviceName;
    start = i + 1;
  }
  return NameProblem::kNone;
}

const char* ExplainNameProblem(NameProblem problem) {
  switch (problem) {
    case NameProblem::kNone: return "a safe name";
    case NameProblem::kEmpty: return "the name or one of its parts is empty";
    case NameProblem::kAbsolute: return "the name is absolute and leaves the target directory";
    case NameProblem::kParent: return "the name leaves the target directory";
    case NameProblem::kColon: return "the name holds a colon (a drive or a data stream)";
    case NameProblem::kReservedCharacter: return "the name holds a character Windows does not allow in file names";
    case NameProblem::kDeviceName: return "the name is a device's (CON, NUL, COM1, ...), not a file's";
    case NameProblem::kTrailingDotOrSpace:
      return "a part of the name ends in a dot or space, which Windows drops, so it would land on another name";
  }
  return "refused";
}

std::wstring OutputKey(std::wstring_view name) {
  std::wstring key;
  key.reserve(name.size());
  for (wchar_t c : name) key.push_back(IsSeparator(c) ? L'\\' : Upper(c));
  if (!key.empty() && key.back() == L'\\') key.pop_back();
  return key;
}

}  // namespace rylcli
