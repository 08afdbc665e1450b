#include "fs/temp_file_stream.h"

#include <cstring>

#include "core/entry_guard.h"
#include "core/growable_buffer.h"
#include "fs/file_operations.h"
#include "strings/path_text.h"
#include "sys/dos_path_conversion.h"
#include "sys/guid_utils.h"
#include "sys/native_api.h"
#include "sys/native_object_attributes.h"
#include "sys/result_codes.h"
#include "sys/scoped_handle.h"
#include "sys/scoped_unicode_string.h"

// windows.h maps MoveFile to MoveFileW; here it is the library's own.
#undef MoveFile

namespace ryl::fs {
namespace {

constexpr ACCESS_MASK kTempAccess = GENERIC_READ | GENERIC_WRITE | DELETE | SYNCHRONIZE;
constexpr ULONG kTempOptions = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;

ResultCode CreateNamed(const std::u16string& path, ULONG disposition, ULONG attributes, HANDLE* out,
                       NTSTATUS* outStatus = nullptr) {
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(path.c_str(), name.Receive()));
  sys::NativeObjectAttributes objectAttributes(name.get());
  IO_STATUS_BLOCK iosb{};
  const NTSTATUS status = NtCreateFile(out, kTempAccess, objectAttributes.get(), &iosb, nullptr, attributes, 0,
                                       disposition, kTempOptions, nullptr, 0);
  if (outStatus != nullptr) *outStatus = status;
  return sys::RylResultFromNtStatus(status);
}

ResultCode WriteBytes(SeekableStream* writer, const void* data, uint32_t size) {
  uint32_t done = 0;
  RYL_RETURN_IF_FAILED(writer->Write(data, size, &done));
  return done == size ? RYL_OK : RYL_E_END_OF_DATA;
}
ResultCode ReadBytes(SeekableStream* reader, void* data, uint32_t size) {
  uint32_t done = 0;
  RYL_RETURN_IF_FAILED(reader->Read(data, size, &done));
  return done == size ? RYL_OK : RYL_E_END_OF_DATA;
}

}  // namespace

ResultCode SetDeleteOnClose(void* handle, bool deleteOnClose) noexcept {
  BOOLEAN flag = deleteOnClose ? TRUE : FALSE;
  IO_STATUS_BLOCK iosb{};
  return sys::RylResultFromNtStatus(NtSetInformationFile(static_cast<HANDLE>(handle), &iosb, &flag, sizeof flag,
                                        FileDispositionInformation));
}

ResultCode TempFileStream::Create() noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    if (IsOpen()) (void)Close();
    kept_ = false;
    exported_ = false;

    core::GrowableBuffer<char16_t> directory;
    RYL_RETURN_IF_FAILED(GetTempDirectory(directory.Output()));
    const strings::PathText directoryText(directory.data(), directory.size());

    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
      char16_t name[kTempFileNameLength];
      RYL_RETURN_IF_FAILED(sys::RylMakeTempFileName(name));
      core::GrowableBuffer<char16_t> full;
      RYL_RETURN_IF_FAILED(strings::CombinePaths(full.Output(), directoryText, strings::PathText(name, kTempFileNameLength)));
      std::u16string path(full.data(), full.size());

      HANDLE handle = nullptr;
      NTSTATUS status = STATUS_SUCCESS;
      const ResultCode created = CreateNamed(path, FILE_CREATE, FILE_ATTRIBUTE_TEMPORARY, &handle, &status);
      if (created < 0) {
        // Only a name that is taken is worth another identifier; anything
        // else (a missing or read-only directory) would fail every time.
        if (status == STATUS_OBJECT_NAME_COLLISION) continue;
        return created;
      }
      sys::ScopedFileHandle owned(handle);
      RYL_RETURN_IF_FAILED(SetDeleteOnClose(handle, true));
      Adopt(std::move(owned), kAccessRead | kAccessWrite, false);
      path_ = std::move(path);
      const ResultCode truncated = SetSize(0);
      if (truncated < 0) {
        (void)Close();
        return truncated;
      }
      return RYL_OK;
    }
    return RYL_E_ALREADY_EXISTS;
  });
}

ResultCode TempFileStream::Reopen(const std::u16string& path, uint32_t attributes, bool deleteOnClose) noexcept {
  HANDLE handle = nullptr;
  RYL_RETURN_IF_FAILED(CreateNamed(path, FILE_OPEN, attributes, &handle));
  sys::ScopedFileHandle owned(handle);
  if (deleteOnClose) RYL_RETURN_IF_FAILED(SetDeleteOnClose(handle, true));
  Adopt(std::move(owned), kAccessRead | kAccessWrite, false);
  return RYL_OK;
}

ResultCode TempFileStream::Keep(const char16_t* targetPath) noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    if (exported_) return RYL_E_INVALID_STATE;
    if (targetPath == nullptr) return RYL_E_INVALID_ARG;
    if (!IsOpen()) return RYL_E_INVALID_HANDLE;
    const std::u16string target(targetPath);

    sys::ScopedRtlUnicodeString name;
    RYL_RETURN_IF_FAILED(sys::RylNtdll_RtlDosPathNameToNtPathName_T_EliminateDosDevice(target.c_str(), name.Receive()));
    const ULONG nameBytes = name.get().Length;
    std::string record(offsetof(FILE_RENAME_INFORMATION, FileName) + nameBytes, '\0');
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(record.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = nameBytes;
    std::memcpy(rename->FileName, name.data(), nameBytes);

    RYL_RETURN_IF_FAILED(SetDeleteOnClose(file_handle(), false));
    IO_STATUS_BLOCK iosb{};
    const NTSTATUS status =
        NtSetInformationFile(static_cast<HANDLE>(file_handle()), &iosb, rename, static_cast<ULONG>(record.size()),
                             FileRenameInformation);
    if (status == STATUS_NOT_SAME_DEVICE) {
      (void)Close();
      const ResultCode moved = MoveFile(path_.data(), static_cast<uint32_t>(path_.size()), target.data(),
                                        static_cast<uint32_t>(target.size()), false);
      if (moved < 0) {
        // The data is still in the temporary file: hand it back usable.
        const ResultCode reopened = Reopen(path_, FILE_ATTRIBUTE_TEMPORARY, true);
        return reopened < 0 ? reopened : moved;
      }
      RYL_RETURN_IF_FAILED(Reopen(target, 0, false));
    } else if (status != STATUS_SUCCESS) {
      (void)SetDeleteOnClose(file_handle(), true);
      return sys::RylResultFromNtStatus(status);
    }
    path_ = target;
    kept_ = true;

    FILE_BASIC_INFORMATION basic{};
    NTSTATUS attributeStatus = NtQueryInformationFile(static_cast<HANDLE>(file_handle()), &iosb, &basic,
                                                      sizeof basic,
                                                      FileBasicInformation);
    if (attributeStatus == STATUS_SUCCESS) {
      basic.FileAttributes &= ~FILE_ATTRIBUTE_TEMPORARY;
      if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      attributeStatus = NtSetInformationFile(static_cast<HANDLE>(file_handle()), &iosb, &basic, sizeof basic,
                                             FileBasicInformation);
    }
    if (attributeStatus != STATUS_SUCCESS) {
      const auto code = static_cast<uint32_t>(sys::RylResultFromNtStatus(attributeStatus));
      return static_cast<ResultCode>((code & 0x3FFFFFFFu) | 0x40000000u);
    }
    return RYL_OK;
  });
}

void RYL_THISCALL TempFileStream::Destroy(const AllocatorRecord* allocator) {
  core::DestroyPlainObject(this, allocator);
}

ResultCode RYL_THISCALL TempFileStream::SaveState(SeekableStream* writer, RylHandleMarshaller* marshaller) {
  return core::GuardEntry([&]() -> ResultCode {
    RYL_RETURN_IF_FAILED(SaveCommonState(writer, marshaller, kStateMarker));
    const uint64_t length = path_.size();
    RYL_RETURN_IF_FAILED(WriteBytes(writer, &length, 8));
    RYL_RETURN_IF_FAILED(WriteBytes(writer, path_.data(), static_cast<uint32_t>(length * 2)));
    const uint8_t kept = kept_ ? 1 : 0;
    RYL_RETURN_IF_FAILED(WriteBytes(writer, &kept, 1));
    // Another process may now own the file: keeping it here would race it.
    exported_ = true;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL TempFileStream::LoadState(SeekableStream* reader, RylHandleMarshaller* marshaller) {
  return core::GuardEntry([&]() -> ResultCode {
    RYL_RETURN_IF_FAILED(LoadCommonState(reader, marshaller, kStateMarker));
    uint64_t length = 0;
    ResultCode rc = ReadBytes(reader, &length, 8);
    // A path longer than any the native layer accepts is not a real state.
    if (rc >= 0 && length > 0x7FFF) rc = RYL_E_INVALID_DATA;
    std::u16string path(rc >= 0 ? static_cast<size_t>(length) : 0, u'\0');
    if (rc >= 0) rc = ReadBytes(reader, path.data(), static_cast<uint32_t>(length * 2));
    uint8_t kept = 0;
    if (rc >= 0) rc = ReadBytes(reader, &kept, 1);
    if (rc >= 0 && kept > 1) rc = RYL_E_INVALID_DATA;
    if (rc < 0) {
      (void)Close();
      return rc;
    }
    path_ = std::move(path);
    kept_ = kept != 0;
    exported_ = true;
    return RYL_OK;
  });
}

}  // namespace ryl::fs
