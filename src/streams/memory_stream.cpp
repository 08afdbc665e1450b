#include "streams/memory_stream.h"

#include <cstring>

#include "streams/mapped_view_base.h"
#include "sys/heap.h"

namespace ryl::streams {
namespace {

constexpr uint64_t kNegative = uint64_t{1} << 63;

// A window onto the stream's own memory; unmapping is only bookkeeping.
class MemoryView final : public MappedViewBase {
 public:
  MemoryView() noexcept = default;
  ~MemoryView() { Detach(); }

  void Attach(MemoryStream* owner, uint8_t* address, uint64_t offset, uint32_t length, bool reachesEnd,
              bool readOnly) noexcept {
    owner_ = owner;
    owner_->ViewOpened();
    address_ = address;
    offset_ = offset;
    length_ = length;
    reachesEnd_ = reachesEnd;
    readOnly_ = readOnly;
  }
  void* DeliveredInterface() noexcept { return static_cast<MappedView*>(this); }

  ResultCode RYL_THISCALL Flush() override { return RYL_OK; }
  ResultCode RYL_THISCALL Release() override {
    core::DestroyDefaultHeapObject(this);
    return RYL_OK;
  }
  void RYL_THISCALL Dispose() override { Detach(); }

 private:
  void Detach() noexcept {
    if (owner_ != nullptr) owner_->ViewClosed();
    owner_ = nullptr;
  }
  MemoryStream* owner_ = nullptr;
};

}  // namespace

MemoryStream::MemoryStream(void* memory, uint32_t length, uint32_t capacity, uint32_t flags) noexcept
    : data_(static_cast<uint8_t*>(memory)),
      length_(length <= capacity ? length : capacity),
      capacity_(capacity),
      flags_(flags),
      owned_(false) {}

MemoryStream::~MemoryStream() {
  if (owned_) sys::DefaultHeapFree(data_);
}

ResultCode MemoryStream::FreeBuffer() noexcept {
  if (!owned_) return RYL_E_INVALID_STATE;
  if (openViews_ != 0) return RYL_E_INVALID_STATE;
  sys::DefaultHeapFree(data_);
  data_ = nullptr;
  length_ = 0;
  capacity_ = 0;
  set_position(0);
  return RYL_OK;
}

ResultCode MemoryStream::EnsureCapacity(uint32_t needed) noexcept {
  if (needed <= capacity_) return RYL_OK;
  if (!owned_) return RYL_E_BEYOND_END;
  if (openViews_ != 0) return RYL_E_INVALID_STATE;
  uint64_t capacity = capacity_ < 256 ? 256 : capacity_;
  while (capacity < needed) capacity *= 2;
  if (capacity > UINT32_MAX) capacity = needed;
  void* grown = sys::DefaultHeapReallocate(data_, static_cast<size_t>(capacity));
  if (grown == nullptr) return RYL_E_OUT_OF_MEMORY;
  data_ = static_cast<uint8_t*>(grown);
  capacity_ = static_cast<uint32_t>(capacity);
  return RYL_OK;
}

ResultCode RYL_THISCALL MemoryStream::GetSize(uint64_t* outSize) {
  if (outSize == nullptr) return RYL_E_INVALID_ARG;
  *outSize = length_;
  return RYL_OK;
}

ResultCode RYL_THISCALL MemoryStream::SetSize(uint64_t size) {
  if ((flags_ & kReadOnly) != 0) return RYL_E_ACCESS_DENIED;
  if (size > UINT32_MAX) return RYL_E_END_OF_DATA;
  const auto newLength = static_cast<uint32_t>(size);
  if (newLength > length_) {
    const ResultCode grown = EnsureCapacity(newLength);
    if (grown < 0) return grown;
    std::memset(data_ + length_, 0, newLength - length_);
  }
  length_ = newLength;
  return RYL_OK;
}

ResultCode RYL_THISCALL MemoryStream::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) {
  if ((offset & kNegative) != 0) return RYL_E_INVALID_ARG;
  if (outDone != nullptr) *outDone = 0;
  if (offset >= length_) return RYL_E_END_OF_DATA;
  if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
  const uint32_t available = length_ - static_cast<uint32_t>(offset);
  const uint32_t n = count <= available ? count : available;
  if (n != 0) std::memcpy(buffer, data_ + offset, n);
  if (outDone != nullptr) *outDone = n;
  if (n == count) return RYL_OK;
  return outDone != nullptr ? RYL_S_END_OF_DATA : RYL_E_END_OF_DATA;
}

ResultCode RYL_THISCALL MemoryStream::WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                              uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  if ((flags_ & kReadOnly) != 0) return RYL_E_ACCESS_DENIED;
  if ((offset & kNegative) != 0 || offset + count > UINT32_MAX) return RYL_E_END_OF_DATA;
  if (buffer == nullptr && count != 0) return RYL_E_INVALID_ARG;
  const auto start = static_cast<uint32_t>(offset);
  const uint32_t end = start + count;
  if (end > length_) {
    const ResultCode grown = EnsureCapacity(end);
    if (grown < 0) return grown;
    if (start > length_) std::memset(data_ + length_, 0, start - length_);
  }
  if (count != 0) std::memmove(data_ + start, buffer, count);
  if (end > length_) length_ = end;
  if (outDone != nullptr) *outDone = count;
  return RYL_OK;
}

ResultCode RYL_THISCALL MemoryStream::Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                                          uint8_t readOnly) {
  if (viewReceiver == nullptr || viewReceiver->callbacks == nullptr) return RYL_E_INVALID_ARG;
  if (viewReceiver->requestedVersion >= 2) return RYL_E_INVALID_ARG;
  const bool viewReadOnly = readOnly != 0 || (flags_ & kReadOnly) != 0;
  if ((flags_ & kReadOnly) != 0 && readOnly == 0) return RYL_E_ACCESS_DENIED;
  if (offset >= length_) return RYL_E_END_OF_DATA;
  const uint32_t available = length_ - static_cast<uint32_t>(offset);
  const uint32_t mapped = (length == 0 || length > available) ? available : length;
  const bool reachesEnd = mapped == available;
  return core::CreateAndDeliver<MemoryView>(viewReceiver, core::Placement::kDefaultHeap, [&](MemoryView& view) {
    view.Attach(this, data_ + offset, offset, mapped, reachesEnd, viewReadOnly);
    return RYL_OK;
  });
}

}  // namespace ryl::streams
