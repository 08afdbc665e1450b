#include "sys/stored_security_descriptor.h"

#include <cstring>
#include <utility>

#include "sys/security_descriptor_check.h"

namespace ryl::sys {
namespace {

constexpr uint32_t kPrefixSize = 8;  // parts and length
constexpr uint32_t kLocalCopySize = 512;
constexpr uint32_t kHeaderFieldOffsets[] = {4, 8, 12, 16};  // owner, group, system list, discretionary list

uint32_t Read32(const uint8_t* p) noexcept {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

void Write32(uint8_t* p, uint32_t value) noexcept { std::memcpy(p, &value, sizeof value); }

// Reads exactly count bytes: a stream that stops early has reached its end.
ResultCode ReadExactly(SeekableStream* reader, void* buffer, uint32_t count) noexcept {
  uint32_t done = 0;
  const ResultCode rc = reader->Read(buffer, count, &done);
  if (rc < 0) return rc;
  return done == count ? RYL_OK : RYL_E_END_OF_DATA;
}

// The record for a self-relative descriptor: its offsets are relative to
// the descriptor, so inside the block they move by the header's offset.
void FillRecord(uint8_t* record, uint32_t parts, const uint8_t* selfRelative, uint32_t length) noexcept {
  const uint32_t blockLength = kStoredHeaderOffset + length;
  Write32(record, parts);
  Write32(record + 4, blockLength);
  uint8_t* block = record + kPrefixSize;
  Write32(block, 0);
  Write32(block + 4, kStoredHeaderOffset);
  uint8_t* header = block + kStoredHeaderOffset;
  std::memcpy(header, selfRelative, length);
  uint16_t control;
  std::memcpy(&control, header + 2, sizeof control);
  control = static_cast<uint16_t>(control & ~kControlSelfRelative);
  std::memcpy(header + 2, &control, sizeof control);
  for (const uint32_t field : kHeaderFieldOffsets) {
    const uint32_t offset = Read32(header + field);
    if (offset != 0) Write32(header + field, offset + kStoredHeaderOffset);
  }
}

}  // namespace

ResultCode WriteStoredDescriptor(SeekableStream* writer, uint32_t parts, const void* selfRelative,
                                 uint32_t length) noexcept {
  if (writer == nullptr || selfRelative == nullptr) return RYL_E_INVALID_ARG;
  if (!IsWellFormedSelfRelativeDescriptor(selfRelative, length)) return RYL_E_INVALID_ARG;
  if (length > kLargestStoredBlock - kStoredHeaderOffset) return RYL_E_VALUE_TOO_LARGE;
  const uint32_t recordSize = kPrefixSize + kStoredHeaderOffset + length;
  uint8_t local[kLocalCopySize];
  HeapBytes heapCopy;
  uint8_t* record = local;
  if (recordSize > sizeof local) {
    if (!heapCopy.Allocate(recordSize)) return RYL_E_OUT_OF_MEMORY;
    record = heapCopy.data();
  }
  FillRecord(record, parts, static_cast<const uint8_t*>(selfRelative), length);
  return writer->Write(record, recordSize, nullptr);
}

ResultCode ReadStoredDescriptor(SeekableStream* reader, StoredDescriptor* out) noexcept {
  if (reader == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  uint8_t prefix[kPrefixSize];
  const ResultCode prefixRead = ReadExactly(reader, prefix, sizeof prefix);
  if (prefixRead < 0) return prefixRead;
  const uint32_t parts = Read32(prefix);
  const uint32_t length = Read32(prefix + 4);
  // Too short to hold a header, or larger than any descriptor: refused
  // before reading on, so a corrupt length never sizes an allocation.
  if (length < kStoredHeaderOffset + kSecurityDescriptorHeaderSize || length > kLargestStoredBlock) {
    return RYL_E_INVALID_ARG;
  }
  HeapBytes block;
  if (!block.Allocate(length)) return RYL_E_OUT_OF_MEMORY;
  const ResultCode blockRead = ReadExactly(reader, block.data(), length);
  if (blockRead < 0) return blockRead;
  if (!IsWellFormedDescriptorBlock(block.data(), block.size())) return RYL_E_INVALID_ARG;
  out->parts = parts;
  out->block = std::move(block);
  return RYL_OK;
}

SECURITY_DESCRIPTOR MakeAbsoluteView(const HeapBytes& block) noexcept {
  const uint8_t* base = block.data();
  const uint8_t* header = base + Read32(base + 4);
  auto at = [&](uint32_t field) -> void* {
    const uint32_t offset = Read32(header + field);
    return offset != 0 ? const_cast<uint8_t*>(base + offset) : nullptr;
  };
  SECURITY_DESCRIPTOR view{};
  view.Revision = header[0];
  std::memcpy(&view.Control, header + 2, sizeof view.Control);
  view.Control = static_cast<SECURITY_DESCRIPTOR_CONTROL>(view.Control & ~kControlSelfRelative);
  view.Owner = at(4);
  view.Group = at(8);
  // A list whose present bit is clear was not checked and is not followed.
  if ((view.Control & kControlSaclPresent) != 0) view.Sacl = static_cast<PACL>(at(12));
  if ((view.Control & kControlDaclPresent) != 0) view.Dacl = static_cast<PACL>(at(16));
  return view;
}

}  // namespace ryl::sys
