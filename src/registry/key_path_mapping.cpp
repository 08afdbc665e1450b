#include "registry/key_path_mapping.h"

#include "strings/case_mapping.h"

namespace ryl::registry {
namespace {

constexpr std::u16string_view kNodeUpper = u"\\WOW6432NODE";
constexpr std::u16string_view kNodeLiteral = u"\\Wow6432Node";
constexpr std::u16string_view kMachineClasses = u"\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES";
constexpr std::u16string_view kMachineSoftware = u"\\REGISTRY\\MACHINE\\SOFTWARE";
constexpr std::u16string_view kMachine = u"\\REGISTRY\\MACHINE";
constexpr std::u16string_view kUser = u"\\REGISTRY\\USER";
constexpr std::u16string_view kClassesSuffix = u"_CLASSES";
constexpr std::u16string_view kSoftwareClasses = u"\\SOFTWARE\\CLASSES";

// The 8 units before index end equal "_CLASSES" (the text is upper case).
bool EndsWithClassesAt(const KeyText& upper, size_t end) {
  return end >= kClassesSuffix.size() &&
         std::u16string_view(upper).substr(end - kClassesSuffix.size(), kClassesSuffix.size()) == kClassesSuffix;
}

// The end of a user hive's name: the first '\' at or after index 15, or the
// length.
size_t HiveNameEnd(const KeyText& text) {
  const size_t at = text.size() > 15 ? text.find(u'\\', 15) : KeyText::npos;
  return at == KeyText::npos ? text.size() : at;
}

}  // namespace

KeyText UpperCaseKeyText(const char16_t* text, size_t length) {
  KeyText upper(text, length);
  for (char16_t& unit : upper) {
    if (unit <= 96) continue;
    unit = unit <= 122 ? static_cast<char16_t>(unit - 32) : strings::ToUpperUnit(unit);
  }
  return upper;
}

bool StartsWith(const KeyText& text, std::u16string_view prefix) noexcept {
  return text.size() >= prefix.size() && std::u16string_view(text).substr(0, prefix.size()) == prefix;
}

bool StartsWithNoCase(const KeyText& text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return UpperCaseKeyText(text.data(), prefix.size()) == UpperCaseKeyText(prefix.data(), prefix.size());
}

size_t FindWholeWow64Node(const KeyText& upper) noexcept {
  const size_t at = upper.find(kNodeUpper);
  if (at == KeyText::npos) return KeyText::npos;
  const size_t end = at + kNodeUpper.size();
  return end == upper.size() || upper[end] == u'\\' ? at : KeyText::npos;
}

ViewMapping MapTo32BitView(const KeyText& base, const char16_t* subkey, uint32_t subkeyLength, bool hasSubkey) {
  ViewMapping result;
  KeyText joined = base;
  if (hasSubkey) {
    joined += u'\\';
    joined.append(subkey, subkeyLength);
  }
  KeyText upper = UpperCaseKeyText(joined);

  if (FindWholeWow64Node(upper) != KeyText::npos) {
    if (!hasSubkey) return result;
    const KeyText upperBase = UpperCaseKeyText(base);
    KeyText upperSubkey = UpperCaseKeyText(subkey, subkeyLength);
    if (upperBase.find(kNodeUpper) == KeyText::npos || upperSubkey.find(u"WOW6432NODE") == KeyText::npos) {
      return result;
    }
    // The root already lies in the node: a subkey naming the node again
    // must not descend into a second one.
    if (upperSubkey == u"WOW6432NODE") {
      upperSubkey.clear();
    } else {
      for (size_t at = upperSubkey.find(kNodeUpper); at != KeyText::npos; at = upperSubkey.find(kNodeUpper, at)) {
        upperSubkey.erase(at, kNodeUpper.size());
      }
    }
    result.mapped = true;
    result.relativeToRoot = true;
    result.name = std::move(upperSubkey);
    return result;
  }

  size_t insertAt = KeyText::npos;
  bool append = false;
  if (StartsWith(upper, kMachineClasses)) {
    insertAt = kMachineClasses.size();
  } else if (StartsWith(upper, kMachineSoftware)) {
    insertAt = kMachineSoftware.size();
  } else if (StartsWith(upper, kUser) && upper.size() > 15) {
    const size_t d = HiveNameEnd(upper);
    if (d == upper.size()) {
      if (EndsWithClassesAt(upper, d)) append = true;
    } else if (EndsWithClassesAt(upper, d)) {
      insertAt = d;
    } else if (upper.size() - d >= kSoftwareClasses.size() &&
               std::u16string_view(upper).substr(d, kSoftwareClasses.size()) == kSoftwareClasses) {
      insertAt = d + kSoftwareClasses.size();
    }
  }
  if (append) insertAt = upper.size();
  if (insertAt == KeyText::npos) return result;
  upper.insert(insertAt, kNodeLiteral);
  result.mapped = true;
  result.clearView32 = true;
  result.name = std::move(upper);
  return result;
}

ResultCode ClassesRelativePath(const KeyText& nativeName, ClassesPath* out) {
  if (nativeName.size() < kMachine.size()) return RYL_E_INVALID_ARG;
  const KeyText upper = UpperCaseKeyText(nativeName);
  out->isMachine = StartsWith(upper, kMachine);
  if (out->isMachine) {
    out->path = nativeName.size() > 18 ? nativeName.substr(18) : KeyText();
    return RYL_OK;
  }
  const size_t p = HiveNameEnd(nativeName);
  if (EndsWithClassesAt(upper, p)) {
    out->path = u"SOFTWARE\\CLASSES" + nativeName.substr(p);
  } else {
    out->path = p < nativeName.size() ? nativeName.substr(p + 1) : KeyText();
  }
  return RYL_OK;
}

KeyText CollapseDoubledNodes(const KeyText& path) {
  constexpr std::u16string_view kDoubled = u"\\WOW6432NODE\\WOW6432NODE";
  KeyText original = path;
  KeyText upper = UpperCaseKeyText(path);
  size_t at = upper.find(kDoubled);
  while (at != KeyText::npos) {
    original.erase(at, kNodeUpper.size());
    upper.erase(at, kNodeUpper.size());
    at = upper.find(kDoubled, at);
  }
  return original;
}

}  // namespace ryl::registry
