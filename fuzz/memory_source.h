// The fuzzer's input as a read-only stream on the default heap, owned the way
// the library owns streams. The input outlives every stream made here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/object_ptr.h"
#include "streams/memory_stream.h"
#include "streams/owned_stream.h"

namespace ryl::fuzz {

inline streams::OwnedStream MemorySource(const uint8_t* data, size_t size) noexcept {
  const auto length = static_cast<uint32_t>(size);
  // The read-only flag keeps the stream from writing through the cast.
  return streams::OwnedStream(core::MakeObject<streams::MemoryStream>(const_cast<uint8_t*>(data), length, length,
                                                                      streams::MemoryStream::kReadOnly));
}

}  // namespace ryl::fuzz
