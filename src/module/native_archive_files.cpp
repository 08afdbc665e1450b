#include "module/native_archive_files.h"

#include <string>

#include "core/entry_guard.h"
#include "core/host_text.h"
#include "core/object_ptr.h"
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/file_stream.h"
#include "fs/temp_file_stream.h"
#include "sys/temp_name.h"

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
  ResultCode OpenSource(const char16_t* path, bool shareWrite, streams::OwnedStream* out) const noexcept override {
    return OpenFile(path, fs::kOpenExisting, fs::kAccessRead, shareWrite ? kShareRead | kShareWrite : kShareRead,
                    out);
  }
  ResultCode CreateNew(const char16_t* path, streams::OwnedStream* out) const noexcept override {
    return OpenFile(path, fs::kCreateNew, fs::kAccessRead | fs::kAccessWrite, kShareRead, out);
  }
  ResultCode CreateTemporary(streams::OwnedStream* out) const noexcept override {
    core::ObjectPtr<fs::TempFileStream> file(core::MakeObject<fs::TempFileStream>());
    if (!file) return RYL_E_OUT_OF_MEMORY;
    RYL_RETURN_IF_FAILED(file->Create());
    out->reset(file.release());
    return RYL_OK;
  }
  ResultCode ReplaceWithTemporary(streams::OwnedStream temporary, const char16_t* path) const noexcept override;
};

// The temporary file lives in the temporary directory, often on another
// volume than the target. Keeping it there under the target's name would
// copy it over the target, and a copy that fails (a full volume) takes the
// target with it. So it is kept beside the target first, under a fresh
// name, and only then renamed over the target, which within one directory
// either happens whole or not at all.
ResultCode FileSystemArchiveFiles::ReplaceWithTemporary(streams::OwnedStream temporary,
                                                        const char16_t* path) const noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    if (!temporary || path == nullptr) return RYL_E_INVALID_ARG;
    auto* file = static_cast<fs::TempFileStream*>(temporary.get());
    std::u16string beside(path);
    char16_t name[sys::kRylTempFileNameLength];
    RYL_RETURN_IF_FAILED(sys::RylMakeTempFileName(name));
    beside.append(name, sys::kRylTempFileNameLength);
    // A failed keep leaves the temporary file delete-on-close: releasing it
    // removes it.
    RYL_RETURN_IF_FAILED(file->Keep(beside.c_str()));
    temporary.reset();
    const ResultCode moved = fs::MoveFile(beside.data(), static_cast<uint32_t>(beside.size()), path,
                                          core::kZeroTerminated, false);
    if (moved < 0) (void)fs::DeleteFile(beside.data(), static_cast<uint32_t>(beside.size()), 0);
    return moved;
  });
}

constinit const FileSystemArchiveFiles g_files;

}  // namespace

const archive::ArchiveFiles& NativeArchiveFiles() noexcept { return g_files; }

}  // namespace ryl::module
