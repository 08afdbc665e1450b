// The FileSystemService table embedded in the root. It has no state and no
// reference count of its own; it lives as long as the root does.
#pragma once

#include "ryl/file_system_service.h"
#include "sys/temp_name.h"

namespace ryl::fs {

class FileSystemServiceImpl : public FileSystemService {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_FILE_SYSTEM_SERVICE;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_FILE_SYSTEM_SERVICE;
  static constexpr uint32_t kTempFileNameLength = sys::kRylTempFileNameLength;

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL CreateEnumerator(const RylObjectSink* sink, const RylStringView* directory, const RylStringView* pattern, uint32_t flags) override;
  ResultCode RYL_THISCALL CreateEnumeratorOnHandle(const RylObjectSink* sink, void* directoryHandle, const RylStringView* directory, const RylStringView* pattern, uint32_t flags, uint8_t ownsHandle) override;
  ResultCode RYL_THISCALL CreateEnumeratorObject(const ObjectReceiver* receiver, const RylStringView* directory, const RylStringView* pattern, uint32_t flags, const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL CreateEnumeratorObjectOnHandle(const ObjectReceiver* receiver, void* directoryHandle, const RylStringView* directory, const RylStringView* pattern, uint32_t flags, uint8_t ownsHandle, const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL FindEntry(const ObjectReceiver* receiver, const RylStringView* path, const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL CreateEnumerator2(const RylObjectSink* sink, const RylStringView* directory, const RylStringView* pattern, uint32_t flags) override;
  ResultCode RYL_THISCALL CreateEnumeratorOnHandle2(const RylObjectSink* sink, void* directoryHandle, const RylStringView* directory, const RylStringView* pattern, uint32_t flags, uint8_t ownsHandle) override;
  ResultCode RYL_THISCALL MakeAbsolutePath(OutputBuffer* output, const RylChar16* path, uint32_t length, const RylChar16* base, uint32_t baseLength) override;
  ResultCode RYL_THISCALL GetFullPath(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetOnDiskLongPath(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetOnDiskShortPath(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL ExpandShortNames(OutputBuffer* output, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL GetTempDirectory(OutputBuffer* output) override;
  uint32_t RYL_THISCALL GetTempFileNameLength() override;
  ResultCode RYL_THISCALL MakeTempFileName(OutputBuffer* output) override;
  ResultCode RYL_THISCALL GetAttributes(uint64_t* outAttributes, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL SetAttributes(uint64_t attributes, const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL CopyFileWithSecurity(const RylChar16* source, uint32_t sourceLength, const RylChar16* target, uint32_t targetLength, uint8_t failIfExists, uint8_t copySecurity) override;
  ResultCode RYL_THISCALL CopyFile(const RylChar16* source, uint32_t sourceLength, const RylChar16* target, uint32_t targetLength, uint8_t failIfExists) override;
  ResultCode RYL_THISCALL MoveFile(const RylChar16* source, uint32_t sourceLength, const RylChar16* target, uint32_t targetLength, uint8_t doNotReplace) override;
  ResultCode RYL_THISCALL DeleteFile(const RylChar16* path, uint32_t length, uint32_t flags) override;
  ResultCode RYL_THISCALL FileExists(const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL DirectoryExists(const RylChar16* path, uint32_t length) override;
  ResultCode RYL_THISCALL CreateDirectoryTree(const RylChar16* path, uint32_t length, uint8_t createParents, RylSecurityObject* security) override;
  ResultCode RYL_THISCALL CreateDirectory(const RylChar16* path, uint32_t length, RylSecurityObject* security) override;
  ResultCode RYL_THISCALL SetCreationTime(const RylChar16* path, uint32_t length, uint64_t time, uint8_t attributesOnlyAccess) override;
  ResultCode RYL_THISCALL SetLastAccessTime(const RylChar16* path, uint32_t length, uint64_t time, uint8_t attributesOnlyAccess) override;
  ResultCode RYL_THISCALL SetLastWriteTime(const RylChar16* path, uint32_t length, uint64_t time, uint8_t attributesOnlyAccess) override;
  ResultCode RYL_THISCALL SetChangeTime(const RylChar16* path, uint32_t length, uint64_t time) override;
  ResultCode RYL_THISCALL SetFileTimes4(const RylChar16* path, uint32_t length, uint64_t creation, uint64_t lastAccess, uint64_t lastWrite, uint64_t change) override;
  ResultCode RYL_THISCALL SetFileTimes3(const RylChar16* path, uint32_t length, uint64_t creation, uint64_t lastAccess, uint64_t lastWrite, uint8_t attributesOnlyAccess) override;
  ResultCode RYL_THISCALL GetCreationTime(const RylChar16* path, uint32_t length, uint64_t* outTime) override;
  ResultCode RYL_THISCALL GetLastWriteTime(const RylChar16* path, uint32_t length, uint64_t* outTime) override;
  ResultCode RYL_THISCALL GetLastAccessTime(const RylChar16* path, uint32_t length, uint64_t* outTime) override;
  ResultCode RYL_THISCALL GetChangeTime(const RylChar16* path, uint32_t length, uint64_t* outTime) override;
  ResultCode RYL_THISCALL GetFileTimes4(const RylChar16* path, uint32_t length, uint64_t* outCreation, uint64_t* outLastWrite, uint64_t* outLastAccess, uint64_t* outChange) override;
  ResultCode RYL_THISCALL GetFileTimes3(const RylChar16* path, uint32_t length, uint64_t* outCreation, uint64_t* outLastWrite, uint64_t* outLastAccess) override;
  uint8_t RYL_THISCALL Reserved38(uint32_t first, uint32_t second) override;
  ResultCode RYL_THISCALL CreateHardLink(const RylChar16* existing, uint32_t existingLength, const RylChar16* link, uint32_t linkLength) override;
  ResultCode RYL_THISCALL CreateLink(const RylChar16* target, uint32_t targetLength, const RylChar16* link, uint32_t linkLength, uint8_t isDirectory, uint8_t forceJunction) override;
  ResultCode RYL_THISCALL IsSolidStateVolume(void* volumeHandle, uint8_t* outIsSolidState) override;
  ResultCode RYL_THISCALL CopyDirectoryFiles(const RylChar16* source, uint32_t sourceLength, const RylChar16* target, uint32_t targetLength, const RylChar16* pattern, uint32_t patternLength, uint32_t collisionMode, uint32_t* outCount) override;
  ResultCode RYL_THISCALL MoveDirectoryFiles(const RylChar16* source, uint32_t sourceLength, const RylChar16* target, uint32_t targetLength, const RylChar16* pattern, uint32_t patternLength, uint32_t flags, uint32_t* outCount) override;
  ResultCode RYL_THISCALL DeleteDirectoryFiles(const RylChar16* directory, uint32_t directoryLength, const RylChar16* pattern, uint32_t patternLength, uint32_t* outCount, uint32_t deleteFlags) override;
  ResultCode RYL_THISCALL RemoveDirectory(const RylChar16* path, uint32_t length, uint8_t recursive, uint32_t deleteFlags) override;
  ResultCode RYL_THISCALL MoveDirectory(const RylChar16* source, uint32_t sourceLength, const RylChar16* target, uint32_t targetLength) override;
  ResultCode RYL_THISCALL GetFileSize(const RylChar16* path, uint32_t length, uint64_t* outSize) override;
  ResultCode RYL_THISCALL IsNtfs(const RylChar16* path, uint32_t length, uint8_t* outIsNtfs, uint8_t fixedDisksOnly) override;
  ResultCode RYL_THISCALL DefineDriveLetter(const RylChar16* target, uint32_t targetLength, uint32_t ignored, RylChar16 driveLetter) override;
  ResultCode RYL_THISCALL RemoveDriveLetter(RylChar16 driveLetter) override;
  ResultCode RYL_THISCALL GetDiskSpace(const RylChar16* path, uint32_t length, uint64_t* outTotalBytes, uint64_t* outAvailableBytes) override;
  ResultCode RYL_THISCALL GetFileIdentity(uint8_t* outVolumeId, uint8_t* outFileId, const RylChar16* path, uint32_t length) override;
};

}  // namespace ryl::fs
