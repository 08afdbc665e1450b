#include "safe_entry_name.h"

namespace rylcli {

bool IsSafeEntryName(const wchar_t* name, unsigned length) {
  if (length == 0) return false;
  if (name[0] == L'/' || name[0] == L'\\') return false;  // absolute or UNC
  unsigned start = 0;
  for (unsigned i = 0; i <= length; ++i) {
    if (i < length && name[i] == L':') return false;  // drive letter or stream name
    if (i == length || name[i] == L'/' || name[i] == L'\\') {
      if (i - start == 2 && name[start] == L'.' && name[start + 1] == L'.') return false;
      start = i + 1;
    }
  }
  return true;
}

}  // namespace rylcli
