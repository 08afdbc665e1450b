// Standard output as the destination of a whole archive (rylcli zip create -).
// Written front to back through the writer thread like an extracted file,
// but it cannot seek: a pipe cannot go back. The library sees the failing
// seek and writes a data descriptor after each entry instead of rewriting
// its local header.
#pragma once

#include <windows.h>

#include <memory>

#include "background_writer.h"
#include "file_host_stream.h"
#include "pending_file.h"

namespace rylcli {

class PipeHostStream final : public FileHostStream {
 public:
  PipeHostStream(std::shared_ptr<PendingFile> output, BackgroundWriter* writer);

  // A position before the start is RYL_E_INVALID_SEEK, as on any stream
  // (an empty stream asked for its end record answers so); any other seek
  // fails as it does on a pipe.
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override;
};

// The process's standard output as a PendingFile that is never deleted.
std::shared_ptr<PendingFile> StandardOutput();

}  // namespace rylcli
