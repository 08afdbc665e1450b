// The module's own OutputBuffers: version-2 callback tables over a growable
// array on the default heap. Byte buffers and UTF-16 buffers have different
// tables, so a Swap between the two kinds is refused.
#pragma once

#include <cstdint>

#include "ryl/records.h"

namespace ryl::core {

struct GrowableStorage {
  void* data;
  uint32_t capacity;  // in elements
  uint32_t elementSize;
};

const RylOutputBufferCallbacks* ByteBufferCallbacks() noexcept;
const RylOutputBufferCallbacks* Utf16BufferCallbacks() noexcept;

void ReleaseGrowableStorage(GrowableStorage* storage) noexcept;

template <typename Element>
class GrowableBuffer {
  static_assert(sizeof(Element) == 1 || sizeof(Element) == 2, "bytes or UTF-16 units");

 public:
  GrowableBuffer() noexcept
      : storage_{nullptr, 0, sizeof(Element)},
        record_{sizeof(Element) == 1 ? ByteBufferCallbacks() : Utf16BufferCallbacks(), &storage_, {nullptr, 0}} {}
  ~GrowableBuffer() { ReleaseGrowableStorage(&storage_); }
  GrowableBuffer(const GrowableBuffer&) = delete;
  GrowableBuffer& operator=(const GrowableBuffer&) = delete;

  // The record to hand to an operation that fills an OutputBuffer.
  OutputBuffer* Output() noexcept { return &record_; }

  const Element* data() const noexcept { return static_cast<const Element*>(record_.view.data); }
  Element* data() noexcept { return static_cast<Element*>(record_.view.data); }
  uint32_t size() const noexcept { return record_.view.length; }
  uint32_t capacity() const noexcept { return storage_.capacity; }

  [[nodiscard]] ResultCode Resize(uint32_t length) noexcept {
    return record_.callbacks->Resize(&record_.view, length, &storage_);
  }

 private:
  GrowableStorage storage_;
  OutputBuffer record_;
};

}  // namespace ryl::core
