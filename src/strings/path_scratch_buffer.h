// Working storage for path text that is being built. Nearly every path fits
// in the classic 260-character limit, so the text lives inside the object
// until a longer one is built and only then moves to the process heap. The
// text is always zero-terminated, because the native path routines read up
// to the terminator and never take a length.
#pragma once

#include <cstdint>
#include <cstring>

#include "ryl/result.h"
#include "sys/heap.h"

namespace ryl::strings {

template <uint32_t InlineCapacity>
class BasicPathScratchBuffer {
  static_assert(InlineCapacity >= 2, "room for one character and the terminator");

 public:
  // Characters that fit before the terminator without touching the heap.
  static constexpr uint32_t kInlineLength = InlineCapacity - 1;
  // The largest text a 32-bit process can describe in bytes to the native
  // routines (their sizes are ULONG byte counts).
  static constexpr uint32_t kMaxLength = 0x3FFFFFFEu;

  BasicPathScratchBuffer() noexcept { inline_[0] = u'\0'; }
  ~BasicPathScratchBuffer() { sys::DefaultHeapFree(heap_); }
  BasicPathScratchBuffer(const BasicPathScratchBuffer&) = delete;
  BasicPathScratchBuffer& operator=(const BasicPathScratchBuffer&) = delete;

  const char16_t* data() const noexcept { return text_; }
  char16_t* data() noexcept { return text_; }
  // Same pointer as data(); the name says the caller relies on the terminator.
  const char16_t* c_str() const noexcept { return text_; }
  uint32_t size() const noexcept { return length_; }
  bool empty() const noexcept { return length_ == 0; }
  // Characters that fit before the terminator in the present storage.
  uint32_t capacity() const noexcept { return capacity_ - 1; }
  bool IsOnHeap() const noexcept { return heap_ != nullptr; }
  char16_t back() const noexcept { return length_ == 0 ? u'\0' : text_[length_ - 1]; }

  // Makes room for length characters and the terminator; keeps the text.
  [[nodiscard]] ResultCode Reserve(uint32_t length) noexcept {
    if (length > kMaxLength) return RYL_E_OUT_OF_MEMORY;
    if (length < capacity_) return RYL_OK;
    uint32_t grown = capacity_ * 2 > capacity_ ? capacity_ * 2 : capacity_;
    if (grown < length + 1) grown = length + 1;
    if (grown > kMaxLength + 1) grown = kMaxLength + 1;
    const size_t bytes = size_t{grown} * sizeof(char16_t);
    char16_t* block = static_cast<char16_t*>(heap_ == nullptr ? sys::DefaultHeapAllocate(bytes)
                                                              : sys::DefaultHeapReallocate(heap_, bytes));
    if (block == nullptr) return RYL_E_OUT_OF_MEMORY;
    if (heap_ == nullptr) std::memcpy(block, inline_, (size_t{length_} + 1) * sizeof(char16_t));
    heap_ = block;
    text_ = block;
    capacity_ = grown;
    return RYL_OK;
  }

  // Sets the length; new characters are left unspecified for the caller to
  // fill (a native routine writes into them, for example).
  [[nodiscard]] ResultCode Resize(uint32_t length) noexcept {
    if (const ResultCode rc = Reserve(length); rc < 0) return rc;
    length_ = length;
    text_[length_] = u'\0';
    return RYL_OK;
  }

  void Clear() noexcept { Truncate(0); }

  // Shortens the text; a length beyond the present one is ignored.
  void Truncate(uint32_t length) noexcept {
    if (length >= length_) return;
    length_ = length;
    text_[length_] = u'\0';
  }

  [[nodiscard]] ResultCode Assign(const char16_t* text, uint32_t count) noexcept {
    Clear();
    return Append(text, count);
  }

  // The source must not lie inside this buffer: growing may move it.
  [[nodiscard]] ResultCode Append(const char16_t* text, uint32_t count) noexcept {
    return Insert(length_, text, count);
  }

  [[nodiscard]] ResultCode Append(char16_t c) noexcept { return Insert(length_, &c, 1); }

  // Inserts count characters at position (clamped to the length). The
  // source must not lie inside this buffer.
  [[nodiscard]] ResultCode Insert(uint32_t position, const char16_t* text, uint32_t count) noexcept {
    if (count == 0) return RYL_OK;
    if (count > kMaxLength || count > kMaxLength - length_) return RYL_E_OUT_OF_MEMORY;
    if (position > length_) position = length_;
    if (const ResultCode rc = Reserve(length_ + count); rc < 0) return rc;
    std::memmove(text_ + position + count, text_ + position, (size_t{length_} - position + 1) * sizeof(char16_t));
    std::memcpy(text_ + position, text, size_t{count} * sizeof(char16_t));
    length_ += count;
    return RYL_OK;
  }

  // Removes count characters at position, both clamped to the text.
  void Erase(uint32_t position, uint32_t count) noexcept {
    if (position >= length_) return;
    if (count > length_ - position) count = length_ - position;
    std::memmove(text_ + position, text_ + position + count,
                 (size_t{length_} - position - count + 1) * sizeof(char16_t));
    length_ -= count;
  }

 private:
  char16_t* text_ = inline_;
  char16_t* heap_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = InlineCapacity;  // including the terminator
  char16_t inline_[InlineCapacity];
};

// 260 characters and the terminator in place: every classic path.
using PathScratchBuffer = BasicPathScratchBuffer<261>;
// For short pieces (a drive root, a device name) where a full path store
// would only waste stack.
using SmallPathScratchBuffer = BasicPathScratchBuffer<16>;

}  // namespace ryl::strings
