#include "archive/compression_request.h"

#include "archive/zip_records.h"

namespace ryl::archive {

ResultCode ResolveCompression(const RylZipCompression* request, EntryCompression* out) noexcept {
  if (request == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  EntryCompression result;
  if (request->selector == kSelectorDeflate) {
    result = {kMethodDeflate, request->level};
  } else if (request->selector == kSelectorBzip2) {
    result = {kMethodBzip2, request->level / 100};
  }
  if (result.level == 0) result = {kMethodStored, 0};
  *out = result;
  return RYL_OK;
}

}  // namespace ryl::archive
