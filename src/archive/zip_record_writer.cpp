#include "archive/zip_record_writer.h"

#include <cstring>

#include "archive/byte_order.h"
#include "archive/stream_io.h"
#include "archive/zip_text.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"

namespace ryl::archive {
namespace {

// Bit 11 covers the name and the entry comment, and both headers carry the
// same value: readers compare them, and a comment only the central header
// holds still decides how its bytes are read.
uint16_t FlagsFor(const CentralHeaderImage& image) noexcept {
  if (image.storedTexts) return image.flags;
  const bool utf8 = NeedsUtf8Flag(image.name) || NeedsUtf8Flag(image.comment);
  return static_cast<uint16_t>((image.flags & ~kFlagUtf8) | (utf8 ? kFlagUtf8 : 0));
}

ResultCode EncodeText(std::u16string_view text, std::vector<uint8_t>* out) noexcept {
  RYL_RETURN_IF_FAILED(EncodeEntryText(text, out));
  return out->size() > kMaxFieldLength ? RYL_E_VALUE_TOO_LARGE : RYL_OK;
}

// The stored bytes while the entry keeps them, the text encoded otherwise.
ResultCode NameBytes(const CentralHeaderImage& image, std::vector<uint8_t>* out) noexcept {
  if (!image.storedTexts) return EncodeText(image.name, out);
  return core::GuardEntry([&] {
    *out = image.storedTexts->name;
    return RYL_OK;
  });
}

ResultCode CommentBytes(const CentralHeaderImage& image, std::vector<uint8_t>* out) noexcept {
  if (!image.storedTexts) return EncodeText(image.comment, out);
  return core::GuardEntry([&] {
    *out = image.storedTexts->comment;
    return RYL_OK;
  });
}

// Header, then the variable parts, into one buffer.
ResultCode Assemble(const uint8_t* fixed, uint32_t fixedSize, std::initializer_list<const std::vector<uint8_t>*> parts,
                    std::vector<uint8_t>* out) noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    std::vector<uint8_t> bytes(fixed, fixed + fixedSize);
    for (const std::vector<uint8_t>* part : parts) bytes.insert(bytes.end(), part->begin(), part->end());
    *out = std::move(bytes);
    return RYL_OK;
  });
}

ResultCode WriteBytes(SeekableStream* stream, const std::vector<uint8_t>& bytes, uint32_t* outLength) noexcept {
  RYL_RETURN_IF_FAILED(WriteAll(stream, bytes.data(), static_cast<uint32_t>(bytes.size())));
  if (outLength != nullptr) *outLength = static_cast<uint32_t>(bytes.size());
  return RYL_OK;
}

}  // namespace

ResultCode BuildLocalHeader(const CentralHeaderImage& image, std::vector<uint8_t>* out) noexcept {
  if (out == nullptr || !HasConsistentZip64(image)) return RYL_E_INVALID_ARG;
  std::vector<uint8_t> name;
  RYL_RETURN_IF_FAILED(NameBytes(image, &name));
  Zip64ExtendedInfo sizes;
  const bool hasSizes =
      image.zip64 && (image.zip64->uncompressedSize.has_value() || image.zip64->compressedSize.has_value());
  if (hasSizes) {
    sizes.uncompressedSize = image.zip64->uncompressedSize;
    sizes.compressedSize = image.zip64->compressedSize;
  }
  std::vector<uint8_t> extra;
  RYL_RETURN_IF_FAILED(EncodeExtraField(image.extras, hasSizes ? &sizes : nullptr, &extra));

  LocalHeaderFields fields;
  fields.versionNeeded = image.versionNeeded;
  fields.flags = FlagsFor(image);
  fields.method = image.method;
  fields.dosTime = image.dosTime;
  fields.dosDate = image.dosDate;
  // Under bit 3 the values follow the data, and a reader must not take the
  // header's for them.
  const bool deferred = (image.flags & kFlagDataDescriptor) != 0;
  fields.crc32 = deferred ? 0 : image.crc32;
  fields.compressedSize = deferred ? 0 : image.compressedSize;
  fields.uncompressedSize = deferred ? 0 : image.uncompressedSize;
  fields.nameLength = static_cast<uint16_t>(name.size());
  fields.extraLength = static_cast<uint16_t>(extra.size());
  const LocalHeaderBytes fixed = EncodeLocalHeader(fields);
  return Assemble(fixed.data(), kLocalHeaderSize, {&name, &extra}, out);
}

ResultCode BuildCentralHeader(const CentralHeaderImage& image, std::vector<uint8_t>* out) noexcept {
  if (out == nullptr || !HasConsistentZip64(image)) return RYL_E_INVALID_ARG;
  std::vector<uint8_t> name;
  std::vector<uint8_t> comment;
  std::vector<uint8_t> extra;
  RYL_RETURN_IF_FAILED(NameBytes(image, &name));
  RYL_RETURN_IF_FAILED(CommentBytes(image, &comment));
  RYL_RETURN_IF_FAILED(EncodeExtraField(image.extras, image.zip64 ? &*image.zip64 : nullptr, &extra));

  CentralHeaderFields fields;
  fields.versionMadeBy = image.versionMadeBy;
  fields.versionNeeded = image.versionNeeded;
  fields.flags = FlagsFor(image);
  fields.method = image.method;
  fields.dosTime = image.dosTime;
  fields.dosDate = image.dosDate;
  fields.crc32 = image.crc32;
  fields.compressedSize = image.compressedSize;
  fields.uncompressedSize = image.uncompressedSize;
  fields.nameLength = static_cast<uint16_t>(name.size());
  fields.extraLength = static_cast<uint16_t>(extra.size());
  fields.commentLength = static_cast<uint16_t>(comment.size());
  fields.diskNumberStart = image.diskNumberStart;
  fields.internalAttributes = image.internalAttributes;
  fields.externalAttributes = image.externalAttributes;
  fields.localHeaderOffset = image.localHeaderOffset;
  const CentralHeaderBytes fixed = EncodeCentralHeader(fields);
  return Assemble(fixed.data(), kCentralHeaderSize, {&name, &extra, &comment}, out);
}

ResultCode WriteLocalHeader(SeekableStream* stream, const CentralHeaderImage& image, uint32_t* outLength) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  std::vector<uint8_t> bytes;
  RYL_RETURN_IF_FAILED(BuildLocalHeader(image, &bytes));
  return WriteBytes(stream, bytes, outLength);
}

ResultCode WriteDataDescriptor(SeekableStream* stream, const CentralHeaderImage& image) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  const DataDescriptorBytes bytes =
      EncodeDataDescriptor({image.crc32, image.compressedSize, image.uncompressedSize});
  const bool wide =
      image.zip64 && (image.zip64->compressedSize.has_value() || image.zip64->uncompressedSize.has_value());
  if (!wide) return WriteAll(stream, bytes.data(), kDataDescriptorSize);
  uint8_t zip64[kDataDescriptorSize + 8];
  std::memcpy(zip64, bytes.data(), 8);  // signature and CRC
  StoreLe64(zip64 + 8, image.CompressedSize());
  StoreLe64(zip64 + 16, image.UncompressedSize());
  return WriteAll(stream, zip64, sizeof zip64);
}

ResultCode WriteCentralHeader(SeekableStream* stream, const CentralHeaderImage& image, uint32_t* outLength) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  std::vector<uint8_t> bytes;
  RYL_RETURN_IF_FAILED(BuildCentralHeader(image, &bytes));
  return WriteBytes(stream, bytes, outLength);
}

ResultCode WriteEndRecord(SeekableStream* stream, const EndRecord& fields, std::u16string_view comment) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  std::vector<uint8_t> encoded;
  RYL_RETURN_IF_FAILED(EncodeArchiveComment(comment, &encoded));
  if (encoded.size() > kMaxFieldLength) return RYL_E_VALUE_TOO_LARGE;
  EndRecord withLength = fields;
  withLength.commentLength = static_cast<uint16_t>(encoded.size());
  const EndRecordBytes fixed = EncodeEndRecord(withLength);
  std::vector<uint8_t> bytes;
  RYL_RETURN_IF_FAILED(Assemble(fixed.data(), kEndRecordSize, {&encoded}, &bytes));
  return WriteBytes(stream, bytes, nullptr);
}

ResultCode WriteZip64EndRecord(SeekableStream* stream, const Zip64EndRecord& fields) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  const Zip64EndRecordBytes bytes = EncodeZip64EndRecord(fields);
  return WriteAll(stream, bytes.data(), kZip64EndRecordSize);
}

ResultCode WriteZip64Locator(SeekableStream* stream, const Zip64Locator& fields) noexcept {
  if (stream == nullptr) return RYL_E_INVALID_ARG;
  const Zip64LocatorBytes bytes = EncodeZip64Locator(fields);
  return WriteAll(stream, bytes.data(), kZip64LocatorSize);
}

bool FillDirectoryTotals(uint64_t entryCount, uint64_t directorySize, uint64_t directoryOffset, EndRecord* end,
                         Zip64EndRecord* zip64) noexcept {
  const bool countOverflows = entryCount >= kZip64Marker16;
  const bool sizeOverflows = directorySize >= kZip64Marker32;
  const bool offsetOverflows = directoryOffset >= kZip64Marker32;
  if (end != nullptr) {
    end->entriesOnDisk = countOverflows ? kZip64Marker16 : static_cast<uint16_t>(entryCount);
    end->totalEntries = end->entriesOnDisk;
    end->directorySize = sizeOverflows ? kZip64Marker32 : static_cast<uint32_t>(directorySize);
    end->directoryOffset = offsetOverflows ? kZip64Marker32 : static_cast<uint32_t>(directoryOffset);
  }
  if (zip64 != nullptr) {
    zip64->entriesOnDisk = entryCount;
    zip64->totalEntries = entryCount;
    zip64->directorySize = directorySize;
    zip64->directoryOffset = directoryOffset;
  }
  return countOverflows || sizeOverflows || offsetOverflows;
}

}  // namespace ryl::archive
