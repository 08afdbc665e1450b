// Telling a path that is already in the native object namespace from a DOS
// path, so that the path converters pass it on untouched.
#pragma once

#include <cstdint>

namespace ryl::sys {

// True for `\??\...` and `\GLOBAL??\...` (the prefix compared without regard
// to case). Both contain `?`, which no DOS file name may contain, so no DOS
// path is ever mistaken for a native one. `\Device\...` is deliberately not
// recognised: as a DOS path it is a legitimate folder named Device at the
// root of the current drive, and a host that means the device object can say
// so unambiguously with `\\?\GLOBALROOT\Device\...`.
bool RylWinIsNtFilePath(const char16_t* path, uint32_t length) noexcept;

}  // namespace ryl::sys
