// The streaming archive writer (type 25): an archive written front to back
// into one stream, each entry the moment it is added, the directory at
// Close. It owns the stream it writes (a file it created, or an adapter
// over a caller's stream) and a model attached to that stream without
// owning it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_files.h"
#include "archive/archive_model.h"
#include "archive/forward_only_output.h"
#include "core/query.h"
#include "ryl/zip.h"
#include "streams/owned_stream.h"

namespace ryl::archive {

class StreamingArchiveImpl final : public StreamingArchive {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_STREAMING_ARCHIVE;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_STREAMING_ARCHIVE;

  StreamingArchiveImpl() noexcept = default;
  ~StreamingArchiveImpl() { Abandon(); }

  void* DeliveredInterface() noexcept { return static_cast<StreamingArchive*>(this); }
  void set_files(const ArchiveFiles* files) noexcept { files_ = files; }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<StreamingArchive*>(this), kTypeId, kHighestVersion, type, version,
                             outHighest);
  }
  // Frees to the default heap whatever the record says.
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL OpenOnStream(HostStream* stream) override;
  ResultCode RYL_THISCALL OpenFile(const RylChar16* path, int32_t length) override;
  ResultCode RYL_THISCALL AddEntryFromStream(HostStream* source, const RylChar16* name, uint32_t nameLength,
                                             const RylZipCompression* compression, const RylChar16* password,
                                             int32_t passwordLength, int32_t passwordSelector,
                                             const RylChar16* comment, int32_t commentLength,
                                             uint64_t time) override;
  ResultCode RYL_THISCALL AddEntryFromFile(const RylChar16* sourcePath, uint32_t ignored, const RylChar16* name,
                                           uint32_t nameLength, const RylZipCompression* compression,
                                           const RylChar16* password, int32_t passwordLength,
                                           int32_t passwordSelector, const RylChar16* comment,
                                           int32_t commentLength, uint64_t time) override;
  ResultCode RYL_THISCALL AddDirectory(const RylChar16* name, uint32_t nameLength) override;
  ResultCode RYL_THISCALL SetComment(const RylChar16* text, int32_t length) override;
  ResultCode RYL_THISCALL Close() override;

 private:
  // What is needed to put a caller's stream back as it was when opened.
  struct Restore {
    uint64_t length = 0;
    uint64_t writeStart = 0;
    std::vector<uint8_t> tail;  // the bytes from writeStart to length
  };

  [[nodiscard]] ResultCode AddFromSource(SeekableStream* source, const RylChar16* name, uint32_t nameLength,
                                         const RylZipCompression* compression, const RylChar16* password,
                                         int32_t passwordLength, int32_t passwordSelector,
                                         const RylChar16* comment, int32_t commentLength, uint64_t time) noexcept;
  // Where the writer writes: the stream, or the counting layer over a
  // stream that cannot seek.
  SeekableStream* output() noexcept;
  // Lists the archive already in stream and notes how to put it back.
  [[nodiscard]] ResultCode LoadExisting(SeekableStream* stream) noexcept;
  // Cuts output written by a failed step back off a seekable stream; a
  // stream that cannot seek is past saving and refuses further work.
  void Rewind(uint64_t position) noexcept;
  // Drops the stream without a directory: a created file is deleted, a
  // caller's stream is put back as it was.
  void Abandon() noexcept;

  const ArchiveFiles* files_ = nullptr;
  streams::OwnedStream stream_;
  std::u16string path_;
  ArchiveModel model_;
  std::optional<ForwardOnlyOutput> forwardOnly_;
  std::optional<Restore> restore_;
  bool broken_ = false;
};

// Root slot 15: a new writer on the default heap, delivered to the
// receiver. files must outlive it.
[[nodiscard]] ResultCode DeliverStreamingArchive(const ObjectReceiver* receiver, const ArchiveFiles* files) noexcept;

}  // namespace ryl::archive
