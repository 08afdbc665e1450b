// The file-system service's operations on links and volumes: junctions and
// symbolic links, the file-system type, free space, solid-state detection,
// drive letters, and stable identifiers of volumes and files. Paths are the
// host's UTF-16 DOS paths as (pointer, length). Free of Windows headers.
#pragma once

#include <cstdint>

#include "ryl/result.h"

namespace ryl::fs {

// A junction for a directory when forceJunction is set or the system is
// older than Windows Vista, else a symbolic link; a file symbolic link needs
// Vista (RYL_E_UNSUPPORTED_VERSION before). A link whose reparse data cannot
// be set is removed again before the failure is returned.
[[nodiscard]] ResultCode CreateLink(const char16_t* target, uint32_t targetLength, const char16_t* link,
                                    uint32_t linkLength, bool isDirectory, bool forceJunction) noexcept;

// Whether a disk under the volume (a handle the caller opened on it) reports
// itself non-rotating through ATA IDENTIFY DEVICE. Disks that are not ATA
// disks are passed over; no such disk is a plain "no".
[[nodiscard]] ResultCode IsSolidStateVolume(void* volumeHandle, uint8_t* outIsSolidState) noexcept;

// True for NTFS on a disk; with fixedOnly, not on removable media.
[[nodiscard]] ResultCode IsNtfs(const char16_t* path, uint32_t length, bool fixedOnly, uint8_t* outIsNtfs) noexcept;

[[nodiscard]] ResultCode DefineDriveLetter(const char16_t* target, uint32_t targetLength, char16_t letter) noexcept;
[[nodiscard]] ResultCode RemoveDriveLetter(char16_t letter) noexcept;

// The volume's size and the room the caller may use, in bytes.
[[nodiscard]] ResultCode GetDiskSpace(const char16_t* path, uint32_t length, uint64_t* outTotal,
                                      uint64_t* outAvailable) noexcept;

// 16 bytes each: the volume's object identifier or the MD5 digest of its
// serial number; the file's object identifier (made when it has none) or
// the MD5 digest of its name on the volume.
[[nodiscard]] ResultCode GetFileIdentity(uint8_t* outVolumeId, uint8_t* outFileId, const char16_t* path,
                                         uint32_t length) noexcept;

}  // namespace ryl::fs
