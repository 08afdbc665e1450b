// How the ZIP objects reach files by path. The module implements it over the
// file-system layer; the ZIP code itself stays plain C++ over streams, so
// that it builds and runs without the native layer (the fuzzing build reads
// archives from memory).
#pragma once

#include <cstdint>

#include "ryl/result.h"
#include "streams/owned_stream.h"

namespace ryl::archive {

class ArchiveFiles {
 public:
  // An archive file for reading, others may read; a missing file is created
  // empty. path is zero-terminated. *out is set only on success.
  [[nodiscard]] virtual ResultCode OpenForReading(const char16_t* path, streams::OwnedStream* out) const noexcept = 0;
  // A file created or cut to nothing for writing, others may write.
  [[nodiscard]] virtual ResultCode CreateForWriting(const char16_t* path,
                                                    streams::OwnedStream* out) const noexcept = 0;
  // Removes a file that did not come out whole; a failure changes nothing
  // for the caller, whose own failure is what it reports.
  virtual void RemoveIncomplete(const char16_t* path) const noexcept = 0;

 protected:
  ~ArchiveFiles() = default;
};

}  // namespace ryl::archive
