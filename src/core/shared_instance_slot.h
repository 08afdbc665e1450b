// A process-wide object created lazily and without locks: a reference count
// and a state word holding the object's address with two flag bits. The root
// lives in one; the shared dispatcher lives in another.
#pragma once

#include <atomic>
#include <cstdint>

#include "ryl/result.h"

namespace ryl::core {

class SharedInstanceSlot {
 public:
  // Build returns a new object, at least 4-byte aligned, or null when memory
  // ran out. Destroy ends an object that Build made.
  using Build = void* (*)() noexcept;
  using Destroy = void (*)(void* object) noexcept;

  static constexpr uintptr_t kAcquired = 1;
  static constexpr uintptr_t kReleasing = 2;
  static constexpr uintptr_t kFlags = kAcquired | kReleasing;

  constexpr SharedInstanceSlot() noexcept = default;
  SharedInstanceSlot(const SharedInstanceSlot&) = delete;
  SharedInstanceSlot& operator=(const SharedInstanceSlot&) = delete;

  // Takes one reference, building the object when the slot is empty. A thread
  // that loses the creation race destroys its own copy and returns the
  // winner's. RYL_E_OUT_OF_MEMORY when Build fails; the reference is given back.
  [[nodiscard]] ResultCode Acquire(Build build, Destroy destroy, void** out) noexcept;

  // Takes one reference without building; RYL_E_UNSUPPORTED_VERSION (and no
  // reference) when the slot holds no object.
  [[nodiscard]] ResultCode AddRef() noexcept;

  // Gives one reference back. Returns 0 when this call destroyed the object,
  // 1 otherwise. Expected is the object being released, or null for none.
  uint32_t Release(void* expected, Destroy destroy) noexcept;

  // For tests and diagnostics only: racy snapshots.
  int32_t CountForTesting() const noexcept { return count_.load(); }
  uintptr_t StateForTesting() const noexcept { return state_.load(); }

 private:
  static void* ObjectOf(uintptr_t state) noexcept { return reinterpret_cast<void*>(state & ~kFlags); }
  void SetAcquired() noexcept;

  std::atomic<int32_t> count_{0};
  std::atomic<uintptr_t> state_{0};
};

static_assert(sizeof(SharedInstanceSlot) == 2 * sizeof(uintptr_t), "count and state word");
static_assert(std::atomic<int32_t>::is_always_lock_free && std::atomic<uintptr_t>::is_always_lock_free,
              "the slot relies on plain interlocked operations");

}  // namespace ryl::core
