#include "sys/temp_name.h"

#include <algorithm>

namespace ryl::sys {
namespace {

constexpr char16_t kPrefix[] = u"vqz-";
constexpr char16_t kFileSuffix[] = u".tmp";

}  // namespace

ResultCode RylMakeTempStem(char16_t* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  RylGuid identifier;
  const ResultCode created = RylGuidUtils::CreateLuid(&identifier);
  if (created < 0) return created;
  std::copy(kPrefix, kPrefix + 4, out);
  RylGuidUtils::GetString(identifier, out + 4);
  return RYL_OK;
}

ResultCode RylMakeTempFileName(char16_t* out) noexcept {
  const ResultCode made = RylMakeTempStem(out);
  if (made < 0) return made;
  std::copy(kFileSuffix, kFileSuffix + 4, out + kRylTempStemLength);
  return RYL_OK;
}

}  // namespace ryl::sys
