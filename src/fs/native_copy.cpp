#include "fs/native_copy.h"

#include "core/result_helpers.h"
#include "fs/native_file.h"
#include "sys/environment.h"
#include "sys/heap_bytes.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ACCESS_MASK kSourceAccess = SYNCHRONIZE | READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_READ_EA | FILE_READ_DATA;
constexpr ACCESS_MASK kTargetAccess =
    GENERIC_WRITE | DELETE | SYNCHRONIZE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
// Room for the descriptors files usually carry; larger ones are asked again.
constexpr uint32_t kFirstDescriptorBytes = 512;
// The block is a whole number of pages, allocated once per copy. At one page
// per read and write the cost of each native call dominates: a 256 MiB copy
// ran at half the speed of the platform's CopyFileW. At 64 pages it keeps
// pace with it (bench/copy_bench.cpp).
constexpr uint32_t kBlockPages = 64;

// The source's descriptor as the native layer reports it, sized to fit.
NTSTATUS QueryDescriptor(HANDLE file, SECURITY_INFORMATION parts, sys::HeapBytes* out) noexcept {
  if (!out->Allocate(kFirstDescriptorBytes)) return STATUS_NO_MEMORY;
  // A descriptor that keeps growing between the calls is the only way round
  // more than twice.
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = ZwQuerySecurityObject(file, parts, out->data(), out->size(), &needed);
    if (status != STATUS_BUFFER_TOO_SMALL || needed <= out->size()) return status;
    if (!out->Allocate(needed)) return STATUS_NO_MEMORY;
  }
  return STATUS_BUFFER_TOO_SMALL;
}

NTSTATUS ReadSourceDescriptor(HANDLE source, sys::HeapBytes* out) noexcept {
  SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
  if (sys::RylEnvironment::OsInfo::IsWindowsVistaOrHigher()) parts |= LABEL_SECURITY_INFORMATION;
  const NTSTATUS status = QueryDescriptor(source, parts, out);
  if (status != STATUS_ACCESS_DENIED) return status;
  // Without the right to read the system list.
  return QueryDescriptor(source, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                         out);
}

// A target that must not outlive a failed copy. Deletion goes through the
// copy's own handle (delete-on-close) when it was opened with DELETE, and
// otherwise by name once that handle is closed.
class PartialTarget {
 public:
  PartialTarget(sys::ScopedHandle* file, const UNICODE_STRING& name, bool openedForDelete) noexcept
      : file_(file), name_(name), openedForDelete_(openedForDelete) {}
  ~PartialTarget() {
    if (kept_) return;
    const bool marked = openedForDelete_ && NT_SUCCESS(MarkForDeletion(file_->get()));
    file_->reset();
    if (!marked) (void)DeleteNtFile(name_, kShareAll, true);
  }
  PartialTarget(const PartialTarget&) = delete;
  PartialTarget& operator=(const PartialTarget&) = delete;

  void Keep() noexcept { kept_ = true; }

 private:
  sys::ScopedHandle* file_;
  const UNICODE_STRING& name_;
  bool openedForDelete_;
  bool kept_ = false;
};

NTSTATUS CreateTarget(sys::ScopedHandle* out, const UNICODE_STRING& name, void* descriptor, uint64_t size,
                      bool failIfExists, bool* outOpenedForDelete) noexcept {
  const ULONG disposition = failIfExists ? FILE_CREATE : FILE_SUPERSEDE;
  LARGE_INTEGER allocation;
  allocation.QuadPart = static_cast<LONGLONG>(size);
  NTSTATUS status = STATUS_UNSUCCESSFUL;
  for (const ACCESS_MASK access : {kTargetAccess, kTargetAccess & ~static_cast<ACCESS_MASK>(DELETE)}) {
    NativeObjectAttributes attributes(name, descriptor);
    IO_STATUS_BLOCK iosb{};
    HANDLE handle = nullptr;
    status = ZwCreateFile(&handle, access, attributes.get(), &iosb, &allocation, FILE_ATTRIBUTE_NORMAL, 0, disposition,
                          FILE_SYNCHRONOUS_IO_NONALERT | FILE_SEQUENTIAL_ONLY, nullptr, 0);
    if (NT_SUCCESS(status)) {
      out->reset(handle);
      *outOpenedForDelete = (access & DELETE) != 0;
      return status;
    }
    // Some file systems and shares refuse DELETE on a new file.
    if (status != STATUS_ACCESS_DENIED && status != kStatusInvalidParameter) return status;
  }
  return status;
}

// Reads at the running offset and writes what was read at the same offset
// until size bytes are through. A source that shrank meanwhile fails the
// copy at its new end, as any other read failure does.
NTSTATUS CopyBlocks(HANDLE source, HANDLE target, uint64_t size, sys::HeapBytes* block) noexcept {
  uint64_t offset = 0;
  while (offset < size) {
    const uint64_t left = size - offset;
    const ULONG want = left < block->size() ? static_cast<ULONG>(left) : block->size();
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    IO_STATUS_BLOCK iosb{};
    NTSTATUS status = ZwReadFile(source, nullptr, nullptr, nullptr, &iosb, block->data(), want, &at, nullptr);
    if (!NT_SUCCESS(status)) return status;
    const ULONG got = static_cast<ULONG>(iosb.Information);
    if (got == 0) return STATUS_END_OF_FILE;
    ULONG written = 0;
    while (written < got) {
      at.QuadPart = static_cast<LONGLONG>(offset + written);
      IO_STATUS_BLOCK writeStatus{};
      status = ZwWriteFile(target, nullptr, nullptr, nullptr, &writeStatus, block->data() + written, got - written, &at,
                           nullptr);
      if (!NT_SUCCESS(status)) return status;
      if (writeStatus.Information == 0) return STATUS_DISK_FULL;
      written += static_cast<ULONG>(writeStatus.Information);
    }
    offset += got;
  }
  return STATUS_SUCCESS;
}

}  // namespace

ResultCode CopyNtFileNatively(const UNICODE_STRING& source, const UNICODE_STRING& target, bool failIfExists,
                              bool copySecurity) noexcept {
  sys::ScopedHandle in;
  constexpr ULONG kSourceOptions = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
  NTSTATUS status = OpenNativeFile(&in, source, copySecurity ? kSourceAccess | ACCESS_SYSTEM_SECURITY : kSourceAccess,
                                   kShareAll, kSourceOptions);
  if (status == STATUS_PRIVILEGE_NOT_HELD) {
    // Without the privilege that reading the system list needs.
    status = OpenNativeFile(&in, source, kSourceAccess, kShareAll, kSourceOptions);
  }
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  FILE_STANDARD_INFORMATION standard{};
  status = QueryStandardInformation(in.get(), &standard);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  // Refused before a target is made: superseding an existing target only to
  // delete it again would lose that file for nothing.
  if (standard.Directory) return sys::RylResultFromNtStatus(STATUS_FILE_IS_A_DIRECTORY);
  const uint64_t size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);

  sys::HeapBytes descriptor;
  if (copySecurity) {
    status = ReadSourceDescriptor(in.get(), &descriptor);
    if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  }
  sys::HeapBytes block;
  const uint32_t pageSize = sys::RylEnvironment::GetPageSize();
  if (!block.Allocate((pageSize != 0 ? pageSize : 4096) * kBlockPages)) return RYL_E_OUT_OF_MEMORY;

  sys::ScopedHandle out;
  bool openedForDelete = false;
  status = CreateTarget(&out, target, copySecurity ? descriptor.data() : nullptr, size, failIfExists, &openedForDelete);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  PartialTarget partial(&out, target, openedForDelete);

  status = CopyBlocks(in.get(), out.get(), size, &block);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);

  FILE_BASIC_INFORMATION times{};
  status = QueryBasicInformation(in.get(), &times);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  // The copy keeps its own creation and change times.
  times.CreationTime.QuadPart = kKeepTime;
  times.ChangeTime.QuadPart = kKeepTime;
  status = SetBasicInformation(out.get(), times);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  partial.Keep();
  return RYL_OK;
}

}  // namespace ryl::fs
