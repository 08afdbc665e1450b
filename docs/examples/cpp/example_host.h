// What every C++ example host brings along: the module session, delivery
// into a typed pointer, an OutputBuffer over a std::vector, a HostStream over
// memory, and a check that prints the code's name when a call fails.
#pragma once

#include <ryl/ryl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace example {

// Prints what failed and by which code; true when the call succeeded.
inline bool Check(ResultCode rc, const char* what) {
  if (RylSucceeded(rc)) return true;
  const char* name = RylResultName(rc);
  std::printf("FAILED %s: 0x%08X %s\n", what, static_cast<unsigned>(rc), name ? name : "(system error)");
  return false;
}

// [guide:receiver]
// A receiver that stores the delivered object: returning success takes
// ownership of it.
inline ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}
inline const RylReceiverCallbacks kStoreObject = {1, StoreObject};

// Objects made through this receiver live on the process's default heap
// (null allocator table); Destroy is given the same null record.
template <typename T>
ObjectReceiver ReceiveInto(T** out, uint32_t version) {
  return ObjectReceiver{&kStoreObject, out, version, {nullptr, nullptr}};
}
inline const AllocatorRecord kDefaultHeap = {nullptr, nullptr};
// [/guide:receiver]

// [guide:output-buffer]
// An OutputBuffer over a std::vector: the library calls Resize, then writes
// into view.data. Version 1 tables offer Resize alone.
template <typename Element>
struct VectorBuffer {
  std::vector<Element> storage;
  OutputBuffer buffer;

  VectorBuffer() : buffer{&kTable, this, {nullptr, 0}} {}
  VectorBuffer(const VectorBuffer&) = delete;
  OutputBuffer* get() { return &buffer; }
  const Element* data() const { return static_cast<const Element*>(buffer.view.data); }
  uint32_t size() const { return buffer.view.length; }

  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<VectorBuffer*>(context);
    try {
      self->storage.resize(length);
    } catch (...) {
      return RYL_E_OUT_OF_MEMORY;
    }
    view->data = self->storage.data();
    view->length = length;
    return RYL_OK;
  }
  static inline const RylOutputBufferCallbacks kTable = {1, Resize, nullptr, nullptr, nullptr};
};
// [/guide:output-buffer]

inline std::string Narrow(const VectorBuffer<char>& text) { return std::string(text.data(), text.size()); }

// UTF-16 host text to ASCII for printing (the examples print ASCII only).
inline std::string Ascii(const RylChar16* text, uint32_t length) {
  std::string out;
  for (uint32_t i = 0; i < length; ++i) out += text[i] < 128 ? static_cast<char>(text[i]) : '?';
  return out;
}
inline std::string Ascii(const VectorBuffer<RylChar16>& text) { return Ascii(text.data(), text.size()); }
inline std::string Ascii(const RylStringView& view) { return Ascii(view.data, view.length); }

// [guide:memory-stream]
// A host's stream over memory, seekable like a file. The library calls it
// and never frees it: Release and Dispose do nothing, the host owns it.
class MemoryStream final : public HostStream {
 public:
  std::vector<uint8_t> bytes;
  uint64_t position = 0;

  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override {
    if (offset >= bytes.size()) return RYL_E_END_OF_DATA;
    uint32_t n = static_cast<uint32_t>(bytes.size() - offset);
    if (n > count) n = count;
    if (outDone == nullptr && n < count) return RYL_E_END_OF_DATA;  // all or nothing
    std::memcpy(buffer, bytes.data() + offset, n);
    if (outDone != nullptr) *outDone = n;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override {
    uint32_t n = 0;
    const ResultCode rc = ReadAt(position, buffer, count, &n);
    if (RylSucceeded(rc) && outDone == nullptr && n < count) return RYL_E_END_OF_DATA;
    if (RylSucceeded(rc)) position += n;
    if (RylSucceeded(rc) && outDone != nullptr) *outDone = n;
    return rc;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override {
    if (offset + count > bytes.size()) bytes.resize(static_cast<size_t>(offset + count));
    if (count != 0) std::memcpy(bytes.data() + offset, buffer, count);
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    const ResultCode rc = WriteAt(position, buffer, count, outDone);
    position += count;
    return rc;
  }
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override {
    *outPosition = position;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override {
    const int64_t base = origin == RYL_SEEK_BEGIN     ? 0
                         : origin == RYL_SEEK_CURRENT ? static_cast<int64_t>(position)
                                                      : static_cast<int64_t>(bytes.size());
    if (origin > RYL_SEEK_END) return RYL_E_INVALID_ARG;
    if (base + offset < 0) return RYL_E_INVALID_SEEK;
    position = static_cast<uint64_t>(base + offset);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override {
    *outSize = bytes.size();
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    bytes.resize(static_cast<size_t>(size));
    return RYL_OK;
  }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}
};
// [/guide:memory-stream]

// [guide:session]
// The module and the root for the lifetime of one object: RylModuleInit
// first, the root's reference given back and RylModuleFinish last.
class Session {
 public:
  Session() {
    if (!Check(RylModuleInit(), "RylModuleInit")) return;
    started_ = true;
    void* object = nullptr;
    if (Check(GetRylObject(kRylRootInterfaceId, &object), "GetRylObject")) root_ = static_cast<RootFactory*>(object);
  }
  ~Session() {
    if (root_ != nullptr) root_->Release();
    if (started_) RylModuleFinish();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  RootFactory* root() const { return root_; }

 private:
  bool started_ = false;
  RootFactory* root_ = nullptr;
};
// [/guide:session]

}  // namespace example
