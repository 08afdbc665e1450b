// What the string-service tests share: the service reached through the DLL as
// a host reaches it, and host output buffers of every kind (version 1,
// growable version 2, fixed-capacity version 2) that record what the module
// asked of them and catch any write outside what they granted.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ryl/ryl.h"
#include "support/module_fixture.h"
#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

using ByteText = std::vector<uint8_t>;

inline ByteText Bytes(std::initializer_list<int> values) {
  ByteText bytes;
  for (int value : values) bytes.push_back(static_cast<uint8_t>(value));
  return bytes;
}

inline ByteText Bytes(const std::string& text) { return ByteText(text.begin(), text.end()); }

enum class BufferKind { kVersion1, kGrowable2, kFixed2 };

// Element is uint8_t for byte buffers and wchar_t for UTF-16 buffers.
//
// Every storage carries guard elements before and after the region the
// buffer granted; a version-1 or growable buffer moves to fresh storage on
// each Resize and poisons the old one, so that a stale pointer reads poison.
template <typename Element>
class TestBuffer {
 public:
  using Kind = BufferKind;
  static constexpr uint32_t kGuard = 16;
  static constexpr Element kGuardValue = static_cast<Element>(sizeof(Element) == 1 ? 0xFD : 0xFDFD);
  static constexpr Element kFill = static_cast<Element>(sizeof(Element) == 1 ? 0xEE : 0xEEEE);
  static constexpr Element kPoison = static_cast<Element>(sizeof(Element) == 1 ? 0xCC : 0xCCCC);

  // A fixed buffer offers exactly capacity elements; the others start with
  // the sentinel contents "untouched" and grow as asked.
  explicit TestBuffer(Kind kind = Kind::kVersion1, uint32_t capacity = 0) : kind_(kind), capacity_(capacity) {
    table_.version = kind == Kind::kVersion1 ? 1 : 2;
    table_.Resize = &TestBuffer::Resize;
    if (kind != Kind::kVersion1) {
      table_.Reserve = &TestBuffer::Reserve;
      table_.Swap = &TestBuffer::Swap;
      table_.Capacity = &TestBuffer::Capacity;
    }
    record_.callbacks = &table_;
    record_.context = this;
    if (kind == Kind::kFixed2) {
      Allocate(capacity, 0);
    } else {
      const std::vector<Element> initial = Sentinel();
      Allocate(static_cast<uint32_t>(initial.size()), static_cast<uint32_t>(initial.size()));
      std::copy(initial.begin(), initial.end(), Granted());
    }
  }
  TestBuffer(const TestBuffer&) = delete;
  TestBuffer& operator=(const TestBuffer&) = delete;

  static std::vector<Element> Sentinel() {
    const char* text = "untouched";
    return std::vector<Element>(text, text + 9);
  }

  OutputBuffer* Output() { return &record_; }
  const Element* data() const { return static_cast<const Element*>(record_.view.data); }
  uint32_t size() const { return record_.view.length; }
  std::vector<Element> Contents() const { return std::vector<Element>(data(), data() + size()); }
  bool Untouched() const { return resizes.empty() && Contents() == Sentinel(); }

  // True once anything was written outside the granted region of any
  // storage this buffer handed out.
  bool Overrun() const {
    if (overrun_) return true;
    return !GuardsIntact(*storages_.back(), grantedLength_);
  }

  // Resize calls number `from` (counting from 1) onwards fail with code.
  void FailResizeWith(ResultCode code, int from = 1) {
    failWith_ = code;
    failFrom_ = from;
  }
  // What Swap answers; a host buffer cannot take the module's storage, so by
  // default it refuses as the protocol says.
  void AnswerSwapWith(ResultCode code) { swapAnswer_ = code; }

  std::vector<uint32_t> resizes;  // the lengths asked for, in order
  int capacityCalls = 0;
  int reserveCalls = 0;
  int swapCalls = 0;

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<TestBuffer*>(context);
    self->resizes.push_back(length);
    if (view != &self->record_.view) self->overrun_ = true;  // the module must pass the record's own view
    self->Check();
    if (self->failWith_ != RYL_OK && static_cast<int>(self->resizes.size()) >= self->failFrom_) {
      return self->failWith_;
    }
    if (self->kind_ == Kind::kFixed2) {
      if (length > self->capacity_) return RYL_E_BUFFER_TOO_SMALL;
      // The granted region stays the whole capacity: the module may fill it
      // before it sets the final length.
      view->length = length;
      return RYL_OK;
    }
    const uint32_t kept = view->length < length ? view->length : length;
    std::vector<Element> old(self->data(), self->data() + kept);
    self->Allocate(length, length);
    std::copy(old.begin(), old.end(), self->Granted());
    return RYL_OK;
  }

  static ResultCode RYL_CDECL Reserve(RylBufferView*, uint32_t, void* context) {
    ++static_cast<TestBuffer*>(context)->reserveCalls;
    return RYL_E_NOT_IMPLEMENTED;
  }

  static ResultCode RYL_CDECL Swap(RylBufferView*, const RylOutputBufferCallbacks*, void*, RylBufferView*,
                                   void* context) {
    auto* self = static_cast<TestBuffer*>(context);
    ++self->swapCalls;
    return self->swapAnswer_;
  }

  static uint32_t RYL_CDECL Capacity(uint8_t* canGrow, void* context) {
    auto* self = static_cast<TestBuffer*>(context);
    ++self->capacityCalls;
    *canGrow = self->kind_ == Kind::kFixed2 ? 0 : 1;
    return self->kind_ == Kind::kFixed2 ? self->capacity_ : self->size();
  }

  Element* Granted() { return static_cast<Element*>(record_.view.data); }

  // Storage of kGuard + granted + kGuard elements; the granted part filled
  // with kFill, the rest with guards.
  void Allocate(uint32_t granted, uint32_t length) {
    if (!storages_.empty()) std::fill(storages_.back()->begin(), storages_.back()->end(), kPoison);
    auto storage = std::make_unique<std::vector<Element>>(size_t{granted} + 2 * kGuard, kGuardValue);
    std::fill(storage->begin() + kGuard, storage->begin() + kGuard + granted, kFill);
    record_.view.data = storage->data() + kGuard;
    record_.view.length = length;
    grantedLength_ = granted;
    storages_.push_back(std::move(storage));
  }

  static bool GuardsIntact(const std::vector<Element>& storage, uint32_t granted) {
    for (uint32_t i = 0; i < kGuard; ++i) {
      if (storage[i] != kGuardValue || storage[kGuard + granted + i] != kGuardValue) return false;
    }
    return true;
  }

  void Check() {
    if (!GuardsIntact(*storages_.back(), grantedLength_)) overrun_ = true;
  }

  Kind kind_;
  uint32_t capacity_;
  RylOutputBufferCallbacks table_{};
  OutputBuffer record_{};
  std::vector<std::unique_ptr<std::vector<Element>>> storages_;
  uint32_t grantedLength_ = 0;
  ResultCode failWith_ = RYL_OK;
  int failFrom_ = 1;
  ResultCode swapAnswer_ = RYL_E_UNSUPPORTED_VERSION;
  bool overrun_ = false;
};

using ByteBuffer = TestBuffer<uint8_t>;
using WideBuffer = TestBuffer<wchar_t>;

// The DLL loaded and initialised, the root acquired and the string service
// delivered at version 2.
class StringServiceTest : public ModuleTest {
 protected:
  static uint32_t Len(const ByteText& text) { return static_cast<uint32_t>(text.size()); }
  static uint32_t Len(const std::wstring& text) { return static_cast<uint32_t>(text.size()); }
};

inline std::wstring Wide(const std::vector<wchar_t>& units) { return std::wstring(units.begin(), units.end()); }

}  // namespace ryl::test
