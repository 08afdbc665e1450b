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

  // An existing file to take an entry's data from, for reading; others may
  // read, and write too with shareWrite.
  [[nodiscard]] virtual ResultCode OpenSource(const char16_t* path, bool shareWrite,
                                              streams::OwnedStream* out) const noexcept = 0;
  // A new file for reading and writing, failing when path exists; others
  // may read.
  [[nodiscard]] virtual ResultCode CreateNew(const char16_t* path, streams::OwnedStream* out) const noexcept = 0;
  // A new, empty temporary file for reading and writing that vanishes when
  // released, unless ReplaceWithTemporary made it a file of its own.
  [[nodiscard]] virtual ResultCode CreateTemporary(streams::OwnedStream* out) const noexcept = 0;
  // Makes the temporary file (from CreateTemporary) the file at path,
  // replacing it, and releases it. Either the file at path is the
  // temporary file's content afterwards, or the call fails and the file at
  // path is as it was; no temporary file is left behind in either case.
  [[nodiscard]] virtual ResultCode ReplaceWithTemporary(streams::OwnedStream temporary,
                                                        const char16_t* path) const noexcept = 0;

 protected:
  ~ArchiveFiles() = default;
};

}  // namespace ryl::archive
