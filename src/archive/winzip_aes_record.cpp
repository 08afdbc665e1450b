#include "archive/winzip_aes_record.h"

#include <algorithm>

#include "core/entry_guard.h"
#include "sys/codec/winzip_aes_cipher.h"

namespace ryl::archive {

std::optional<AesRecord> FindAesRecord(const std::vector<ExtraRecord>& extras) noexcept {
  for (const ExtraRecord& extra : extras) {
    if (extra.id != kAesExtraId) continue;
    const std::vector<uint8_t>& d = extra.data;
    if (d.size() != kAesRecordSize || d[2] != 'A' || d[3] != 'E') return std::nullopt;
    AesRecord record;
    record.version = static_cast<uint16_t>(d[0] | d[1] << 8);
    record.strength = d[4];
    record.method = static_cast<uint16_t>(d[5] | d[6] << 8);
    if (record.version != kAesVersion1 && record.version != kAesVersion2) return std::nullopt;
    if (!sys::RylWinZipAesCipher::IsValidStrength(record.strength)) return std::nullopt;
    return record;
  }
  return std::nullopt;
}

ResultCode SetAesRecord(std::vector<ExtraRecord>* extras, const AesRecord* record) noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    std::vector<ExtraRecord> kept;
    kept.reserve(extras->size() + 1);
    for (ExtraRecord& extra : *extras) {
      if (extra.id != kAesExtraId) kept.push_back(extra);
    }
    if (record != nullptr) {
      ExtraRecord aes;
      aes.id = kAesExtraId;
      aes.data = {static_cast<uint8_t>(record->version), static_cast<uint8_t>(record->version >> 8),
                  'A', 'E', record->strength,
                  static_cast<uint8_t>(record->method), static_cast<uint8_t>(record->method >> 8)};
      kept.push_back(std::move(aes));
    }
    *extras = std::move(kept);
    return RYL_OK;
  });
}

}  // namespace ryl::archive
