// The changes the ZIP objects make to an archive model, shared by the
// archive held open, the one-call service operations and the streaming
// writer: adding entries and directories, the entry setters, and saving a
// model to a path through a temporary file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "archive/archive_files.h"
#include "archive/archive_model.h"
#include "ryl/streams.h"
#include "ryl/zip.h"

namespace ryl::archive {

// A host's (text, signed length) pair: -1 runs to the first zero unit, and
// a null text is empty. Other negative lengths are RYL_E_INVALID_ARG.
[[nodiscard]] ResultCode SignedHostText(const RylChar16* text, int32_t length, std::u16string_view* out) noexcept;

struct NewEntryOptions {
  const RylZipCompression* compression = nullptr;
  // A length of 0 is no password; one given also sets flag bit 3, so the
  // check byte comes from the time and the source is read only once.
  const RylChar16* password = nullptr;
  int32_t passwordLength = 0;
  int32_t passwordSelector = 0;
  std::optional<uint64_t> time;
  // Set when not null.
  const RylChar16* comment = nullptr;
  int32_t commentLength = 0;
  // Compress when the archive is written (true), or at once into a buffer
  // that files spills to a temporary file when it grows large (false).
  bool defer = false;
};

// Adds an entry named name with its data from source (not owned; it must
// outlive a deferred entry's writing). Any failure removes the entry again.
[[nodiscard]] ResultCode AddEntryWithSource(ArchiveModel* model, const ArchiveFiles* files, SeekableStream* source,
                                            std::u16string_view name, const NewEntryOptions& options,
                                            EntryRecord** outEntry) noexcept;

// Adds a directory entry: "/" appended when missing, attributes 0x10, no
// data.
[[nodiscard]] ResultCode AddDirectoryEntry(ArchiveModel* model, std::u16string_view name) noexcept;

[[nodiscard]] ResultCode SetEntryName(EntryRecord* entry, std::u16string_view name) noexcept;
[[nodiscard]] ResultCode SetEntryComment(EntryRecord* entry, std::u16string_view comment) noexcept;
// RYL_E_INVALID_STATE for an entry whose data is already encrypted with the
// time as its password check, when the new time would change that check.
[[nodiscard]] ResultCode SetEntryTime(EntryRecord* entry, uint64_t time) noexcept;

// Writes the whole model into a temporary file and makes that the file at
// path. On success the model is empty (its archive stream released); on
// failure the file at path is as it was and the model, when it had to be
// cleared already, is reloaded from reloadFrom (the unchanged file it was
// opened from; empty without one). RYL_E_BAD_FORMAT before anything
// is written when the save would lose entries the model could not list.
[[nodiscard]] ResultCode SaveToPath(ArchiveModel* model, const ArchiveFiles& files, const char16_t* path,
                                    const char16_t* reloadFrom = nullptr) noexcept;

}  // namespace ryl::archive
