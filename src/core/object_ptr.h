// Library-internal objects live on the default heap like every plain object,
// so that their Destroy slot can free them with an empty allocator record.
// MakeObject and ObjectPtr are the only way internal code creates and owns
// them: no raw new or delete elsewhere.
#pragma once

#include <new>
#include <utility>

#include "core/delivery.h"
#include "core/object_memory.h"

namespace ryl::core {

// Null when memory ran out. The constructor must not throw.
template <typename T, typename... Args>
[[nodiscard]] T* MakeObject(Args&&... args) noexcept {
  void* memory = nullptr;
  if (AllocateObjectMemory(&memory, sizeof(T), nullptr) < 0) return nullptr;
  static_assert(noexcept(T(std::forward<Args>(args)...)), "construction must not fail after allocation");
  return ::new (memory) T(std::forward<Args>(args)...);
}

// Owns an object made by MakeObject (or delivered on the default heap).
template <typename T>
class ObjectPtr {
 public:
  ObjectPtr() noexcept = default;
  explicit ObjectPtr(T* object) noexcept : object_(object) {}
  ~ObjectPtr() { reset(); }
  ObjectPtr(ObjectPtr&& other) noexcept : object_(other.release()) {}
  ObjectPtr& operator=(ObjectPtr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ObjectPtr(const ObjectPtr&) = delete;
  ObjectPtr& operator=(const ObjectPtr&) = delete;

  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  [[nodiscard]] T* release() noexcept { return std::exchange(object_, nullptr); }
  void reset(T* object = nullptr) noexcept {
    T* old = std::exchange(object_, object);
    if (old != nullptr) DestroyDefaultHeapObject(old);
  }

 private:
  T* object_ = nullptr;
};

}  // namespace ryl::core
