// Sole ownership of a stream that lives on the default heap, ended through
// its Destroy slot. Streams are reached through their interface, so the owner
// never needs the concrete type.
#pragma once

#include <utility>

#include "core/object_memory.h"
#include "ryl/streams.h"

namespace ryl::streams {

class OwnedStream {
 public:
  OwnedStream() noexcept = default;
  explicit OwnedStream(SeekableStream* stream) noexcept : stream_(stream) {}
  ~OwnedStream() { reset(); }
  OwnedStream(OwnedStream&& other) noexcept : stream_(other.release()) {}
  OwnedStream& operator=(OwnedStream&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  OwnedStream(const OwnedStream&) = delete;
  OwnedStream& operator=(const OwnedStream&) = delete;

  SeekableStream* get() const noexcept { return stream_; }
  SeekableStream* operator->() const noexcept { return stream_; }
  explicit operator bool() const noexcept { return stream_ != nullptr; }

  [[nodiscard]] SeekableStream* release() noexcept { return std::exchange(stream_, nullptr); }
  void reset(SeekableStream* stream = nullptr) noexcept {
    SeekableStream* old = std::exchange(stream_, stream);
    if (old != nullptr) old->Destroy(&core::kDefaultHeap);
  }

 private:
  SeekableStream* stream_ = nullptr;
};

}  // namespace ryl::streams
