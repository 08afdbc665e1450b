#include "module_session.h"

#include <cstdio>

#include "failure.h"

namespace rylcli {
namespace {
const RylReceiverCallbacks kStoreCallbacks = {1, StoreObject};
}  // namespace

ResultCode RYL_CDECL StoreObject(void* object, void* context) {
  *static_cast<void**>(context) = object;
  return RYL_OK;
}

ObjectReceiver MakeReceiver(void** slot, uint32_t version) {
  return ObjectReceiver{&kStoreCallbacks, slot, version, {nullptr, nullptr}};
}

const char* DescribeResult(ResultCode code) {
  static thread_local char text[80];
  std::snprintf(text, sizeof text, "%s (0x%08X)", ResultName(code).c_str(), static_cast<unsigned>(code));
  return text;
}

ResultCode ModuleSession::Start() {
  const ResultCode init = RylModuleInit();
  if (RylFailed(init)) return init;
  initialised_ = true;
  void* root = nullptr;
  const ResultCode got = GetRylObject(kRylRootInterfaceId, &root);
  if (RylFailed(got)) return got;
  root_ = static_cast<RootFactory*>(root);
  return RYL_OK;
}

ModuleSession::~ModuleSession() {
  if (root_ != nullptr) root_->Release();
  if (initialised_) RylModuleFinish();
}

}  // namespace rylcli
