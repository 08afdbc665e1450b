#include "file_host_stream.h"

#include <utility>

#include "win32_result.h"

namespace rylcli {

FileHostStream::FileHostStream(std::shared_ptr<PendingFile> file, BackgroundWriter* writer, Progress* progress)
    : file_(std::move(file)), writer_(writer), progress_(progress), buffer_(writer->TakeBuffer()) {}

void FileHostStream::Finish(bool keep) {
  if (!keep && file_->error == 0) file_->error = ERROR_CANCELLED;
  writer_->Submit(file_, std::move(buffer_), true);
}

ResultCode RYL_THISCALL FileHostStream::Write(const void* buffer, uint32_t count, uint32_t* outDone) {
  if (file_->error != 0) return FromWin32(file_->error);
  const char* bytes = static_cast<const char*>(buffer);
  uint32_t left = count;
  while (left != 0) {
    const size_t room = BackgroundWriter::kBufferSize - buffer_.size();
    const size_t piece = left < room ? left : room;
    buffer_.insert(buffer_.end(), bytes, bytes + piece);
    bytes += piece;
    left -= static_cast<uint32_t>(piece);
    if (buffer_.size() == BackgroundWriter::kBufferSize) {
      writer_->Submit(file_, std::move(buffer_), false);
      buffer_ = writer_->TakeBuffer();
    }
  }
  if (progress_ != nullptr) progress_->AddBytes(count);
  return Took(count, outDone);
}

// Only ever a cut back after a failure: rare, so it simply waits for the
// writer to be idle and works on the file directly.
ResultCode RYL_THISCALL FileHostStream::SetSize(uint64_t size) {
  writer_->Submit(file_, std::move(buffer_), false);
  buffer_ = writer_->TakeBuffer();
  writer_->Drain();
  if (file_->error != 0) return FromWin32(file_->error);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(file_->handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_->handle)) {
    file_->error = GetLastError();
    return FromWin32(file_->error);
  }
  set_end(size);
  return RYL_OK;
}

}  // namespace rylcli
