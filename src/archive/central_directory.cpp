#include "archive/central_directory.h"

#include <new>

#include "archive/byte_order.h"
#include "archive/zip_names.h"
#include "archive/zip_text.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"
#include "sys/dos_time.h"

namespace ryl::archive {
namespace {

// Builds the image from a header read whole. The order of the checks
// decides which result a header with several faults gets: the faults that
// end the directory come before those that only skip the entry.
CentralHeaderResult BuildImage(const CentralHeaderFields& fields, const std::vector<uint8_t>& variable,
                               CentralHeaderImage* image) {
  const uint8_t* name = variable.data();
  const uint8_t* extra = name + fields.nameLength;
  const uint8_t* comment = extra + fields.extraLength;

  // Tools write impossible dates (all zeros is common). Ending the directory
  // there would hide every later entry and drop them on the next save, so the
  // entry stays, with no converted time; its stored pair is kept as read.
  uint64_t time = 0;
  if (sys::RylConvertDosDateTimeToRylTime(&time, fields.dosDate, fields.dosTime) < 0) time = 0;

  std::vector<ExtraRecord> extras;
  Zip64Span span;
  if (SplitExtraField(extra, fields.extraLength, &extras, &span) < 0) throw std::bad_alloc();
  std::optional<Zip64ExtendedInfo> zip64;
  if (span.present) {
    const Zip64Needs needs = {fields.uncompressedSize == kZip64Marker32, fields.compressedSize == kZip64Marker32,
                              fields.localHeaderOffset == kZip64Marker32};
    Zip64ExtendedInfo info;
    if (DecodeZip64ExtendedInfo(extra + span.offset, span.size, needs, &info) < 0) {
      return CentralHeaderResult::kBadZip64Record;
    }
    zip64 = info;
  }

  // Text that cannot be decoded, and an invalid name, cost the entry; a lack
  // of memory costs the whole load, since an archive listed with entries
  // missing would lose them when it is saved.
  auto skipUnlessOutOfMemory = [](ResultCode rc) {
    if (rc == RYL_E_OUT_OF_MEMORY) throw std::bad_alloc();
    return rc < 0;
  };
  const bool utf8 = (fields.flags & kFlagUtf8) != 0;
  std::u16string decodedName;
  std::u16string decodedComment;
  std::u16string normalizedName;
  uint32_t attributes = 0;
  if (skipUnlessOutOfMemory(DecodeEntryText(name, fields.nameLength, utf8, &decodedName)) ||
      skipUnlessOutOfMemory(DecodeEntryText(comment, fields.commentLength, utf8, &decodedComment)) ||
      skipUnlessOutOfMemory(NormalizeEntryName(decodedName, &normalizedName, &attributes))) {
    return CentralHeaderResult::kSkipped;
  }

  image->versionMadeBy = fields.versionMadeBy;
  image->versionNeeded = fields.versionNeeded;
  image->flags = fields.flags;
  image->method = fields.method;
  image->dosTime = fields.dosTime;
  image->dosDate = fields.dosDate;
  image->crc32 = fields.crc32;
  image->compressedSize = fields.compressedSize;
  image->uncompressedSize = fields.uncompressedSize;
  image->diskNumberStart = fields.diskNumberStart;
  image->internalAttributes = fields.internalAttributes;
  image->externalAttributes = attributes;
  image->localHeaderOffset = fields.localHeaderOffset;
  // A name the reader had to normalise (backslashes, doubled separators)
  // is written back in its normal form, so only an unchanged one keeps its
  // bytes.
  if (normalizedName == decodedName) {
    image->storedTexts.emplace();
    image->storedTexts->name.assign(name, name + fields.nameLength);
    image->storedTexts->comment.assign(comment, comment + fields.commentLength);
  }
  image->name = std::move(normalizedName);
  image->comment = std::move(decodedComment);
  image->time = time;
  image->extras = std::move(extras);
  image->zip64 = zip64;
  return CentralHeaderResult::kEntry;
}

bool HasCentralSignatureAt(SeekableStream* stream, uint64_t offset) noexcept {
  uint8_t signature[4];
  return ReadExactAt(stream, offset, signature, 4) >= 0 && LoadLe32(signature) == kCentralHeaderSignature;
}

// How many bytes precede the archive. The directory ends where the end
// records begin, so with its stored size it must start at recordsAt - size;
// a stored offset short of that with no header at it was counted from the
// start of an archive that was later put behind other data.
uint64_t PrefixLength(SeekableStream* stream, const ZipDirectory& directory) noexcept {
  const uint64_t recordsAt = directory.zip64 ? directory.zip64->recordOffset : directory.endRecordOffset;
  if (directory.directorySize == 0 || directory.directorySize > recordsAt) return 0;
  const uint64_t expected = recordsAt - directory.directorySize;
  if (expected <= directory.directoryOffset) return 0;
  if (HasCentralSignatureAt(stream, directory.directoryOffset) || !HasCentralSignatureAt(stream, expected)) return 0;
  return expected - directory.directoryOffset;
}

}  // namespace

uint32_t RawCentralHeader::StoredLocalHeaderOffset() const noexcept {
  return record.size() >= kCentralHeaderSize ? LoadLe32(record.data() + 42) : kZip64Marker32;
}

ResultCode ReadCentralHeader(BufferedStreamReader* reader, CentralHeaderImage* out,
                             CentralHeaderResult* result) noexcept {
  if (reader == nullptr || out == nullptr || result == nullptr) return RYL_E_INVALID_ARG;
  const uint64_t start = reader->position();
  // The signature alone tells the directory's end from a header cut short:
  // the record after the last header may well be shorter than a header.
  CentralHeaderBytes bytes;
  const ResultCode first = reader->Read(bytes.data(), 4);
  // A stream that fails ends the directory; a lack of memory fails the load.
  if (first == RYL_E_OUT_OF_MEMORY) return first;
  if (first < 0) {
    *result = CentralHeaderResult::kUnreadable;
    return RYL_OK;
  }
  if (LoadLe32(bytes.data()) != kCentralHeaderSignature) {
    reader->set_position(start);
    *result = CentralHeaderResult::kNotAHeader;
    return RYL_OK;
  }
  CentralHeaderFields fields;
  if (reader->Read(bytes.data() + 4, kCentralHeaderSize - 4) < 0 || !DecodeCentralHeader(bytes.data(), &fields)) {
    reader->set_position(start);
    *result = CentralHeaderResult::kUnreadable;
    return RYL_OK;
  }
  return core::GuardEntry([&]() -> ResultCode {
    // At most three 16-bit lengths: the buffer is bounded whatever the
    // header claims, and nothing is read beyond what the stream holds.
    std::vector<uint8_t> variable(uint32_t{fields.nameLength} + fields.extraLength + fields.commentLength);
    if (reader->Read(variable.data(), static_cast<uint32_t>(variable.size())) < 0) {
      reader->set_position(start);
      *result = CentralHeaderResult::kUnreadable;
      return RYL_OK;
    }
    CentralHeaderImage image;
    const CentralHeaderResult built = BuildImage(fields, variable, &image);
    if (built == CentralHeaderResult::kEntry) {
      *out = std::move(image);
    } else if (built != CentralHeaderResult::kSkipped) {
      reader->set_position(start);
    }
    *result = built;
    return RYL_OK;
  });
}

ResultCode ReadZipDirectory(SeekableStream* stream, ZipDirectory* out) noexcept {
  if (stream == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  EndRecordLocation location;
  RYL_RETURN_IF_FAILED(FindEndRecord(stream, &location));
  return core::GuardEntry([&]() -> ResultCode {
    ZipDirectory directory;
    if (!location.present) {
      *out = std::move(directory);
      return RYL_OK;
    }
    directory.hasEndRecord = true;
    directory.endRecordOffset = location.offset;
    RYL_RETURN_IF_FAILED(ReadEndRecord(stream, location.offset, &directory.endRecord, &directory.comment));
    directory.directoryOffset = directory.endRecord.directoryOffset;
    directory.directorySize = directory.endRecord.directorySize;
    directory.totalEntries = directory.endRecord.totalEntries;
    directory.zip64 = FindZip64EndRecord(stream, location.offset);
    if (directory.zip64) {
      directory.directoryOffset = directory.zip64->record.directoryOffset;
      directory.directorySize = directory.zip64->record.directorySize;
      directory.totalEntries = directory.zip64->record.totalEntries;
    }

    directory.prefixLength = PrefixLength(stream, directory);
    directory.directoryOffset += directory.prefixLength;

    BufferedStreamReader reader(stream, directory.directoryOffset);
    for (;;) {
      CentralHeaderImage image;
      CentralHeaderResult result;
      const uint64_t start = reader.position();
      RYL_RETURN_IF_FAILED(ReadCentralHeader(&reader, &image, &result));
      if (result == CentralHeaderResult::kEntry) {
        directory.entries.push_back(std::move(image));
      } else if (result == CentralHeaderResult::kSkipped) {
        ++directory.skippedEntries;
        // Read again whole: the reader holds the bytes in its block anyway.
        const uint64_t end = reader.position();
        RawCentralHeader raw;
        raw.record.resize(static_cast<size_t>(end - start));
        reader.set_position(start);
        RYL_RETURN_IF_FAILED(reader.Read(raw.record.data(), static_cast<uint32_t>(raw.record.size())));
        raw.newLocalHeaderOffset = raw.StoredLocalHeaderOffset();
        directory.skipped.push_back(std::move(raw));
      } else {
        directory.stop = result;
        directory.stopOffset = reader.position();
        break;
      }
    }
    // An offset no seek can reach leaves the stream where the search put it;
    // the list is what matters to the caller.
    (void)reader.SyncStream();
    *out = std::move(directory);
    return RYL_OK;
  });
}

}  // namespace ryl::archive
