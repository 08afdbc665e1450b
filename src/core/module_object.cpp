#include "core/module_object.h"

namespace ryl::core {
namespace {
constinit ModuleObject g_module;
}  // namespace

ModuleObject& TheModule() noexcept { return g_module; }

}  // namespace ryl::core
