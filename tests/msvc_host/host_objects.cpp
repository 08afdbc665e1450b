#include "host_objects.h"

#include "host_runtime.h"
#include "win32.h"

namespace msvc_host {

MemoryStream::~MemoryStream() { Free(data_); }

bool MemoryStream::Reserve(uint32_t capacity) {
  if (capacity <= capacity_) return true;
  uint32_t grown = capacity_ < 256 ? 256 : capacity_;
  while (grown < capacity) grown *= 2;
  void* moved = Reallocate(data_, grown);
  if (moved == nullptr) return false;
  data_ = static_cast<uint8_t*>(moved);
  capacity_ = grown;
  return true;
}

bool MemoryStream::Assign(const void* data, uint32_t size) {
  if (!Reserve(size)) return false;
  memcpy(data_, data, size);
  size_ = size;
  position_ = 0;
  return true;
}

void MemoryStream::Release() { ++releases_; }
uint8_t MemoryStream::IsOpen() { return 1; }
uint8_t MemoryStream::Reserved2() { return 1; }
uint8_t MemoryStream::Reserved3() { return 1; }

ResultCode MemoryStream::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  if (offset >= size_) return count == 0 ? 0 : RYL_E_END_OF_DATA;
  const uint32_t start = static_cast<uint32_t>(offset);
  const uint32_t available = size_ - start;
  const uint32_t done = count < available ? count : available;
  memcpy(buffer, data_ + start, done);
  if (outDone != nullptr) *outDone = done;
  if (done < count) return outDone != nullptr ? RYL_S_END_OF_DATA : RYL_E_END_OF_DATA;
  return 0;
}

ResultCode MemoryStream::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  uint32_t done = 0;
  const ResultCode rc = ReadAt(position_, buffer, count, &done);
  position_ += done;
  if (outDone != nullptr) *outDone = done;
  if (outDone == nullptr && done < count) return RYL_E_END_OF_DATA;
  return rc;
}

ResultCode MemoryStream::WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) {
  if (outDone != nullptr) *outDone = 0;
  const uint64_t end = offset + count;
  if (end > 0x40000000u) return RYL_E_INVALID_ARG;
  if (!Reserve(static_cast<uint32_t>(end))) return RYL_E_OUT_OF_MEMORY;
  const uint32_t start = static_cast<uint32_t>(offset);
  if (start > size_) memset(data_ + size_, 0, start - size_);
  memcpy(data_ + start, buffer, count);
  if (end > size_) size_ = static_cast<uint32_t>(end);
  if (outDone != nullptr) *outDone = count;
  return 0;
}

ResultCode MemoryStream::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  const ResultCode rc = WriteAt(position_, buffer, count, outDone);
  if (rc >= 0) position_ += count;
  return rc;
}

ResultCode MemoryStream::Tell(uint64_t* outPosition) {
  *outPosition = position_;
  return 0;
}

ResultCode MemoryStream::Seek(int64_t offset, uint32_t origin) {
  int64_t base = 0;
  if (origin == RYL_SEEK_CURRENT) {
    base = position_;
  } else if (origin == RYL_SEEK_END) {
    base = size_;
  } else if (origin != RYL_SEEK_BEGIN) {
    return RYL_E_INVALID_ARG;
  }
  const int64_t target = base + offset;
  if (target < 0 || target > 0x40000000) return RYL_E_INVALID_SEEK;
  position_ = static_cast<uint32_t>(target);
  return 0;
}

ResultCode MemoryStream::GetSize(uint64_t* outSize) {
  *outSize = size_;
  return 0;
}

ResultCode MemoryStream::SetSize(uint64_t size) {
  if (size > 0x40000000u) return RYL_E_INVALID_ARG;
  const uint32_t newSize = static_cast<uint32_t>(size);
  if (!Reserve(newSize)) return RYL_E_OUT_OF_MEMORY;
  if (newSize > size_) memset(data_ + size_, 0, newSize - size_);
  size_ = newSize;
  return 0;
}

uint8_t MemoryStream::CanSaveState(uint32_t) { return 0; }
ResultCode MemoryStream::SaveState(HostStream*, RylHandleMarshaller*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode MemoryStream::LoadState(HostStream*, RylHandleMarshaller*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode MemoryStream::Map(uint64_t, uint32_t, HostMappedView** outView, uint8_t) {
  if (outView != nullptr) *outView = nullptr;
  return RYL_E_NOT_IMPLEMENTED;
}
void MemoryStream::Dispose() {}

const RylOutputBufferCallbacks HeapBuffer::kCallbacks = {2, &HeapBuffer::Resize, &HeapBuffer::Reserve,
                                                         &HeapBuffer::Swap, &HeapBuffer::Capacity};

HeapBuffer::HeapBuffer(uint32_t elementSize) : state_{elementSize, 0} {
  buffer_.callbacks = &kCallbacks;
  buffer_.context = &state_;
  buffer_.view.data = nullptr;
  buffer_.view.length = 0;
}

HeapBuffer::~HeapBuffer() { Free(buffer_.view.data); }

ResultCode HeapBuffer::Reserve(RylBufferView* view, uint32_t capacity, void* context) {
  State* state = static_cast<State*>(context);
  if (capacity <= state->capacity) return 0;
  if (capacity > 0x10000000u / state->elementSize) return RYL_E_OUT_OF_MEMORY;
  void* moved = Reallocate(view->data, capacity * state->elementSize);
  if (moved == nullptr) return RYL_E_OUT_OF_MEMORY;
  view->data = moved;
  state->capacity = capacity;
  return 0;
}

ResultCode HeapBuffer::Resize(RylBufferView* view, uint32_t newLength, void* context) {
  const ResultCode rc = Reserve(view, newLength, context);
  if (rc < 0) return rc;
  view->length = newLength;
  return 0;
}

ResultCode HeapBuffer::Swap(RylBufferView* view, const RylOutputBufferCallbacks* otherCallbacks, void* otherContext,
                            RylBufferView* otherView, void* context) {
  if (otherCallbacks != &kCallbacks) return RYL_E_UNSUPPORTED_VERSION;
  State* state = static_cast<State*>(context);
  State* other = static_cast<State*>(otherContext);
  if (state->elementSize != other->elementSize) return RYL_E_UNSUPPORTED_VERSION;
  const RylBufferView held = *view;
  *view = *otherView;
  *otherView = held;
  const uint32_t capacity = state->capacity;
  state->capacity = other->capacity;
  other->capacity = capacity;
  return 0;
}

uint32_t HeapBuffer::Capacity(uint8_t* canGrow, void* context) {
  if (canGrow != nullptr) *canGrow = 1;
  return static_cast<State*>(context)->capacity;
}

namespace {

ResultCode RYL_CDECL Store(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return 0;
}

const RylReceiverCallbacks kStore = {1, &Store};

}  // namespace

const AllocatorRecord kDefaultHeap = {nullptr, nullptr};

ObjectReceiver MakeReceiver(void** slot, uint32_t requestedVersion) {
  *slot = nullptr;
  ObjectReceiver receiver;
  receiver.callbacks = &kStore;
  receiver.context = slot;
  receiver.requestedVersion = requestedVersion;
  receiver.allocator.callbacks = nullptr;
  receiver.allocator.context = nullptr;
  return receiver;
}

void JoinPath(PathText* out, const RylChar16* base, uint32_t baseLength, const wchar_t* name) {
  out->length = 0;
  for (uint32_t i = 0; i < baseLength && out->length < 200; ++i) out->text[out->length++] = base[i];
  if (out->length > 0 && out->text[out->length - 1] != L'\\') out->text[out->length++] = L'\\';
  for (uint32_t i = 0; name[i] != 0 && out->length < 290; ++i) out->text[out->length++] = name[i];
  out->text[out->length] = 0;
}

bool MakeTempPath(FileSystemService* fs, const wchar_t* stem, PathText* out) {
  HeapBuffer temp(2);
  if (fs->GetTempDirectory(temp.get()) < 0) return false;
  wchar_t leaf[96] = {};
  uint32_t at = 0;
  for (; stem[at] != 0 && at < 60; ++at) leaf[at] = stem[at];
  leaf[at] = L'-';
  AppendNumber(leaf, 96, GetCurrentProcessId());
  JoinPath(out, temp.wide(), temp.length(), leaf);
  return true;
}

bool WriteWholeFile(const wchar_t* path, const void* data, uint32_t size) {
  HANDLE file = CreateFileW(path, kGenericWrite, 0, nullptr, kCreateAlways, 0, nullptr);
  if (file == kInvalidHandle) return false;
  uint32_t written = 0;
  const bool ok = WriteFile(file, data, size, &written, nullptr) != 0 && written == size;
  CloseHandle(file);
  return ok;
}

FileSystemService* GetFileSystem(RootFactory* root) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_FILE_SYSTEM_SERVICE);
  if (root->GetFileSystemService(&receiver) < 0) return nullptr;
  return static_cast<FileSystemService*>(object);
}

}  // namespace msvc_host
