#include "archive/streaming_archive.h"

#include "archive/archive_operations.h"
#include "archive/archive_writer.h"
#include "archive/stream_io.h"
#include "archive/zip_records.h"
#include "core/delivery.h"
#include "core/entry_guard.h"
#include "core/host_text.h"
#include "core/object_ptr.h"
#include "core/result_helpers.h"
#include "streams/host_stream_adapter.h"

namespace ryl::archive {
namespace {

constexpr uint64_t kTimeNotGiven = ~uint64_t{0};

}  // namespace

void RYL_THISCALL StreamingArchiveImpl::Destroy(const AllocatorRecord*) { core::DestroyDefaultHeapObject(this); }

SeekableStream* StreamingArchiveImpl::output() noexcept {
  return forwardOnly_ ? static_cast<SeekableStream*>(&*forwardOnly_) : stream_.get();
}

void StreamingArchiveImpl::Rewind(uint64_t position) noexcept {
  if (forwardOnly_) {
    uint64_t now = 0;
    if (forwardOnly_->Tell(&now) < 0 || now != position) broken_ = true;
    return;
  }
  if (SeekTo(stream_.get(), position) < 0 || stream_->SetSize(position) < 0) broken_ = true;
}

void StreamingArchiveImpl::Abandon() noexcept {
  model_.Clear();
  if (stream_ && !path_.empty()) {
    stream_.reset();
    if (files_ != nullptr) files_->RemoveIncomplete(path_.c_str());
  } else if (stream_ && restore_) {
    SeekableStream* stream = stream_.get();
    const Restore& restore = *restore_;
    if (SeekTo(stream, restore.writeStart) >= 0 &&
        WriteAll(stream, restore.tail.data(), static_cast<uint32_t>(restore.tail.size())) >= 0) {
      (void)stream->SetSize(restore.length);
    }
  }
  stream_.reset();
  path_.clear();
  forwardOnly_.reset();
  restore_.reset();
  broken_ = false;
}

ResultCode RYL_THISCALL StreamingArchiveImpl::OpenOnStream(HostStream* stream) {
  return core::GuardEntry([&]() -> ResultCode {
    if (stream == nullptr) return RYL_E_INVALID_ARG;
    streams::OwnedStream adapter(core::MakeObject<streams::HostStreamAdapter>(stream));
    if (!adapter) return RYL_E_OUT_OF_MEMORY;
    Abandon();
    SeekableStream* held = adapter.get();

    // A stream that cannot seek (a pipe) has no archive to list and cannot
    // have headers rewritten: every entry then gets a data descriptor.
    if (held->Seek(0, RYL_SEEK_CURRENT) < 0) {
      stream_ = std::move(adapter);
      forwardOnly_.emplace(held);
      return RYL_OK;
    }
    const ResultCode loaded = LoadExisting(held);
    if (loaded < 0) {
      model_.Clear();
      return loaded;
    }
    stream_ = std::move(adapter);
    return RYL_OK;
  });
}

ResultCode StreamingArchiveImpl::LoadExisting(SeekableStream* stream) noexcept {
  Restore restore;
  RYL_RETURN_IF_FAILED(stream->GetSize(&restore.length));
  RYL_RETURN_IF_FAILED(model_.AttachBorrowed(stream));
  // New entries over a directory that could not be read whole would leave
  // its unlisted entries out of the new one.
  if (!model_.directory_complete()) return RYL_E_BAD_FORMAT;
  RYL_RETURN_IF_FAILED(stream->Tell(&restore.writeStart));
  if (restore.writeStart < restore.length) {
    // The end records and whatever followed them, which the new entries
    // overwrite: kept so that an abandoned append can put them back.
    const uint64_t tail = restore.length - restore.writeStart;
    if (tail > UINT32_MAX) return RYL_E_OUT_OF_MEMORY;
    restore.tail.resize(static_cast<size_t>(tail));
    RYL_RETURN_IF_FAILED(ReadExactAt(stream, restore.writeStart, restore.tail.data(), static_cast<uint32_t>(tail)));
    RYL_RETURN_IF_FAILED(SeekTo(stream, restore.writeStart));
  }
  restore_ = std::move(restore);
  return RYL_OK;
}

ResultCode RYL_THISCALL StreamingArchiveImpl::OpenFile(const RylChar16* path, int32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path == nullptr || length < -1) return RYL_E_INVALID_ARG;
    const std::u16string target(core::AsUtf16(path));
    streams::OwnedStream file;
    RYL_RETURN_IF_FAILED(files_->CreateNew(target.c_str(), &file));
    Abandon();
    stream_ = std::move(file);
    // The path the file was created under, so that an abandoned archive
    // removes exactly that file.
    path_ = target;
    return model_.AttachBorrowed(stream_.get());
  });
}

ResultCode StreamingArchiveImpl::AddFromSource(SeekableStream* source, const RylChar16* name, uint32_t nameLength,
                                               const RylZipCompression* compression, const RylChar16* password,
                                               int32_t passwordLength, int32_t passwordSelector,
                                               const RylChar16* comment, int32_t commentLength,
                                               uint64_t time) noexcept {
  NewEntryOptions options;
  options.compression = compression;
  options.password = password;
  options.passwordLength = passwordLength;
  options.passwordSelector = passwordSelector;
  if (time != kTimeNotGiven) options.time = time;
  options.comment = comment;
  options.commentLength = commentLength;
  options.defer = true;
  EntryRecord* entry = nullptr;
  RYL_RETURN_IF_FAILED(
      AddEntryWithSource(&model_, files_, source, core::HostText(name, nameLength), options, &entry));
  ResultCode rc = RYL_OK;
  uint64_t start = 0;
  if (!stream_) {
    rc = RYL_E_NOT_OPEN;
  } else if (broken_) {
    rc = RYL_E_INVALID_STATE;
  } else {
    if (forwardOnly_) entry->header.flags = static_cast<uint16_t>(entry->header.flags | kFlagDataDescriptor);
    rc = output()->Tell(&start);
    if (rc >= 0) {
      rc = WriteEntries(&model_, output(), model_.committed_count());
      if (rc < 0) Rewind(start);
    }
  }
  if (rc < 0) {
    model_.RemoveEntry(entry);
    return rc;
  }
  // Written once: the source is not the entry's any longer.
  entry->pending = false;
  entry->source = nullptr;
  return RYL_OK;
}

ResultCode RYL_THISCALL StreamingArchiveImpl::AddEntryFromStream(HostStream* source, const RylChar16* name,
                                                                uint32_t nameLength,
                                                                const RylZipCompression* compression,
                                                                const RylChar16* password, int32_t passwordLength,
                                                                int32_t passwordSelector, const RylChar16* comment,
                                                                int32_t commentLength, uint64_t time) {
  return core::GuardEntry([&]() -> ResultCode {
    if (source == nullptr) return RYL_E_INVALID_ARG;
    streams::HostStreamAdapter adapter(source);
    return AddFromSource(&adapter, name, nameLength, compression, password, passwordLength, passwordSelector,
                         comment, commentLength, time);
  });
}

ResultCode RYL_THISCALL StreamingArchiveImpl::AddEntryFromFile(const RylChar16* sourcePath, uint32_t,
                                                              const RylChar16* name, uint32_t nameLength,
                                                              const RylZipCompression* compression,
                                                              const RylChar16* password, int32_t passwordLength,
                                                              int32_t passwordSelector, const RylChar16* comment,
                                                              int32_t commentLength, uint64_t time) {
  return core::GuardEntry([&]() -> ResultCode {
    if (sourcePath == nullptr) return RYL_E_INVALID_ARG;
    streams::OwnedStream file;
    RYL_RETURN_IF_FAILED(files_->OpenSource(core::AsUtf16(sourcePath), false, &file));
    return AddFromSource(file.get(), name, nameLength, compression, password, passwordLength, passwordSelector,
                         comment, commentLength, time);
  });
}

ResultCode RYL_THISCALL StreamingArchiveImpl::AddDirectory(const RylChar16* name, uint32_t nameLength) {
  return core::GuardEntry([&] { return AddDirectoryEntry(&model_, core::HostText(name, nameLength)); });
}

ResultCode RYL_THISCALL StreamingArchiveImpl::SetComment(const RylChar16* text, int32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    std::u16string_view comment;
    RYL_RETURN_IF_FAILED(SignedHostText(text, length, &comment));
    return model_.SetComment(comment);
  });
}

ResultCode RYL_THISCALL StreamingArchiveImpl::Close() {
  return core::GuardEntry([&]() -> ResultCode {
    if (!stream_) return RYL_E_NOT_OPEN;
    if (broken_) return RYL_E_INVALID_STATE;
    SeekableStream* out = output();
    uint64_t start = 0;
    RYL_RETURN_IF_FAILED(out->Tell(&start));
    const size_t committed = model_.committed_count();
    ResultCode rc = WriteEntries(&model_, out, model_.committed_count());
    if (rc >= 0) rc = WriteDirectory(&model_, out);
    uint64_t end = 0;
    if (rc >= 0) rc = out->Tell(&end);
    // A directory shorter than the end records it was written over must not
    // leave their remains behind it.
    if (rc >= 0 && restore_ && end < restore_->length) rc = stream_->SetSize(end);
    if (rc < 0) {
      // The directories written before the failure are cut off again, so
      // the next Close writes them anew.
      Rewind(start);
      model_.set_committed_count(committed);
      return rc;
    }
    model_.Clear();
    stream_.reset();
    path_.clear();
    forwardOnly_.reset();
    restore_.reset();
    return RYL_OK;
  });
}

ResultCode DeliverStreamingArchive(const ObjectReceiver* receiver, const ArchiveFiles* files) noexcept {
  return core::CreateAndDeliver<StreamingArchiveImpl>(receiver, core::Placement::kDefaultHeap,
                                                      [files](StreamingArchiveImpl& writer) {
                                                        writer.set_files(files);
                                                        return RYL_OK;
                                                      });
}

}  // namespace ryl::archive
