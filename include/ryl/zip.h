// ZIP archives: the service that works on archive files by path, archives
// held open in memory, handles on their entries, and entry enumerators.
// None of these tables has a query slot: slot 0 releases the object.
// Handles, enumerators and archives are owned by whoever received them,
// except the entry that EntryEnumerator::Current hands out, which the
// enumerator keeps. Entry handles and enumerators are valid while their
// archive lives.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"
#include "ryl/streams.h"

// How a new entry is compressed: selector 2 deflate, 3 bzip2, 93 zstd,
// anything else stored; level as the codec takes it (bzip2: level / 100;
// zstd: 1 to 22, negative for its default of 3, above 22 taken as 22). A
// resulting level of 0 stores the entry.
struct RylZipCompression {
  int32_t selector;
  int32_t level;
};

enum RylZipCompressionSelector : int32_t {
  RYL_ZIP_COMPRESS_DEFLATE = 2,
  RYL_ZIP_COMPRESS_BZIP2 = 3,
  RYL_ZIP_COMPRESS_ZSTD = 93,
};

// Password selectors of the add operations and ArchiveEntry::SetPassword.
// 256 makes a new entry's writer encrypt with WinZip's AES-256 (AE-2)
// rather than the traditional cipher; 1 is refused; any other value means
// the traditional cipher. Reading needs no selector: the entry says how it
// was encrypted.
enum RylZipPasswordSelector : int32_t {
  RYL_ZIP_PASSWORD_TRADITIONAL = 0,
  RYL_ZIP_PASSWORD_AES256 = 256,
};

// ArchiveEntry::GetMethod values. Methods outside these four, LZMA, zstd
// and xz among them, are OTHER here, as they always were; GetMethodId names
// them. An AES entry reports the method inside its encryption.
enum RylZipMethod : uint32_t {
  RYL_ZIP_METHOD_OTHER = 0,
  RYL_ZIP_METHOD_STORED = 1,
  RYL_ZIP_METHOD_DEFLATE = 2,
  RYL_ZIP_METHOD_BZIP2 = 3,
};

// ArchiveEntry::GetEncryption values.
enum RylZipEncryption : uint32_t {
  RYL_ZIP_ENCRYPTION_NONE = 0,
  RYL_ZIP_ENCRYPTION_TRADITIONAL = 1,
  RYL_ZIP_ENCRYPTION_AES128 = 2,
  RYL_ZIP_ENCRYPTION_AES192 = 3,
  RYL_ZIP_ENCRYPTION_AES256 = 4,
  // Method 99 without an AES record the library can read.
  RYL_ZIP_ENCRYPTION_UNKNOWN = 0xFF,
};

// A handle on one entry of an archive.
RYL_INTERFACE ArchiveEntry {
  virtual void RYL_THISCALL Release() = 0;
  // Views into the entry, valid until its text changes or the archive goes.
  // Names use "/" as separator; a directory's name ends with "/".
  virtual RylStringView* RYL_THISCALL GetName(RylStringView* result) = 0;
  virtual ResultCode RYL_THISCALL SetName(const RylChar16* name, int32_t length) = 0;
  virtual RylStringView* RYL_THISCALL GetComment(RylStringView* result) = 0;
  virtual ResultCode RYL_THISCALL SetComment(const RylChar16* text, int32_t length) = 0;
  // 100-ns units since 1601, from the entry's DOS date and time.
  virtual uint64_t RYL_THISCALL GetTime() = 0;
  virtual ResultCode RYL_THISCALL SetTime(uint64_t time) = 0;
  virtual uint8_t RYL_THISCALL IsEncrypted() = 0;
  // length -1: up to the first zero unit. selector 1 is refused with
  // RYL_E_UNSUPPORTED_VERSION; RYL_ZIP_PASSWORD_AES256 makes a new entry
  // AES-256 encrypted; every other selector means the traditional cipher.
  // An entry read from an archive is decrypted the way it was encrypted,
  // whatever the selector.
  virtual ResultCode RYL_THISCALL SetPassword(const RylChar16* password, int32_t length, int32_t selector) = 0;
  virtual uint64_t RYL_THISCALL GetUncompressedSize() = 0;
  virtual uint64_t RYL_THISCALL GetCompressedSize() = 0;
  // True when ExtractTo can deliver the entry: a version needed up to 2.0,
  // 4.5 or 4.6; or up to 6.3 for LZMA, zstd and xz entries and for AES
  // entries around a method the library decompresses (stored, deflate,
  // bzip2, LZMA, zstd, xz).
  virtual uint8_t RYL_THISCALL IsVersionSupported() = 0;
  virtual uint8_t RYL_THISCALL IsDirectory() = 0;
  virtual uint32_t RYL_THISCALL GetMethod() = 0;  // RylZipMethod
  // Writes the entry's data, decrypted and decompressed, to destination at
  // its position. A failure cuts the destination back to where it started
  // when its position could be told. Data read to its end whose CRC-32
  // differs from the directory's gives RYL_E_BAD_FORMAT, and so does an AES
  // entry whose authentication code does not match its stored bytes.
  virtual ResultCode RYL_THISCALL ExtractTo(HostStream* destination) = 0;
  // The ZIP method number the data is compressed with (0 stored, 8
  // deflate, 12 bzip2, 14 LZMA, 93 zstd, 95 xz, ...); for an AES entry the
  // method inside the encryption, or 99 when its record cannot be read.
  virtual uint32_t RYL_THISCALL GetMethodId() = 0;
  virtual uint32_t RYL_THISCALL GetEncryption() = 0;  // RylZipEncryption
};

RYL_INTERFACE EntryEnumerator {
  virtual void RYL_THISCALL Release() = 0;
  // The enumerator keeps the handle it gives and releases it at the next
  // Current and at its own release: the caller must not release it.
  // RYL_E_NO_MORE_ITEMS past the last entry.
  virtual ResultCode RYL_THISCALL Current(ArchiveEntry** outEntry) = 0;
  // RYL_S_NO_MORE_ITEMS when this step went past the last entry,
  // RYL_E_NO_MORE_ITEMS when already past it.
  virtual ResultCode RYL_THISCALL MoveNext() = 0;
  virtual ResultCode RYL_THISCALL Reset() = 0;
};

// An archive held open in memory.
RYL_INTERFACE Archive {
  // Discards the archive (and unsaved changes) and closes its file.
  virtual void RYL_THISCALL Release() = 0;
  virtual ResultCode RYL_THISCALL AddDirectory(const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL AddEntryFromStream(HostStream* source, const RylChar16* name, uint32_t nameLength,
                                                     const RylZipCompression* compression,
                                                     const RylChar16* password, int32_t passwordLength,
                                                     int32_t passwordSelector) = 0;
  virtual ResultCode RYL_THISCALL AddEntryFromFile(const RylChar16* sourcePath, uint32_t ignored,
                                                   const RylChar16* name, uint32_t nameLength,
                                                   const RylZipCompression* compression, const RylChar16* password,
                                                   int32_t passwordLength, int32_t passwordSelector) = 0;
  // A view of the archive comment, valid until it changes or the archive goes.
  virtual RylStringView* RYL_THISCALL GetComment(RylStringView* result) = 0;
  virtual ResultCode RYL_THISCALL SetComment(const RylChar16* text, int32_t length) = 0;
  // The first entry whose name matches: same length, units equal or both
  // "/" or "\"; case counts. RYL_E_ELEMENT_NOT_FOUND when none.
  virtual ResultCode RYL_THISCALL FindEntry(ArchiveEntry** outEntry, const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL RemoveEntry(const RylChar16* name, uint32_t nameLength) = 0;
  virtual uint32_t RYL_THISCALL GetEntryCount() = 0;
  virtual ResultCode RYL_THISCALL CreateEnumerator(EntryEnumerator** outEnumerator) = 0;
  virtual ResultCode RYL_THISCALL Save(const RylChar16* path, uint32_t pathLength) = 0;
};

// Archive files by path, one call each. Delivered by
// ArchiveFactory::CreateZipService. Every path here, and the paths of
// Archive::Save and Archive::AddEntryFromFile, must be zero-terminated: the
// library reads them up to the terminator (a length of 0 is refused).
// AddStreamToArchive compresses with deflate only; any other selector is
// RYL_E_UNSUPPORTED_VERSION.
RYL_INTERFACE ZipService {
  virtual void RYL_THISCALL Release() = 0;
  virtual ResultCode RYL_THISCALL CreateArchive(Archive** outArchive) = 0;
  // Opens the file if it exists and creates it (empty) otherwise; an empty
  // file is an archive with no entries.
  virtual ResultCode RYL_THISCALL OpenArchive(Archive** outArchive, const RylChar16* path, uint32_t pathLength) = 0;
  virtual ResultCode RYL_THISCALL ContainsEntry(uint8_t* outContains, const RylChar16* path, uint32_t pathLength,
                                                const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL AddStreamToArchive(const RylChar16* path, uint32_t pathLength, HostStream* source,
                                                     const RylChar16* name, uint32_t nameLength,
                                                     const RylZipCompression* compression,
                                                     const RylChar16* password, int32_t passwordLength,
                                                     int32_t passwordSelector) = 0;
  virtual ResultCode RYL_THISCALL AddFileToArchive(const RylChar16* path, uint32_t pathLength,
                                                   const RylChar16* sourcePath, uint32_t ignored,
                                                   const RylChar16* name, uint32_t nameLength,
                                                   const RylZipCompression* compression, const RylChar16* password,
                                                   int32_t passwordLength, int32_t passwordSelector) = 0;
  // RYL_E_FILE_NOT_FOUND when the archive has no such entry. The destination
  // is created only once the entry's data could be opened, and deleted again
  // when the extraction fails after that.
  virtual ResultCode RYL_THISCALL ExtractEntryToFile(const RylChar16* path, uint32_t pathLength,
                                                     const RylChar16* name, uint32_t nameLength,
                                                     const RylChar16* destinationPath, uint32_t ignored,
                                                     const RylChar16* password, uint32_t passwordLength,
                                                     int32_t passwordSelector) = 0;
  virtual ResultCode RYL_THISCALL RemoveEntryFromArchive(const RylChar16* path, uint32_t pathLength,
                                                         const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL Reserved8() = 0;   // RYL_E_NOT_IMPLEMENTED
  virtual ResultCode RYL_THISCALL Reserved9() = 0;   // RYL_E_NOT_IMPLEMENTED
  virtual ResultCode RYL_THISCALL Reserved10() = 0;  // RYL_E_NOT_IMPLEMENTED
};

// Writes an archive front to back into one stream (type 25, highest version
// 1), which root slot 15 delivers: each entry is compressed and written when
// it is added, and Close appends the directory. A stream that cannot seek
// (a pipe) gets data descriptors after every entry instead of headers
// rewritten in place. Released without a successful Close, it leaves
// nothing behind: a file it created is deleted, and a caller's stream is
// put back to the length and bytes it had when it was opened.
RYL_INTERFACE StreamingArchive {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // Lists the archive already in stream (which must outlive the object);
  // new entries follow from where its directory began.
  virtual ResultCode RYL_THISCALL OpenOnStream(HostStream* stream) = 0;
  // Creates the file, failing when it exists. length -1: zero-terminated.
  virtual ResultCode RYL_THISCALL OpenFile(const RylChar16* path, int32_t length) = 0;
  // time all ones keeps the current time. comment null: none.
  virtual ResultCode RYL_THISCALL AddEntryFromStream(HostStream* source, const RylChar16* name, uint32_t nameLength,
                                                     const RylZipCompression* compression,
                                                     const RylChar16* password, int32_t passwordLength,
                                                     int32_t passwordSelector, const RylChar16* comment,
                                                     int32_t commentLength, uint64_t time) = 0;
  virtual ResultCode RYL_THISCALL AddEntryFromFile(const RylChar16* sourcePath, uint32_t ignored,
                                                   const RylChar16* name, uint32_t nameLength,
                                                   const RylZipCompression* compression, const RylChar16* password,
                                                   int32_t passwordLength, int32_t passwordSelector,
                                                   const RylChar16* comment, int32_t commentLength,
                                                   uint64_t time) = 0;
  // Written at the next add or at Close.
  virtual ResultCode RYL_THISCALL AddDirectory(const RylChar16* name, uint32_t nameLength) = 0;
  virtual ResultCode RYL_THISCALL SetComment(const RylChar16* text, int32_t length) = 0;
  // RYL_E_NOT_OPEN before opening. A failure leaves the object open.
  virtual ResultCode RYL_THISCALL Close() = 0;
};

#if defined(__cplusplus)
static_assert(sizeof(RylZipCompression) == 8, "compression request");
static_assert(offsetof(RylZipCompression, level) == 4, "compression request");
#endif
