// The module's one static record: the slot in which the root lives. Zero at
// load time; nothing here needs a constructor to run.
#pragma once

#include "core/shared_instance_slot.h"

namespace ryl::module {

struct ModuleObject {
  core::SharedInstanceSlot rootSlot;
};

ModuleObject& TheModule() noexcept;

}  // namespace ryl::module
