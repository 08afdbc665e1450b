// One allocation holding a handed-out object and its control block, laid
// out as std::shared_ptr's: {table, uses, weaks}. The last use destroys the
// object; the last weak reference (held together by the uses) frees the
// block. Handing out never fails once the block exists.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "ryl/registry.h"
#include "sys/heap.h"

namespace ryl::registry {

template <typename T>
class SharedBlock final : public RylSharedControl {
 public:
  // A block with one use, or null when memory ran out.
  template <typename... Args>
  static SharedBlock* Create(Args&&... args) noexcept {
    void* memory = sys::DefaultHeapAllocate(sizeof(SharedBlock));
    if (memory == nullptr) return nullptr;
    auto* block = ::new (memory) SharedBlock();
    ::new (block->storage_) T(block, std::forward<Args>(args)...);
    return block;
  }

  T* object() noexcept { return std::launder(reinterpret_cast<T*>(storage_)); }

  void RYL_THISCALL Dispose() override { object()->~T(); }
  void RYL_THISCALL DeleteThis() override {
    this->~SharedBlock();
    sys::DefaultHeapFree(this);
  }

 private:
  SharedBlock() noexcept {
    uses = 1;
    weaks = 1;
  }
  alignas(T) unsigned char storage_[sizeof(T)];
};

// One more use of a handed-out object.
inline void AddUse(RylSharedControl* control) noexcept {
  std::atomic_ref<int32_t>(control->uses).fetch_add(1);
}

// Gives one use back, as RylSharedRelease does.
inline void ReleaseUse(RylSharedControl* control) noexcept {
  if (control == nullptr) return;
  if (std::atomic_ref<int32_t>(control->uses).fetch_sub(1) == 1) {
    control->Dispose();
    if (std::atomic_ref<int32_t>(control->weaks).fetch_sub(1) == 1) control->DeleteThis();
  }
}

// Fills a holder; what it held before is released last, after nothing of
// the caller's object is touched any more (it may be that object).
template <typename Holder, typename Interface>
void FillHolder(Holder* holder, Interface* object, RylSharedControl* control) noexcept {
  RylSharedControl* old = holder->control;
  *reinterpret_cast<Interface**>(holder) = object;
  holder->control = control;
  ReleaseUse(old);
}

}  // namespace ryl::registry
