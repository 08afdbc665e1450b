// A file stream over a uniquely named, delete-on-close file in the temporary
// directory, which can later be kept under a final name. Writers build their
// output in one so that a failure never leaves a half-written target.
#pragma once

#include <string>

#include "fs/file_stream.h"

namespace ryl::fs {

class TempFileStream final : public FileStreamBase {
 public:
  static constexpr uint16_t kStateMarker = 6;
  static constexpr int kCreateAttempts = 20;

  // Makes "vqz-<identifier>.tmp" in the temporary directory, open for reading
  // and writing, empty, and deleted when closed unless kept.
  [[nodiscard]] ResultCode Create() noexcept;

  // The file becomes targetPath (zero-terminated), replacing what is there;
  // across volumes it is moved by copying. On every failure the temporary
  // file stays open, writable and delete-on-close. A failure of the last
  // step (clearing the temporary attribute) is informational: the file has
  // been kept.
  [[nodiscard]] ResultCode Keep(const char16_t* targetPath) noexcept;

  const std::u16string& path() const noexcept { return path_; }
  bool kept() const noexcept { return kept_; }

  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL SaveState(SeekableStream* writer, RylHandleMarshaller* marshaller) override;
  ResultCode RYL_THISCALL LoadState(SeekableStream* reader, RylHandleMarshaller* marshaller) override;

 private:
  // Opens the file at path with the temporary file's rights and sharing.
  [[nodiscard]] ResultCode Reopen(const std::u16string& path, uint32_t attributes, bool deleteOnClose) noexcept;

  std::u16string path_;
  bool kept_ = false;
  bool exported_ = false;
};

// Sets or clears delete-on-close on an open handle.
[[nodiscard]] ResultCode SetDeleteOnClose(void* handle, bool deleteOnClose) noexcept;

}  // namespace ryl::fs
