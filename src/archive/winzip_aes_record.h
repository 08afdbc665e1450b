// The extra record that marks a ZIP entry as AES-encrypted (id 0x9901): the
// entry's method field then says 99, and the record holds the format
// version, the key strength and the method the data is really compressed
// with. AE-1 entries keep their CRC-32; AE-2 entries store 0 there, and
// their authentication code is what verifies the data.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/zip_extra_field.h"

namespace ryl::archive {

inline constexpr uint16_t kMethodAes = 99;
inline constexpr uint16_t kAesExtraId = 0x9901;
inline constexpr uint16_t kAesRecordSize = 7;
inline constexpr uint16_t kAesVersion1 = 1;  // AE-1
inline constexpr uint16_t kAesVersion2 = 2;  // AE-2
inline constexpr uint8_t kAesStrength256 = 3;
// What readers expect in "version needed" of an AES entry.
inline constexpr uint16_t kVersionNeededAes = 51;

struct AesRecord {
  uint16_t version = kAesVersion2;
  uint8_t strength = kAesStrength256;
  uint16_t method = 0;  // the compression inside the encryption

  bool operator==(const AesRecord&) const = default;
};

// The first 0x9901 record, when it is one this library can read: 7 bytes,
// vendor "AE", version 1 or 2, strength 1 to 3.
[[nodiscard]] std::optional<AesRecord> FindAesRecord(const std::vector<ExtraRecord>& extras) noexcept;

// Replaces every 0x9901 record of extras with one for record (or only
// removes them when record is null). Only allocation can fail.
[[nodiscard]] ResultCode SetAesRecord(std::vector<ExtraRecord>* extras, const AesRecord* record) noexcept;

}  // namespace ryl::archive
