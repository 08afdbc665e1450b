// What the three exports do, callable from white-box tests without the DLL.
#pragma once

#include "ryl/root_factory.h"

namespace ryl::module {

[[nodiscard]] ResultCode ModuleInit() noexcept;
[[nodiscard]] ResultCode ModuleFinish() noexcept;

// RYL_E_UNSUPPORTED_VERSION for an identifier that is neither accepted form.
[[nodiscard]] ResultCode CheckInterfaceId(const RylInterfaceId& id) noexcept;

[[nodiscard]] ResultCode GetRootObject(const RylInterfaceId& id, void** outObject) noexcept;

}  // namespace ryl::module
