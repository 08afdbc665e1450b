// The entry object (type 5): a self-contained copy of one listed entry, its
// directory and whether entry paths are built in verbatim form. It never
// refers back to the enumeration that produced it.
#pragma once

#include <cstdint>

#include "fs/entry_record.h"
#include "ryl/enumeration.h"
#include "strings/path_scratch_buffer.h"
#include "strings/path_text.h"

namespace ryl::sys {
struct RylWinObject;
}

namespace ryl::fs {

class DirectoryEntryObject final : public DirectoryEntry {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_DIRECTORY_ENTRY;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_DIRECTORY_ENTRY;

  // A delivered entry, destroyed by its owner.
  DirectoryEntryObject() noexcept = default;
  // An entry an enumerator lends out and keeps: Destroy leaves it alone.
  struct Lent {};
  explicit DirectoryEntryObject(Lent) noexcept : lent_(true) {}
  DirectoryEntryObject(const DirectoryEntryObject&) = delete;
  DirectoryEntryObject& operator=(const DirectoryEntryObject&) = delete;

  void* DeliveredInterface() noexcept { return static_cast<DirectoryEntry*>(this); }
  // Copies the entry; on failure the object keeps what it held.
  [[nodiscard]] ResultCode Assign(const EntryRecord& record, strings::PathText directory, bool verbatim) noexcept;
  // Replaces only the record: for an entry lent out again and again by one
  // enumerator, whose directory does not change.
  void AssignRecord(const EntryRecord& record) noexcept { record_ = record; }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  RylStringView* RYL_THISCALL GetName(RylStringView* result) override;
  RylStringView* RYL_THISCALL GetDirectory(RylStringView* result) override;
  ResultCode RYL_THISCALL GetFullPath(OutputBuffer* output) override;
  RylStringView* RYL_THISCALL GetShortName(RylStringView* result) override;
  uint64_t RYL_THISCALL GetCreationTime() override;
  uint64_t RYL_THISCALL GetLastAccessTime() override;
  uint64_t RYL_THISCALL GetLastWriteTime() override;
  uint64_t RYL_THISCALL GetChangeTime() override;
  uint32_t RYL_THISCALL GetEaSize() override;
  ResultCode RYL_THISCALL ReadSecurity(RylSecurityObject* descriptor) override;
  ResultCode RYL_THISCALL ApplySecurity(RylSecurityObject* descriptor) override;
  uint64_t RYL_THISCALL GetSize() override;
  uint64_t RYL_THISCALL GetAttributes() override;
  ResultCode RYL_THISCALL ReadSecurityInto(RylSecurityObject* descriptor) override;
  ResultCode RYL_THISCALL WriteSecurity(RylSecurityObject* descriptor) override;

  const EntryRecord& record() const noexcept { return record_; }
  strings::PathText directory() const noexcept { return strings::PathText(directory_.data(), directory_.size()); }

 private:
  // The entry's full path, zero-terminated, as GetFullPath writes it.
  [[nodiscard]] ResultCode FullPathInto(strings::PathScratchBuffer* out) const noexcept;
  // The entry's file as the security operations name it; path holds the text.
  [[nodiscard]] ResultCode AsSecurityObject(strings::PathScratchBuffer* path, sys::RylWinObject* out) const noexcept;

  EntryRecord record_{};
  strings::PathScratchBuffer directory_;
  bool verbatim_ = false;
  bool lent_ = false;
};

}  // namespace ryl::fs
