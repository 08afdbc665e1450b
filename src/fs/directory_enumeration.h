// The one listing engine of the library: every enumerator, the single-entry
// look-up and the bulk directory operations read directories through it.
// The first entry comes from a restarted single-entry query with the
// pattern; later entries from 4096-byte batches that rely on the pattern the
// native layer remembers for the handle. The engine filters what it reads
// by the enumeration flags and keeps the current entry as an EntryRecord.
#pragma once

#include <cstdint>
#include <memory>

#include "fs/directory_handle.h"
#include "fs/entry_record.h"
#include "ryl/result.h"
#include "strings/path_scratch_buffer.h"
#include "strings/path_text.h"

namespace ryl::fs {

inline constexpr uint32_t kEnumerateParent = 0x01;
inline constexpr uint32_t kEnumerateSelf = 0x02;
inline constexpr uint32_t kEnumerateDirectories = 0x04;
inline constexpr uint32_t kEnumerateFiles = 0x08;
inline constexpr uint32_t kEnumerateReparsePoints = 0x10;
inline constexpr uint32_t kEnumerateAll = 0xFF;
inline constexpr uint32_t kEnumerateVerbatim = 0x400;

// One directory query as the engine asks for it. Tests replace the native
// call to count or stage what the native layer answers.
struct DirectoryQuery {
  void* handle;
  void* buffer;
  uint32_t length;
  bool singleEntry;
  bool restart;
  const char16_t* pattern;  // null: no pattern (the one remembered for the handle)
  uint32_t patternLength;
};

// Returns the native status and sets *outBytes to the bytes the query wrote.
using DirectoryQueryFunction = int32_t (*)(void* context, const DirectoryQuery& query, uint32_t* outBytes);

// True when a listing with these flags leaves the entry out.
bool IsFilteredOut(const EntryRecord& entry, uint32_t flags) noexcept;

class DirectoryEnumeration {
 public:
  static constexpr uint32_t kFirstQueryBytes = 616;
  static constexpr uint32_t kBatchBytes = 4096;
  // Longer names do not fit the entry record's name field with its terminator.
  static constexpr uint32_t kMaxNameBytes = 519;

  DirectoryEnumeration() noexcept;
  ~DirectoryEnumeration();
  DirectoryEnumeration(const DirectoryEnumeration&) = delete;
  DirectoryEnumeration& operator=(const DirectoryEnumeration&) = delete;

  // Opens the directory (a DOS path) and starts. An empty pattern lists
  // everything. A failing start closes the handle again; an empty listing
  // is not a failure (the result is RYL_S_NO_MORE_ITEMS).
  [[nodiscard]] ResultCode Open(strings::PathText directory, strings::PathText pattern, uint32_t flags) noexcept;
  // As Open, on a directory handle opened for listing by the caller; the
  // directory path only names entries. An owned handle is closed when this
  // fails, and otherwise when the enumeration closes.
  [[nodiscard]] ResultCode OpenOnHandle(void* handle, strings::PathText directory, strings::PathText pattern, uint32_t flags,
                                        bool ownsHandle) noexcept;

  // From the first entry again: RYL_OK on an entry the filter reports,
  // RYL_S_NO_MORE_ITEMS when there is none.
  [[nodiscard]] ResultCode Start() noexcept;
  // RYL_OK on the next reported entry; RYL_S_NO_MORE_ITEMS at the end, and
  // from then on. A failure also ends the listing.
  [[nodiscard]] ResultCode MoveNext() noexcept;

  void Close() noexcept;

  bool positioned() const noexcept { return positioned_; }
  // True from a start until the next MoveNext: the enumeration still stands
  // where the start put it.
  bool started() const noexcept { return started_; }
  const EntryRecord& current() const noexcept { return current_; }
  strings::PathText directory() const noexcept { return strings::PathText(directory_.data(), directory_.size()); }
  strings::PathText pattern() const noexcept { return strings::PathText(pattern_.data(), pattern_.size()); }
  uint32_t flags() const noexcept { return flags_; }
  bool verbatim() const noexcept { return (flags_ & kEnumerateVerbatim) != 0; }
  bool open() const noexcept { return handle_.valid(); }

  // Takes effect from the next query; null restores the native call.
  void SetQueryFunctionForTesting(DirectoryQueryFunction function, void* context) noexcept;

 private:
  struct BatchFree {
    void operator()(void* block) const noexcept;
  };

  [[nodiscard]] ResultCode Store(strings::PathText directory, strings::PathText pattern, uint32_t flags) noexcept;
  [[nodiscard]] ResultCode StartOrClose() noexcept;
  [[nodiscard]] ResultCode FetchNext() noexcept;
  [[nodiscard]] ResultCode FillBatch() noexcept;
  void DropBatch() noexcept;
  [[nodiscard]] int32_t Query(void* buffer, uint32_t length, bool singleEntry, bool restart, bool withPattern,
                              uint32_t* outBytes) noexcept;

  DirectoryHandle handle_;
  uint32_t flags_ = 0;
  strings::PathScratchBuffer directory_;
  strings::SmallPathScratchBuffer pattern_;
  std::unique_ptr<unsigned char, BatchFree> batch_;
  uint32_t batchBytes_ = 0;   // valid bytes of the batch
  uint32_t cursor_ = 0;       // offset of the next record; 0 asks for a new batch
  EntryRecord current_{};
  bool positioned_ = false;
  bool started_ = false;
  DirectoryQueryFunction query_;
  void* queryContext_ = nullptr;
};

}  // namespace ryl::fs
