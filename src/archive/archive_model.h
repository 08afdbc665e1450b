// The in-memory archive: the entries loaded from an archive's directory, in
// directory order, and for each entry the chain of streams that delivers
// its data (window onto the archive, decryption, decompression).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/aes_cipher_streams.h"
#include "archive/central_directory.h"
#include "archive/central_header_image.h"
#include "archive/traditional_cipher_streams.h"
#include "codec/bzip2_stream.h"
#include "codec/deflate_stream.h"
#include "codec/lzma_stream.h"
#include "codec/zstd_stream.h"
#include "core/object_ptr.h"
#include "ryl/streams.h"
#include "ryl/zip.h"
#include "streams/owned_stream.h"
#include "streams/window_stream.h"

namespace ryl::archive {

class ArchiveModel;

class EntryRecord {
 public:
  EntryRecord() noexcept = default;
  ~EntryRecord() { CloseData(); }
  EntryRecord(const EntryRecord&) = delete;
  EntryRecord& operator=(const EntryRecord&) = delete;

  ArchiveModel* owner = nullptr;
  CentralHeaderImage header;
  uint64_t localHeaderOffset = ~uint64_t{0};
  uint64_t dataOffset = 0;
  bool dataOffsetKnown = false;
  bool fromArchive = false;

  // Writer state. A pending entry's data still has to be compressed from
  // source (not owned) when the archive is written; an entry compressed at
  // once holds its finished bytes in compressed.
  bool pending = false;
  SeekableStream* source = nullptr;
  bool defer = false;
  int32_t level = 0;
  streams::OwnedStream compressed;
  uint64_t newLocalHeaderOffset = 0;

  // The password as ANSI bytes for the traditional encryption and as UTF-8
  // for AES; an empty password is none. Held masked so that a memory dump
  // does not show it in the clear. The AES selector makes a new entry's
  // writer encrypt with AES-256 instead of the traditional cipher.
  [[nodiscard]] ResultCode SetPassword(const char16_t* password, int32_t length, int32_t selector) noexcept;
  bool has_password() const noexcept { return !maskedPassword_.empty() || !maskedAesPassword_.empty(); }
  bool writes_aes() const noexcept { return writeAes_; }
  // The password's bytes in the clear: ANSI for the traditional cipher,
  // UTF-8 for AES.
  [[nodiscard]] std::vector<uint8_t> PasswordBytes() const;
  [[nodiscard]] std::vector<uint8_t> AesPasswordBytes() const;

  // The entry's data as the archive stores it (compressed and encrypted),
  // for copying unchanged: a window onto the archive stream that the caller
  // owns afterwards.
  [[nodiscard]] ResultCode OpenStoredData(streams::OwnedStream* out) noexcept;

  // Builds the entry's data stream. RYL_E_ENTRY_UNSUPPORTED for a version
  // the reader cannot deliver or while a data stream is open;
  // RYL_E_PASSWORD_REQUIRED / RYL_E_WRONG_PASSWORD for encrypted entries.
  [[nodiscard]] ResultCode OpenData() noexcept;
  // Copies the open data stream to target until the data ends. Data read to
  // its end must match the directory's CRC-32 and size (RYL_E_BAD_FORMAT
  // otherwise), except for methods the reader delivers raw, whose stored
  // bytes are not what the CRC describes. An AES entry must also carry the
  // authentication code of its stored bytes; AE-2 entries, which store no
  // CRC, are verified by that code alone.
  [[nodiscard]] ResultCode CopyDataTo(SeekableStream* target) noexcept;
  void CloseData() noexcept;
  bool data_open() const noexcept { return data_ != nullptr; }

 private:
  [[nodiscard]] ResultCode FindDataOffset() noexcept;

  [[nodiscard]] ResultCode OpenDecoder(uint16_t method, SeekableStream** top) noexcept;

  std::vector<uint8_t> maskedPassword_;
  std::vector<uint8_t> maskedAesPassword_;
  bool writeAes_ = false;
  core::ObjectPtr<streams::WindowStream> window_;
  core::ObjectPtr<DecryptingStream> decrypt_;
  core::ObjectPtr<AesDecryptingStream> aesDecrypt_;
  core::ObjectPtr<codec::DeflateStream> inflate_;
  core::ObjectPtr<codec::Bzip2Stream> bunzip_;
  core::ObjectPtr<codec::LzmaStream> unlzma_;
  core::ObjectPtr<codec::ZstdStream> unzstd_;
  bool checkCrc_ = true;
  SeekableStream* data_ = nullptr;
};

class ArchiveModel {
 public:
  ArchiveModel() noexcept = default;
  ~ArchiveModel() { Clear(); }
  ArchiveModel(const ArchiveModel&) = delete;
  ArchiveModel& operator=(const ArchiveModel&) = delete;

  // Takes the stream (released with the model) and loads its directory. A
  // stream shorter than 18 bytes is an empty archive; a missing end record
  // fails with RYL_E_END_OF_DATA. Headers that cannot be turned into entries
  // are skipped; only the vector failing to grow fails.
  [[nodiscard]] ResultCode Attach(streams::OwnedStream stream) noexcept;
  // The same over a stream the model does not own.
  [[nodiscard]] ResultCode AttachBorrowed(SeekableStream* stream) noexcept;
  void Clear() noexcept;

  // A new entry with a writer's defaults and the normalised name, appended
  // after the others. RYL_E_ALREADY_EXISTS when the name is taken,
  // RYL_E_INVALID_ARG when it is not a valid entry name.
  [[nodiscard]] ResultCode AddEntry(std::u16string_view name, EntryRecord** outEntry) noexcept;
  // Destroys the entry (which must be the model's) and closes the gap.
  void RemoveEntry(EntryRecord* entry) noexcept;
  [[nodiscard]] ResultCode SetComment(std::u16string_view comment) noexcept;
  void set_committed_count(size_t count) noexcept { committedCount_ = count; }
  void set_zip64(bool zip64) noexcept { isZip64_ = zip64; }

  // The first entry whose name matches (case-sensitive, "\" equals "/").
  // Looked up in an index of the names, so that adding N entries does not
  // cost N squared comparisons; without memory for the index, by a walk.
  [[nodiscard]] EntryRecord* Find(std::u16string_view name) const noexcept;
  // To be called after an entry's name was changed from oldName anywhere
  // but here, so that Find sees the new one.
  void NoteRenamed(EntryRecord* entry, std::u16string_view oldName) noexcept;

  SeekableStream* stream() const noexcept { return stream_; }
  const std::u16string& comment() const noexcept { return comment_; }
  bool is_zip64() const noexcept { return isZip64_; }
  size_t committed_count() const noexcept { return committedCount_; }
  std::vector<core::ObjectPtr<EntryRecord>>& entries() noexcept { return entries_; }
  // Headers the reader could not list, carried through a save unchanged.
  std::vector<RawCentralHeader>& carried() noexcept { return carried_; }
  // False when the directory could not be read to its end: headers after
  // the one it stopped at are not listed, and a save would lose them.
  bool directory_complete() const noexcept { return directoryComplete_; }
  // Where the loaded directory began: the end of the last entry's data.
  uint64_t directory_offset() const noexcept { return directoryOffset_; }
  // Bytes in front of the loaded archive that its stored offsets do not
  // count (a self-extractor's program). The model's own offsets are from the
  // start of the stream; a save keeps these bytes in front.
  uint64_t prefix_length() const noexcept { return prefixLength_; }

 private:
  [[nodiscard]] ResultCode Load() noexcept;
  [[nodiscard]] bool RebuildNameIndex() const noexcept;
  [[nodiscard]] EntryRecord* FindByWalking(std::u16string_view name) const noexcept;

  std::vector<core::ObjectPtr<EntryRecord>> entries_;
  std::vector<RawCentralHeader> carried_;
  size_t committedCount_ = 0;
  std::u16string comment_;
  bool isZip64_ = false;
  bool directoryComplete_ = true;
  uint64_t directoryOffset_ = 0;
  uint64_t prefixLength_ = 0;
  // Names with "/" for every separator, to the first entry of that name.
  // Rebuilt when it stops being exact; while two entries share a name (a
  // loaded archive may have them), any removal or rename rebuilds it, since
  // the first of the two must win.
  mutable std::unordered_map<std::u16string, EntryRecord*> nameIndex_;
  mutable bool nameIndexValid_ = false;
  mutable bool nameIndexShared_ = false;
  streams::OwnedStream owned_;
  SeekableStream* stream_ = nullptr;
};

}  // namespace ryl::archive
