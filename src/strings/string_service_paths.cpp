// StringService slots 28-47: the path text operations, one to one. Slots
// that answer a flag, a length or a view have no result code to report a bad
// argument with: a null path with a non-zero length reads as the empty path.
#include "core/entry_guard.h"
#include "core/output_writer.h"
#include "core/result_helpers.h"
#include "strings/path_text.h"
#include "strings/string_service.h"
#include "sys/temp_name.h"

namespace ryl::strings {
namespace {



PathText HostPath(const RylChar16* path, uint32_t length) noexcept {
  PathText text;
  return strings::FromHostText(path, length, &text) ? text : PathText();
}

// An empty view is (null, 0), never a pointer with a zero length.
RylStringView* StoreView(RylStringView* result, PathText text) noexcept {
  if (result == nullptr) return result;
  result->data = text.empty() ? nullptr : reinterpret_cast<const RylChar16*>(text.data());
  result->length = static_cast<uint32_t>(text.size());
  return result;
}

// The copy slots: the view operation's result written to the output.
template <PathText (*Operation)(PathText) noexcept>
ResultCode CopyResult(OutputBuffer* output, const RylChar16* path, uint32_t length) noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    PathText text;
    if (!strings::FromHostText(path, length, &text)) return RYL_E_INVALID_ARG;
    return strings::WritePathText(output, Operation(text));
  });
}

}  // namespace

uint8_t RYL_THISCALL StringServiceImpl::HasExtension(const RylChar16* path, uint32_t length) {
  return strings::HasExtension(HostPath(path, length)) ? 1 : 0;
}

uint8_t RYL_THISCALL StringServiceImpl::IsAbsolutePath(const RylChar16* path, uint32_t length) {
  return strings::IsAbsolutePath(HostPath(path, length)) ? 1 : 0;
}

ResultCode RYL_THISCALL StringServiceImpl::GetExtension(OutputBuffer* output, const RylChar16* path,
                                                        uint32_t length) {
  return CopyResult<strings::GetExtension>(output, path, length);
}

RylStringView* RYL_THISCALL StringServiceImpl::GetExtensionView(RylStringView* result, const RylChar16* path,
                                                                uint32_t length) {
  return StoreView(result, strings::GetExtension(HostPath(path, length)));
}

ResultCode RYL_THISCALL StringServiceImpl::GetFileNamePart(OutputBuffer* output, const RylChar16* path,
                                                           uint32_t length) {
  return CopyResult<strings::GetFileNamePart>(output, path, length);
}

RylStringView* RYL_THISCALL StringServiceImpl::GetFileNamePartView(RylStringView* result, const RylChar16* path,
                                                                   uint32_t length) {
  return StoreView(result, strings::GetFileNamePart(HostPath(path, length)));
}

ResultCode RYL_THISCALL StringServiceImpl::GetStem(OutputBuffer* output, const RylChar16* path, uint32_t length) {
  return CopyResult<strings::GetStem>(output, path, length);
}

RylStringView* RYL_THISCALL StringServiceImpl::GetStemView(RylStringView* result, const RylChar16* path,
                                                           uint32_t length) {
  return StoreView(result, strings::GetStem(HostPath(path, length)));
}

ResultCode RYL_THISCALL StringServiceImpl::GetParentPath(OutputBuffer* output, const RylChar16* path,
                                                         uint32_t length) {
  return CopyResult<strings::GetParentPath>(output, path, length);
}

RylStringView* RYL_THISCALL StringServiceImpl::GetParentPathView(RylStringView* result, const RylChar16* path,
                                                                 uint32_t length) {
  return StoreView(result, strings::GetParentPath(HostPath(path, length)));
}

ResultCode RYL_THISCALL StringServiceImpl::SplitParentAndName(const RylChar16* path, uint32_t length,
                                                              RylStringView* outParent, RylStringView* outName) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText text;
    if (!strings::FromHostText(path, length, &text) || outParent == nullptr || outName == nullptr) {
      return RYL_E_INVALID_ARG;
    }
    PathText parent;
    PathText name;
    RYL_RETURN_IF_FAILED(strings::SplitParentAndName(text, &parent, &name));
    StoreView(outParent, parent);
    StoreView(outName, name);
    return RYL_OK;
  });
}

uint32_t RYL_THISCALL StringServiceImpl::GetRootLength(const RylChar16* path, uint32_t length) {
  return strings::GetRootLength(HostPath(path, length));
}

ResultCode RYL_THISCALL StringServiceImpl::GetRootPath(OutputBuffer* output, const RylChar16* path,
                                                       uint32_t length) {
  return CopyResult<strings::GetRootPath>(output, path, length);
}

RylStringView* RYL_THISCALL StringServiceImpl::GetRootPathView(RylStringView* result, const RylChar16* path,
                                                               uint32_t length) {
  return StoreView(result, strings::GetRootPath(HostPath(path, length)));
}

ResultCode RYL_THISCALL StringServiceImpl::GetDriveRoot(OutputBuffer* output, const RylChar16* path,
                                                        uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText text;
    if (!strings::FromHostText(path, length, &text)) return RYL_E_INVALID_ARG;
    return strings::GetDriveRoot(output, text);
  });
}

ResultCode RYL_THISCALL StringServiceImpl::AppendComponent(OutputBuffer* inOut, const RylChar16* component,
                                                           uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText text;
    if (!strings::FromHostText(component, length, &text)) return RYL_E_INVALID_ARG;
    return strings::AppendComponent(inOut, text);
  });
}

uint32_t RYL_THISCALL StringServiceImpl::GetUniqueNameStemLength() { return kUniqueNameStemLength; }

ResultCode RYL_THISCALL StringServiceImpl::MakeUniqueNameStem(OutputBuffer* output) {
  return core::GuardEntry([&]() -> ResultCode {
    if (output == nullptr) return RYL_E_INVALID_ARG;
    char16_t stem[kUniqueNameStemLength];
    RYL_RETURN_IF_FAILED(sys::RylMakeTempStem(stem));
    return core::WriteOutput(output, stem, kUniqueNameStemLength);
  });
}

ResultCode RYL_THISCALL StringServiceImpl::ReplaceExtension(OutputBuffer* output, const RylChar16* path,
                                                            uint32_t length, const RylChar16* extension,
                                                            uint32_t extensionLength) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText pathText;
    PathText extensionText;
    if (!strings::FromHostText(path, length, &pathText) ||
        !strings::FromHostText(extension, extensionLength, &extensionText)) {
      return RYL_E_INVALID_ARG;
    }
    return strings::ReplaceExtension(output, pathText, extensionText);
  });
}

ResultCode RYL_THISCALL StringServiceImpl::CombinePaths(OutputBuffer* output, const RylChar16* base,
                                                        uint32_t baseLength, const RylChar16* relative,
                                                        uint32_t relativeLength) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText baseText;
    PathText relativeText;
    if (!strings::FromHostText(base, baseLength, &baseText) ||
        !strings::FromHostText(relative, relativeLength, &relativeText)) {
      return RYL_E_INVALID_ARG;
    }
    return strings::CombinePaths(output, baseText, relativeText);
  });
}

}  // namespace ryl::strings
