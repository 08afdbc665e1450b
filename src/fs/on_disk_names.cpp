#include "fs/on_disk_names.h"

#include "core/result_helpers.h"
#include "fs/directory_enumeration.h"
#include "fs/file_operations.h"
#include "fs/find_entry.h"
#include "strings/path_scratch_buffer.h"

namespace ryl::fs {
namespace {

strings::PathText ViewOf(const strings::PathScratchBuffer& buffer) noexcept { return strings::PathText(buffer.data(), buffer.size()); }

bool IsDotName(strings::PathText component) noexcept { return component == u"." || component == u".."; }

bool StartsWith(strings::PathText text, strings::PathText prefix) noexcept {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool CanBeShortName(strings::PathText component) noexcept {
  // No short name holds a wildcard; looking such a component up would
  // replace a pattern by whatever it first matches.
  if (component.find_first_of(u"*?<>\"") != strings::PathText::npos) return false;
  if (component.size() <= 8) return true;
  const size_t dot = component.rfind(u'.');
  return dot != strings::PathText::npos && dot <= 8 && component.size() - dot <= 4;
}

ResultCode GetOnDiskPath(OutputBuffer* output, strings::PathText path, OnDiskNameForm form) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  strings::PathScratchBuffer scratch;
  RYL_RETURN_IF_FAILED(scratch.Assign(path.data(), static_cast<uint32_t>(path.size())));
  // The path must name something that exists; its attributes do not matter.
  uint32_t attributes = 0;
  RYL_RETURN_IF_FAILED(GetAttributes(scratch.c_str(), scratch.size(), &attributes));

  const strings::PathText text = ViewOf(scratch);
  if (StartsWith(text, u"\\\\")) return strings::WritePathText(output, text);

  strings::PathScratchBuffer result;
  size_t i = 0;
  if (StartsWith(text, u"//./") || StartsWith(text, u"//?/")) {
    RYL_RETURN_IF_FAILED(result.Append(text.data(), 4));
    i = 4;
  }
  if (i + 1 < text.size() && text[i + 1] == u':') {
    RYL_RETURN_IF_FAILED(result.Append(text.data() + i, 2));
    i += 2;
  }
  // The root stays as written: `\dir\file` must not come back relative,
  // `C:\` not as `C:`, and `C:dir` not as `C:\dir`.
  if (i < text.size() && strings::IsPathSeparator(text[i])) RYL_RETURN_IF_FAILED(result.Append(u'\\'));

  bool separatorDue = false;
  for (;;) {
    while (i < text.size() && strings::IsPathSeparator(text[i])) ++i;
    if (i >= text.size()) break;
    const size_t start = i;
    while (i < text.size() && !strings::IsPathSeparator(text[i])) ++i;
    const strings::PathText component = text.substr(start, i - start);
    if (separatorDue) RYL_RETURN_IF_FAILED(result.Append(u'\\'));
    separatorDue = true;
    if (IsDotName(component)) {
      RYL_RETURN_IF_FAILED(result.Append(component.data(), static_cast<uint32_t>(component.size())));
      continue;
    }
    DirectoryEnumeration lookup;
    RYL_RETURN_IF_FAILED(LookUpEntry(text.substr(0, i), &lookup));
    strings::PathText stored = lookup.current().Name();
    if (form == OnDiskNameForm::kShort) {
      stored = lookup.current().ShortName();
      if (stored.empty()) stored = component;
    }
    RYL_RETURN_IF_FAILED(result.Append(stored.data(), static_cast<uint32_t>(stored.size())));
  }
  return strings::WritePathText(output, ViewOf(result));
}

ResultCode ExpandShortNames(OutputBuffer* output, strings::PathText path) noexcept {
  if (output == nullptr || path.empty()) return RYL_E_INVALID_ARG;
  strings::PathScratchBuffer result;
  // Every root is kept, also that of a rooted (`\dir`) or drive-relative
  // (`C:dir`) path, which would otherwise come back naming something else.
  const uint32_t rootLength = strings::GetRootLength(path);
  RYL_RETURN_IF_FAILED(result.Assign(path.data(), rootLength));
  if (rootLength == 3 && path[1] == u':' && path[2] == u'/') result.data()[2] = u'\\';
  const bool driveRelative = rootLength == 2 && path[1] == u':';

  size_t i = rootLength;
  for (;;) {
    while (i < path.size() && strings::IsPathSeparator(path[i])) ++i;
    if (i >= path.size()) break;
    const size_t start = i;
    while (i < path.size() && !strings::IsPathSeparator(path[i])) ++i;
    strings::PathText component = path.substr(start, i - start);

    DirectoryEnumeration lookup;
    if (CanBeShortName(component) && !IsDotName(component) && LookUpEntry(path.substr(0, i), &lookup) == RYL_OK) {
      component = lookup.current().Name();
    }
    const bool separatorDue =
        !result.empty() && !strings::IsPathSeparator(result.back()) && !(driveRelative && result.size() == 2);
    if (separatorDue) RYL_RETURN_IF_FAILED(result.Append(u'\\'));
    RYL_RETURN_IF_FAILED(result.Append(component.data(), static_cast<uint32_t>(component.size())));
  }
  if (strings::IsPathSeparator(path.back()) && !strings::IsPathSeparator(result.back())) RYL_RETURN_IF_FAILED(result.Append(u'\\'));
  return strings::WritePathText(output, ViewOf(result));
}

}  // namespace ryl::fs
