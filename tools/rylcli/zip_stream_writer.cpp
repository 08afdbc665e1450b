#include "zip_stream_writer.h"

#include <cstdio>

#include "cli_output.h"
#include "failure.h"
#include "module_session.h"

namespace rylcli {

ZipStreamWriter::~ZipStreamWriter() {
  if (writer_ != nullptr) writer_->Destroy(&kDefaultHeap);
}

bool ZipStreamWriter::Create(RootFactory* root) {
  void* writer = nullptr;
  ObjectReceiver receiver = MakeReceiver(&writer, RYL_VERSION_STREAMING_ARCHIVE);
  const ResultCode rc = root->CreateZipStreamWriter(&receiver);
  if (RylFailed(rc)) {
    ReportFailure("cannot create the streaming archive writer", rc);
    return false;
  }
  writer_ = static_cast<StreamingArchive*>(writer);
  return true;
}

}  // namespace rylcli
