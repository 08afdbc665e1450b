// StringService slots 28-47: the path text operations, one to one.
#include "strings/string_service.h"

namespace ryl::strings {
namespace {

RylStringView* EmptyView(RylStringView* result) {
  result->data = nullptr;
  result->length = 0;
  return result;
}

}  // namespace

uint32_t RYL_THISCALL StringServiceImpl::GetUniqueNameStemLength() { return kUniqueNameStemLength; }

// Slots whose result is not a result code cannot say "not implemented"; until
// the path text operations land they answer false, zero or an empty view.
ResultCode RYL_THISCALL StringServiceImpl::GetExtension(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetFileNamePart(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetStem(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetParentPath(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::SplitParentAndName(const RylChar16*, uint32_t, RylStringView*, RylStringView*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetRootPath(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetDriveRoot(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::AppendComponent(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::MakeUniqueNameStem(OutputBuffer*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ReplaceExtension(OutputBuffer*, const RylChar16*, uint32_t, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::CombinePaths(OutputBuffer*, const RylChar16*, uint32_t, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
uint8_t RYL_THISCALL StringServiceImpl::HasExtension(const RylChar16*, uint32_t) { return 0; }
uint8_t RYL_THISCALL StringServiceImpl::IsAbsolutePath(const RylChar16*, uint32_t) { return 0; }
uint32_t RYL_THISCALL StringServiceImpl::GetRootLength(const RylChar16*, uint32_t) { return 0; }
RylStringView* RYL_THISCALL StringServiceImpl::GetExtensionView(RylStringView* result, const RylChar16*, uint32_t) { return EmptyView(result); }
RylStringView* RYL_THISCALL StringServiceImpl::GetFileNamePartView(RylStringView* result, const RylChar16*, uint32_t) { return EmptyView(result); }
RylStringView* RYL_THISCALL StringServiceImpl::GetStemView(RylStringView* result, const RylChar16*, uint32_t) { return EmptyView(result); }
RylStringView* RYL_THISCALL StringServiceImpl::GetParentPathView(RylStringView* result, const RylChar16*, uint32_t) { return EmptyView(result); }
RylStringView* RYL_THISCALL StringServiceImpl::GetRootPathView(RylStringView* result, const RylChar16*, uint32_t) { return EmptyView(result); }

}  // namespace ryl::strings
