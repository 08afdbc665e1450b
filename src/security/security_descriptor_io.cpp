#include "security/security_descriptor_io.h"

#include <utility>

#include "security/open_for_security.h"
#include "security/query_security.h"
#include "security/security_parts.h"
#include "sys/heap_bytes.h"
#include "sys/native_api.h"
#include "sys/result_codes.h"
#include "sys/security_descriptor_check.h"
#include "sys/win_security.h"

namespace ryl::security {
namespace {

// Opens, queries, closes and checks. The handle is closed before the
// descriptor is looked at, whatever the outcome.
ResultCode ReadSelfRelative(const sys::RylWinObject& object, uint32_t parts, sys::HeapBytes* out,
                            uint32_t* outLength) noexcept {
  sys::HeapBytes descriptor;
  uint32_t length = 0;
  {
    sys::ScopedHandle handle;
    if (const ResultCode rc = OpenForSecurity(object, false, parts, &handle); rc < 0) return rc;
    if (const ResultCode rc = QuerySecurity(handle.get(), parts, &descriptor, &length); rc < 0) return rc;
  }
  if (!sys::IsWellFormedSelfRelativeDescriptor(descriptor.data(), length)) return RYL_E_INVALID_ARG;
  *out = std::move(descriptor);
  *outLength = length;
  return RYL_OK;
}

}  // namespace

ResultCode ReadSecurityDescriptor(const sys::RylWinObject& object, uint32_t parts,
                                  sys::RylWinSecurityDescriptor* target) noexcept {
  if (target == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t effective = EffectiveParts(parts);
  sys::HeapBytes descriptor;
  uint32_t length = 0;
  if (const ResultCode rc = ReadSelfRelative(object, effective, &descriptor, &length); rc < 0) return rc;
  return target->SetFromSelfRelativeBytes(descriptor.data(), length, effective);
}

ResultCode ReadSecurityDescriptorInto(const sys::RylWinObject& object, uint32_t parts,
                                      RylSecurityObject* target) noexcept {
  if (target == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t effective = EffectiveParts(parts);
  sys::HeapBytes descriptor;
  uint32_t length = 0;
  if (const ResultCode rc = ReadSelfRelative(object, effective, &descriptor, &length); rc < 0) return rc;
  return target->SetFromSelfRelative(descriptor.data(), effective);
}

ResultCode WriteSecurityDescriptor(RylSecurityObject* source, const sys::RylWinObject& object) noexcept {
  if (source == nullptr) return RYL_E_INVALID_ARG;
  bool supported = true;
  if (sys::RylWinSecurity::IsACLSupportedOnObject(object, &supported) >= 0 && !supported) {
    return kAccessListsNotSupported;
  }
  const uint32_t parts = EffectiveParts(source->GetPartsPresent());
  const void* descriptor = source->GetSecurityDescriptor();
  if (descriptor == nullptr) return RYL_E_NOT_OPEN;
  // The source may be a host's object: its descriptor is checked as far as
  // a descriptor without a length can be before the system reads it.
  if (!sys::IsWellFormedSelfRelativeDescriptor(descriptor, sys::kLargestCompactDescriptorSize)) {
    return RYL_E_INVALID_ARG;
  }
  sys::ScopedHandle handle;
  if (const ResultCode rc = OpenForSecurity(object, true, parts, &handle); rc < 0) return rc;
  const NTSTATUS status = ZwSetSecurityObject(handle.get(), parts, const_cast<void*>(descriptor));
  return sys::RylResultFromNtStatus(status);
}

}  // namespace ryl::security
