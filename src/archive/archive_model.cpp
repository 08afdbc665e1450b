#include "archive/archive_model.h"

#include <algorithm>
#include <utility>

#include "archive/central_directory.h"
#include "archive/entry_coding.h"
#include "archive/local_header.h"
#include "archive/traditional_cipher.h"
#include "archive/zip_names.h"
#include "archive/zip_records.h"
#include "archive/zip_text.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"
#include "sys/codec/mini_hash_crc32.h"
#include "sys/dos_time.h"
#include "sys/system_time.h"

namespace ryl::archive {

namespace {

constexpr uint8_t kPasswordMask = 0x5A;
// The decompressors' input buffers, filled by one read from the archive
// file each.
constexpr uint32_t kInflateBufferSize = 65536;
constexpr uint32_t kBunzipBufferSize = 65536;
constexpr uint32_t kUnlzmaBufferSize = 65536;
constexpr uint32_t kUnzstdBufferSize = 131072;
// What one read asks the decoder for, and one write hands the destination:
// at 16 KiB an entry of a few hundred megabytes took tens of thousands of
// decoder calls and as many host writes.
constexpr uint32_t kCopyBufferSize = 256 * 1024;

// The name index's key: the name with "/" for every separator.
std::u16string NameKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& unit : key) {
    if (IsNameSeparator(unit)) unit = u'/';
  }
  return key;
}

}  // namespace

ResultCode EntryRecord::SetPassword(const char16_t* password, int32_t length, int32_t selector) noexcept {
  if (selector == 1) return RYL_E_UNSUPPORTED_VERSION;
  std::u16string_view text;
  if (password != nullptr) {
    text = length < 0 ? std::u16string_view(password) : std::u16string_view(password, static_cast<uint32_t>(length));
  }
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> utf8;
  RYL_RETURN_IF_FAILED(EncodePassword(text, &bytes));
  // A password UTF-8 cannot carry (a lone surrogate) still serves the
  // traditional cipher, as it always did; AES then has none to match.
  if (EncodeEntryText(text, &utf8) < 0) utf8.clear();
  for (uint8_t& byte : bytes) byte ^= kPasswordMask;
  for (uint8_t& byte : utf8) byte ^= kPasswordMask;
  maskedPassword_ = std::move(bytes);
  maskedAesPassword_ = std::move(utf8);
  writeAes_ = selector == RYL_ZIP_PASSWORD_AES256 && !maskedAesPassword_.empty();
  // An entry from the archive keeps its flag: the password only decrypts,
  // unless the entry is empty and its local header is known.
  if (!fromArchive || (header.UncompressedSize() == 0 && dataOffsetKnown)) {
    if (!has_password()) {
      header.flags = static_cast<uint16_t>(header.flags & ~kFlagEncrypted);
    } else {
      header.flags = static_cast<uint16_t>(header.flags | kFlagEncrypted);
    }
  }
  return RYL_OK;
}

std::vector<uint8_t> EntryRecord::PasswordBytes() const {
  std::vector<uint8_t> plain(maskedPassword_);
  for (uint8_t& byte : plain) byte ^= kPasswordMask;
  return plain;
}

std::vector<uint8_t> EntryRecord::AesPasswordBytes() const {
  std::vector<uint8_t> plain(maskedAesPassword_);
  for (uint8_t& byte : plain) byte ^= kPasswordMask;
  return plain;
}

ResultCode EntryRecord::OpenStoredData(streams::OwnedStream* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  RYL_RETURN_IF_FAILED(FindDataOffset());
  const uint64_t size = header.CompressedSize();
  if (size > ~uint64_t{0} - dataOffset) return RYL_E_BAD_FORMAT;
  SeekableStream* window = core::MakeObject<streams::WindowStream>(owner->stream(), dataOffset, dataOffset + size);
  if (window == nullptr) return RYL_E_OUT_OF_MEMORY;
  out->reset(window);
  return RYL_OK;
}

ResultCode EntryRecord::FindDataOffset() noexcept {
  if (dataOffsetKnown) return RYL_OK;
  if (owner == nullptr || owner->stream() == nullptr) return RYL_E_INVALID_STATE;
  LocalHeaderInfo info;
  RYL_RETURN_IF_FAILED(ReadLocalHeader(owner->stream(), localHeaderOffset, &info));
  dataOffset = info.dataOffset;
  dataOffsetKnown = true;
  return RYL_OK;
}

ResultCode EntryRecord::OpenData() noexcept {
  if (!IsEntryReadable(header) || data_ != nullptr) return RYL_E_ENTRY_UNSUPPORTED;
  RYL_RETURN_IF_FAILED(FindDataOffset());
  const EntryCoding coding = DescribeCoding(header);
  const bool encrypted = (header.flags & kFlagEncrypted) != 0 || coding.aes.has_value();
  if (encrypted && !has_password()) return RYL_E_PASSWORD_REQUIRED;

  // Hostile ZIP64 sizes may reach past 2^64: the window then just runs to
  // the end of the archive stream.
  const uint64_t size = header.CompressedSize();
  const uint64_t end = size > ~uint64_t{0} - dataOffset ? ~uint64_t{0} : dataOffset + size;
  window_.reset(core::MakeObject<streams::WindowStream>(owner->stream(), dataOffset, end));
  if (!window_) return RYL_E_OUT_OF_MEMORY;
  SeekableStream* top = window_.get();
  checkCrc_ = true;

  if (coding.aes) {
    aesDecrypt_.reset(core::MakeObject<AesDecryptingStream>());
    if (!aesDecrypt_) {
      CloseData();
      return RYL_E_OUT_OF_MEMORY;
    }
    std::vector<uint8_t> plain = AesPasswordBytes();
    const ResultCode opened = aesDecrypt_->Open(top, size, coding.aes->strength, plain.data(), plain.size());
    std::fill(plain.begin(), plain.end(), uint8_t{0});
    if (opened < 0) {
      CloseData();
      return opened;
    }
    top = aesDecrypt_.get();
    checkCrc_ = coding.aes->version != kAesVersion2;
  } else if (encrypted) {
    decrypt_.reset(core::MakeObject<DecryptingStream>());
    if (!decrypt_) {
      CloseData();
      return RYL_E_OUT_OF_MEMORY;
    }
    std::vector<uint8_t> plain = PasswordBytes();
    const TraditionalKeys keys(plain.data(), plain.size());
    std::fill(plain.begin(), plain.end(), uint8_t{0});
    const ResultCode opened =
        decrypt_->Open(top, keys, EncryptionCheckByte(header.flags, header.dosTime, header.crc32));
    if (opened < 0) {
      CloseData();
      return opened;
    }
    top = decrypt_.get();
  }

  const ResultCode decoder = OpenDecoder(coding.method, &top);
  if (decoder < 0) {
    CloseData();
    return decoder;
  }
  data_ = top;
  return RYL_OK;
}

ResultCode EntryRecord::OpenDecoder(uint16_t method, SeekableStream** top) noexcept {
  ResultCode rc = RYL_OK;
  if (method == kMethodDeflate) {
    inflate_.reset(core::MakeObject<codec::DeflateStream>());
    rc = inflate_ ? inflate_->Initialize(*top, false, -1, kInflateBufferSize) : RYL_E_OUT_OF_MEMORY;
    if (rc >= 0) *top = inflate_.get();
  } else if (method == kMethodBzip2) {
    bunzip_.reset(core::MakeObject<codec::Bzip2Stream>());
    rc = bunzip_ ? bunzip_->Initialize(*top, false, kBunzipBufferSize, 9) : RYL_E_OUT_OF_MEMORY;
    if (rc >= 0) *top = bunzip_.get();
  } else if (method == kMethodLzma || method == kMethodXz) {
    unlzma_.reset(core::MakeObject<codec::LzmaStream>());
    const auto format = method == kMethodLzma ? sys::RylLzmaFormat::kZipLzma : sys::RylLzmaFormat::kXz;
    const bool endMarker = (header.flags & kFlagLzmaEndMarker) != 0;
    rc = unlzma_ ? unlzma_->Initialize(*top, format, header.UncompressedSize(), endMarker, kUnlzmaBufferSize)
                 : RYL_E_OUT_OF_MEMORY;
    if (rc >= 0) *top = unlzma_.get();
  } else if (method == kMethodZstd) {
    unzstd_.reset(core::MakeObject<codec::ZstdStream>());
    rc = unzstd_ ? unzstd_->Initialize(*top, false, kUnzstdBufferSize, 0) : RYL_E_OUT_OF_MEMORY;
    if (rc >= 0) *top = unzstd_.get();
  }
  return rc;
}

ResultCode EntryRecord::CopyDataTo(SeekableStream* target) noexcept {
  if (data_ == nullptr || target == nullptr) return RYL_E_INVALID_STATE;
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(kCopyBufferSize);
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
  sys::RylMiniHashCrc32 crc;
  crc.Initialize();
  const bool decoded = IsDecodedMethod(DescribeCoding(header).method);
  const uint64_t expected = header.UncompressedSize();
  uint64_t total = 0;
  for (;;) {
    uint32_t done = 0;
    const ResultCode read = data_->Read(buffer.data(), kCopyBufferSize, &done);
    if (read < 0 && !core::IsEndOfData(read)) return read;
    if (done != 0) {
      // A decoder runs on for as long as its data says. Data that decodes
      // past the stated size is damaged or built to fill the disk (a few
      // bytes can inflate to gigabytes), so nothing beyond that size
      // reaches the destination.
      if (decoded && done > expected - total) return RYL_E_BAD_FORMAT;
      if (checkCrc_) crc.Add(buffer.data(), done);
      total += done;
      uint32_t written = 0;
      const ResultCode write = target->Write(buffer.data(), done, &written);
      if (write < 0) return write;
    }
    if (read < 0 || read == RYL_S_END_OF_DATA || done == 0) break;
  }
  // The authentication code covers every stored byte, including any the
  // decompressor did not need; until it matches, nothing here is good.
  if (aesDecrypt_) RYL_RETURN_IF_FAILED(aesDecrypt_->Finish());
  if (decoded && ((checkCrc_ && crc.Get() != header.crc32) || total != expected)) return RYL_E_BAD_FORMAT;
  return RYL_OK;
}

void EntryRecord::CloseData() noexcept {
  data_ = nullptr;
  unzstd_.reset();
  unlzma_.reset();
  bunzip_.reset();
  inflate_.reset();
  aesDecrypt_.reset();
  decrypt_.reset();
  window_.reset();
}

ResultCode ArchiveModel::Attach(streams::OwnedStream stream) noexcept {
  Clear();
  owned_ = std::move(stream);
  stream_ = owned_.get();
  return Load();
}

ResultCode ArchiveModel::AttachBorrowed(SeekableStream* stream) noexcept {
  Clear();
  stream_ = stream;
  return Load();
}

ResultCode ArchiveModel::Load() noexcept {
  nameIndexValid_ = false;
  ZipDirectory directory;
  RYL_RETURN_IF_FAILED(ReadZipDirectory(stream_, &directory));
  try {
    entries_.reserve(directory.entries.size());
  } catch (...) {
    return RYL_E_OUT_OF_MEMORY;
  }
  for (CentralHeaderImage& image : directory.entries) {
    // An entry missing from the list would be missing from the next save.
    core::ObjectPtr<EntryRecord> record(core::MakeObject<EntryRecord>());
    if (!record) {
      entries_.clear();
      return RYL_E_OUT_OF_MEMORY;
    }
    record->owner = this;
    const uint64_t stored = image.LocalHeaderOffset();
    // A hostile offset that cannot move stays where it is and fails to read.
    record->localHeaderOffset = stored <= ~uint64_t{0} - directory.prefixLength ? stored + directory.prefixLength : stored;
    record->newLocalHeaderOffset = record->localHeaderOffset;
    record->header = std::move(image);
    record->fromArchive = true;
    entries_.push_back(std::move(record));
  }
  carried_ = std::move(directory.skipped);
  comment_ = std::move(directory.comment);
  isZip64_ = directory.zip64.has_value();
  // A header that is not one ends the walk normally, but before the count
  // the end record gives it stands where a damaged header lost its signature.
  const uint64_t listed = entries_.size() + directory.skippedEntries;
  directoryComplete_ = directory.stop == CentralHeaderResult::kNotAHeader && listed >= directory.totalEntries;
  directoryOffset_ = directory.hasEndRecord ? directory.directoryOffset : 0;
  prefixLength_ = directory.prefixLength;
  committedCount_ = entries_.size();
  return RYL_OK;
}

void ArchiveModel::Clear() noexcept {
  entries_.clear();
  carried_.clear();
  committedCount_ = 0;
  comment_.clear();
  isZip64_ = false;
  directoryComplete_ = true;
  directoryOffset_ = 0;
  prefixLength_ = 0;
  nameIndex_.clear();
  nameIndexValid_ = false;
  nameIndexShared_ = false;
  stream_ = nullptr;
  owned_.reset();
}

ResultCode ArchiveModel::AddEntry(std::u16string_view name, EntryRecord** outEntry) noexcept {
  if (outEntry == nullptr) return RYL_E_INVALID_ARG;
  if (Find(name) != nullptr) return RYL_E_ALREADY_EXISTS;
  if (!IsValidEntryName(name)) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    core::ObjectPtr<EntryRecord> record(core::MakeObject<EntryRecord>());
    if (!record) return RYL_E_OUT_OF_MEMORY;
    record->owner = this;
    CentralHeaderImage& header = record->header;
    RYL_RETURN_IF_FAILED(sys::RylGetSystemTime(&header.time));
    RYL_RETURN_IF_FAILED(sys::RylConvertRylTimeToDosDateTime(&header.dosDate, &header.dosTime, header.time));
    RYL_RETURN_IF_FAILED(NormalizeEntryName(name, &header.name, &header.externalAttributes));
    // "a//b" is stored as "a/b": looked up only as given, it would slip past
    // an "a/b" already there and give the archive two entries of one name.
    if (Find(header.name) != nullptr) return RYL_E_ALREADY_EXISTS;
    // Not placed yet (the record's 64-bit offset says so); the 32-bit field
    // stays clear of the ZIP64 marker, which would call for a value in the
    // entry's ZIP64 record.
    header.localHeaderOffset = 0;
    record->pending = true;
    entries_.push_back(std::move(record));
    *outEntry = entries_.back().get();
    // Find above left the index exact, and the name is not in it.
    if (nameIndexValid_) {
      try {
        nameIndex_.emplace(NameKey((*outEntry)->header.name), *outEntry);
      } catch (...) {
        nameIndexValid_ = false;
      }
    }
    return RYL_OK;
  });
}

void ArchiveModel::RemoveEntry(EntryRecord* entry) noexcept {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].get() != entry) continue;
    if (nameIndexValid_ && !nameIndexShared_) {
      try {
        const auto found = nameIndex_.find(NameKey(entry->header.name));
        if (found != nameIndex_.end() && found->second == entry) {
          nameIndex_.erase(found);
        } else {
          nameIndexValid_ = false;
        }
      } catch (...) {
        nameIndexValid_ = false;
      }
    } else {
      nameIndexValid_ = false;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    if (i < committedCount_) --committedCount_;
    return;
  }
}

ResultCode ArchiveModel::SetComment(std::u16string_view comment) noexcept {
  return core::GuardEntry([&] {
    comment_.assign(comment);
    return RYL_OK;
  });
}

EntryRecord* ArchiveModel::FindByWalking(std::u16string_view name) const noexcept {
  for (const auto& entry : entries_) {
    if (EntryNamesMatch(entry->header.name, name)) return entry.get();
  }
  return nullptr;
}

bool ArchiveModel::RebuildNameIndex() const noexcept {
  try {
    nameIndex_.clear();
    nameIndexShared_ = false;
    nameIndex_.reserve(entries_.size());
    for (const auto& entry : entries_) {
      if (!nameIndex_.emplace(NameKey(entry->header.name), entry.get()).second) nameIndexShared_ = true;
    }
    nameIndexValid_ = true;
  } catch (...) {
    nameIndex_.clear();
    nameIndexValid_ = false;
  }
  return nameIndexValid_;
}

EntryRecord* ArchiveModel::Find(std::u16string_view name) const noexcept {
  if (!nameIndexValid_ && !RebuildNameIndex()) return FindByWalking(name);
  try {
    const auto found = nameIndex_.find(NameKey(name));
    return found == nameIndex_.end() ? nullptr : found->second;
  } catch (...) {
    return FindByWalking(name);
  }
}

void ArchiveModel::NoteRenamed(EntryRecord* entry, std::u16string_view oldName) noexcept {
  if (!nameIndexValid_) return;
  try {
    const auto old = nameIndex_.find(NameKey(oldName));
    // A shared name, or a new name already taken, decides by order: rebuild.
    if (nameIndexShared_ || old == nameIndex_.end() || old->second != entry) {
      nameIndexValid_ = false;
      return;
    }
    nameIndex_.erase(old);
    if (!nameIndex_.emplace(NameKey(entry->header.name), entry).second) nameIndexValid_ = false;
  } catch (...) {
    nameIndexValid_ = false;
  }
}

}  // namespace ryl::archive
