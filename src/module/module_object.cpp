#include "module/module_object.h"

namespace ryl::module {
namespace {
constinit ModuleObject g_module;
}  // namespace

ModuleObject& TheModule() noexcept { return g_module; }

}  // namespace ryl::module
