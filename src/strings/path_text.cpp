#include "strings/path_text.h"

#include <cstring>
#include <initializer_list>

#include "core/output_writer.h"
#include "core/result_helpers.h"
#include "strings/path_scratch_buffer.h"
#include "sys/code_pages.h"

namespace ryl::strings {
namespace {

constexpr char16_t kBackslash[] = u"\\";
constexpr PathText kSeparatorText(kBackslash, 1);
constexpr PathText kVerbatimPrefix = u"\\\\?\\";
constexpr PathText kVerbatimUncPrefix = u"\\\\?\\UNC";

bool EndsWithSeparator(PathText text) noexcept { return !text.empty() && IsPathSeparator(text.back()); }

bool IsNameSeparator(char16_t c) noexcept { return IsPathSeparator(c) || c == u':'; }

// An empty view is (null, 0) at the boundary; a sub-view of a non-empty text
// would otherwise keep a pointer.
PathText Slice(PathText text, size_t position, size_t count) noexcept {
  if (count == 0) return PathText();
  return text.substr(position, count);
}

// Where a host lets the output's current contents double as an input,
// resizing the output may move or overwrite the input.
bool LivesInOutput(const OutputBuffer* output, PathText text) noexcept {
  if (text.empty() || output->view.data == nullptr) return false;
  const auto begin = reinterpret_cast<uintptr_t>(output->view.data);
  const auto end = begin + uintptr_t{output->view.length} * sizeof(char16_t);
  const auto first = reinterpret_cast<uintptr_t>(text.data());
  const auto last = first + text.size() * sizeof(char16_t);
  return first < end && begin < last;
}

// Replaces the output with the concatenation of the pieces: one Resize, then
// the copies. Pieces that live in the output are gathered aside first.
ResultCode WritePieces(OutputBuffer* output, std::initializer_list<PathText> pieces) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  uint64_t total = 0;
  bool aliased = false;
  for (PathText piece : pieces) {
    total += piece.size();
    aliased = aliased || LivesInOutput(output, piece);
  }
  if (total > PathScratchBuffer::kMaxLength) return RYL_E_OUT_OF_MEMORY;
  const auto length = static_cast<uint32_t>(total);
  if (aliased) {
    PathScratchBuffer gathered;
    for (PathText piece : pieces) {
      RYL_RETURN_IF_FAILED(gathered.Append(piece.data(), static_cast<uint32_t>(piece.size())));
    }
    return core::WriteOutput(output, gathered.data(), gathered.size());
  }
  RYL_RETURN_IF_FAILED(core::ResizeOutput(output, length));
  auto* target = static_cast<char16_t*>(output->view.data);
  for (PathText piece : pieces) {
    if (!piece.empty()) std::memcpy(target, piece.data(), piece.size() * sizeof(char16_t));
    target += piece.size();
  }
  return RYL_OK;
}

}  // namespace

bool IsAbsolutePath(PathText p) noexcept {
  const size_t n = p.size();
  if (n == 2 && p[1] == u':') return true;
  if (n > 2 && p[1] == u':' && IsPathSeparator(p[2])) return true;
  return n >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1]);
}

bool IsRootedWithoutDrive(PathText p) noexcept {
  return !p.empty() && IsPathSeparator(p[0]) && (p.size() == 1 || !IsPathSeparator(p[1]));
}

uint32_t GetRootLength(PathText p) noexcept {
  const auto n = static_cast<uint32_t>(p.size());
  if (n > 1 && p[1] == u':') return n > 2 && IsPathSeparator(p[2]) ? 3 : 2;
  if (n > 1 && IsPathSeparator(p[0]) && IsPathSeparator(p[1])) {
    uint32_t i = 2;
    while (i < n && !IsPathSeparator(p[i])) ++i;  // the server name
    if (i >= n) return n;
    const uint32_t share = i + 1;
    if (share >= n) return share;
    i = share;
    while (i < n && !IsPathSeparator(p[i])) ++i;  // the share name
    return i;
  }
  return n >= 1 && IsPathSeparator(p[0]) ? 1 : 0;
}

PathText GetRootPath(PathText p) noexcept { return Slice(p, 0, GetRootLength(p)); }

uint32_t GetDriveColonEnd(PathText p) noexcept {
  const size_t n = p.size();
  size_t prefix = 0;
  if (n > 4 && p[0] == u'\\' && p[3] == u'\\' &&
      ((p[1] == u'\\' && p[2] == u'?') || (p[1] == u'?' && p[2] == u'?') || (p[1] == u'\\' && p[2] == u'.'))) {
    prefix = 4;
  }
  if (prefix + 2 > n) return 0;
  const char16_t letter = p[prefix];
  const bool isLetter = (letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z');
  return isLetter && p[prefix + 1] == u':' ? static_cast<uint32_t>(prefix + 2) : 0;
}

ResultCode GetDriveRoot(OutputBuffer* output, PathText p) noexcept {
  const uint32_t colonEnd = GetDriveColonEnd(p);
  if (colonEnd == 0) {
    RYL_RETURN_IF_FAILED(core::ResizeOutput(output, 0));
    return RYL_E_BAD_FORMAT;
  }
  return WritePieces(output, {p.substr(0, colonEnd), kSeparatorText});
}

PathText GetFileNamePart(PathText p) noexcept {
  if (p.size() == 2 && p[1] == u':') {
    const char16_t upper = sys::RylUpcaseChar(p[0]);
    if (upper >= u'A' && upper <= u'Z') return PathText();
  }
  size_t start = p.size();
  while (start > 0 && !IsPathSeparator(p[start - 1])) --start;
  return Slice(p, start, p.size() - start);
}

PathText GetExtension(PathText p) noexcept {
  for (size_t i = p.size(); i > 0; --i) {
    const char16_t c = p[i - 1];
    if (IsNameSeparator(c)) return PathText();
    if (c == u'.') return i == p.size() ? PathText() : p.substr(i - 1);
  }
  return PathText();
}

PathText GetStem(PathText p) noexcept {
  size_t start = p.size();
  while (start > 0 && !IsNameSeparator(p[start - 1])) --start;
  const size_t lastDot = p.rfind(u'.');
  const size_t end = lastDot != PathText::npos && lastDot >= start ? lastDot : p.size();
  return Slice(p, start, end - start);
}

PathText GetParentPath(PathText p) noexcept {
  const size_t n = p.size();
  if (n == 0) return PathText();
  size_t i = n - 1;
  while (i >= 1 && !IsPathSeparator(p[i])) --i;
  size_t b = 0;
  if (i >= 1) {
    b = i;
    while (b > 0 && IsPathSeparator(p[b - 1])) --b;  // a run of separators counts as one
    if (b > 1 && p[b - 1] == u':' && b < n) ++b;     // keep the separator after a drive
  }
  if (b == 0) return IsPathSeparator(p[0]) ? p.substr(0, 1) : PathText();
  return p.substr(0, b);
}

ResultCode SplitParentAndName(PathText p, PathText* outParent, PathText* outName) noexcept {
  if (outParent == nullptr || outName == nullptr) return RYL_E_INVALID_ARG;
  size_t end = p.size();
  while (end > 0 && IsPathSeparator(p[end - 1])) --end;
  if (end == 0) return RYL_E_BAD_FORMAT;
  // The first character is never taken as the separator before the name, so
  // `\foo` has no parent to split off.
  size_t r = end - 1;
  while (r >= 1 && !IsPathSeparator(p[r])) --r;
  if (r == 0) return RYL_E_BAD_FORMAT;
  size_t parentLength = r;
  if (r == 1) {
    parentLength = 1;
  } else if (p[r - 1] == u':') {
    parentLength = r + 1;
  }
  *outParent = p.substr(0, parentLength);
  *outName = p.substr(r + 1, end - r - 1);
  return RYL_OK;
}

ResultCode WritePathText(OutputBuffer* output, PathText text) noexcept { return WritePieces(output, {text}); }

ResultCode AppendComponent(OutputBuffer* inOut, PathText component) noexcept {
  if (inOut == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t old = inOut->view.length;
  const bool needsSeparator =
      old != 0 && !IsPathSeparator(static_cast<const char16_t*>(inOut->view.data)[old - 1]);
  PathScratchBuffer aside;
  if (LivesInOutput(inOut, component)) {
    RYL_RETURN_IF_FAILED(aside.Assign(component.data(), static_cast<uint32_t>(component.size())));
    component = PathText(aside.data(), aside.size());
  }
  const uint64_t total = uint64_t{old} + (needsSeparator ? 1 : 0) + component.size();
  if (total > PathScratchBuffer::kMaxLength) return RYL_E_OUT_OF_MEMORY;
  RYL_RETURN_IF_FAILED(core::ResizeOutput(inOut, static_cast<uint32_t>(total)));
  auto* target = static_cast<char16_t*>(inOut->view.data) + old;
  if (needsSeparator) *target++ = u'\\';
  if (!component.empty()) std::memcpy(target, component.data(), component.size() * sizeof(char16_t));
  return RYL_OK;
}

ResultCode ReplaceExtension(OutputBuffer* output, PathText path, PathText extension) noexcept {
  if (output == nullptr) return RYL_E_INVALID_ARG;
  if (path.empty()) return RYL_OK;
  if (extension.empty()) return RYL_E_INVALID_ARG;
  size_t cut = path.size();
  for (size_t i = path.size(); i > 0; --i) {
    const char16_t c = path[i - 1];
    if (c == u'.') {
      cut = i - 1;
      break;
    }
    if (IsNameSeparator(c)) {
      // A path that ends in a separator names a directory: nothing to rename.
      if (i == path.size()) return WritePieces(output, {path});
      break;
    }
  }
  const PathText dot = extension[0] == u'.' ? PathText() : PathText(u".", 1);
  return WritePieces(output, {path.substr(0, cut), dot, extension});
}

ResultCode CombinePaths(OutputBuffer* output, PathText base, PathText relative) noexcept {
  if (relative.empty()) return WritePieces(output, {base});
  if (base.empty() || IsAbsolutePath(relative)) return WritePieces(output, {relative});
  if (IsRootedWithoutDrive(relative)) {
    if (IsAbsolutePath(base) && base[1] == u':') {
      PathText root = base.substr(0, GetRootLength(base));
      if (EndsWithSeparator(root)) root.remove_suffix(1);
      return WritePieces(output, {root, relative});
    }
    return WritePieces(output, {relative});
  }
  return WritePieces(output, {base, EndsWithSeparator(base) ? PathText() : kSeparatorText, relative});
}

bool NeedsVerbatimForm(PathText name) noexcept {
  auto endsWithDot = [](PathText component) {
    return !component.empty() && component.back() == u'.' && component != u"." && component != u"..";
  };
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsPathSeparator(name[i])) continue;
    if (endsWithDot(name.substr(start, i - start))) return true;
    start = i + 1;
  }
  const PathText last = name.substr(start);
  return !last.empty() && (last.back() == u' ' || endsWithDot(last));
}

ResultCode JoinVerbatim(OutputBuffer* output, PathText directory, PathText name) noexcept {
  if (directory.size() > 3 && directory.substr(0, 4) == kVerbatimPrefix) {
    if (name == u".") return WritePieces(output, {directory});
    if (name == u"..") return WritePieces(output, {GetParentPath(directory)});
    return CombinePaths(output, directory, name);
  }
  if (!NeedsVerbatimForm(name)) return CombinePaths(output, directory, name);
  const PathText separator = EndsWithSeparator(directory) ? PathText() : kSeparatorText;
  ResultCode written = RYL_E_INVALID_ARG;
  if (directory.size() >= 3 && directory[1] == u':' && IsPathSeparator(directory[2])) {
    written = WritePieces(output, {kVerbatimPrefix, directory, separator, name});
  } else if (GetRootLength(directory) >= 2 && IsPathSeparator(directory[0]) && IsPathSeparator(directory[1])) {
    written = WritePieces(output, {kVerbatimUncPrefix, directory.substr(1), separator, name});
  }
  if (written < 0) return written;
  // Behind the verbatim prefix nothing turns `/` into `\` any more, so a
  // directory written with forward slashes would name something else.
  auto* text = static_cast<char16_t*>(output->view.data);
  for (uint32_t i = 0; i < output->view.length; ++i) {
    if (text[i] == u'/') text[i] = u'\\';
  }
  return RYL_OK;
}

}  // namespace ryl::strings
