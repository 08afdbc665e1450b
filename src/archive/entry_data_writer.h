// Putting one entry's data into an archive: attaching the source it comes
// from, and running it through the CRC, the compressor and the encryption
// into the archive (or into the entry's own buffer when it is compressed at
// once).
#pragma once

#include <cstdint>

#include "archive/archive_model.h"
#include "archive/compression_request.h"
#include "ryl/streams.h"

namespace ryl::archive {

// A source of this size or more cannot be described by the 32-bit fields:
// the entry's local header carries a ZIP64 record from the start. Sources
// just below 4 GiB get one too when compression or the encryption header
// might push the stored size past it, since a local header rewritten in
// place cannot grow.
[[nodiscard]] bool NeedsZip64Reservation(uint64_t sourceSize) noexcept;

// Records source (not owned) as the entry's pending data with the given
// compression; a source attached earlier is dropped and CRC and sizes start
// again from 0. The source's size decides whether the entry's ZIP64 record
// is reserved now.
[[nodiscard]] ResultCode AttachSource(EntryRecord* entry, SeekableStream* source,
                                      const EntryCompression& compression, bool defer) noexcept;

// Gives a new entry's header the method, record, flags and version its
// encoding calls for: AES-256 (method 99 with its record around the
// compression method, AE-2, encrypted flag, version 5.1) when its password
// asks for AES, the compression method and no AES record otherwise; zstd
// needs version 6.3. Called before the local header is written, since
// readers find the encryption there too; WriteEntryData calls it again.
[[nodiscard]] ResultCode PrepareEntryCoding(EntryRecord* entry) noexcept;

// Copies the source, from its position to its end, into destination at its
// position: through a CRC sink and the compressor, encrypted when the entry
// has a password (AES-256 when its password asks for it). Afterwards the entry's CRC, sizes (ZIP64 when they need
// it), flags and version needed describe what was written. A consumer that
// takes fewer bytes than offered gives RYL_E_END_OF_DATA; a compressor that
// cannot write its last output fails the entry too.
[[nodiscard]] ResultCode WriteEntryData(EntryRecord* entry, SeekableStream* source,
                                        SeekableStream* destination) noexcept;

}  // namespace ryl::archive
