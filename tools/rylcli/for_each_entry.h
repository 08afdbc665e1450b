#pragma once

#include <ryl/ryl.h>

#include <string>

#include "utf8_text.h"

namespace rylcli {

// Whether the library decodes the entry's data (stored, deflate, bzip2,
// LZMA, zstd, xz, also inside AES); entries of any other method are
// delivered as their stored bytes, which are not the file.
inline bool IsReadableMethod(ArchiveEntry* entry) {
  switch (entry->GetMethodId()) {
    case 0: case 8: case 12: case 14: case 93: case 95: return true;
    default: return false;
  }
}

// The entry's method by name, or "m" and its number.
inline std::string MethodName(ArchiveEntry* entry) {
  const uint32_t id = entry->GetMethodId();
  switch (id) {
    case 0: return "stored";
    case 8: return "deflate";
    case 12: return "bzip2";
    case 14: return "lzma";
    case 93: return "zstd";
    case 95: return "xz";
    default: return "m" + std::to_string(id);
  }
}

// Calls visit(entry, name) for every entry in directory order. The entry is
// the enumerator's: it is valid only during the call.
template <typename Visit>
ResultCode ForEachEntry(Archive* archive, Visit&& visit) {
  EntryEnumerator* enumerator = nullptr;
  ResultCode rc = archive->CreateEnumerator(&enumerator);
  if (RylFailed(rc)) return rc;
  for (;;) {
    ArchiveEntry* entry = nullptr;
    if (RylFailed(enumerator->Current(&entry))) break;
    RylStringView name = {nullptr, 0};
    entry->GetName(&name);
    visit(entry, WideText(name));
    if (enumerator->MoveNext() != RYL_OK) break;
  }
  enumerator->Release();
  return RYL_OK;
}

}  // namespace rylcli
