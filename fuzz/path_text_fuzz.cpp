// Every operation of the path vocabulary over one path (and a second text for
// the operations that take two). View results must lie inside the text they
// were taken from; output operations must write what their rule says, and
// give the same result when their inputs live in the output itself.
//
// Input: flags (bit 0: units from byte pairs instead of single bytes), the
// path's length in units, then the units: path, second text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/growable_buffer.h"
#include "fuzz_check.h"
#include "strings/path_text.h"

namespace {

using ryl::core::GrowableBuffer;
using ryl::strings::PathText;

// An empty view may be (null, 0); any other lies within the text.
bool Inside(PathText view, PathText text) {
  if (view.empty()) return view.data() == nullptr || (view.data() >= text.data() && view.data() <= text.data() + text.size());
  return view.data() >= text.data() && view.data() + view.size() <= text.data() + text.size();
}

bool IsPrefixView(PathText view, PathText text) {
  return view.empty() || (view.data() == text.data() && view.size() <= text.size());
}

bool IsSuffixView(PathText view, PathText text) {
  return view.empty() || (Inside(view, text) && view.data() + view.size() == text.data() + text.size());
}

std::u16string Contents(const GrowableBuffer<char16_t>& buffer) {
  return buffer.size() == 0 ? std::u16string() : std::u16string(buffer.data(), buffer.size());
}

void Fill(GrowableBuffer<char16_t>& buffer, const std::u16string& text) {
  FUZZ_CHECK(ryl::strings::WritePathText(buffer.Output(), text) == RYL_OK);
  FUZZ_CHECK(Contents(buffer) == text);
}

void CheckViews(PathText path) {
  const uint32_t rootLength = ryl::strings::GetRootLength(path);
  FUZZ_CHECK(rootLength <= path.size());
  const PathText root = ryl::strings::GetRootPath(path);
  FUZZ_CHECK(IsPrefixView(root, path) && root.size() == rootLength);

  const PathText fileName = ryl::strings::GetFileNamePart(path);
  FUZZ_CHECK(IsSuffixView(fileName, path));
  const PathText extension = ryl::strings::GetExtension(path);
  FUZZ_CHECK(IsSuffixView(extension, path));
  if (!extension.empty()) FUZZ_CHECK(extension.size() >= 2 && extension[0] == u'.');
  FUZZ_CHECK(ryl::strings::HasExtension(path) == !extension.empty());
  FUZZ_CHECK(Inside(ryl::strings::GetStem(path), path));
  FUZZ_CHECK(IsPrefixView(ryl::strings::GetParentPath(path), path));

  PathText parent = u"untouched";
  PathText name = u"untouched";
  if (ryl::strings::SplitParentAndName(path, &parent, &name) == RYL_OK) {
    FUZZ_CHECK(IsPrefixView(parent, path) && Inside(name, path));
    FUZZ_CHECK(name.empty() || name.data() >= path.data() + parent.size());
  } else {
    FUZZ_CHECK(parent == u"untouched" && name == u"untouched");
  }

  // "\foo" has no drive and is not absolute; "\\server" is absolute. Any unit
  // before a colon counts as a drive letter, so "\:\x" is both: left out.
  if (path.size() < 2 || path[1] != u':') {
    FUZZ_CHECK(!(ryl::strings::IsAbsolutePath(path) && ryl::strings::IsRootedWithoutDrive(path)));
  }
  (void)ryl::strings::NeedsVerbatimForm(path);

  const uint32_t colonEnd = ryl::strings::GetDriveColonEnd(path);
  FUZZ_CHECK(colonEnd <= path.size());
  GrowableBuffer<char16_t> driveRoot;
  Fill(driveRoot, u"old");
  const ResultCode rc = ryl::strings::GetDriveRoot(driveRoot.Output(), path);
  if (colonEnd == 0) {
    FUZZ_CHECK(rc == RYL_E_BAD_FORMAT && driveRoot.size() == 0);
  } else {
    FUZZ_CHECK(path[colonEnd - 1] == u':');
    FUZZ_CHECK(rc == RYL_OK && Contents(driveRoot) == std::u16string(path.substr(0, colonEnd)) + u"\\");
  }
}

// The operation once into a fresh output, once with both inputs living in
// the output's own storage: the same result either way.
template <class Operation>
void CheckAliased(const std::u16string& first, const std::u16string& second, Operation operation) {
  // Both start with the same contents: some operations leave the output
  // as it is (ReplaceExtension of an empty path).
  GrowableBuffer<char16_t> plain;
  Fill(plain, first + second);
  const ResultCode expected = operation(plain.Output(), PathText(first), PathText(second));

  GrowableBuffer<char16_t> aliased;
  Fill(aliased, first + second);
  const PathText both(aliased.data(), aliased.size());
  const ResultCode actual = operation(aliased.Output(), both.substr(0, first.size()), both.substr(first.size()));
  FUZZ_CHECK(actual == expected);
  if (expected == RYL_OK) FUZZ_CHECK(Contents(aliased) == Contents(plain));
}

void CheckOutputs(const std::u16string& path, const std::u16string& second) {
  GrowableBuffer<char16_t> out;

  // AppendComponent: the path, one "\" unless it already ends in a separator, the component.
  Fill(out, path);
  FUZZ_CHECK(ryl::strings::AppendComponent(out.Output(), second) == RYL_OK);
  const bool separator = !path.empty() && !ryl::strings::IsPathSeparator(path.back());
  FUZZ_CHECK(Contents(out) == path + (separator ? u"\\" : u"") + second);
  // The component may be the output's own text.
  Fill(out, path);
  FUZZ_CHECK(ryl::strings::AppendComponent(out.Output(), PathText(out.data(), out.size())) == RYL_OK);
  FUZZ_CHECK(Contents(out) == path + (separator ? u"\\" : u"") + path);

  // CombinePaths: an empty side gives the other, an absolute relative wins.
  Fill(out, u"old");
  FUZZ_CHECK(ryl::strings::CombinePaths(out.Output(), path, second) == RYL_OK);
  if (second.empty()) FUZZ_CHECK(Contents(out) == path);
  if (path.empty() || ryl::strings::IsAbsolutePath(second)) FUZZ_CHECK(Contents(out) == second);

  Fill(out, u"old");
  const ResultCode replaced = ryl::strings::ReplaceExtension(out.Output(), path, second);
  if (path.empty()) FUZZ_CHECK(replaced == RYL_OK && Contents(out) == u"old");
  if (!path.empty() && second.empty()) FUZZ_CHECK(replaced == RYL_E_INVALID_ARG);
  if (replaced == RYL_OK && !path.empty() && !second.empty() && !ryl::strings::IsPathSeparator(path.back()) &&
      path.back() != u':') {
    const std::u16string result = Contents(out);
    FUZZ_CHECK(result.size() >= second.size() && result.compare(result.size() - second.size(), second.size(), second) == 0);
  }

  Fill(out, u"old");
  (void)ryl::strings::JoinVerbatim(out.Output(), path, second);

  CheckAliased(path, second, [](OutputBuffer* o, PathText a, PathText b) { return ryl::strings::CombinePaths(o, a, b); });
  CheckAliased(path, second,
               [](OutputBuffer* o, PathText a, PathText b) { return ryl::strings::ReplaceExtension(o, a, b); });
  CheckAliased(path, second, [](OutputBuffer* o, PathText a, PathText b) { return ryl::strings::JoinVerbatim(o, a, b); });
  CheckAliased(path, second, [](OutputBuffer* o, PathText a, PathText) { return ryl::strings::GetDriveRoot(o, a); });
  CheckAliased(path, second, [](OutputBuffer* o, PathText a, PathText) {
    return ryl::strings::WritePathText(o, ryl::strings::GetExtension(a));
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool wideUnits = (data[0] & 1) != 0;
  std::u16string units;
  if (wideUnits) {
    for (size_t i = 2; i + 1 < size; i += 2) units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    for (size_t i = 2; i < size; ++i) units.push_back(data[i]);
  }
  const size_t split = data[1] < units.size() ? data[1] : units.size();
  const std::u16string path = units.substr(0, split);
  const std::u16string second = units.substr(split);

  CheckViews(path);
  CheckViews(units);
  CheckOutputs(path, second);
  return 0;
}
