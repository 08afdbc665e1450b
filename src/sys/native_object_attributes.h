// The object-attributes record every native open uses: length 24, no root
// directory, case-insensitive kernel handle (0x240), and optionally a
// security descriptor for what the call creates.
#pragma once

#include "sys/native_api.h"

namespace ryl::sys {

class NativeObjectAttributes {
 public:
  explicit NativeObjectAttributes(const UNICODE_STRING& name, void* securityDescriptor = nullptr) noexcept {
    attributes_.Length = sizeof(OBJECT_ATTRIBUTES);
    attributes_.RootDirectory = nullptr;
    attributes_.ObjectName = const_cast<UNICODE_STRING*>(&name);
    attributes_.Attributes = OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE;
    attributes_.SecurityDescriptor = securityDescriptor;
    attributes_.SecurityQualityOfService = nullptr;
  }
  OBJECT_ATTRIBUTES* get() noexcept { return &attributes_; }

 private:
  OBJECT_ATTRIBUTES attributes_;
};
static_assert(sizeof(OBJECT_ATTRIBUTES) == 24, "the object-attributes record of a 32-bit process");

}  // namespace ryl::sys
