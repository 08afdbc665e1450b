#include "pipe_host_stream.h"

#include <utility>

#include "win32_result.h"

namespace rylcli {

PipeHostStream::PipeHostStream(std::shared_ptr<PendingFile> output, BackgroundWriter* writer)
    : FileHostStream(std::move(output), writer, nullptr) {}

ResultCode RYL_THISCALL PipeHostStream::Seek(int64_t offset, uint32_t origin) {
  if (origin > RYL_SEEK_END) return RYL_E_INVALID_ARG;
  const int64_t base = origin == RYL_SEEK_BEGIN ? 0 : static_cast<int64_t>(end());
  if (base + offset < 0) return RYL_E_INVALID_SEEK;
  return FromWin32(ERROR_SEEK_ON_DEVICE);
}

std::shared_ptr<PendingFile> StandardOutput() {
  auto output = std::make_shared<PendingFile>();
  output->handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return output;
}

}  // namespace rylcli
