#include "module/native_archive_files.h"

#include "core/host_text.h"
#include "core/object_ptr.h"
#include "fs/file_operations.h"
#include "fs/file_stream.h"

namespace ryl::module {
namespace {

constexpr uint32_t kShareRead = 1;
constexpr uint32_t kShareWrite = 2;

ResultCode OpenFile(const char16_t* path, uint32_t disposition, uint32_t access, uint32_t share,
                    streams::OwnedStream* out) noexcept {
  core::ObjectPtr<fs::FileStream> file(core::MakeObject<fs::FileStream>());
  if (!file) return RYL_E_OUT_OF_MEMORY;
  const ResultCode opened = file->Open(path, disposition, 0, access, share, 0);
  if (opened < 0) return opened;
  out->reset(file.release());
  return RYL_OK;
}

class FileSystemArchiveFiles final : public archive::ArchiveFiles {
 public:
  ResultCode OpenForReading(const char16_t* path, streams::OwnedStream* out) const noexcept override {
    return OpenFile(path, fs::kOpenOrCreate, fs::kAccessRead, kShareRead, out);
  }
  ResultCode CreateForWriting(const char16_t* path, streams::OwnedStream* out) const noexcept override {
    return OpenFile(path, fs::kCreateOrTruncate, fs::kAccessWrite, kShareWrite, out);
  }
  void RemoveIncomplete(const char16_t* path) const noexcept override {
    (void)fs::DeleteFile(path, core::kZeroTerminated, 0);
  }
};

constinit const FileSystemArchiveFiles g_files;

}  // namespace

const archive::ArchiveFiles& NativeArchiveFiles() noexcept { return g_files; }

}  // namespace ryl::module
