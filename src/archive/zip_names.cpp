#include "archive/zip_names.h"

#include "archive/zip_records.h"
#include "core/entry_guard.h"

namespace ryl::archive {

bool IsValidEntryName(std::u16string_view name) noexcept { return !name.empty() && !IsNameSeparator(name.front()); }

ResultCode NormalizeEntryName(std::u16string_view name, std::u16string* outName, uint32_t* outAttributes) noexcept {
  if (outName == nullptr || outAttributes == nullptr) return RYL_E_INVALID_ARG;
  if (!IsValidEntryName(name)) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    std::u16string normalized;
    normalized.reserve(name.size());
    for (char16_t unit : name) {
      if (IsNameSeparator(unit)) {
        if (normalized.back() != u'/') normalized.push_back(u'/');
      } else {
        normalized.push_back(unit);
      }
    }
    *outAttributes = IsDirectoryName(normalized) ? kExternalAttributesDirectory : kExternalAttributesFile;
    *outName = std::move(normalized);
    return RYL_OK;
  });
}

ResultCode MakeDirectoryName(std::u16string* name) noexcept {
  if (name == nullptr || name->empty()) return RYL_E_INVALID_ARG;
  if (IsDirectoryName(*name)) return RYL_OK;
  return core::GuardEntry([&]() -> ResultCode {
    name->push_back(u'/');
    return RYL_OK;
  });
}

bool IsDirectoryName(std::u16string_view normalizedName) noexcept {
  return !normalizedName.empty() && normalizedName.back() == u'/';
}

bool EntryNamesMatch(std::u16string_view first, std::u16string_view second) noexcept {
  if (first.size() != second.size()) return false;
  for (size_t i = 0; i < first.size(); ++i) {
    if (first[i] != second[i] && !(IsNameSeparator(first[i]) && IsNameSeparator(second[i]))) return false;
  }
  return true;
}

}  // namespace ryl::archive
