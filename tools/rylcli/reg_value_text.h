// Registry values shown as reg.exe shows them: the type's name, and the data
// as text for the string types, 0x-prefixed hex for the numbers and hex
// bytes for the rest.
#pragma once

#include <cstdint>
#include <string>

namespace rylcli {

std::string RegistryTypeName(uint32_t type);
// UTF-8; strings escaped where a terminal would act on them.
std::string RegistryDataText(uint32_t type, const uint8_t* data, uint32_t size);

}  // namespace rylcli
