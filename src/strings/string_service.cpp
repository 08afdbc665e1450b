#include "strings/string_service.h"

#include "core/query.h"

// Operations not offered yet answer RYL_E_NOT_IMPLEMENTED with their full
// argument list declared, so that the callee still removes every argument.
namespace ryl::strings {

void* RYL_THISCALL StringServiceImpl::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<StringService*>(this), kTypeId, kHighestVersion, type, version, outHighest);
}


ResultCode RYL_THISCALL StringServiceImpl::GetUtf16Length(uint32_t*, const void*, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ConvertToUtf16(OutputBuffer*, const void*, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetEncodedLength(uint32_t*, const RylChar16*, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ConvertFromUtf16(OutputBuffer*, const RylChar16*, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::GetRecodedLength(uint32_t*, const void*, uint32_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::Recode(OutputBuffer*, const void*, uint32_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatAppendW(uint32_t, OutputBuffer*, const RylChar16*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatAppend(uint32_t, OutputBuffer*, const char*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatToSinkW(uint32_t, RylWideSink*, const RylChar16*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::FormatToSink(uint32_t, RylNarrowSink*, const char*, va_list) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseInt64W(int64_t*, const RylChar16*, uint32_t, uint32_t, const RylChar16**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseInt64(int64_t*, const char*, uint32_t, uint32_t, const char**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseUInt64W(uint64_t*, const RylChar16*, uint32_t, uint32_t, const RylChar16**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseUInt64(uint64_t*, const char*, uint32_t, uint32_t, const char**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseDoubleW(double*, const RylChar16*, uint32_t, const RylChar16**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ParseDouble(double*, const char*, uint32_t, const char**, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::Int64ToTextW(OutputBuffer*, int64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::UInt64ToTextW(OutputBuffer*, uint64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::Int64ToText(OutputBuffer*, int64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::UInt64ToText(OutputBuffer*, uint64_t, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::DoubleToTextW(OutputBuffer*, double, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::DoubleToText(OutputBuffer*, double, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ToLower(uint32_t, OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::ToUpper(uint32_t, OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::MatchWildcard(uint8_t*, const RylStringView*, const RylStringView*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL StringServiceImpl::MatchWildcardNoCase(uint8_t*, const RylStringView*, const RylStringView*) { return RYL_E_NOT_IMPLEMENTED; }

// Slots whose result is not a result code cannot say "not implemented"; until
// they land they answer zero.
int32_t RYL_THISCALL StringServiceImpl::CompareNoCase(uint32_t, const RylChar16*, uint32_t, const RylChar16*, uint32_t) { return 0; }


}  // namespace ryl::strings
