// Runs a computation on the x87 unit with 64-bit significands, rounding to
// nearest and every exception masked, whatever the host set: Windows starts
// threads with 53-bit precision, and a host may unmask overflow. The
// previous control word comes back when the scope ends. On targets whose
// long double is not the x87 format this does nothing.
#pragma once

#include <cstdint>

namespace ryl::sys {

class ExtendedPrecisionScope {
 public:
  ExtendedPrecisionScope() noexcept;
  ~ExtendedPrecisionScope();
  ExtendedPrecisionScope(const ExtendedPrecisionScope&) = delete;
  ExtendedPrecisionScope& operator=(const ExtendedPrecisionScope&) = delete;

 private:
  uint16_t saved_ = 0;
};

#if defined(__i386__) || defined(__x86_64__)
inline ExtendedPrecisionScope::ExtendedPrecisionScope() noexcept {
  __asm__ volatile("fnstcw %0" : "=m"(saved_));
  // Precision control 11 (64 bits), rounding 00 (nearest), all six masks.
  const uint16_t extended = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(extended));
}
inline ExtendedPrecisionScope::~ExtendedPrecisionScope() {
  // Exceptions raised while masked must not fire once the host's masks are
  // back.
  __asm__ volatile("fnclex");
  __asm__ volatile("fldcw %0" : : "m"(saved_));
}
#else
inline ExtendedPrecisionScope::ExtendedPrecisionScope() noexcept = default;
inline ExtendedPrecisionScope::~ExtendedPrecisionScope() = default;
#endif

}  // namespace ryl::sys
