#include "fs/file_stream.h"

#include <atomic>
#include <cstring>

#include "fs/file_mapped_view.h"
#include "sys/dos_path_conversion.h"
#include "sys/native_object_attributes.h"
#include "sys/native_api.h"
#include "sys/result_codes.h"
#include "sys/scoped_handle.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::fs {
namespace {

constexpr uint64_t kNegative = uint64_t{1} << 63;
constexpr uint32_t kMaxViewLength = 0x8000000;  // 128 MiB

// Page size and allocation granularity, read once per process. Idempotent
// writes by whichever thread maps first.
std::atomic<uint32_t> g_pageSize{0};
std::atomic<uint32_t> g_granularity{0};

ResultCode ReadMemoryGeometry(uint32_t* pageSize, uint32_t* granularity) {
  if (g_pageSize.load() == 0 || g_granularity.load() == 0) {
    // SYSTEM_BASIC_INFORMATION of a 32-bit process: page size at offset 8,
    // allocation granularity at offset 24, 44 bytes in all.
    alignas(8) uint8_t info[44] = {};
    const NTSTATUS status =
        NtQuerySystemInformation(SystemBasicInformation, info, sizeof info, nullptr);
    if (status != STATUS_SUCCESS) return sys::RylResultFromNtStatus(status);
    uint32_t page = 0;
    uint32_t gran = 0;
    std::memcpy(&page, info + 8, 4);
    std::memcpy(&gran, info + 24, 4);
    if (page == 0 || gran == 0 || (gran & (gran - 1)) != 0) return RYL_E_INVALID_STATE;
    g_pageSize.store(page);
    g_granularity.store(gran);
  }
  *pageSize = g_pageSize.load();
  *granularity = g_granularity.load();
  return RYL_OK;
}

// Rights that only read: with none beyond these and no sharing for writers,
// nobody can change the file's size under the stream.
constexpr ACCESS_MASK kReadOnlyRights =
    GENERIC_READ | SYNCHRONIZE | READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_READ_EA | FILE_READ_DATA;
// Appending asks for the write rights without FILE_WRITE_DATA.
constexpr ACCESS_MASK kAppendRights = FILE_GENERIC_WRITE & ~FILE_WRITE_DATA;

ResultCode WaitIfPending(HANDLE file, NTSTATUS* status, const IO_STATUS_BLOCK& iosb) {
  if (*status == STATUS_PENDING) {
    const NTSTATUS waited = NtWaitForSingleObject(file, FALSE, nullptr);
    if (waited != STATUS_SUCCESS) return sys::RylResultFromNtStatus(waited);
    *status = iosb.Status;
  }
  return RYL_OK;
}

// State export helpers over the writer's and reader's plain Write and Read.
ResultCode WriteBytes(SeekableStream* writer, const void* data, uint32_t size) {
  uint32_t done = 0;
  const ResultCode rc = writer->Write(data, size, &done);
  if (rc < 0) return rc;
  return done == size ? RYL_OK : RYL_E_END_OF_DATA;
}
ResultCode ReadBytes(SeekableStream* reader, void* data, uint32_t size) {
  uint32_t done = 0;
  const ResultCode rc = reader->Read(data, size, &done);
  if (rc < 0) return rc;
  return done == size ? RYL_OK : RYL_E_END_OF_DATA;
}
ResultCode ReadFlag(SeekableStream* reader, bool* flag) {
  uint8_t byte = 0;
  RYL_RETURN_IF_FAILED(ReadBytes(reader, &byte, 1));
  if (byte > 1) return RYL_E_INVALID_DATA;
  *flag = byte != 0;
  return RYL_OK;
}

}  // namespace

FileStreamBase::~FileStreamBase() {
  (void)Close();
  // Views keep their own mapping; they must not reach back into a dead stream.
  for (FileMappedView* view = views_; view != nullptr;) {
    FileMappedView* next = view->next;
    view->next = view->previous = nullptr;
    view->DetachOwner();
    view = next;
  }
  views_ = nullptr;
}

void* RYL_THISCALL FileStreamBase::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  void* part = nullptr;
  switch (type) {
    case RYL_TYPE_SEEKABLE_STREAM: part = static_cast<SeekableStream*>(this); break;
    case RYL_TYPE_PERSISTENT_STREAM: part = static_cast<PersistentStream*>(this); break;
    case RYL_TYPE_HANDLE_ACCESS: part = static_cast<HandleAccess*>(this); break;
    default:
      if (outHighest != nullptr) *outHighest = 0;
      return nullptr;
  }
  if (outHighest != nullptr) *outHighest = kHighestVersion;
  return version < 2 ? part : nullptr;
}

ResultCode FileStreamBase::Open(const char16_t* path, uint32_t disposition, uint32_t, uint32_t access,
                                uint32_t share, uint32_t options) noexcept {
  if (IsOpen()) (void)Close();
  if (path == nullptr) return RYL_E_INVALID_ARG;

  ACCESS_MASK desired = 0;
  if ((access & kAccessRead) != 0) desired |= GENERIC_READ;
  if ((access & kAccessWrite) != 0) {
    // Appending asks for the write rights without FILE_WRITE_DATA.
    desired |= disposition == kOpenOrCreateForAppend ? kAppendRights : GENERIC_WRITE;
  }
  if (access != 0) desired |= SYNCHRONIZE;

  ULONG nativeDisposition = FILE_SUPERSEDE;  // for anything unknown
  switch (disposition) {
    case kCreateNew: nativeDisposition = FILE_CREATE; break;
    case kCreateOrTruncate: nativeDisposition = FILE_OVERWRITE_IF; break;
    case kOpenExisting: nativeDisposition = FILE_OPEN; break;
    case kOpenOrCreate: nativeDisposition = FILE_OPEN_IF; break;
    case kTruncateExisting: nativeDisposition = FILE_OVERWRITE; break;
    case kOpenOrCreateForAppend: nativeDisposition = FILE_OPEN_IF; break;
    default: break;
  }

  ULONG createOptions = FILE_SYNCHRONOUS_IO_NONALERT;
  if ((options & kOptionDeleteOnClose) != 0) {
    createOptions |= FILE_DELETE_ON_CLOSE;
    desired |= DELETE;
  }
  if ((options & kOptionAsynchronous) != 0) createOptions &= ~static_cast<ULONG>(FILE_SYNCHRONOUS_IO_NONALERT);
  if ((options & kOptionRandomAccess) != 0) createOptions |= FILE_RANDOM_ACCESS;
  if ((options & kOptionSequential) != 0) createOptions |= FILE_SEQUENTIAL_ONLY;

  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(path, name.Receive()));
  sys::NativeObjectAttributes attributes(name.get());
  IO_STATUS_BLOCK iosb{};
  HANDLE handle = nullptr;
  const NTSTATUS status = NtCreateFile(&handle, desired, attributes.get(), &iosb, nullptr, FILE_ATTRIBUTE_NORMAL,
                                       share & (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE),
                                       nativeDisposition, createOptions, nullptr, 0);
  if (status != STATUS_SUCCESS) return sys::RylResultFromNtStatus(status);

  (void)file_.reset(handle);
  access_ = access;
  sizeCacheAllowed_ = (desired & ~kReadOnlyRights) == 0 && (share & FILE_SHARE_WRITE) == 0;
  set_position(0);
  cachedSizeValid_ = false;
  asynchronous_ = (options & kOptionAsynchronous) != 0;
  return RYL_OK;
}

void FileStreamBase::Adopt(sys::ScopedFileHandle handle, uint32_t access, bool sizeCacheAllowed) noexcept {
  file_ = std::move(handle);
  access_ = access;
  sizeCacheAllowed_ = sizeCacheAllowed;
  cachedSizeValid_ = false;
  asynchronous_ = false;
  set_position(0);
}

sys::ScopedFileHandle FileStreamBase::DetachFile() noexcept { return std::move(file_); }

ResultCode FileStreamBase::CloseSection() noexcept {
  if (!section_.valid()) return RYL_OK;
  const NTSTATUS status = section_.reset();
  sectionSize_ = 0;
  return sys::RylResultFromNtStatus(status);
}

ResultCode RYL_THISCALL FileStreamBase::Close() {
  const ResultCode section = CloseSection();
  const NTSTATUS status = file_.reset();
  cachedSizeValid_ = false;
  if (section < 0) return section;
  return sys::RylResultFromNtStatus(status);
}

uint8_t RYL_THISCALL FileStreamBase::IsOpen() { return file_.valid() || section_.valid(); }

ResultCode RYL_THISCALL FileStreamBase::GetSize(uint64_t* outSize) {
  if (outSize == nullptr) return RYL_E_INVALID_ARG;
  if (sizeCacheAllowed_ && cachedSizeValid_) {
    *outSize = cachedSize_;
    return RYL_OK;
  }
  if (!file_.valid()) return RYL_E_INVALID_HANDLE;
  FILE_STANDARD_INFORMATION info{};
  IO_STATUS_BLOCK iosb{};
  const NTSTATUS status = NtQueryInformationFile(file_.get(), &iosb, &info, sizeof info,
                                                 FileStandardInformation);
  if (status != STATUS_SUCCESS) return sys::RylResultFromNtStatus(status);
  const auto size = static_cast<uint64_t>(info.EndOfFile.QuadPart);
  if (sizeCacheAllowed_) {
    cachedSize_ = size;
    cachedSizeValid_ = true;
  }
  *outSize = size;
  return RYL_OK;
}

ResultCode RYL_THISCALL FileStreamBase::SetSize(uint64_t size) {
  if (!file_.valid()) return RYL_E_INVALID_HANDLE;
  // Views keep their own mapping; the stream will make a new section.
  (void)CloseSection();
  FILE_END_OF_FILE_INFORMATION info{};
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  IO_STATUS_BLOCK iosb{};
  const NTSTATUS status = NtSetInformationFile(file_.get(), &iosb, &info, sizeof info,
                                               FileEndOfFileInformation);
  if (status != STATUS_SUCCESS) return sys::RylResultFromNtStatus(status);
  if (sizeCacheAllowed_) {
    cachedSize_ = size;
    cachedSizeValid_ = true;
  }
  return RYL_OK;
}

ResultCode RYL_THISCALL FileStreamBase::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) {
  if ((offset & kNegative) != 0) return RYL_E_INVALID_ARG;
  if (outDone != nullptr) *outDone = 0;
  if (!file_.valid()) return RYL_E_INVALID_HANDLE;
  IO_STATUS_BLOCK iosb{};
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  NTSTATUS status =
      NtReadFile(file_.get(), nullptr, nullptr, nullptr, &iosb, buffer, count, &position, nullptr);
  RYL_RETURN_IF_FAILED(WaitIfPending(file_.get(), &status, iosb));
  if (status == STATUS_END_OF_FILE) return RYL_E_END_OF_DATA;
  if (status != STATUS_SUCCESS) return sys::RylResultFromNtStatus(status);
  const auto n = static_cast<uint32_t>(iosb.Information);
  if (outDone != nullptr) *outDone = n;
  if (n == count) return RYL_OK;
  if (outDone == nullptr || n == 0) return RYL_E_END_OF_DATA;
  return RYL_S_END_OF_DATA;
}

ResultCode RYL_THISCALL FileStreamBase::WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                                uint32_t* outDone) {
  if ((offset & kNegative) != 0) return RYL_E_INVALID_ARG;
  if (outDone != nullptr) *outDone = 0;
  if (!file_.valid()) return RYL_E_INVALID_HANDLE;
  IO_STATUS_BLOCK iosb{};
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  NTSTATUS status =
      NtWriteFile(file_.get(), nullptr, nullptr, nullptr, &iosb, buffer, count, &position, nullptr);
  RYL_RETURN_IF_FAILED(WaitIfPending(file_.get(), &status, iosb));
  const auto written = static_cast<uint32_t>(iosb.Information);
  if (outDone != nullptr) *outDone = written;
  if (status != STATUS_SUCCESS) return sys::RylResultFromNtStatus(status);
  if (sizeCacheAllowed_ && cachedSizeValid_ && offset + written > cachedSize_) cachedSize_ = offset + written;
  return RYL_OK;
}

ResultCode RYL_THISCALL FileStreamBase::Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                                            uint8_t readOnly) {
  if (viewReceiver == nullptr || viewReceiver->callbacks == nullptr) return RYL_E_INVALID_ARG;
  if (viewReceiver->requestedVersion >= 2) return RYL_E_INVALID_ARG;
  if (!file_.valid()) return RYL_E_INVALID_HANDLE;
  uint32_t pageSize = 0;
  uint32_t granularity = 0;
  RYL_RETURN_IF_FAILED(ReadMemoryGeometry(&pageSize, &granularity));

  const uint64_t aligned = offset & ~uint64_t{granularity - 1};
  const auto slack = static_cast<uint32_t>(offset - aligned);
  uint64_t mapLength = 0;
  if (length == 0 || uint64_t{length} + slack > kMaxViewLength) {
    mapLength = kMaxViewLength;
  } else {
    mapLength = (uint64_t{length} + slack + pageSize - 1) & ~uint64_t{pageSize - 1};
  }

  uint64_t size = 0;
  RYL_RETURN_IF_FAILED(GetSize(&size));
  if (offset >= size) return RYL_E_END_OF_DATA;
  bool reachesEnd = false;
  if (aligned + mapLength >= size) {
    mapLength = size - aligned;
    reachesEnd = true;
  }
  const uint64_t wantedEnd = offset + (length == 0 ? mapLength - slack : length);
  if (section_.valid() && wantedEnd > sectionSize_) RYL_RETURN_IF_FAILED(CloseSection());

  const bool viewReadOnly = !CanWrite() || readOnly != 0;
  const ULONG protection = viewReadOnly ? PAGE_READONLY : PAGE_READWRITE;
  if (!section_.valid() || (sectionReadOnly_ && !viewReadOnly)) {
    RYL_RETURN_IF_FAILED(GetSize(&size));
    sys::ScopedHandle section;
    const NTSTATUS created = NtCreateSection(section.receive(), SECTION_ALL_ACCESS, nullptr, nullptr, protection,
                                             SEC_COMMIT, file_.get());
    if (created != STATUS_SUCCESS) return sys::RylResultFromNtStatus(created);
    (void)CloseSection();
    section_ = std::move(section);
    sectionReadOnly_ = viewReadOnly;
    sectionSize_ = size;
  }

  const uint32_t viewLength = static_cast<uint32_t>(
      length == 0 || uint64_t{length} > mapLength - slack ? mapLength - slack : length);
  return core::CreateAndDeliver<FileMappedView>(viewReceiver, core::Placement::kDefaultHeap,
                                                [&](FileMappedView& view) -> ResultCode {
    PVOID base = nullptr;
    LARGE_INTEGER sectionOffset;
    sectionOffset.QuadPart = static_cast<LONGLONG>(aligned);
    SIZE_T viewSize = static_cast<SIZE_T>(mapLength);
    const NTSTATUS mapped = NtMapViewOfSection(section_.get(), GetCurrentProcess(), &base, 0, 0,
                                               &sectionOffset, &viewSize, ViewUnmap, 0,
                                               sectionReadOnly_ ? PAGE_READONLY : protection);
    if (mapped != STATUS_SUCCESS) return sys::RylResultFromNtStatus(mapped);
    view.Attach(this, base, slack, offset, viewLength, static_cast<uint32_t>(mapLength), reachesEnd,
                viewReadOnly);
    return RYL_OK;
  });
}

void FileStreamBase::ViewOpened(FileMappedView* view) noexcept {
  view->previous = nullptr;
  view->next = views_;
  if (views_ != nullptr) views_->previous = view;
  views_ = view;
  ++openViews_;
}

void FileStreamBase::ViewClosed(FileMappedView* view) noexcept {
  if (view->previous != nullptr) view->previous->next = view->next;
  if (view->next != nullptr) view->next->previous = view->previous;
  if (views_ == view) views_ = view->next;
  view->next = view->previous = nullptr;
  if (--openViews_ == 0 && file_.valid()) (void)CloseSection();
}

ResultCode RYL_THISCALL FileStreamBase::GetHandle(uint64_t* outHandle) {
  if (outHandle == nullptr) return RYL_E_INVALID_ARG;
  if (!file_.valid()) return RYL_E_INVALID_HANDLE;
  *outHandle = static_cast<uint64_t>(static_cast<int64_t>(reinterpret_cast<intptr_t>(file_.get())));
  return RYL_OK;
}

ResultCode RYL_THISCALL FileStreamBase::SaveState(SeekableStream*, RylHandleMarshaller*) {
  return RYL_E_NOT_IMPLEMENTED;
}
ResultCode RYL_THISCALL FileStreamBase::LoadState(SeekableStream*, RylHandleMarshaller*) {
  return RYL_E_NOT_IMPLEMENTED;
}

ResultCode FileStreamBase::SaveCommonState(SeekableStream* writer, RylHandleMarshaller* marshaller,
                                           uint16_t marker) noexcept {
  if (writer == nullptr || marshaller == nullptr) return RYL_E_INVALID_ARG;
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &marker, 2));
  const uint8_t hasFile = file_.valid() ? 1 : 0;
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &hasFile, 1));
  if (hasFile != 0) {
    RYL_RETURN_IF_FAILED(marshaller->AddHandle(static_cast<uint64_t>(reinterpret_cast<intptr_t>(file_.get()))));
  }
  // A read-only section of a file that is still open is cheap to make again.
  const uint8_t hasSection = section_.valid() && !(sectionReadOnly_ && file_.valid()) ? 1 : 0;
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &hasSection, 1));
  if (hasSection != 0) {
    RYL_RETURN_IF_FAILED(marshaller->AddHandle(static_cast<uint64_t>(reinterpret_cast<intptr_t>(section_.get()))));
  }
  const auto access = static_cast<uint8_t>(access_);
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &access, 1));
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &sectionSize_, 8));
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &reserved_, 8));
  const uint8_t cacheAllowed = sizeCacheAllowed_ ? 1 : 0;
  const uint8_t cacheValid = cachedSizeValid_ ? 1 : 0;
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &cacheAllowed, 1));
  RYL_RETURN_IF_FAILED(WriteBytes(writer, &cacheValid, 1));
  return WriteBytes(writer, &cachedSize_, 8);
}

ResultCode FileStreamBase::LoadCommonState(SeekableStream* reader, RylHandleMarshaller* marshaller,
                                           uint16_t marker) noexcept {
  if (reader == nullptr || marshaller == nullptr) return RYL_E_INVALID_ARG;
  uint16_t stored = 0;
  RYL_RETURN_IF_FAILED(ReadBytes(reader, &stored, 2));
  if (stored != marker) return RYL_E_INVALID_DATA;
  // Everything is read before anything is taken over, so that a malformed
  // state leaves the stream as it was; handles already handed over are closed.
  sys::ScopedFileHandle file;
  sys::ScopedHandle section;
  bool hasFile = false;
  RYL_RETURN_IF_FAILED(ReadFlag(reader, &hasFile));
  if (hasFile) {
    uint64_t value = 0;
    RYL_RETURN_IF_FAILED(marshaller->GetNextHandle(&value));
    file.reset(reinterpret_cast<HANDLE>(static_cast<intptr_t>(value)));
  }
  bool hasSection = false;
  RYL_RETURN_IF_FAILED(ReadFlag(reader, &hasSection));
  if (hasSection) {
    uint64_t value = 0;
    RYL_RETURN_IF_FAILED(marshaller->GetNextHandle(&value));
    section.reset(reinterpret_cast<HANDLE>(static_cast<intptr_t>(value)));
  }
  uint8_t access = 0;
  uint64_t sectionSize = 0;
  uint64_t reserved = 0;
  bool cacheAllowed = false;
  bool cacheValid = false;
  uint64_t cachedSize = 0;
  RYL_RETURN_IF_FAILED(ReadBytes(reader, &access, 1));
  RYL_RETURN_IF_FAILED(ReadBytes(reader, &sectionSize, 8));
  RYL_RETURN_IF_FAILED(ReadBytes(reader, &reserved, 8));
  RYL_RETURN_IF_FAILED(ReadFlag(reader, &cacheAllowed));
  RYL_RETURN_IF_FAILED(ReadFlag(reader, &cacheValid));
  RYL_RETURN_IF_FAILED(ReadBytes(reader, &cachedSize, 8));

  (void)Close();
  file_ = std::move(file);
  section_ = std::move(section);
  sectionReadOnly_ = false;  // a loaded section is treated as writable
  access_ = access;
  sectionSize_ = sectionSize;
  reserved_ = reserved;
  sizeCacheAllowed_ = cacheAllowed;
  cachedSizeValid_ = cacheValid;
  cachedSize_ = cachedSize;
  openViews_ = 0;
  set_position(0);
  return RYL_OK;
}

void RYL_THISCALL FileStream::Destroy(const AllocatorRecord* allocator) {
  core::DestroyPlainObject(this, allocator);
}

ResultCode RYL_THISCALL FileStream::SaveState(SeekableStream* writer, RylHandleMarshaller* marshaller) {
  RYL_RETURN_IF_FAILED(SaveCommonState(writer, marshaller, kStateMarker));
  const uint8_t asynchronous = IsAsynchronous();
  return WriteBytes(writer, &asynchronous, 1);
}

ResultCode RYL_THISCALL FileStream::LoadState(SeekableStream* reader, RylHandleMarshaller* marshaller) {
  RYL_RETURN_IF_FAILED(LoadCommonState(reader, marshaller, kStateMarker));
  bool asynchronous = false;
  const ResultCode rc = ReadFlag(reader, &asynchronous);
  if (rc < 0) {
    (void)Close();
    return rc;
  }
  SetAsynchronous(asynchronous);
  return RYL_OK;
}

}  // namespace ryl::fs
