#include "archive/compression_request.h"

#include "archive/zip_records.h"
#include "sys/codec/zstd_context.h"

namespace ryl::archive {

ResultCode ResolveCompression(const RylZipCompression* request, EntryCompression* out) noexcept {
  if (request == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  EntryCompression result;
  if (request->selector == kSelectorDeflate) {
    result = {kMethodDeflate, request->level};
  } else if (request->selector == kSelectorBzip2) {
    result = {kMethodBzip2, request->level / 100};
  } else if (request->selector == kSelectorZstd) {
    int32_t level = request->level;
    if (level < 0) level = sys::RylZstdContext::kDefaultLevel;
    if (level > sys::RylZstdContext::kMaxLevel) level = sys::RylZstdContext::kMaxLevel;
    result = {kMethodZstd, level};
  }
  if (result.level == 0) result = {kMethodStored, 0};
  *out = result;
  return RYL_OK;
}

}  // namespace ryl::archive
