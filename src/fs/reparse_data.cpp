#include "fs/reparse_data.h"

#include <cstring>

namespace ryl::fs {
namespace {

void Put16(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  (*out)[at] = static_cast<uint8_t>(value);
  (*out)[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>* out, size_t at, uint32_t value) {
  Put16(out, at, value & 0xFFFF);
  Put16(out, at + 2, value >> 16);
}

void PutName(std::vector<uint8_t>* out, size_t at, strings::PathText name) {
  for (size_t i = 0; i < name.size(); ++i) Put16(out, at + 2 * i, name[i]);
}

}  // namespace

ResultCode BuildReparseData(uint32_t tag, strings::PathText substituteName, strings::PathText printName,
                            uint32_t flags, std::vector<uint8_t>* out) {
  if (out == nullptr || (tag != kReparseTagMountPoint && tag != kReparseTagSymbolicLink)) return RYL_E_INVALID_ARG;
  const size_t substituteBytes = substituteName.size() * 2;
  const size_t printBytes = printName.size() * 2;
  if (substituteBytes >= 0x10000 || printBytes >= 0x10000) return RYL_E_INVALID_ARG;
  const bool junction = tag == kReparseTagMountPoint;
  const size_t terminator = junction ? 2 : 0;
  const size_t fixed = junction ? 8 : 12;  // offsets and lengths, and a link's flags
  const size_t dataLength = fixed + substituteBytes + terminator + printBytes + terminator;
  if (dataLength > kMaxReparseDataLength) return RYL_E_OUT_OF_RANGE;
  out->assign(8 + dataLength, 0);
  Put32(out, 0, tag);
  Put16(out, 4, static_cast<uint32_t>(dataLength));
  const size_t printOffset = substituteBytes + terminator;
  Put16(out, 8, 0);
  Put16(out, 10, static_cast<uint32_t>(substituteBytes));
  Put16(out, 12, static_cast<uint32_t>(printOffset));
  Put16(out, 14, static_cast<uint32_t>(printBytes));
  if (!junction) Put32(out, 16, flags);
  const size_t names = 8 + fixed;
  PutName(out, names, substituteName);
  PutName(out, names + printOffset, printName);
  return RYL_OK;
}

}  // namespace ryl::fs
