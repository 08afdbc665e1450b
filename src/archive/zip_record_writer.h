// Writing the records at a stream's current position, each in one write,
// with the values the format gives every field: bit 11 follows the texts
// (name or entry comment) in both headers alike, names and entry comments
// are UTF-8, the archive comment is in the OEM code page it is read in, the local
// header zeroes CRC and sizes under bit 3, and every kept extra record goes
// out unchanged ahead of the entry's ZIP64 record. Texts and extra fields
// that do not fit their 16-bit lengths give RYL_E_VALUE_TOO_LARGE and
// nothing is written; so does nothing at all on any other refusal.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "archive/central_header_image.h"
#include "archive/zip_records.h"
#include "ryl/streams.h"

namespace ryl::archive {

// The local header's bytes. Its ZIP64 record holds only the sizes the
// entry's record carries, which is all a local header's record is read for;
// so the length stays the same whether the local header offset is known yet
// or not, and a header rewritten in place after its data keeps its length.
// An image whose ZIP64 record disagrees with its markers (see
// HasConsistentZip64) gives RYL_E_INVALID_ARG.
[[nodiscard]] ResultCode BuildLocalHeader(const CentralHeaderImage& image, std::vector<uint8_t>* out) noexcept;
[[nodiscard]] ResultCode BuildCentralHeader(const CentralHeaderImage& image, std::vector<uint8_t>* out) noexcept;

// *outLength, when asked for, receives the bytes written.
[[nodiscard]] ResultCode WriteLocalHeader(SeekableStream* stream, const CentralHeaderImage& image,
                                          uint32_t* outLength = nullptr) noexcept;
// CRC and the 32-bit size fields as the image holds them; an entry whose
// local header carries its sizes in a ZIP64 record gets the 24-byte form
// with 64-bit sizes instead, which is what a reader that follows the local
// headers (a streaming extractor) expects after such a header.
[[nodiscard]] ResultCode WriteDataDescriptor(SeekableStream* stream, const CentralHeaderImage& image) noexcept;
[[nodiscard]] ResultCode WriteCentralHeader(SeekableStream* stream, const CentralHeaderImage& image,
                                            uint32_t* outLength = nullptr) noexcept;
// The comment length field is taken from the encoded comment, not from
// fields.
[[nodiscard]] ResultCode WriteEndRecord(SeekableStream* stream, const EndRecord& fields,
                                        std::u16string_view comment) noexcept;
[[nodiscard]] ResultCode WriteZip64EndRecord(SeekableStream* stream, const Zip64EndRecord& fields) noexcept;
[[nodiscard]] ResultCode WriteZip64Locator(SeekableStream* stream, const Zip64Locator& fields) noexcept;

// Sets the entry counts, directory size and directory offset of both end
// records; the classic record gets 0xFFFF or 0xFFFFFFFF for a value that
// does not fit below that. Other fields are left as they are. True when any
// classic field overflowed, which is one of the reasons to write the ZIP64
// records.
bool FillDirectoryTotals(uint64_t entryCount, uint64_t directorySize, uint64_t directoryOffset, EndRecord* end,
                         Zip64EndRecord* zip64) noexcept;

}  // namespace ryl::archive
