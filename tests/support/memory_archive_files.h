// Files by path in memory for the archive writer, with the temporary files
// counted and the failures a test or a fuzz target needs on demand: a
// temporary volume that fills, a final replacement that fails.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "archive/archive_files.h"
#include "core/object_ptr.h"
#include "core/result_helpers.h"
#include "streams/positioned_stream.h"

namespace ryl::archive::test {

using Bytes = std::string;

// A file's bytes, shared between the map of files and the streams open on
// them, so that a stream outlives a replacement of its file.
class SharedBytesStream final : public streams::PositionedStream<SharedBytesStream> {
 public:
  SharedBytesStream(std::shared_ptr<Bytes> bytes, int* live) noexcept : bytes_(std::move(bytes)), live_(live) {
    if (live_ != nullptr) ++*live_;
  }
  ~SharedBytesStream() {
    if (live_ != nullptr) --*live_;
  }
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override {
    *outSize = bytes_->size();
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    bytes_->resize(static_cast<size_t>(size));
    return RYL_OK;
  }
  ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) override {
    const uint64_t left = offset < bytes_->size() ? bytes_->size() - offset : 0;
    const auto done = static_cast<uint32_t>(left < count ? left : count);
    if (done != 0) std::memcpy(buffer, bytes_->data() + offset, done);
    if (outDone != nullptr) *outDone = done;
    if (done == 0 && count != 0) return RYL_E_END_OF_DATA;
    return done < count && outDone == nullptr ? RYL_E_END_OF_DATA : RYL_OK;
  }
  ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count, uint32_t* outDone) override {
    if (failWritesFrom_ != 0 && offset + count > failWritesFrom_) return RYL_E_ACCESS_DENIED;
    if (bytes_->size() < offset + count) bytes_->resize(static_cast<size_t>(offset + count));
    std::memcpy(bytes_->data() + offset, buffer, count);
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, const ObjectReceiver*, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Close() override { return RYL_OK; }
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL CanRead() override { return 1; }
  uint8_t RYL_THISCALL CanWrite() override { return 1; }

  // A volume that fills: writes reaching past this offset fail.
  uint64_t failWritesFrom_ = 0;

 private:
  std::shared_ptr<Bytes> bytes_;
  int* live_;
};

// Files by path in memory, with the temporary files counted.
class MemoryFiles final : public ArchiveFiles {
 public:
  ResultCode OpenForReading(const char16_t* path, streams::OwnedStream* out) const noexcept override {
    auto& file = files[path];
    if (!file) file = std::make_shared<Bytes>();
    return Open(file, nullptr, out);
  }
  ResultCode CreateForWriting(const char16_t* path, streams::OwnedStream* out) const noexcept override {
    files[path] = std::make_shared<Bytes>();
    return Open(files[path], nullptr, out);
  }
  void RemoveIncomplete(const char16_t* path) const noexcept override { files.erase(path); }
  ResultCode OpenSource(const char16_t* path, bool, streams::OwnedStream* out) const noexcept override {
    const auto found = files.find(path);
    if (found == files.end()) return RYL_E_FILE_NOT_FOUND;
    return Open(found->second, nullptr, out);
  }
  ResultCode CreateNew(const char16_t* path, streams::OwnedStream* out) const noexcept override {
    if (files.count(path) != 0) return RYL_E_ALREADY_EXISTS;
    return CreateForWriting(path, out);
  }
  ResultCode CreateTemporary(streams::OwnedStream* out) const noexcept override {
    ++temporariesMade;
    auto bytes = std::make_shared<Bytes>();
    RYL_RETURN_IF_FAILED(Open(bytes, &liveTemporaries, out));
    static_cast<SharedBytesStream*>(out->get())->failWritesFrom_ = temporaryCapacity;
    temporaries[out->get()] = bytes;
    return RYL_OK;
  }
  ResultCode ReplaceWithTemporary(streams::OwnedStream temporary, const char16_t* path) const noexcept override {
    if (failReplace) return RYL_E_ACCESS_DENIED;
    files[path] = temporaries[temporary.get()];
    return RYL_OK;
  }

  Bytes& operator[](const std::u16string& path) {
    auto& file = files[path];
    if (!file) file = std::make_shared<Bytes>();
    return *file;
  }

  mutable std::map<std::u16string, std::shared_ptr<Bytes>> files;
  mutable std::map<SeekableStream*, std::shared_ptr<Bytes>> temporaries;
  mutable int liveTemporaries = 0;
  mutable int temporariesMade = 0;
  bool failReplace = false;
  uint64_t temporaryCapacity = 0;

 private:
  static ResultCode Open(std::shared_ptr<Bytes> bytes, int* live, streams::OwnedStream* out) noexcept {
    out->reset(core::MakeObject<SharedBytesStream>(std::move(bytes), live));
    return *out ? RYL_OK : RYL_E_OUT_OF_MEMORY;
  }
};

}  // namespace ryl::archive::test
