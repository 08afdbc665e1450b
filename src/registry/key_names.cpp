#include "registry/key_names.h"

#include <cstring>

#include "sys/result_codes.h"

namespace ryl::registry {

ResultCode ReadNameAt(NativeKeys& keys, KeyHandle key, NameKind kind, uint32_t index, KeyText* out) {
  alignas(8) uint8_t local[256];
  std::vector<uint8_t> heap;
  uint8_t* buffer = local;
  uint32_t size = sizeof local;
  const uint32_t infoClass = kind == NameKind::kSubKey ? kKeyNodeInformation : kKeyValueFullInformation;
  auto query = [&](uint32_t* needed) {
    return kind == NameKind::kSubKey ? keys.EnumerateKey(key, index, infoClass, buffer, size, needed)
                                     : keys.EnumerateValueKey(key, index, infoClass, buffer, size, needed);
  };
  uint32_t needed = 0;
  int32_t status = query(&needed);
  if ((status == kStatusBufferOverflow || status == kStatusBufferTooSmall) && needed > size &&
      needed <= (256u << 20)) {
    heap.resize(needed);
    buffer = heap.data();
    size = needed;
    status = query(&needed);
  }
  if (status == kStatusNoMoreEntries) return RYL_S_NO_MORE_ITEMS;
  if (status != kStatusSuccess) return sys::RylResultFromNtStatus(status);
  const uint32_t header = kind == NameKind::kSubKey ? kKeyNodeHeader : kKeyValueFullHeader;
  uint32_t nameBytes = 0;
  std::memcpy(&nameBytes, buffer + header - 4, 4);
  if (header > size || nameBytes > size - header || nameBytes % 2 != 0) return RYL_E_INVALID_DATA;
  out->resize(nameBytes / 2);
  std::memcpy(out->data(), buffer + header, nameBytes);
  return RYL_OK;
}

}  // namespace ryl::registry
