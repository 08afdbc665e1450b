#include "sys/result_codes.h"

namespace ryl::sys {
namespace {

struct StatusError {
  uint32_t status;
  uint32_t win32Error;
};

// The statuses the portable code meets through the fakes of its tests, with
// the Win32 errors the system's own table gives them.
constexpr StatusError kStatusErrors[] = {
    {0x80000005u, 234},   // buffer overflow: more data
    {0x8000001Au, 259},   // no more entries
    {0xC0000008u, 6},     // invalid handle
    {0xC000000Du, 87},    // invalid parameter
    {0xC0000017u, 8},     // no memory
    {0xC0000022u, 5},     // access denied
    {0xC0000023u, 122},   // buffer too small
    {0xC0000033u, 123},   // object name invalid
    {0xC0000034u, 2},     // object name not found
    {0xC0000035u, 183},   // object name collision
    {0xC000003Au, 3},     // object path not found
    {0xC0000121u, 5},     // cannot delete
    {0xC000017Cu, 1018},  // key deleted
    {0xC0000002u, 1},     // not implemented
};

}  // namespace

uint32_t RylNtStatusToWin32Error(int32_t status) noexcept {
  for (const StatusError& entry : kStatusErrors) {
    if (entry.status == static_cast<uint32_t>(status)) return entry.win32Error;
  }
  return 317;  // the system's answer for a status it has no error for
}

}  // namespace ryl::sys
