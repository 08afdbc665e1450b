#include "archive/zip_extra_field.h"

#include "archive/byte_order.h"
#include "core/entry_guard.h"

namespace ryl::archive {

ResultCode SplitExtraField(const uint8_t* data, uint32_t length, std::vector<ExtraRecord>* outRecords,
                           Zip64Span* outZip64) noexcept {
  if ((data == nullptr && length != 0) || outRecords == nullptr || outZip64 == nullptr) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    std::vector<ExtraRecord> records;
    Zip64Span zip64;
    uint32_t at = 0;
    while (length - at >= kExtraRecordHeaderSize) {
      const uint16_t id = LoadLe16(data + at);
      const uint16_t size = LoadLe16(data + at + 2);
      const uint32_t dataAt = at + kExtraRecordHeaderSize;
      if (size > length - dataAt) break;
      if (id == kZip64ExtraId) {
        if (!zip64.present) zip64 = {true, dataAt, size};
      } else {
        records.push_back({id, std::vector<uint8_t>(data + dataAt, data + dataAt + size)});
      }
      at = dataAt + size;
    }
    *outRecords = std::move(records);
    *outZip64 = zip64;
    return RYL_OK;
  });
}

ResultCode DecodeZip64ExtendedInfo(const uint8_t* data, uint16_t size, Zip64Needs needs,
                                   Zip64ExtendedInfo* out) noexcept {
  if ((data == nullptr && size != 0) || out == nullptr) return RYL_E_INVALID_ARG;
  Zip64ExtendedInfo info;
  uint32_t at = 0;
  auto take = [&](std::optional<uint64_t>* value) {
    if (at + 8 > size) return false;
    *value = LoadLe64(data + at);
    at += 8;
    return true;
  };
  if (needs.uncompressedSize && !take(&info.uncompressedSize)) return RYL_E_BAD_FORMAT;
  if (needs.compressedSize && !take(&info.compressedSize)) return RYL_E_BAD_FORMAT;
  if (needs.localHeaderOffset && !take(&info.localHeaderOffset)) return RYL_E_BAD_FORMAT;
  *out = info;
  return RYL_OK;
}

ResultCode EncodeExtraField(const std::vector<ExtraRecord>& records, const Zip64ExtendedInfo* zip64,
                            std::vector<uint8_t>* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  uint64_t total = 0;
  for (const ExtraRecord& record : records) {
    if (record.data.size() > kMaxFieldLength) return RYL_E_VALUE_TOO_LARGE;
    total += kExtraRecordHeaderSize + record.data.size();
  }
  if (zip64 != nullptr) total += kExtraRecordHeaderSize + zip64->DataSize();
  if (total > kMaxFieldLength) return RYL_E_VALUE_TOO_LARGE;
  return core::GuardEntry([&]() -> ResultCode {
    std::vector<uint8_t> bytes(static_cast<size_t>(total));
    uint8_t* p = bytes.data();
    for (const ExtraRecord& record : records) {
      StoreLe16(p, record.id);
      StoreLe16(p + 2, static_cast<uint16_t>(record.data.size()));
      p += kExtraRecordHeaderSize;
      for (uint8_t b : record.data) *p++ = b;
    }
    if (zip64 != nullptr) {
      StoreLe16(p, kZip64ExtraId);
      StoreLe16(p + 2, zip64->DataSize());
      p += kExtraRecordHeaderSize;
      for (const std::optional<uint64_t>* value :
           {&zip64->uncompressedSize, &zip64->compressedSize, &zip64->localHeaderOffset}) {
        if (value->has_value()) {
          StoreLe64(p, **value);
          p += 8;
        }
      }
    }
    *out = std::move(bytes);
    return RYL_OK;
  });
}

}  // namespace ryl::archive
