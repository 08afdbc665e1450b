#pragma once

#include <ryl/ryl.h>

#include <string>

#include "utf8_text.h"

namespace rylcli {

// The methods the library decodes; entries of any other are delivered as
// their stored bytes, which are not the file.
inline bool IsReadableMethod(uint32_t method) {
  return method == RYL_ZIP_METHOD_STORED || method == RYL_ZIP_METHOD_DEFLATE || method == RYL_ZIP_METHOD_BZIP2;
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
