#include "streams/host_stream_wrapper.h"

#include "core/entry_guard.h"
#include "streams/host_stream_adapter.h"
#include "streams/mapped_view_base.h"

namespace ryl::streams {
namespace {

// The public view over one of the library's views, which it owns.
class HostViewWrapper final : public HostMappedView {
 public:
  explicit HostViewWrapper(MappedViewBase* view) noexcept : view_(view) {}
  ~HostViewWrapper() {
    if (view_ != nullptr) view_->Release();
  }
  HostViewWrapper(const HostViewWrapper&) = delete;
  HostViewWrapper& operator=(const HostViewWrapper&) = delete;

  void RYL_THISCALL Release() override {
    core::DestroyDefaultHeapObject(this);
  }
  ResultCode RYL_THISCALL Flush() override { return view_->Flush(); }
  void* RYL_THISCALL GetAddress() override { return view_->address(); }
  ResultCode RYL_THISCALL GetOffset(uint64_t* outOffset) override {
    if (outOffset == nullptr) return RYL_E_INVALID_ARG;
    *outOffset = view_->offset();
    return RYL_OK;
  }
  uint32_t RYL_THISCALL GetLength() override { return view_->length(); }

 private:
  MappedViewBase* view_;
};

ResultCode RYL_CDECL StoreView(void* object, void* context) {
  *static_cast<MappedView**>(context) = static_cast<MappedView*>(object);
  return RYL_OK;
}
const RylReceiverCallbacks kStoreView = {1, StoreView};

}  // namespace

HostStream* HostStreamWrapper::CreateOwning(SeekableStream* inner) noexcept {
  OwnedStream owned(inner);
  return core::MakeObject<HostStreamWrapper>(std::move(owned));
}

void RYL_THISCALL HostStreamWrapper::Dispose() { inner_.reset(); }

void RYL_THISCALL HostStreamWrapper::Release() { core::DestroyDefaultHeapObject(this); }

ResultCode RYL_THISCALL HostStreamWrapper::ReadAt(uint64_t offset, void* buffer, uint32_t count,
                                                  uint32_t* outDone) {
  return inner_ ? inner_->ReadAt(offset, buffer, count, outDone) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  return inner_ ? inner_->Read(buffer, count, outDone) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                                   uint32_t* outDone) {
  return inner_ ? inner_->WriteAt(offset, buffer, count, outDone) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  return inner_ ? inner_->Write(buffer, count, outDone) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::Tell(uint64_t* outPosition) {
  return inner_ ? inner_->Tell(outPosition) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::Seek(int64_t offset, uint32_t origin) {
  return inner_ ? inner_->Seek(offset, origin) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::GetSize(uint64_t* outSize) {
  return inner_ ? inner_->GetSize(outSize) : RYL_E_NOT_OPEN;
}
ResultCode RYL_THISCALL HostStreamWrapper::SetSize(uint64_t size) {
  return inner_ ? inner_->SetSize(size) : RYL_E_NOT_OPEN;
}

PersistentStream* HostStreamWrapper::PersistentPart() noexcept {
  if (!inner_) return nullptr;
  return static_cast<PersistentStream*>(inner_->Query(RYL_TYPE_PERSISTENT_STREAM, 1, nullptr));
}

uint8_t RYL_THISCALL HostStreamWrapper::CanSaveState(uint32_t format) {
  PersistentStream* part = PersistentPart();
  return part != nullptr ? part->CanSaveState(format) : 0;
}

ResultCode RYL_THISCALL HostStreamWrapper::SaveState(HostStream* writer, RylHandleMarshaller* marshaller) {
  PersistentStream* part = PersistentPart();
  if (part == nullptr) return RYL_E_UNSUPPORTED_VERSION;
  if (writer == nullptr) return RYL_E_INVALID_ARG;
  HostStreamAdapter adapter(writer);
  return part->SaveState(&adapter, marshaller);
}

ResultCode RYL_THISCALL HostStreamWrapper::LoadState(HostStream* reader, RylHandleMarshaller* marshaller) {
  PersistentStream* part = PersistentPart();
  if (part == nullptr) return RYL_E_UNSUPPORTED_VERSION;
  if (reader == nullptr) return RYL_E_INVALID_ARG;
  HostStreamAdapter adapter(reader);
  return part->LoadState(&adapter, marshaller);
}

ResultCode RYL_THISCALL HostStreamWrapper::Map(uint64_t offset, uint32_t length, HostMappedView** outView,
                                               uint8_t readOnly) {
  if (outView == nullptr) return RYL_E_INVALID_ARG;
  if (!inner_) return RYL_E_NOT_OPEN;
  MappedView* view = nullptr;
  const ObjectReceiver receiver = {&kStoreView, &view, 1, {nullptr, nullptr}};
  const ResultCode mapped = inner_->Map(offset, length, &receiver, readOnly);
  if (mapped < 0) return mapped;
  HostViewWrapper* wrapper = core::MakeObject<HostViewWrapper>(static_cast<MappedViewBase*>(view));
  if (wrapper == nullptr) {
    view->Release();
    return RYL_E_OUT_OF_MEMORY;
  }
  *outView = wrapper;
  return RYL_OK;
}

}  // namespace ryl::streams
