// The root's three asynchronous operations: the process-wide dispatcher, a
// private one, and driving one outcome to its end on the caller's thread.
#pragma once

#include <cstdint>

#include "core/shared_instance_slot.h"
#include "ryl/async.h"

namespace ryl::async {

// The shared dispatcher lives in a slot of its own: created on first use,
// destroyed when its last reference is given back.
core::SharedInstanceSlot& SharedDispatcherSlot() noexcept;

[[nodiscard]] ResultCode GetSharedDispatcher(const ObjectReceiver* receiver) noexcept;
[[nodiscard]] ResultCode CreateDispatcher(const ObjectReceiver* receiver) noexcept;

}  // namespace ryl::async
