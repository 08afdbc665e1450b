#include "fs/file_system_service.h"

#include "core/entry_guard.h"
#include "core/query.h"
#include "fs/nt_path.h"
#include "fs/path_text.h"

// Operations not offered yet answer RYL_E_NOT_IMPLEMENTED with their full
// argument list declared, so that the callee still removes every argument.
namespace ryl::fs {

void* RYL_THISCALL FileSystemServiceImpl::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<FileSystemService*>(this), kTypeId, kHighestVersion, type, version,
                           outHighest);
}

uint32_t RYL_THISCALL FileSystemServiceImpl::GetTempFileNameLength() { return kTempFileNameLength; }

uint8_t RYL_THISCALL FileSystemServiceImpl::Reserved38(uint32_t, uint32_t) { return 0; }

ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumerator(const RylObjectSink*, const RylStringView*, const RylStringView*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorOnHandle(const RylObjectSink*, void*, const RylStringView*, const RylStringView*, uint32_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorObject(const ObjectReceiver*, const RylStringView*, const RylStringView*, uint32_t, const AllocatorRecord*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorObjectOnHandle(const ObjectReceiver*, void*, const RylStringView*, const RylStringView*, uint32_t, uint8_t, const AllocatorRecord*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::FindEntry(const ObjectReceiver*, const RylStringView*, const AllocatorRecord*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumerator2(const RylObjectSink*, const RylStringView*, const RylStringView*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateEnumeratorOnHandle2(const RylObjectSink*, void*, const RylStringView*, const RylStringView*, uint32_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }

ResultCode RYL_THISCALL FileSystemServiceImpl::MakeAbsolutePath(OutputBuffer* output, const RylChar16* path,
                                                               uint32_t length, const RylChar16* base,
                                                               uint32_t baseLength) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText pathText;
    PathText baseText;
    if (!FromHostText(path, length, &pathText) || !FromHostText(base, baseLength, &baseText)) {
      return RYL_E_INVALID_ARG;
    }
    return fs::MakeAbsolutePath(output, pathText, baseText);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetFullPath(OutputBuffer* output, const RylChar16* path,
                                                          uint32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    PathText pathText;
    if (!FromHostText(path, length, &pathText)) return RYL_E_INVALID_ARG;
    return fs::GetFullPath(output, pathText);
  });
}

ResultCode RYL_THISCALL FileSystemServiceImpl::GetOnDiskLongPath(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetOnDiskShortPath(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::ExpandShortNames(OutputBuffer*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetTempDirectory(OutputBuffer*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::MakeTempFileName(OutputBuffer*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetAttributes(uint64_t*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetAttributes(uint64_t, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CopyFileWithSecurity(const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint8_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CopyFile(const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::MoveFile(const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::DeleteFile(const RylChar16*, uint32_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::FileExists(const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::DirectoryExists(const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateDirectoryTree(const RylChar16*, uint32_t, uint8_t, RylSecurityObject*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateDirectory(const RylChar16*, uint32_t, RylSecurityObject*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetCreationTime(const RylChar16*, uint32_t, uint64_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetLastAccessTime(const RylChar16*, uint32_t, uint64_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetLastWriteTime(const RylChar16*, uint32_t, uint64_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetChangeTime(const RylChar16*, uint32_t, uint64_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetFileTimes4(const RylChar16*, uint32_t, uint64_t, uint64_t, uint64_t, uint64_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::SetFileTimes3(const RylChar16*, uint32_t, uint64_t, uint64_t, uint64_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetCreationTime(const RylChar16*, uint32_t, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetLastWriteTime(const RylChar16*, uint32_t, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetLastAccessTime(const RylChar16*, uint32_t, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetChangeTime(const RylChar16*, uint32_t, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileTimes4(const RylChar16*, uint32_t, uint64_t*, uint64_t*, uint64_t*, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileTimes3(const RylChar16*, uint32_t, uint64_t*, uint64_t*, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateHardLink(const RylChar16*, uint32_t, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CreateLink(const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint8_t, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::IsSolidStateVolume(void*, uint8_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::CopyDirectoryFiles(const RylChar16*, uint32_t, const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint32_t, uint32_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::MoveDirectoryFiles(const RylChar16*, uint32_t, const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint32_t, uint32_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::DeleteDirectoryFiles(const RylChar16*, uint32_t, const RylChar16*, uint32_t, uint32_t*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::RemoveDirectory(const RylChar16*, uint32_t, uint8_t, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::MoveDirectory(const RylChar16*, uint32_t, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileSize(const RylChar16*, uint32_t, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::IsNtfs(const RylChar16*, uint32_t, uint8_t*, uint8_t) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::DefineDriveLetter(const RylChar16*, uint32_t, uint32_t, RylChar16) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::RemoveDriveLetter(RylChar16) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetDiskSpace(const RylChar16*, uint32_t, uint64_t*, uint64_t*) { return RYL_E_NOT_IMPLEMENTED; }
ResultCode RYL_THISCALL FileSystemServiceImpl::GetFileIdentity(uint8_t*, uint8_t*, const RylChar16*, uint32_t) { return RYL_E_NOT_IMPLEMENTED; }

}  // namespace ryl::fs
