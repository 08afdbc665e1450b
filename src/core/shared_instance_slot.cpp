#include "core/shared_instance_slot.h"

namespace ryl::core {

void SharedInstanceSlot::SetAcquired() noexcept {
  uintptr_t state = state_.load();
  while ((state & kAcquired) == 0 && !state_.compare_exchange_weak(state, state | kAcquired)) {
  }
}

ResultCode SharedInstanceSlot::Acquire(Build build, Destroy destroy, void** out) noexcept {
  count_.fetch_add(1);
  void* mine = nullptr;
  uintptr_t state = state_.load();
  for (;;) {
    if (ObjectOf(state) != nullptr) {
      if ((state & kAcquired) == 0 && !state_.compare_exchange_weak(state, state | kAcquired)) continue;
      // Lost the creation race (or never needed to build): keep the winner.
      if (mine != nullptr) destroy(mine);
      *out = ObjectOf(state);
      return RYL_OK;
    }
    if (mine == nullptr) {
      mine = build();
      if (mine == nullptr) break;
    }
    const uintptr_t published = reinterpret_cast<uintptr_t>(mine) | kAcquired | (state & kReleasing);
    if (state_.compare_exchange_weak(state, published)) {
      *out = mine;
      return RYL_OK;
    }
  }
  // Building failed: give back the count taken above.
  SetAcquired();
  Release(nullptr, destroy);
  return RYL_E_OUT_OF_MEMORY;
}

ResultCode SharedInstanceSlot::AddRef() noexcept {
  count_.fetch_add(1);
  uintptr_t state = state_.load();
  if (ObjectOf(state) != nullptr) {
    SetAcquired();
    return RYL_OK;
  }
  SetAcquired();
  count_.fetch_sub(1);
  return RYL_E_UNSUPPORTED_VERSION;
}

uint32_t SharedInstanceSlot::Release(void* expected, Destroy destroy) noexcept {
  if (count_.fetch_sub(1) - 1 != 0) return 1;

  uintptr_t expectedState = reinterpret_cast<uintptr_t>(expected) | kAcquired;
  for (;;) {
    // Mark the slot as deciding, from the state this release expects.
    uintptr_t written = 0;
    for (;;) {
      written = (expectedState & ~kAcquired) | kReleasing;
      uintptr_t actual = expectedState;
      if (state_.compare_exchange_strong(actual, written)) break;
      if (ObjectOf(expectedState) != nullptr && ObjectOf(actual) != ObjectOf(expectedState)) return 1;
      if ((actual & kReleasing) != 0) return 1;
      expectedState = actual;
    }

    if (count_.load() == 0) {
      uintptr_t deciding = written;
      if (state_.compare_exchange_strong(deciding, 0)) {
        if (ObjectOf(written) != nullptr) destroy(ObjectOf(written));
        return 0;
      }
    }

    // Someone took a reference meanwhile (or the word changed): step back.
    uintptr_t cleared = state_.load();
    while (!state_.compare_exchange_weak(cleared, cleared & ~kFlags)) {
    }
    if (count_.load() != 0) return 1;
    expectedState = cleared & ~kFlags;
  }
}

}  // namespace ryl::core
