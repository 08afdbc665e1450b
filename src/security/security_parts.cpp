#include "security/security_parts.h"

#include <atomic>

#include "sys/environment.h"
#include "sys/native_api.h"
#include "sys/win_security_descriptor.h"

namespace ryl::security {
namespace {


std::atomic<int> g_vistaAnswer{-1};

}  // namespace

bool IsVistaOrHigher() noexcept {
  const int answer = g_vistaAnswer.load(std::memory_order_relaxed);
  if (answer >= 0) return answer != 0;
  return sys::RylEnvironment::OsInfo::IsWindowsVistaOrHigher();
}

void SetVistaAnswerForTesting(int answer) noexcept {
  g_vistaAnswer.store(answer < 0 ? -1 : (answer != 0 ? 1 : 0), std::memory_order_relaxed);
}

uint32_t EffectiveParts(uint32_t parts) noexcept {
  parts &= sys::kAllParts;
  if (!IsVistaOrHigher()) parts &= ~sys::kPartLabel;
  return parts;
}

uint32_t AccessForReading(uint32_t parts) noexcept {
  uint32_t access = READ_CONTROL;
  if ((parts & sys::kPartSacl) != 0) access |= ACCESS_SYSTEM_SECURITY;
  return access;
}

uint32_t AccessForWriting(uint32_t parts) noexcept {
  uint32_t access = 0;
  if ((parts & (sys::kPartOwner | sys::kPartGroup | sys::kPartLabel)) != 0) access |= WRITE_OWNER;
  if ((parts & sys::kPartDacl) != 0) access |= WRITE_DAC;
  if ((parts & sys::kPartSacl) != 0) access |= ACCESS_SYSTEM_SECURITY;
  return access;
}

}  // namespace ryl::security
