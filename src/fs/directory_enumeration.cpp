#include "fs/directory_enumeration.h"

#include <cstddef>
#include <cstring>

#include "core/growable_buffer.h"
#include "core/result_helpers.h"
#include "fs/nt_path.h"
#include "sys/dos_path_conversion.h"
#include "sys/heap.h"
#include "sys/native_api.h"
#include "sys/native_object_attributes.h"
#include "sys/result_codes.h"
#include "sys/scoped_unicode_string.h"

namespace ryl::fs {
namespace {

constexpr ACCESS_MASK kListAccess = SYNCHRONIZE | FILE_LIST_DIRECTORY;  // 0x100001
constexpr ULONG kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kListOptions = FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;

constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kPending = static_cast<NTSTATUS>(0x00000103L);

// A UNICODE_STRING counts bytes in 16 bits.
constexpr uint32_t kMaxPatternLength = 0x7FFF;
constexpr uint32_t kMaxShortNameBytes = 24;

constexpr size_t kRecordHeaderBytes = offsetof(FILE_BOTH_DIR_INFORMATION, FileName);
static_assert(kRecordHeaderBytes == 94, "the native record's fixed part");
static_assert(DirectoryEnumeration::kFirstQueryBytes >= kRecordHeaderBytes + 2 * 260,
              "one record with the longest name fits the first query");

int32_t NativeDirectoryQuery(void*, const DirectoryQuery& query, uint32_t* outBytes) {
  IO_STATUS_BLOCK iosb{};
  UNICODE_STRING pattern{};
  if (query.pattern != nullptr) {
    pattern.Buffer = const_cast<PWSTR>(reinterpret_cast<PCWSTR>(query.pattern));
    pattern.Length = static_cast<USHORT>(query.patternLength * sizeof(WCHAR));
    pattern.MaximumLength = pattern.Length;
  }
  NTSTATUS status = ZwQueryDirectoryFile(query.handle, nullptr, nullptr, nullptr, &iosb, query.buffer, query.length,
                                         FileBothDirectoryInformation, query.singleEntry ? TRUE : FALSE,
                                         query.pattern != nullptr ? &pattern : nullptr, query.restart ? TRUE : FALSE);
  // A handle the host opened for asynchronous I/O may answer later; the
  // buffer and the status block must outlive the query, so wait for it.
  if (status == kPending) {
    NtWaitForSingleObject(query.handle, FALSE, nullptr);
    status = iosb.Status;
  }
  *outBytes = status >= 0 || status == kBufferOverflow ? static_cast<uint32_t>(iosb.Information) : 0;
  return status;
}

const FILE_BOTH_DIR_INFORMATION* RecordAt(const unsigned char* buffer, uint32_t offset) noexcept {
  return reinterpret_cast<const FILE_BOTH_DIR_INFORMATION*>(buffer + offset);
}

// The record at offset lies wholly inside the first `valid` bytes.
bool IsComplete(const unsigned char* buffer, uint32_t offset, uint32_t valid) noexcept {
  if (offset > valid || valid - offset < kRecordHeaderBytes) return false;
  return RecordAt(buffer, offset)->FileNameLength <= valid - offset - kRecordHeaderBytes;
}

ResultCode ConvertRecord(const FILE_BOTH_DIR_INFORMATION& record, EntryRecord* out) noexcept {
  // The name field holds 259 units and the terminator; a longer name would
  // run into the fields behind it.
  if (record.FileNameLength > DirectoryEnumeration::kMaxNameBytes) return RYL_E_OUT_OF_RANGE;
  const uint32_t nameUnits = record.FileNameLength / sizeof(WCHAR);
  uint32_t shortBytes = static_cast<uint8_t>(record.ShortNameLength);
  if (shortBytes > kMaxShortNameBytes) shortBytes = kMaxShortNameBytes;
  const uint32_t shortUnits = shortBytes / sizeof(WCHAR);

  out->attributes = record.FileAttributes;
  out->creationTime = static_cast<uint64_t>(record.CreationTime.QuadPart);
  out->lastAccessTime = static_cast<uint64_t>(record.LastAccessTime.QuadPart);
  out->lastWriteTime = static_cast<uint64_t>(record.LastWriteTime.QuadPart);
  out->sizeHigh = static_cast<uint32_t>(record.EndOfFile.HighPart);
  out->sizeLow = record.EndOfFile.LowPart;
  std::memcpy(out->name, record.FileName, nameUnits * sizeof(char16_t));
  out->name[nameUnits] = u'\0';
  std::memcpy(out->shortName, record.ShortName, shortUnits * sizeof(char16_t));
  out->shortName[shortUnits] = u'\0';
  out->changeTime = static_cast<uint64_t>(record.ChangeTime.QuadPart);
  out->eaSize = record.EaSize;
  return RYL_OK;
}

}  // namespace

bool IsFilteredOut(const EntryRecord& entry, uint32_t flags) noexcept {
  if ((entry.attributes & kAttributeReparsePoint) != 0 && (flags & kEnumerateReparsePoints) == 0) return true;
  if ((entry.attributes & kAttributeDirectory) != 0) {
    if ((flags & kEnumerateDirectories) == 0) return true;
    const strings::PathText name = entry.Name();
    if (name == u".") return (flags & kEnumerateSelf) == 0;
    if (name == u"..") return (flags & kEnumerateParent) == 0;
    return false;
  }
  return (flags & kEnumerateFiles) == 0;
}

void DirectoryEnumeration::BatchFree::operator()(void* block) const noexcept { sys::DefaultHeapFree(block); }

DirectoryEnumeration::DirectoryEnumeration() noexcept : query_(NativeDirectoryQuery) {}

DirectoryEnumeration::~DirectoryEnumeration() { Close(); }

void DirectoryEnumeration::SetQueryFunctionForTesting(DirectoryQueryFunction function, void* context) noexcept {
  query_ = function != nullptr ? function : NativeDirectoryQuery;
  queryContext_ = function != nullptr ? context : nullptr;
}

void DirectoryEnumeration::Close() noexcept {
  handle_.Reset();
  DropBatch();
  positioned_ = false;
  started_ = false;
}

void DirectoryEnumeration::DropBatch() noexcept {
  batch_.reset();
  batchBytes_ = 0;
  cursor_ = 0;
}

ResultCode DirectoryEnumeration::Store(strings::PathText directory, strings::PathText pattern, uint32_t flags) noexcept {
  if (pattern.size() > kMaxPatternLength) return RYL_E_INVALID_ARG;
  if ((flags & kEnumerateVerbatim) != 0) {
    core::GrowableBuffer<char16_t> full;
    RYL_RETURN_IF_FAILED(GetFullPathVerbatim(full.Output(), directory.data(), static_cast<uint32_t>(directory.size())));
    RYL_RETURN_IF_FAILED(directory_.Assign(full.data(), full.size()));
  } else {
    RYL_RETURN_IF_FAILED(directory_.Assign(directory.data(), static_cast<uint32_t>(directory.size())));
  }
  if (pattern.empty()) pattern = u"*";
  RYL_RETURN_IF_FAILED(pattern_.Assign(pattern.data(), static_cast<uint32_t>(pattern.size())));
  flags_ = flags;
  return RYL_OK;
}

ResultCode DirectoryEnumeration::Open(strings::PathText directory, strings::PathText pattern, uint32_t flags) noexcept {
  Close();
  RYL_RETURN_IF_FAILED(Store(directory, pattern, flags));
  sys::ScopedRtlUnicodeString native;
  RYL_RETURN_IF_FAILED(
      sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(directory_.c_str(), native.Receive()));
  sys::NativeObjectAttributes attributes(native.get());
  IO_STATUS_BLOCK iosb{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ZwOpenFile(&handle, kListAccess, attributes.get(), &iosb, kShareReadWrite, kListOptions);
  if (status < 0) return sys::RylResultFromNtStatus(status);
  handle_.Reset(handle, true);
  return StartOrClose();
}

ResultCode DirectoryEnumeration::OpenOnHandle(void* handle, strings::PathText directory, strings::PathText pattern, uint32_t flags,
                                              bool ownsHandle) noexcept {
  Close();
  const ResultCode stored = Store(directory, pattern, flags);
  if (stored < 0) {
    if (ownsHandle) CloseHandedOverHandle(handle);
    return stored;
  }
  handle_.Reset(handle, ownsHandle);
  return StartOrClose();
}

ResultCode DirectoryEnumeration::StartOrClose() noexcept {
  const ResultCode started = Start();
  if (started < 0) Close();
  return started;
}

int32_t DirectoryEnumeration::Query(void* buffer, uint32_t length, bool singleEntry, bool restart, bool withPattern,
                                    uint32_t* outBytes) noexcept {
  DirectoryQuery query{handle_.get(), buffer, length, singleEntry, restart, nullptr, 0};
  if (withPattern) {
    // "*.*" would leave out names without a dot on some file systems; it
    // means everything.
    const strings::PathText pattern = this->pattern();
    query.pattern = pattern == u"*.*" ? u"*" : pattern.data();
    query.patternLength = pattern == u"*.*" ? 1 : static_cast<uint32_t>(pattern.size());
  }
  *outBytes = 0;
  return query_(queryContext_, query, outBytes);
}

ResultCode DirectoryEnumeration::Start() noexcept {
  if (!handle_.valid()) return RYL_E_INVALID_HANDLE;
  positioned_ = false;
  started_ = false;
  // Whatever is left of a batch belongs to the scan that is being restarted.
  batchBytes_ = 0;
  cursor_ = 0;

  alignas(8) unsigned char first[kFirstQueryBytes];
  uint32_t bytes = 0;
  const int32_t status = Query(first, kFirstQueryBytes, true, true, true, &bytes);
  if (status < 0) {
    const ResultCode mapped = sys::RylResultFromNtStatus(status);
    // No match is the end of the listing, not a failure; so is "no more
    // files", which some file systems answer for an empty directory.
    if (mapped == RYL_E_FILE_NOT_FOUND || status == kNoMoreFiles) {
      started_ = true;
      return RYL_S_NO_MORE_ITEMS;
    }
    return mapped;
  }
  if (!IsComplete(first, 0, bytes < kFirstQueryBytes ? bytes : kFirstQueryBytes)) return RYL_E_OUT_OF_RANGE;
  RYL_RETURN_IF_FAILED(ConvertRecord(*RecordAt(first, 0), &current_));
  positioned_ = true;

  ResultCode result = RYL_OK;
  if (IsFilteredOut(current_, flags_)) {
    result = MoveNext();
    if (result < 0) return result;
  }
  started_ = true;
  return result;
}

ResultCode DirectoryEnumeration::MoveNext() noexcept {
  started_ = false;
  if (!positioned_) return RYL_S_NO_MORE_ITEMS;
  for (;;) {
    const ResultCode fetched = FetchNext();
    if (fetched != RYL_OK) {
      positioned_ = false;
      return fetched;
    }
    if (!IsFilteredOut(current_, flags_)) return RYL_OK;
  }
}

ResultCode DirectoryEnumeration::FillBatch() noexcept {
  uint32_t bytes = 0;
  const int32_t status = Query(batch_.get(), kBatchBytes, false, false, false, &bytes);
  if (status < 0 && status != kBufferOverflow) {
    DropBatch();
    return status == kNoMoreFiles ? RYL_S_NO_MORE_ITEMS : sys::RylResultFromNtStatus(status);
  }
  if (bytes > kBatchBytes) bytes = kBatchBytes;

  // Keep the records up to the last complete one: an overflowing batch ends
  // in a cut record, and the chain is not followed outside what was written.
  unsigned char* buffer = batch_.get();
  if (!IsComplete(buffer, 0, bytes)) {
    DropBatch();
    return status == kBufferOverflow ? RYL_E_OUT_OF_RANGE : RYL_S_NO_MORE_ITEMS;
  }
  uint32_t offset = 0;
  for (;;) {
    auto* record = reinterpret_cast<FILE_BOTH_DIR_INFORMATION*>(buffer + offset);
    const uint32_t next = record->NextEntryOffset;
    if (next == 0) break;
    if (next < kRecordHeaderBytes || next > bytes - offset || !IsComplete(buffer, offset + next, bytes)) {
      record->NextEntryOffset = 0;
      break;
    }
    offset += next;
  }
  batchBytes_ = bytes;
  cursor_ = 0;
  return RYL_OK;
}

ResultCode DirectoryEnumeration::FetchNext() noexcept {
  if (!batch_) {
    batch_.reset(static_cast<unsigned char*>(sys::DefaultHeapAllocate(kBatchBytes)));
    if (!batch_) return RYL_E_OUT_OF_MEMORY;
    batchBytes_ = 0;
    cursor_ = 0;
  }
  if (batchBytes_ == 0) {
    const ResultCode filled = FillBatch();
    if (filled != RYL_OK) return filled;
  }
  const FILE_BOTH_DIR_INFORMATION* record = RecordAt(batch_.get(), cursor_);
  // Past the last record the next fetch queries again.
  if (record->NextEntryOffset == 0) {
    batchBytes_ = 0;
    cursor_ = 0;
  } else {
    cursor_ += record->NextEntryOffset;
  }
  return ConvertRecord(*record, &current_);
}

}  // namespace ryl::fs
