// A block of bytes on the default heap that its owner frees. Failure to
// allocate leaves the old block in place and reports false.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "sys/heap.h"

namespace ryl::sys {

class HeapBytes {
 public:
  HeapBytes() noexcept = default;
  ~HeapBytes() { DefaultHeapFree(data_); }
  HeapBytes(HeapBytes&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0u)) {}
  HeapBytes& operator=(HeapBytes&& other) noexcept {
    if (this != &other) {
      DefaultHeapFree(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0u);
    }
    return *this;
  }
  HeapBytes(const HeapBytes&) = delete;
  HeapBytes& operator=(const HeapBytes&) = delete;

  uint8_t* data() noexcept { return data_; }
  const uint8_t* data() const noexcept { return data_; }
  uint32_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // Replaces the contents with size zeroed bytes.
  [[nodiscard]] bool Allocate(uint32_t size) noexcept {
    if (size == 0) {
      Reset();
      return true;
    }
    void* block = DefaultHeapAllocate(size);
    if (block == nullptr) return false;
    std::memset(block, 0, size);
    DefaultHeapFree(data_);
    data_ = static_cast<uint8_t*>(block);
    size_ = size;
    return true;
  }

  [[nodiscard]] bool Assign(const void* bytes, uint32_t size) noexcept {
    HeapBytes copy;
    if (!copy.Allocate(size)) return false;
    if (size != 0) std::memcpy(copy.data_, bytes, size);
    *this = std::move(copy);
    return true;
  }

  void Reset() noexcept {
    DefaultHeapFree(data_);
    data_ = nullptr;
    size_ = 0;
  }

 private:
  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
};

}  // namespace ryl::sys
