#include "sys/win_mandatory_label.h"

#include <cstring>

#include "sys/native_api.h"

namespace ryl::sys {

ResultCode RylWinMandatoryLabel::Initialize(const void* ace) noexcept {
  if (ace == nullptr) return RYL_E_INVALID_ARG;
  const auto* bytes = static_cast<const uint8_t*>(ace);
  if (bytes[0] != kAceType) return RYL_E_INVALID_ARG;
  uint16_t aceSize;
  std::memcpy(&aceSize, bytes + 2, sizeof aceSize);
  uint32_t sidSize = 0;
  if (!IsWellFormedSid(bytes, aceSize, kFixedPart, &sidSize)) return RYL_E_INVALID_ARG;
  if (static_cast<BOOLEAN>(RtlValidSid(const_cast<uint8_t*>(bytes + kFixedPart))) == 0) return RYL_E_INVALID_ARG;
  const uint32_t size = kFixedPart + sidSize;
  std::memcpy(ace_, bytes, size);
  const auto storedSize = static_cast<uint16_t>(size);
  std::memcpy(ace_ + 2, &storedSize, sizeof storedSize);
  size_ = size;
  return RYL_OK;
}

}  // namespace ryl::sys
