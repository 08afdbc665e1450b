// Volume queries, drive letters and identities.
#include <cstring>

#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/native_file.h"
#include "fs/nt_path.h"
#include "fs/volume_operations.h"
#include "sys/codec/mini_hash.h"
#include "sys/heap_bytes.h"
#include "sys/kernel32_functions.h"
#include "sys/result_codes.h"

namespace ryl::fs {
namespace {

constexpr ULONG kGetVolumeDiskExtents = 0x00560000;
constexpr ULONG kAtaPassThrough = 0x0004D02C;
constexpr ULONG kCreateOrGetObjectId = 0x000900C0;
constexpr ULONG kDeviceDisk = 7;  // FILE_DEVICE_DISK
constexpr ULONG kRemovableMedia = 0x1;
constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
constexpr uint32_t kIdentitySize = 16;

// The volume's disk extents, as the control writes them on a 32-bit system.
struct DiskExtent {
  uint32_t diskNumber;
  uint32_t padding;
  int64_t startingOffset;
  int64_t extentLength;
};
static_assert(sizeof(DiskExtent) == 24, "DISK_EXTENT");

// ATA_PASS_THROUGH_EX of a 32-bit process, followed by one sector.
struct AtaIdentify {
  uint16_t length;
  uint16_t ataFlags;
  uint8_t pathId;
  uint8_t targetId;
  uint8_t lun;
  uint8_t reserved1;
  uint32_t dataTransferLength;
  uint32_t timeOutValue;
  uint32_t reserved2;
  uint32_t dataBufferOffset;
  uint8_t previousTaskFile[8];
  uint8_t currentTaskFile[8];
  uint8_t data[512];
};
static_assert(offsetof(AtaIdentify, data) == 40, "ATA_PASS_THROUGH_EX is 40 bytes on a 32-bit system");

constexpr uint16_t kAtaDriveReadyRequired = 0x1;
constexpr uint16_t kAtaDataIn = 0x2;
constexpr uint8_t kIdentifyDevice = 0xEC;

uint16_t IdentifyWord(const AtaIdentify& identify, uint32_t word) noexcept {
  return static_cast<uint16_t>(identify.data[2 * word] | (identify.data[2 * word + 1] << 8));
}

// One physical disk: true when it answers IDENTIFY DEVICE as a non-rotating
// disk. STATUS_INVALID_PARAMETER (not an ATA disk) is a plain false.
NTSTATUS IsNonRotatingDisk(uint32_t diskNumber, bool* out) noexcept {
  *out = false;
  wchar_t text[48];
  const int length = swprintf(text, 48, L"\\??\\PhysicalDrive%u", diskNumber);
  UNICODE_STRING name{static_cast<USHORT>(length * 2), static_cast<USHORT>(length * 2), text};
  sys::ScopedHandle disk;
  NTSTATUS status = OpenNativeFile(&disk, name, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SYNCHRONOUS_IO_NONALERT);
  if (!NT_SUCCESS(status)) return status;
  AtaIdentify request{};
  AtaIdentify* identify = &request;
  identify->length = offsetof(AtaIdentify, data);
  identify->ataFlags = kAtaDriveReadyRequired | kAtaDataIn;
  identify->dataTransferLength = sizeof identify->data;
  identify->timeOutValue = 10;
  identify->dataBufferOffset = offsetof(AtaIdentify, data);
  identify->currentTaskFile[1] = 1;  // one sector
  identify->currentTaskFile[6] = kIdentifyDevice;
  IO_STATUS_BLOCK iosb{};
  status = ZwDeviceIoControlFile(disk.get(), nullptr, nullptr, nullptr, &iosb, kAtaPassThrough, identify,
                                 sizeof(AtaIdentify), identify, sizeof(AtaIdentify));
  if (status == kStatusInvalidParameter) return STATUS_SUCCESS;
  if (!NT_SUCCESS(status)) return status;
  // The error register; word 80 bit 8 (the drive follows ATA8-ACS, the
  // standard that defines word 217); word 217, where 1 means non-rotating
  // media.
  *out = identify->currentTaskFile[0] == 0 && (IdentifyWord(*identify, 80) & 0x100) != 0 &&
         IdentifyWord(*identify, 217) == 1;
  return STATUS_SUCCESS;
}

NTSTATUS QueryVolume(HANDLE file, void* buffer, ULONG length, FS_INFORMATION_CLASS kind) noexcept {
  IO_STATUS_BLOCK iosb{};
  return ZwQueryVolumeInformationFile(file, &iosb, buffer, length, kind);
}

void Md5Of(const void* data, size_t length, uint8_t* out) noexcept {
  sys::RylMiniHashMd5 md5;
  md5.Add(data, length);
  md5.Get(out);
}

// The MD5 digest of the file's name on its volume (FileNameInformation),
// asking again with twice the room while the name does not fit.
NTSTATUS HashFileName(HANDLE file, uint8_t* out) noexcept {
  uint32_t units = 1024;
  for (;;) {
    sys::HeapBytes buffer;
    const uint32_t bytes = 4 + units * 2;
    if (!buffer.Allocate(bytes)) return STATUS_NO_MEMORY;
    IO_STATUS_BLOCK iosb{};
    const NTSTATUS status = ZwQueryInformationFile(file, &iosb, buffer.data(), bytes, FileNameInformation);
    if (status == kStatusBufferOverflow && units < 0xFFFF) {
      units *= 2;
      continue;
    }
    if (!NT_SUCCESS(status)) return status;
    uint32_t nameBytes = 0;
    std::memcpy(&nameBytes, buffer.data(), 4);
    if (nameBytes > bytes - 4) nameBytes = bytes - 4;
    Md5Of(buffer.data() + 4, nameBytes, out);
    return STATUS_SUCCESS;
  }
}

}  // namespace

ResultCode IsSolidStateVolume(void* volumeHandle, uint8_t* outIsSolidState) noexcept {
  if (outIsSolidState == nullptr) return RYL_E_INVALID_ARG;
  *outIsSolidState = 0;
  alignas(8) uint8_t extents[416] = {};
  IO_STATUS_BLOCK iosb{};
  NTSTATUS status = ZwDeviceIoControlFile(static_cast<HANDLE>(volumeHandle), nullptr, nullptr, nullptr, &iosb,
                                          kGetVolumeDiskExtents, nullptr, 0, extents, sizeof extents);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  if (iosb.Information < 4) return RYL_E_TRAILING_DATA;
  uint32_t count = 0;
  std::memcpy(&count, extents, 4);
  const uint32_t room = (static_cast<uint32_t>(iosb.Information) - 8) / sizeof(DiskExtent);
  if (iosb.Information < 8) count = 0;
  if (count > room) count = room;
  for (uint32_t i = 0; i < count; ++i) {
    DiskExtent extent;
    std::memcpy(&extent, extents + 8 + i * sizeof(DiskExtent), sizeof extent);
    bool nonRotating = false;
    status = IsNonRotatingDisk(extent.diskNumber, &nonRotating);
    if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
    if (nonRotating) {
      *outIsSolidState = 1;
      break;
    }
  }
  return RYL_OK;
}

ResultCode IsNtfs(const char16_t* path, uint32_t length, bool fixedOnly, uint8_t* outIsNtfs) noexcept {
  if (outIsNtfs == nullptr) return RYL_E_INVALID_ARG;
  *outIsNtfs = 0;
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPathForOpen(path, length, &name));
  sys::ScopedHandle file;
  NTSTATUS status = OpenNativeFile(&file, name.get(), GENERIC_READ | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  FILE_FS_DEVICE_INFORMATION device{};
  status = QueryVolume(file.get(), &device, sizeof device, FileFsDeviceInformation);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  if (device.DeviceType != kDeviceDisk || (fixedOnly && (device.Characteristics & kRemovableMedia) != 0)) {
    return RYL_OK;
  }
  // Attributes, maximum name length, name length, then the name: 24 bytes
  // hold a name of up to six units.
  alignas(4) uint8_t attributes[24] = {};
  status = QueryVolume(file.get(), attributes, sizeof attributes, FileFsAttributeInformation);
  if (status == kStatusBufferOverflow) return RYL_E_OUT_OF_RANGE;
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  uint32_t nameBytes = 0;
  std::memcpy(&nameBytes, attributes + 8, 4);
  static constexpr uint8_t kNtfs[8] = {'N', 0, 'T', 0, 'F', 0, 'S', 0};
  *outIsNtfs = nameBytes == 8 && std::memcmp(attributes + 12, kNtfs, 8) == 0 ? 1 : 0;
  return RYL_OK;
}

ResultCode DefineDriveLetter(const char16_t* target, uint32_t targetLength, char16_t letter) noexcept {
  if (!sys::RylKernel32IsFnLoaded_DefineDosDeviceW()) return RYL_E_UNSUPPORTED_VERSION;
  if (target == nullptr) return RYL_E_INVALID_ARG;
  strings::PathScratchBuffer text;
  RYL_RETURN_IF_FAILED(text.Assign(target, targetLength == kZeroTerminated
                                               ? static_cast<uint32_t>(std::char_traits<char16_t>::length(target))
                                               : targetLength));
  const char16_t device[3] = {letter, u':', u'\0'};
  return sys::RylKernel32_DefineDosDeviceW(0, device, text.c_str());
}

ResultCode RemoveDriveLetter(char16_t letter) noexcept {
  if (!sys::RylKernel32IsFnLoaded_DefineDosDeviceW()) return RYL_E_UNSUPPORTED_VERSION;
  const char16_t device[3] = {letter, u':', u'\0'};
  constexpr uint32_t kRemoveDefinition = 2;
  return sys::RylKernel32_DefineDosDeviceW(kRemoveDefinition, device, nullptr);
}

ResultCode GetDiskSpace(const char16_t* path, uint32_t length, uint64_t* outTotal, uint64_t* outAvailable) noexcept {
  if (outTotal == nullptr || outAvailable == nullptr) return RYL_E_INVALID_ARG;
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  // Case-insensitive, and an ordinary handle of the process (not a kernel one).
  OBJECT_ATTRIBUTES attributes{sizeof(OBJECT_ATTRIBUTES), nullptr, const_cast<UNICODE_STRING*>(&name.get()),
                               OBJ_CASE_INSENSITIVE, nullptr, nullptr};
  IO_STATUS_BLOCK iosb{};
  HANDLE handle = nullptr;
  NTSTATUS status = ZwCreateFile(&handle, SYNCHRONIZE, &attributes, &iosb, nullptr, FILE_ATTRIBUTE_NORMAL,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, nullptr, 0);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  sys::ScopedHandle file(handle);
  FILE_FS_SIZE_INFORMATION size{};
  status = QueryVolume(file.get(), &size, sizeof size, FileFsSizeInformation);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  const uint64_t unit = uint64_t{size.SectorsPerAllocationUnit} * size.BytesPerSector;
  *outTotal = unit * static_cast<uint64_t>(size.TotalAllocationUnits.QuadPart);
  *outAvailable = unit * static_cast<uint64_t>(size.AvailableAllocationUnits.QuadPart);
  return RYL_OK;
}

ResultCode GetFileIdentity(uint8_t* outVolumeId, uint8_t* outFileId, const char16_t* path, uint32_t length) noexcept {
  if (outVolumeId == nullptr || outFileId == nullptr) return RYL_E_INVALID_ARG;
  sys::ScopedRtlUnicodeString name;
  RYL_RETURN_IF_FAILED(HostPathToNtPath(path, length, &name));
  sys::ScopedHandle file;
  NTSTATUS status = OpenNativeFile(&file, name.get(), READ_CONTROL | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT);
  if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  // Creation time, serial number, label length, "supports objects", label.
  alignas(8) uint8_t volume[88] = {};
  status = QueryVolume(file.get(), volume, sizeof volume, FileFsVolumeInformation);
  if (!NT_SUCCESS(status) && status != kStatusBufferOverflow) return sys::RylResultFromNtStatus(status);
  const bool supportsObjects = volume[16] != 0;
  uint8_t volumeId[kIdentitySize];
  uint8_t fileId[kIdentitySize];
  bool haveVolumeId = false;
  if (supportsObjects) {
    alignas(8) uint8_t objectId[64] = {};
    if (NT_SUCCESS(QueryVolume(file.get(), objectId, sizeof objectId, FileFsObjectIdInformation))) {
      std::memcpy(volumeId, objectId, kIdentitySize);
      haveVolumeId = true;
    }
  }
  if (!haveVolumeId) Md5Of(volume + 8, 4, volumeId);  // the serial number's four bytes
  bool haveFileId = false;
  if (supportsObjects) {
    alignas(8) uint8_t objectId[64] = {};
    IO_STATUS_BLOCK iosb{};
    if (NT_SUCCESS(ZwFsControlFile(file.get(), nullptr, nullptr, nullptr, &iosb, kCreateOrGetObjectId, nullptr, 0,
                                   objectId, sizeof objectId))) {
      std::memcpy(fileId, objectId, kIdentitySize);
      haveFileId = true;
    }
  }
  if (!haveFileId) {
    status = HashFileName(file.get(), fileId);
    if (!NT_SUCCESS(status)) return sys::RylResultFromNtStatus(status);
  }
  std::memcpy(outVolumeId, volumeId, kIdentitySize);
  std::memcpy(outFileId, fileId, kIdentitySize);
  return RYL_OK;
}

}  // namespace ryl::fs
