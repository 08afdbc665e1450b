// The lock the event loop and its dispatcher share: a critical section of
// the platform (recursive, as the native one is), set up on first use.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::sys {

class RylCriticalSection {
 public:
  RylCriticalSection() noexcept = default;
  ~RylCriticalSection() { Delete(); }
  RylCriticalSection(const RylCriticalSection&) = delete;
  RylCriticalSection& operator=(const RylCriticalSection&) = delete;

  // Does nothing when already initialised. A native failure status
  // STATUS_BUFFER_OVERFLOW gives RYL_E_OUT_OF_RANGE, others are converted.
  [[nodiscard]] ResultCode Initialize() noexcept;
  bool IsInitialized() const noexcept { return initialized_; }
  void Enter() noexcept;
  void Leave() noexcept;
  // Does nothing when not initialised.
  void Delete() noexcept;

 private:
  // Room for RTL_CRITICAL_SECTION (24 bytes) or a POSIX mutex.
  alignas(8) unsigned char storage_[64] = {};
  bool initialized_ = false;
};

// Holds an initialised critical section for one scope.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(RylCriticalSection& section) noexcept : section_(section) { section_.Enter(); }
  ~CriticalSectionLock() { section_.Leave(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  RylCriticalSection& section_;
};

}  // namespace ryl::sys
