// The query rule every interface shares: its own type id answers the
// interface when the version asked is at most the highest, any other id
// answers null; the highest version (0 for a foreign id) is stored when asked
// for. A query never changes a reference count.
#pragma once

#include <cstdint>

namespace ryl::core {

inline void* AnswerQuery(void* self, uint32_t ownType, uint32_t highestVersion, uint32_t type, uint32_t version,
                         uint32_t* outHighest) noexcept {
  if (type != ownType) {
    if (outHighest != nullptr) *outHighest = 0;
    return nullptr;
  }
  if (outHighest != nullptr) *outHighest = highestVersion;
  return version <= highestVersion ? self : nullptr;
}

}  // namespace ryl::core
