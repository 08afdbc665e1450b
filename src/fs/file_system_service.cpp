#include "fs/file_system_service.h"

#include <string>

#include "core/entry_guard.h"
#include "core/query.h"
#include "core/result_helpers.h"
#include "fs/directory_enumerators.h"
#include "fs/directory_operations.h"
#include "fs/file_operations.h"
#include "fs/find_entry.h"
#include "fs/nt_path.h"
#include "fs/on_disk_names.h"
#include "fs/volume_operations.h"
#include "strings/path_text.h"

namespace ryl::fs {

void* RYL_THISCALL FileSystemServiceImpl::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<FileSystemService*>(this), kTypeId, kHighestVersion, type, version,
                           outHighest);
}

uint32_t RYL_THISCALL FileSystemServiceImpl::GetTempFileNameLength() { return kTempFileNameLength; }

uint8_t RYL_THISCALL FileSystemServiceImpl::Reserved38(uint32_t, uint32_t) { return 0; }

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumerator(const RylObjectSink* sink,
                                                               const RylStringView* directory,
                                                               const RylStringView* pattern, uint32_t flags) {
  return core::GuardEntry([&]() -> ResultCode {
    ListingRequest request;
    RYL_RETURN_IF_FAILED(MakeListingRequest(directory, pattern, flags, &request));
    return CreateEnumeratorForSink(sink, request, false);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorOnHandle(const RylObjectSink* sink,
                                                                       void* directoryHandle,
                                                                       const RylStringView* directory,
                                                                       const RylStringView* pattern,
                                                                       uint32_t flags, uint8_t ownsHandle) {
  return core::GuardEntry([&]() -> ResultCode {
    ListingRequest request;
    RYL_RETURN_IF_FAILED(
        MakeListingRequestOnHandle(directoryHandle, directory, pattern, flags, ownsHandle != 0, &request));
    return CreateEnumeratorForSink(sink, request, false);
  });
}

// The allocator record of slots 3 to 5 is not used: objects live where the
// receiver's allocator says, the record their owner destroys them with.
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorObject(const ObjectReceiver* receiver,
                                                                     const RylStringView* directory,
                                                                     const RylStringView* pattern, uint32_t flags,
                                                                     const AllocatorRecord*) {
  return core::GuardEntry([&]() -> ResultCode {
    ListingRequest request;
    RYL_RETURN_IF_FAILED(MakeListingRequest(directory, pattern, flags, &request));
    return CreateHostEnumerator(receiver, request);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorObjectOnHandle(
    const ObjectReceiver* receiver, void* directoryHandle, const RylStringView* directory,
    const RylStringView* pattern, uint32_t flags, uint8_t ownsHandle, const AllocatorRecord*) {
  return core::GuardEntry([&]() -> ResultCode {
    ListingRequest request;
    RYL_RETURN_IF_FAILED(
        MakeListingRequestOnHandle(directoryHandle, directory, pattern, flags, ownsHandle != 0, &request));
    return CreateHostEnumerator(receiver, request);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::FindEntry(const ObjectReceiver* receiver, const RylStringView* path,
                                                        const AllocatorRecord*) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (path == nullptr || !strings::FromHostText(path->data, path->length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::FindEntry(receiver, pathText);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumerator2(const RylObjectSink* sink,
                                                                const RylStringView* directory,
                                                                const RylStringView* pattern, uint32_t flags) {
  return core::GuardEntry([&]() -> ResultCode {
    ListingRequest request;
    RYL_RETURN_IF_FAILED(MakeListingRequest(directory, pattern, flags, &request));
    return CreateEnumeratorForSink(sink, request, true);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorOnHandle2(const RylObjectSink* sink,
                                                                        void* directoryHandle,
                                                                        const RylStringView* directory,
                                                                        const RylStringView* pattern,
                                                                        uint32_t flags, uint8_t ownsHandle) {
  return core::GuardEntry([&]() -> ResultCode {
    ListingRequest request;
    RYL_RETURN_IF_FAILED(
        MakeListingRequestOnHandle(directoryHandle, directory, pattern, flags, ownsHandle != 0, &request));
    return CreateEnumeratorForSink(sink, request, true);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::MakeAbsolutePath(OutputBuffer* output, const RylChar16* path,
                                                               uint32_t length, const RylChar16* base,
                                                               uint32_t baseLength) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    strings::PathText baseText;
    if (!strings::FromHostText(path, length, &pathText) || !strings::FromHostText(base, baseLength, &baseText)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::MakeAbsolutePath(output, pathText, baseText);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetFullPath(OutputBuffer* output, const RylChar16* path,
                                                          uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::GetFullPath(output, pathText);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetOnDiskLongPath(OutputBuffer* output, const RylChar16* path,
                                                                uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return GetOnDiskPath(output, pathText, OnDiskNameForm::kLong);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetOnDiskShortPath(OutputBuffer* output, const RylChar16* path,
                                                                 uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return GetOnDiskPath(output, pathText, OnDiskNameForm::kShort);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::ExpandShortNames(OutputBuffer* output, const RylChar16* path,
                                                               uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path != nullptr) length = static_cast<uint32_t>(core::HostText(path, length).size());
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::ExpandShortNames(output, pathText);
  });
}
ResultCode RYL_THISCALL FileSystemServiceImpl::GetTempDirectory(OutputBuffer* output) {
  return core::GuardEntry([&]() -> ResultCode { return fs::GetTempDirectory(output); });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::MakeTempFileName(OutputBuffer* output) {
  return core::GuardEntry([&]() -> ResultCode { return fs::MakeTempFileName(output); });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetAttributes(uint64_t* outAttributes, const RylChar16* path,
                                                            uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (outAttributes == nullptr || !strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    uint32_t attributes = 0;
    RYL_RETURN_IF_FAILED(fs::GetAttributes(pathText.data(), length, &attributes));
    *outAttributes = attributes;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::SetAttributes(uint64_t attributes, const RylChar16* path,
                                                            uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::SetAttributes(pathText.data(), length, static_cast<uint32_t>(attributes));
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CopyFileWithSecurity(const RylChar16* source, uint32_t sourceLength,
                                                                   const RylChar16* target, uint32_t targetLength,
                                                                   uint8_t failIfExists, uint8_t copySecurity) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText sourceText;
    strings::PathText targetText;
    if (!strings::FromHostText(source, sourceLength, &sourceText) || !strings::FromHostText(target, targetLength, &targetText)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::CopyFile(sourceText.data(), sourceLength, targetText.data(), targetLength, failIfExists != 0,
                        copySecurity != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CopyFile(const RylChar16* source, uint32_t sourceLength,
                                                       const RylChar16* target, uint32_t targetLength,
                                                       uint8_t failIfExists) {
  return CopyFileWithSecurity(source, sourceLength, target, targetLength, failIfExists, 0);
}

ResultCode RYL_THISCALL FileSystemServiceImpl::MoveFile(const RylChar16* source, uint32_t sourceLength,
                                                       const RylChar16* target, uint32_t targetLength,
                                                       uint8_t doNotReplace) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText sourceText;
    strings::PathText targetText;
    if (!strings::FromHostText(source, sourceLength, &sourceText) || !strings::FromHostText(target, targetLength, &targetText)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::MoveFile(sourceText.data(), sourceLength, targetText.data(), targetLength, doNotReplace != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::DeleteFile(const RylChar16* path, uint32_t length, uint32_t flags) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::DeleteFile(pathText.data(), length, flags);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::FileExists(const RylChar16* path, uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::FileExists(pathText.data(), length);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::DirectoryExists(const RylChar16* path, uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::DirectoryExists(pathText.data(), length);
  });
}

namespace {

// The descriptor a security object supplies for what a call creates; null
// without an object.
const void* DescriptorOf(RylSecurityObject* security) noexcept {
  return security != nullptr ? security->GetSecurityDescriptor() : nullptr;
}

// Host text of both forms for the operations below: a null pointer only
// with length 0.
bool HostPath(const RylChar16* path, uint32_t length, strings::PathText* out) noexcept {
  return strings::FromHostText(path, length, out) && !(path == nullptr && length != 0);
}

const char16_t* Units(const RylChar16* text) noexcept { return reinterpret_cast<const char16_t*>(text); }

}  // namespace

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateDirectoryTree(const RylChar16* path, uint32_t length,
                                                                  uint8_t createParents, RylSecurityObject* security) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (path == nullptr || !HostPath(path, length, &text)) return RYL_E_INVALID_ARG;
    return fs::CreateDirectoryTree(Units(path), length, createParents != 0, DescriptorOf(security));
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateDirectory(const RylChar16* path, uint32_t length,
                                                              RylSecurityObject* security) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (path == nullptr || !HostPath(path, length, &text)) return RYL_E_INVALID_ARG;
    return fs::CreateDirectory(Units(path), length, DescriptorOf(security));
  });
}
namespace {

ResultCode SetTimes(const RylChar16* path, uint32_t length, const FileTimes& times, bool attributesOnly) noexcept {
  strings::PathText pathText;
  if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
  return fs::SetFileTimes(pathText.data(), length, times, attributesOnly);
}

// Null outputs are simply not written; all of them stay untouched on failure.
ResultCode GetTimes(const RylChar16* path, uint32_t length, uint64_t* creation, uint64_t* lastWrite,
                    uint64_t* lastAccess, uint64_t* change) noexcept {
  strings::PathText pathText;
  if (!strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
  FileTimes times{};
  RYL_RETURN_IF_FAILED(fs::GetFileTimes(pathText.data(), length, &times));
  if (creation != nullptr) *creation = times.creation;
  if (lastWrite != nullptr) *lastWrite = times.lastWrite;
  if (lastAccess != nullptr) *lastAccess = times.lastAccess;
  if (change != nullptr) *change = times.change;
  return RYL_OK;
}

}  // namespace

ResultCode RYL_THISCALL FileSystemServiceImpl::SetCreationTime(const RylChar16* path, uint32_t length, uint64_t time,
                                                              uint8_t attributesOnlyAccess) {
  return core::GuardEntry([&]() -> ResultCode {
    return SetTimes(path, length, {time, kTimeUnchanged, kTimeUnchanged, kTimeUnchanged}, attributesOnlyAccess != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::SetLastAccessTime(const RylChar16* path, uint32_t length,
                                                                uint64_t time, uint8_t attributesOnlyAccess) {
  return core::GuardEntry([&]() -> ResultCode {
    return SetTimes(path, length, {kTimeUnchanged, time, kTimeUnchanged, kTimeUnchanged}, attributesOnlyAccess != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::SetLastWriteTime(const RylChar16* path, uint32_t length,
                                                               uint64_t time, uint8_t attributesOnlyAccess) {
  return core::GuardEntry([&]() -> ResultCode {
    return SetTimes(path, length, {kTimeUnchanged, kTimeUnchanged, time, kTimeUnchanged}, attributesOnlyAccess != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::SetChangeTime(const RylChar16* path, uint32_t length, uint64_t time) {
  return core::GuardEntry([&]() -> ResultCode {
    return SetTimes(path, length, {kTimeUnchanged, kTimeUnchanged, kTimeUnchanged, time}, false);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::SetFileTimes4(const RylChar16* path, uint32_t length,
                                                            uint64_t creation, uint64_t lastAccess, uint64_t lastWrite,
                                                            uint64_t change) {
  return core::GuardEntry(
      [&]() -> ResultCode { return SetTimes(path, length, {creation, lastAccess, lastWrite, change}, false); });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::SetFileTimes3(const RylChar16* path, uint32_t length,
                                                            uint64_t creation, uint64_t lastAccess, uint64_t lastWrite,
                                                            uint8_t attributesOnlyAccess) {
  return core::GuardEntry([&]() -> ResultCode {
    return SetTimes(path, length, {creation, lastAccess, lastWrite, kTimeUnchanged}, attributesOnlyAccess != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetCreationTime(const RylChar16* path, uint32_t length,
                                                              uint64_t* outTime) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outTime == nullptr) return RYL_E_INVALID_ARG;
    return GetTimes(path, length, outTime, nullptr, nullptr, nullptr);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetLastWriteTime(const RylChar16* path, uint32_t length,
                                                               uint64_t* outTime) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outTime == nullptr) return RYL_E_INVALID_ARG;
    return GetTimes(path, length, nullptr, outTime, nullptr, nullptr);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetLastAccessTime(const RylChar16* path, uint32_t length,
                                                                uint64_t* outTime) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outTime == nullptr) return RYL_E_INVALID_ARG;
    return GetTimes(path, length, nullptr, nullptr, outTime, nullptr);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetChangeTime(const RylChar16* path, uint32_t length,
                                                            uint64_t* outTime) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outTime == nullptr) return RYL_E_INVALID_ARG;
    return GetTimes(path, length, nullptr, nullptr, nullptr, outTime);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileTimes4(const RylChar16* path, uint32_t length,
                                                            uint64_t* outCreation, uint64_t* outLastWrite,
                                                            uint64_t* outLastAccess, uint64_t* outChange) {
  return core::GuardEntry([&]() -> ResultCode {
    return GetTimes(path, length, outCreation, outLastWrite, outLastAccess, outChange);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileTimes3(const RylChar16* path, uint32_t length,
                                                            uint64_t* outCreation, uint64_t* outLastWrite,
                                                            uint64_t* outLastAccess) {
  return core::GuardEntry([&]() -> ResultCode {
    return GetTimes(path, length, outCreation, outLastWrite, outLastAccess, nullptr);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateHardLink(const RylChar16* existing, uint32_t existingLength,
                                                             const RylChar16* link, uint32_t linkLength) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText existingText;
    strings::PathText linkText;
    if (!strings::FromHostText(existing, existingLength, &existingText) || !strings::FromHostText(link, linkLength, &linkText)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::CreateHardLink(existingText.data(), existingLength, linkText.data(), linkLength);
  });
}
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateLink(const RylChar16* target, uint32_t targetLength,
                                                         const RylChar16* link, uint32_t linkLength,
                                                         uint8_t isDirectory, uint8_t forceJunction) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText targetText;
    strings::PathText linkText;
    if (target == nullptr || link == nullptr || !HostPath(target, targetLength, &targetText) ||
        !HostPath(link, linkLength, &linkText)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::CreateLink(Units(target), targetLength, Units(link), linkLength, isDirectory != 0, forceJunction != 0);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::IsSolidStateVolume(void* volumeHandle, uint8_t* outIsSolidState) {
  return core::GuardEntry([&] { return fs::IsSolidStateVolume(volumeHandle, outIsSolidState); });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::CopyDirectoryFiles(const RylChar16* source, uint32_t sourceLength,
                                                                 const RylChar16* target, uint32_t targetLength,
                                                                 const RylChar16* pattern, uint32_t patternLength,
                                                                 uint32_t collisionMode, uint32_t* outCount) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (!HostPath(source, sourceLength, &text) || !HostPath(target, targetLength, &text) ||
        !HostPath(pattern, patternLength, &text)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::CopyDirectoryFiles(Units(source), sourceLength, Units(target), targetLength, Units(pattern),
                                  patternLength, collisionMode, outCount);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::MoveDirectoryFiles(const RylChar16* source, uint32_t sourceLength,
                                                                 const RylChar16* target, uint32_t targetLength,
                                                                 const RylChar16* pattern, uint32_t patternLength,
                                                                 uint32_t flags, uint32_t* outCount) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (!HostPath(source, sourceLength, &text) || !HostPath(target, targetLength, &text) ||
        !HostPath(pattern, patternLength, &text)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::MoveDirectoryFiles(Units(source), sourceLength, Units(target), targetLength, Units(pattern),
                                  patternLength, flags, outCount);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::DeleteDirectoryFiles(const RylChar16* directory,
                                                                   uint32_t directoryLength,
                                                                   const RylChar16* pattern, uint32_t patternLength,
                                                                   uint32_t* outCount, uint32_t deleteFlags) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (!HostPath(directory, directoryLength, &text) || !HostPath(pattern, patternLength, &text)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::DeleteDirectoryFiles(Units(directory), directoryLength, Units(pattern), patternLength, outCount,
                                    deleteFlags);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::RemoveDirectory(const RylChar16* path, uint32_t length,
                                                              uint8_t recursive, uint32_t deleteFlags) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (path == nullptr || !HostPath(path, length, &text)) return RYL_E_INVALID_ARG;
    return fs::RemoveDirectory(Units(path), length, recursive != 0, deleteFlags);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::MoveDirectory(const RylChar16* source, uint32_t sourceLength,
                                                            const RylChar16* target, uint32_t targetLength) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (source == nullptr || target == nullptr || !HostPath(source, sourceLength, &text) ||
        !HostPath(target, targetLength, &text)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::MoveDirectory(Units(source), sourceLength, Units(target), targetLength);
  });
}
ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileSize(const RylChar16* path, uint32_t length,
                                                          uint64_t* outSize) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText pathText;
    if (outSize == nullptr || !strings::FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::GetFileSize(pathText.data(), length, outSize);
  });
}
ResultCode RYL_THISCALL FileSystemServiceImpl::IsNtfs(const RylChar16* path, uint32_t length, uint8_t* outIsNtfs,
                                                     uint8_t fixedOnly) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (path == nullptr || !HostPath(path, length, &text)) return RYL_E_INVALID_ARG;
    return fs::IsNtfs(Units(path), length, fixedOnly != 0, outIsNtfs);
  });
}

// The second argument is accepted and not used.
ResultCode RYL_THISCALL FileSystemServiceImpl::DefineDriveLetter(const RylChar16* target, uint32_t targetLength,
                                                                uint32_t, RylChar16 driveLetter) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (target == nullptr || !HostPath(target, targetLength, &text)) return RYL_E_INVALID_ARG;
    return fs::DefineDriveLetter(Units(target), targetLength, static_cast<char16_t>(driveLetter));
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::RemoveDriveLetter(RylChar16 driveLetter) {
  return core::GuardEntry([&] { return fs::RemoveDriveLetter(static_cast<char16_t>(driveLetter)); });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetDiskSpace(const RylChar16* path, uint32_t length,
                                                           uint64_t* outTotalBytes, uint64_t* outAvailableBytes) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (path == nullptr || !HostPath(path, length, &text)) return RYL_E_INVALID_ARG;
    return fs::GetDiskSpace(Units(path), length, outTotalBytes, outAvailableBytes);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileIdentity(uint8_t* outVolumeId, uint8_t* outFileId,
                                                              const RylChar16* path, uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    strings::PathText text;
    if (path == nullptr || !HostPath(path, length, &text)) return RYL_E_INVALID_ARG;
    return fs::GetFileIdentity(outVolumeId, outFileId, Units(path), length);
  });
}

}  // namespace ryl::fs
