#include "archive/archive_operations.h"

#include "archive/archive_writer.h"
#include "archive/compression_request.h"
#include "archive/entry_data_writer.h"
#include "archive/spill_buffer_stream.h"
#include "archive/zip_names.h"
#include "archive/zip_records.h"
#include "core/entry_guard.h"
#include "core/host_text.h"
#include "core/object_ptr.h"
#include "core/result_helpers.h"
#include "sys/dos_time.h"

namespace ryl::archive {
namespace {

// Compresses the entry's attached source now, into a buffer of its own.
ResultCode CompressAtOnce(EntryRecord* entry, const ArchiveFiles* files) noexcept {
  streams::OwnedStream buffer(core::MakeObject<SpillBufferStream>(files));
  if (!buffer) return RYL_E_OUT_OF_MEMORY;
  RYL_RETURN_IF_FAILED(WriteEntryData(entry, entry->source, buffer.get()));
  entry->compressed = std::move(buffer);
  entry->pending = false;
  entry->source = nullptr;
  return RYL_OK;
}

ResultCode FillNewEntry(EntryRecord* entry, const ArchiveFiles* files, SeekableStream* source,
                        const NewEntryOptions& options) noexcept {
  if (options.passwordLength != 0) {
    RYL_RETURN_IF_FAILED(
        entry->SetPassword(core::AsUtf16(options.password), options.passwordLength, options.passwordSelector));
    entry->header.flags = static_cast<uint16_t>(entry->header.flags | kFlagDataDescriptor);
  }
  if (options.time) RYL_RETURN_IF_FAILED(SetEntryTime(entry, *options.time));
  EntryCompression compression;
  RYL_RETURN_IF_FAILED(ResolveCompression(options.compression, &compression));
  RYL_RETURN_IF_FAILED(AttachSource(entry, source, compression, options.defer));
  if (options.comment != nullptr) {
    std::u16string_view comment;
    RYL_RETURN_IF_FAILED(SignedHostText(options.comment, options.commentLength, &comment));
    RYL_RETURN_IF_FAILED(SetEntryComment(entry, comment));
  }
  if (!options.defer) RYL_RETURN_IF_FAILED(CompressAtOnce(entry, files));
  return RYL_OK;
}

}  // namespace

ResultCode SignedHostText(const RylChar16* text, int32_t length, std::u16string_view* out) noexcept {
  if (length < -1) return RYL_E_INVALID_ARG;
  *out = core::HostText(text, length == -1 ? core::kZeroTerminated : static_cast<uint32_t>(length));
  return RYL_OK;
}

ResultCode AddEntryWithSource(ArchiveModel* model, const ArchiveFiles* files, SeekableStream* source,
                              std::u16string_view name, const NewEntryOptions& options,
                              EntryRecord** outEntry) noexcept {
  if (model == nullptr || source == nullptr) return RYL_E_INVALID_ARG;
  EntryRecord* entry = nullptr;
  RYL_RETURN_IF_FAILED(model->AddEntry(name, &entry));
  const ResultCode filled = FillNewEntry(entry, files, source, options);
  if (filled < 0) {
    model->RemoveEntry(entry);
    return filled;
  }
  if (outEntry != nullptr) *outEntry = entry;
  return RYL_OK;
}

ResultCode AddDirectoryEntry(ArchiveModel* model, std::u16string_view name) noexcept {
  if (model == nullptr) return RYL_E_INVALID_ARG;
  EntryRecord* entry = nullptr;
  RYL_RETURN_IF_FAILED(model->AddEntry(name, &entry));
  std::u16string plainName;
  ResultCode made = core::GuardEntry([&] {
    plainName = entry->header.name;
    return RYL_OK;
  });
  if (made >= 0) made = MakeDirectoryName(&entry->header.name);
  if (made >= 0) model->NoteRenamed(entry, plainName);
  // "d" becomes "d/" only now, which may be taken already; the new entry is
  // the last, so an earlier match is another entry.
  if (made >= 0 && model->Find(entry->header.name) != entry) made = RYL_E_ALREADY_EXISTS;
  if (made < 0) {
    model->RemoveEntry(entry);
    return made;
  }
  entry->header.externalAttributes = kExternalAttributesDirectory;
  // Readers expect 2.0 for a directory, as for deflate.
  entry->header.versionNeeded = kVersionNeededDeflate;
  return RYL_OK;
}

// Setting the text an entry already has keeps its stored bytes; any other
// text drops them, and the save encodes name and comment afresh.
ResultCode SetEntryName(EntryRecord* entry, std::u16string_view name) noexcept {
  CentralHeaderImage& header = entry->header;
  std::u16string before;
  RYL_RETURN_IF_FAILED(core::GuardEntry([&] {
    before = header.name;
    return RYL_OK;
  }));
  RYL_RETURN_IF_FAILED(NormalizeEntryName(name, &header.name, &header.externalAttributes));
  if (header.name != before) {
    header.storedTexts.reset();
    if (entry->owner != nullptr) entry->owner->NoteRenamed(entry, before);
  }
  return RYL_OK;
}

ResultCode SetEntryComment(EntryRecord* entry, std::u16string_view comment) noexcept {
  CentralHeaderImage& header = entry->header;
  if (header.comment == comment) return RYL_OK;
  return core::GuardEntry([&] {
    header.comment.assign(comment);
    header.storedTexts.reset();
    return RYL_OK;
  });
}

ResultCode SetEntryTime(EntryRecord* entry, uint64_t time) noexcept {
  uint16_t date = 0;
  uint16_t dosTime = 0;
  RYL_RETURN_IF_FAILED(sys::RylConvertRylTimeToDosDateTime(&date, &dosTime, time));
  // Data already encrypted under bit 3 carries the time's high byte as its
  // password check: a different one would make every reader reject the
  // right password.
  const uint16_t flags = entry->header.flags;
  const bool checkedByTime = (flags & kFlagEncrypted) != 0 && (flags & kFlagDataDescriptor) != 0;
  if (checkedByTime && !entry->pending && (dosTime >> 8) != (entry->header.dosTime >> 8)) {
    return RYL_E_INVALID_STATE;
  }
  entry->header.time = time;
  entry->header.dosDate = date;
  entry->header.dosTime = dosTime;
  return RYL_OK;
}

ResultCode SaveToPath(ArchiveModel* model, const ArchiveFiles& files, const char16_t* path,
                      const char16_t* reloadFrom) noexcept {
  if (model == nullptr || path == nullptr) return RYL_E_INVALID_ARG;
  if (!model->directory_complete()) return RYL_E_BAD_FORMAT;
  return core::GuardEntry([&]() -> ResultCode {
    streams::OwnedStream temporary;
    RYL_RETURN_IF_FAILED(files.CreateTemporary(&temporary));
    RYL_RETURN_IF_FAILED(CopyPrefix(model, temporary.get()));
    RYL_RETURN_IF_FAILED(WriteEntries(model, temporary.get(), 0));
    RYL_RETURN_IF_FAILED(CopyCarriedRecords(model, temporary.get()));
    RYL_RETURN_IF_FAILED(WriteDirectory(model, temporary.get()));
    // The archive file must be closed before anything can replace it.
    const std::u16string target(path);
    const std::u16string source(reloadFrom != nullptr ? reloadFrom : u"");
    model->Clear();
    const ResultCode replaced = files.ReplaceWithTemporary(std::move(temporary), target.c_str());
    if (replaced < 0 && !source.empty()) {
      // The archive's own file is as it was: the model shows it again.
      streams::OwnedStream file;
      if (files.OpenForReading(source.c_str(), &file) >= 0) (void)model->Attach(std::move(file));
    }
    return replaced;
  });
}

}  // namespace ryl::archive
