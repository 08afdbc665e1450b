// Writing a whole archive, or the part of one that is new, front to back
// into a stream: each entry's local header and data (compressed now when it
// is pending, copied unchanged when it was compressed before), then the
// central directory and the end records.
#pragma once

#include <cstddef>

#include "archive/archive_model.h"
#include "ryl/streams.h"

namespace ryl::archive {

// The bytes in front of a loaded archive (a self-extractor's program), so
// that a save keeps them; the entries then follow, with offsets counted from
// the start of the file, as other tools write such archives.
[[nodiscard]] ResultCode CopyPrefix(ArchiveModel* model, SeekableStream* out) noexcept;

// Writes the entries from index first on at out's position and marks every
// entry committed. Pending entries keep their source: until a save has
// replaced the file, the model must still describe every entry. A pending entry without flag bit 3 has its local header
// rewritten in place once its data is written, so out must seek then; an
// entry with bit 3 gets a data descriptor after its data instead.
[[nodiscard]] ResultCode WriteEntries(ArchiveModel* model, SeekableStream* out, size_t first) noexcept;

// The headers the reader could not list, with their local records, copied
// unchanged after the entries (a whole save only). RYL_E_BAD_FORMAT when one
// cannot be carried: its local header offset is not in its 32-bit field, or
// lies outside the entries' area.
[[nodiscard]] ResultCode CopyCarriedRecords(ArchiveModel* model, SeekableStream* out) noexcept;

// The central directory at out's position, then the ZIP64 end record and
// locator when the archive needs them, then the end record and comment.
[[nodiscard]] ResultCode WriteDirectory(ArchiveModel* model, SeekableStream* out) noexcept;

}  // namespace ryl::archive
