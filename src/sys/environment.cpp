#include "sys/environment.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"
#include "sys/sys_module.h"

namespace ryl::sys::RylEnvironment {
namespace {

struct EnvironmentState {
  RylOsInfoData os;
  uint32_t pageSize;
  uint32_t allocationGranularity;
};

// Written only by InitializeEnvironment, which the host calls before any
// other thread uses the module.
EnvironmentState g_environment{};

uint32_t ArchitectureCode(WORD processorArchitecture) {
  switch (processorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: return 1;
    case PROCESSOR_ARCHITECTURE_AMD64: return 2;
    case 12 /* PROCESSOR_ARCHITECTURE_ARM64 */: return 3;
    default: return 0;
  }
}

}  // namespace

ResultCode InitializeEnvironment() noexcept {
  if (const ResultCode injected = TakeInitFailureForTesting(2); injected < 0) return injected;
  EnvironmentState state{};
  RTL_OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  const NTSTATUS status = RtlGetVersion(&version);
  if (status != STATUS_SUCCESS) return RylResultFromNtStatus(status);
  state.os.majorVersion = version.dwMajorVersion;
  state.os.minorVersion = version.dwMinorVersion;
  state.os.buildNumber = version.dwBuildNumber;

  SYSTEM_INFO processInfo;
  GetSystemInfo(&processInfo);
  SYSTEM_INFO nativeInfo;
  GetNativeSystemInfo(&nativeInfo);
  state.os.processArchitecture = ArchitectureCode(processInfo.wProcessorArchitecture);
  state.os.systemArchitecture = ArchitectureCode(nativeInfo.wProcessorArchitecture);
  state.pageSize = processInfo.dwPageSize;
  state.allocationGranularity = processInfo.dwAllocationGranularity;
  if (state.pageSize == 0 || state.allocationGranularity == 0) {
    return RylCreateErrorCodeFromWin32(3, ERROR_INVALID_DATA);
  }
  g_environment = state;
  return RYL_OK;
}

void DestroyEnvironment() noexcept { g_environment = EnvironmentState{}; }

const RylOsInfoData& GetOsInfoData() noexcept { return g_environment.os; }
uint32_t GetPageSize() noexcept { return g_environment.pageSize; }
uint32_t GetAllocationGranularity() noexcept { return g_environment.allocationGranularity; }

bool OsInfo::IsWindowsVistaOrHigher() noexcept { return g_environment.os.majorVersion >= 6; }

}  // namespace ryl::sys::RylEnvironment
