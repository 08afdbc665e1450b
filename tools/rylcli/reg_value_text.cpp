#include "reg_value_text.h"

#include <ryl/ryl.h>

#include <cstdio>
#include <cstring>

#include "terminal_text.h"

namespace rylcli {
namespace {

std::string Hex(const uint8_t* data, uint32_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2u);
  for (uint32_t i = 0; i < size; ++i) {
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 15]);
  }
  return text;
}

// The UTF-16 text of a string value, without the terminators the writer
// stored (or did not).
std::wstring Units(const uint8_t* data, uint32_t size) {
  std::wstring text(size / 2, L'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace

std::string RegistryTypeName(uint32_t type) {
  switch (type) {
    case RYL_REG_NONE:
      return "REG_NONE";
    case RYL_REG_SZ:
      return "REG_SZ";
    case RYL_REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case RYL_REG_BINARY:
      return "REG_BINARY";
    case RYL_REG_DWORD:
      return "REG_DWORD";
    case RYL_REG_DWORD_BIG_ENDIAN:
      return "REG_DWORD_BIG_ENDIAN";
    case RYL_REG_LINK:
      return "REG_LINK";
    case RYL_REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case 8:
      return "REG_RESOURCE_LIST";
    case 9:
      return "REG_FULL_RESOURCE_DESCRIPTOR";
    case 10:
      return "REG_RESOURCE_REQUIREMENTS_LIST";
    case RYL_REG_QWORD:
      return "REG_QWORD";
    default: {
      char text[24];
      std::snprintf(text, sizeof text, "0x%X", type);
      return text;
    }
  }
}

std::string RegistryDataText(uint32_t type, const uint8_t* data, uint32_t size) {
  char number[32];
  switch (type) {
    case RYL_REG_SZ:
    case RYL_REG_EXPAND_SZ:
    case RYL_REG_LINK:
      return Printable(Units(data, size));
    case RYL_REG_MULTI_SZ: {
      // reg.exe joins the strings with a visible \0.
      const std::wstring all = Units(data, size);
      std::string text;
      size_t start = 0;
      while (start <= all.size()) {
        size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos) end = all.size();
        if (start != 0) text += "\\0";
        text += Printable(all.substr(start, end - start));
        start = end + 1;
      }
      return text;
    }
    case RYL_REG_DWORD:
      if (size != 4) break;
      std::snprintf(
          number, sizeof number, "0x%x",
          static_cast<unsigned>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24));
      return number;
    case RYL_REG_DWORD_BIG_ENDIAN:
      if (size != 4) break;
      std::snprintf(
          number, sizeof number, "0x%x",
          static_cast<unsigned>(static_cast<uint32_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3]));
      return number;
    case RYL_REG_QWORD: {
      if (size != 8) break;
      uint64_t value = 0;
      for (int i = 7; i >= 0; --i) value = value << 8 | data[i];
      std::snprintf(number, sizeof number, "0x%llx", static_cast<unsigned long long>(value));
      return number;
    }
    default:
      break;
  }
  return Hex(data, size);
}

}  // namespace rylcli
