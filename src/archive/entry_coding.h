// How an entry's stored bytes become its data: the compression method, and
// for an AES entry the record that names the method inside the encryption.
// The reader's gate (which entries it delivers) is decided here too.
#pragma once

#include <cstdint>
#include <optional>

#include "archive/central_header_image.h"
#include "archive/winzip_aes_record.h"

namespace ryl::archive {

struct EntryCoding {
  // The method the data is compressed with: for an AES entry the one its
  // record names, otherwise the header's.
  uint16_t method = 0;
  // Present for an AES entry whose record could be read.
  std::optional<AesRecord> aes;
  // Method 99 without a record this library can read.
  bool aesUnreadable = false;
};

[[nodiscard]] EntryCoding DescribeCoding(const CentralHeaderImage& header) noexcept;

// The methods the reader decompresses: stored, deflate, bzip2, LZMA, zstd
// and xz.
[[nodiscard]] bool IsDecodedMethod(uint16_t method) noexcept;

// Whether the reader delivers the entry. Versions up to 2.0 and the ZIP64
// versions 4.5 and 4.6 pass as they always did, whatever the method (a
// method it does not decode is delivered as stored). Beyond those, versions
// up to 6.3 pass for LZMA, zstd and xz, and for an AES entry whose record
// names a method the reader decodes.
[[nodiscard]] bool IsEntryReadable(const CentralHeaderImage& header) noexcept;

}  // namespace ryl::archive
