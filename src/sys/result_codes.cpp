#include "sys/result_codes.h"


namespace ryl::sys {
namespace {

struct Win32Mapping {
  uint32_t win32Error;
  uint16_t codeNumber;
};

// The errors whose meaning callers test for by code.
constexpr Win32Mapping kWin32Mappings[] = {
    {2, 0x003D},    // file not found
    {3, 0x003E},    // path not found
    {5, 0x0058},    // access denied
    {8, 0x0001},    // not enough memory
    {14, 0x0001},   // out of memory
    {87, 0x0002},   // invalid parameter
    {80, 0x004F},   // file exists
    {183, 0x004F},  // already exists
    {259, 0x000E},  // no more items
    {18, 0x000E},   // no more files
    {38, 0x018B},   // end of file
    {122, 0x0049},  // insufficient buffer
    {120, 0x003C},  // call not implemented
    {50, 0x003C},   // not supported
};

}  // namespace

ResultCode RylCreateErrorCodeFromWin32(uint32_t severity, uint32_t win32Error) noexcept {
  const uint32_t severityBits = (severity & 3u) << 30;
  for (const Win32Mapping& mapping : kWin32Mappings) {
    if (mapping.win32Error == win32Error) {
      return static_cast<ResultCode>(severityBits | (1u << 29) | (1u << 16) | mapping.codeNumber);
    }
  }
  return static_cast<ResultCode>(severityBits | (1u << 29) | (7u << 16) | (win32Error & 0xFFFFu));
}

ResultCode RylResultFromNtStatus(int32_t status) noexcept {
  if (status == 0) return RYL_OK;
  const uint32_t raw = static_cast<uint32_t>(status);
  if (raw == 0x80000005u) return RYL_E_OUT_OF_RANGE;
  const uint32_t severity = raw < 0x40000000u ? 1u : (raw >> 30);
  return RylCreateErrorCodeFromWin32(severity, RylNtStatusToWin32Error(status));
}

}  // namespace ryl::sys
