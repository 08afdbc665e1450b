#include "archive/spill_buffer_stream.h"

#include "archive/stream_io.h"
#include "core/result_helpers.h"

namespace ryl::archive {

ResultCode SpillBufferStream::Spill() noexcept {
  if (files_ == nullptr) return RYL_E_OUT_OF_MEMORY;
  streams::OwnedStream file;
  RYL_RETURN_IF_FAILED(files_->CreateTemporary(&file));
  RYL_RETURN_IF_FAILED(WriteAll(file.get(), memory_.data(), memory_.size()));
  file_ = std::move(file);
  // The memory is given back; what it held now lives in the file.
  return memory_.FreeBuffer();
}

ResultCode SpillBufferStream::Reserve(uint64_t end) noexcept {
  if (file_ || end <= kMemoryLimit) return RYL_OK;
  return Spill();
}

ResultCode RYL_THISCALL SpillBufferStream::GetSize(uint64_t* outSize) { return active()->GetSize(outSize); }

ResultCode RYL_THISCALL SpillBufferStream::SetSize(uint64_t size) {
  RYL_RETURN_IF_FAILED(Reserve(size));
  return active()->SetSize(size);
}

ResultCode RYL_THISCALL SpillBufferStream::ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) {
  return active()->ReadAt(offset, buffer, count, outDone);
}

ResultCode RYL_THISCALL SpillBufferStream::WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                                   uint32_t* outDone) {
  if (offset > ~uint64_t{0} - count) return RYL_E_INVALID_SEEK;
  RYL_RETURN_IF_FAILED(Reserve(offset + count));
  return active()->WriteAt(offset, buffer, count, outDone);
}

}  // namespace ryl::archive
