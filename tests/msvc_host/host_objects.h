// The host's side of the boundary: a stream over heap memory, output
// buffers, and a receiver that keeps what the module delivers. Each is a
// class of this compiler implementing an SDK interface or record, so the
// module calls into code laid out by MSVC's rules.
#pragma once

#include <stdint.h>

#include "ryl/ryl.h"

namespace msvc_host {

class MemoryStream final : public HostStream {
 public:
  MemoryStream() = default;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  ~MemoryStream();

  // Replaces the contents and rewinds.
  bool Assign(const void* data, uint32_t size);
  const uint8_t* data() const { return data_; }
  uint32_t size() const { return size_; }
  int releases() const { return releases_; }

  void RYL_THISCALL Release() override;
  uint8_t RYL_THISCALL IsOpen() override;
  uint8_t RYL_THISCALL Reserved2() override;
  uint8_t RYL_THISCALL Reserved3() override;
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;
  uint8_t RYL_THISCALL CanSaveState(uint32_t format) override;
  ResultCode RYL_THISCALL SaveState(HostStream* writer, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL LoadState(HostStream* reader, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, HostMappedView** outView, uint8_t readOnly) override;
  void RYL_THISCALL Dispose() override;

 private:
  bool Reserve(uint32_t capacity);

  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
  uint32_t position_ = 0;
  int releases_ = 0;
};

// An OutputBuffer (version 2) on the heap; elements of elementSize bytes.
class HeapBuffer {
 public:
  explicit HeapBuffer(uint32_t elementSize);
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  ~HeapBuffer();

  OutputBuffer* get() { return &buffer_; }
  const RylChar16* wide() const { return static_cast<const RylChar16*>(buffer_.view.data); }
  const char* narrow() const { return static_cast<const char*>(buffer_.view.data); }
  const uint8_t* bytes() const { return static_cast<const uint8_t*>(buffer_.view.data); }
  uint32_t length() const { return buffer_.view.length; }
  void Clear() { buffer_.view.length = 0; }

 private:
  struct State {
    uint32_t elementSize;
    uint32_t capacity;
  };
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t newLength, void* context);
  static ResultCode RYL_CDECL Reserve(RylBufferView* view, uint32_t capacity, void* context);
  static ResultCode RYL_CDECL Swap(RylBufferView* view, const RylOutputBufferCallbacks* otherCallbacks,
                                   void* otherContext, RylBufferView* otherView, void* context);
  static uint32_t RYL_CDECL Capacity(uint8_t* canGrow, void* context);
  static const RylOutputBufferCallbacks kCallbacks;

  State state_;
  OutputBuffer buffer_;
};

// A zero-terminated path, for the Windows functions and the slots alike.
struct PathText {
  wchar_t text[300];  // small: frames above a page would need the runtime's stack probe
  uint32_t length;
};
// base, a separator when base lacks one, and name.
void JoinPath(PathText* out, const RylChar16* base, uint32_t baseLength, const wchar_t* name);
// A name unique to this process in the temporary directory.
bool MakeTempPath(FileSystemService* fs, const wchar_t* stem, PathText* out);
bool WriteWholeFile(const wchar_t* path, const void* data, uint32_t size);
FileSystemService* GetFileSystem(RootFactory* root);

// Delivers into *context; requestedVersion as given.
ObjectReceiver MakeReceiver(void** slot, uint32_t requestedVersion);
extern const AllocatorRecord kDefaultHeap;

}  // namespace msvc_host
