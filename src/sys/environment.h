// What the library knows about the system it runs on, read once at module
// start. Readers may run on any thread after RylModuleInit.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

// Architecture codes: 1 x86, 2 x64, 3 ARM64, 0 unknown. Codes 2 and 3 are the
// 64-bit ones.
struct RylOsInfoData {
  uint32_t majorVersion;
  uint32_t minorVersion;
  uint32_t buildNumber;
  uint32_t systemArchitecture;
  uint32_t processArchitecture;
};

namespace RylEnvironment {

[[nodiscard]] ResultCode InitializeEnvironment() noexcept;
void DestroyEnvironment() noexcept;

const RylOsInfoData& GetOsInfoData() noexcept;
uint32_t GetPageSize() noexcept;
uint32_t GetAllocationGranularity() noexcept;

namespace OsInfo {
bool IsWindowsVistaOrHigher() noexcept;
}

}  // namespace RylEnvironment
}  // namespace ryl::sys
