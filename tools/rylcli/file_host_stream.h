// An extracted entry's file, as any host would hand one to the library: the
// library only writes, tells and (after a failure) cuts back. Data is
// gathered into large buffers that the writer thread puts on disk.
#pragma once

#include <memory>
#include <vector>

#include "background_writer.h"
#include "hoststreams/appending_host_stream.h"
#include "pending_file.h"
#include "progress.h"

namespace rylcli {

class FileHostStream : public ryl::host::AppendingHostStream {
 public:
  // progress, when given, counts the bytes written.
  FileHostStream(std::shared_ptr<PendingFile> file, BackgroundWriter* writer, Progress* progress);

  // Hands the rest to the writer and has the file closed; removed there too
  // when keep is false or a write failed.
  void Finish(bool keep);

  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;

 private:
  std::shared_ptr<PendingFile> file_;
  BackgroundWriter* writer_;
  Progress* progress_;
  std::vector<char> buffer_;
};

}  // namespace rylcli
