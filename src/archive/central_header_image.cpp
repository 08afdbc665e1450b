#include "archive/central_header_image.h"

namespace ryl::archive {
namespace {

uint64_t Effective(uint32_t field, const std::optional<Zip64ExtendedInfo>& zip64,
                   std::optional<uint64_t> Zip64ExtendedInfo::*member) noexcept {
  if (field == kZip64Marker32 && zip64.has_value() && ((*zip64).*member).has_value()) return *((*zip64).*member);
  return field;
}

bool FieldAgrees(uint32_t field, const std::optional<uint64_t>& value) noexcept {
  return (field == kZip64Marker32) == value.has_value();
}

}  // namespace

uint64_t CentralHeaderImage::CompressedSize() const noexcept {
  return Effective(compressedSize, zip64, &Zip64ExtendedInfo::compressedSize);
}

uint64_t CentralHeaderImage::UncompressedSize() const noexcept {
  return Effective(uncompressedSize, zip64, &Zip64ExtendedInfo::uncompressedSize);
}

uint64_t CentralHeaderImage::LocalHeaderOffset() const noexcept {
  return Effective(localHeaderOffset, zip64, &Zip64ExtendedInfo::localHeaderOffset);
}

ResultCode PlaceSizes(CentralHeaderImage* image, uint64_t compressedSize, uint64_t uncompressedSize) noexcept {
  if (image == nullptr) return RYL_E_INVALID_ARG;
  const bool reserved = image->zip64.has_value() &&
                        (image->zip64->compressedSize.has_value() || image->zip64->uncompressedSize.has_value());
  if (reserved || compressedSize >= kZip64Marker32 || uncompressedSize >= kZip64Marker32) {
    if (!image->zip64) image->zip64.emplace();
    image->zip64->compressedSize = compressedSize;
    image->zip64->uncompressedSize = uncompressedSize;
    image->compressedSize = kZip64Marker32;
    image->uncompressedSize = kZip64Marker32;
  } else {
    image->compressedSize = static_cast<uint32_t>(compressedSize);
    image->uncompressedSize = static_cast<uint32_t>(uncompressedSize);
  }
  return RYL_OK;
}

ResultCode PlaceLocalHeaderOffset(CentralHeaderImage* image, uint64_t offset) noexcept {
  if (image == nullptr) return RYL_E_INVALID_ARG;
  if (offset >= kZip64Marker32) {
    if (!image->zip64) image->zip64.emplace();
    image->zip64->localHeaderOffset = offset;
    image->localHeaderOffset = kZip64Marker32;
    return RYL_OK;
  }
  image->localHeaderOffset = static_cast<uint32_t>(offset);
  if (image->zip64) {
    image->zip64->localHeaderOffset.reset();
    if (image->zip64->DataSize() == 0) image->zip64.reset();
  }
  return RYL_OK;
}

bool HasConsistentZip64(const CentralHeaderImage& image) noexcept {
  // A marker without any record is what a reader without ZIP64 takes for
  // 0xFFFFFFFF itself; it is written back as it was read.
  if (!image.zip64) return true;
  const Zip64ExtendedInfo& record = *image.zip64;
  return FieldAgrees(image.uncompressedSize, record.uncompressedSize) &&
         FieldAgrees(image.compressedSize, record.compressedSize) &&
         FieldAgrees(image.localHeaderOffset, record.localHeaderOffset);
}

}  // namespace ryl::archive
