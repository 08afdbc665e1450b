#include "codec/host_deflate_stream.h"

#include "core/object_ptr.h"

namespace ryl::codec {

ResultCode HostDeflateStreamImpl::Create(HostStream* host, bool compress, int32_t level, uint32_t bufferSize,
                                         HostDeflateStream** out) noexcept {
  if (out == nullptr || host == nullptr) return RYL_E_INVALID_ARG;
  core::ObjectPtr<DeflateStream> inner(core::MakeObject<DeflateStream>());
  if (!inner) return RYL_E_OUT_OF_MEMORY;
  const ResultCode initialized = inner->InitializeOnHost(host, compress, level, bufferSize);
  if (initialized < 0) return initialized;
  HostDeflateStreamImpl* outer = core::MakeObject<HostDeflateStreamImpl>(inner.get(), true);
  if (outer == nullptr) return RYL_E_OUT_OF_MEMORY;
  (void)inner.release();
  *out = outer;
  return RYL_OK;
}

void RYL_THISCALL HostDeflateStreamImpl::Release() {
  core::DestroyDefaultHeapObject(this);
}

ResultCode RYL_THISCALL HostDeflateStreamImpl::Read(void* buffer, uint32_t count, uint32_t* outDone) {
  if (inner_ == nullptr) return RYL_E_INVALID_STATE;
  return inner_->Read(buffer, count, outDone);
}

ResultCode RYL_THISCALL HostDeflateStreamImpl::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  if (inner_ == nullptr) return RYL_E_INVALID_STATE;
  return inner_->Write(buffer, count, outDone);
}

ResultCode RYL_THISCALL HostDeflateStreamImpl::Finish() {
  if (inner_ == nullptr) return RYL_OK;
  return inner_->Close();
}

void RYL_THISCALL HostDeflateStreamImpl::Dispose() {
  DeflateStream* inner = inner_;
  inner_ = nullptr;
  if (inner == nullptr || !ownsInner_) return;
  // Release has no way to report a failed flush; Finish is how to learn it.
  (void)inner->Close();
  inner->Destroy(&core::kDefaultHeap);
}

}  // namespace ryl::codec
