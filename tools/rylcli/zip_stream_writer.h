// The module's streaming archive writer, owned: destroyed with the owner,
// which (without a successful Close) throws away what was written.
#pragma once

#include <ryl/ryl.h>

namespace rylcli {

class ZipStreamWriter {
 public:
  ZipStreamWriter() = default;
  ~ZipStreamWriter();
  ZipStreamWriter(const ZipStreamWriter&) = delete;
  ZipStreamWriter& operator=(const ZipStreamWriter&) = delete;

  // Says on stderr why when it fails.
  bool Create(RootFactory* root);
  StreamingArchive* get() const { return writer_; }

 private:
  StreamingArchive* writer_ = nullptr;
};

}  // namespace rylcli
