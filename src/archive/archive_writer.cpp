#include "archive/archive_writer.h"

#include <algorithm>
#include <vector>

#include "archive/byte_order.h"
#include "archive/entry_data_writer.h"
#include "archive/stream_io.h"
#include "archive/zip_names.h"
#include "archive/zip_record_writer.h"
#include "archive/zip_records.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"
#include "streams/window_stream.h"

namespace ryl::archive {
namespace {

constexpr uint32_t kRawCopyBufferSize = 65536;

// ZIP64 records need version 4.5; an entry that already needs more (bzip2
// writers put 4.6 there) keeps its value.
void RaiseVersionForZip64(CentralHeaderImage* header) noexcept {
  if (header->zip64 && header->versionNeeded < kVersionNeededZip64) header->versionNeeded = kVersionNeededZip64;
}

// Copies the rest of source into out unchanged; fewer bytes than expected
// means the archive was cut short.
ResultCode CopyRaw(SeekableStream* source, SeekableStream* out, uint64_t expected) noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    std::vector<uint8_t> buffer(kRawCopyBufferSize);
    uint64_t copied = 0;
    while (copied < expected) {
      const auto want = static_cast<uint32_t>(std::min<uint64_t>(kRawCopyBufferSize, expected - copied));
      uint32_t done = 0;
      const ResultCode read = source->Read(buffer.data(), want, &done);
      if (read < 0 && !core::IsEndOfData(read)) return read;
      if (done == 0) return RYL_E_END_OF_DATA;
      RYL_RETURN_IF_FAILED(WriteAll(out, buffer.data(), done));
      copied += done;
    }
    return RYL_OK;
  });
}

// A pending entry: its data through the pipeline, then either the data
// descriptor or the local header again with the final values.
ResultCode WritePendingData(EntryRecord* entry, SeekableStream* out, uint32_t headerLength) noexcept {
  CentralHeaderImage& header = entry->header;
  RYL_RETURN_IF_FAILED(WriteEntryData(entry, entry->source, out));
  if ((header.flags & kFlagDataDescriptor) != 0) return WriteDataDescriptor(out, header);
  uint64_t end = 0;
  RYL_RETURN_IF_FAILED(out->Tell(&end));
  RYL_RETURN_IF_FAILED(SeekTo(out, entry->newLocalHeaderOffset));
  uint32_t rewritten = 0;
  RYL_RETURN_IF_FAILED(WriteLocalHeader(out, header, &rewritten));
  // A header that grew would have overwritten the data: only a source that
  // delivered far more than its size said can cause it.
  if (rewritten != headerLength) return RYL_E_VALUE_TOO_LARGE;
  return SeekTo(out, end);
}

// An entry whose data is already finished: copied as stored.
ResultCode WriteFinishedData(EntryRecord* entry, SeekableStream* out) noexcept {
  CentralHeaderImage& header = entry->header;
  streams::OwnedStream stored;
  SeekableStream* source = nullptr;
  if (entry->fromArchive) {
    RYL_RETURN_IF_FAILED(entry->OpenStoredData(&stored));
    source = stored.get();
  } else if (entry->compressed) {
    source = entry->compressed.get();
    RYL_RETURN_IF_FAILED(SeekTo(source, 0));
  } else {
    return RYL_OK;  // an entry that never had a source has no data
  }
  RYL_RETURN_IF_FAILED(CopyRaw(source, out, header.CompressedSize()));
  if ((header.flags & kFlagDataDescriptor) != 0) return WriteDataDescriptor(out, header);
  return RYL_OK;
}

ResultCode WriteEntry(EntryRecord* entry, SeekableStream* out) noexcept {
  CentralHeaderImage& header = entry->header;
  const bool directory = IsDirectoryName(header.name);
  RYL_RETURN_IF_FAILED(out->Tell(&entry->newLocalHeaderOffset));
  RaiseVersionForZip64(&header);
  // Readers learn the encryption and method from the local header too.
  if (entry->pending && entry->source != nullptr) RYL_RETURN_IF_FAILED(PrepareEntryCoding(entry));
  uint32_t headerLength = 0;
  RYL_RETURN_IF_FAILED(WriteLocalHeader(out, header, &headerLength));
  // A directory read from an archive keeps whatever data it had (a tool
  // may have deflated its empty content): its header says so.
  if (directory && !entry->fromArchive) return RYL_OK;
  if (entry->pending) {
    if (entry->source == nullptr) return RYL_OK;
    RYL_RETURN_IF_FAILED(WritePendingData(entry, out, headerLength));
    // Written sizes may have moved them into ZIP64 only now.
    RaiseVersionForZip64(&header);
    return RYL_OK;
  }
  return WriteFinishedData(entry, out);
}

// Where a carried header's local record starts in the model's stream;
// kZip64Marker32 when its offset is in a ZIP64 record.
uint64_t CarriedRecordStart(ArchiveModel* model, const RawCentralHeader& raw) noexcept {
  const uint32_t stored = raw.StoredLocalHeaderOffset();
  return stored == kZip64Marker32 ? kZip64Marker32 : stored + model->prefix_length();
}

// Where each carried header's local record ends: at the next local header
// of any entry, or where the old directory began.
uint64_t CarriedRecordEnd(ArchiveModel* model, uint64_t start) noexcept {
  uint64_t end = model->directory_offset();
  for (const auto& entry : model->entries()) {
    if (entry->fromArchive && entry->localHeaderOffset > start) end = std::min(end, entry->localHeaderOffset);
  }
  for (const RawCentralHeader& raw : model->carried()) {
    const uint64_t offset = CarriedRecordStart(model, raw);
    if (offset > start) end = std::min(end, offset);
  }
  return end;
}

}  // namespace

ResultCode CopyPrefix(ArchiveModel* model, SeekableStream* out) noexcept {
  if (model == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  if (model->prefix_length() == 0) return RYL_OK;
  if (model->stream() == nullptr) return RYL_E_INVALID_STATE;
  streams::WindowStream window(model->stream(), 0, model->prefix_length());
  return CopyRaw(&window, out, model->prefix_length());
}

ResultCode WriteEntries(ArchiveModel* model, SeekableStream* out, size_t first) noexcept {
  if (model == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  auto& entries = model->entries();
  for (size_t i = first; i < entries.size(); ++i) RYL_RETURN_IF_FAILED(WriteEntry(entries[i].get(), out));
  model->set_committed_count(entries.size());
  return RYL_OK;
}

ResultCode CopyCarriedRecords(ArchiveModel* model, SeekableStream* out) noexcept {
  if (model == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  for (RawCentralHeader& raw : model->carried()) {
    const uint64_t start = CarriedRecordStart(model, raw);
    const uint64_t end = CarriedRecordEnd(model, start);
    if (start == kZip64Marker32 || start >= end || model->stream() == nullptr) return RYL_E_BAD_FORMAT;
    RYL_RETURN_IF_FAILED(out->Tell(&raw.newLocalHeaderOffset));
    if (raw.newLocalHeaderOffset >= kZip64Marker32) return RYL_E_BAD_FORMAT;
    streams::WindowStream window(model->stream(), start, end);
    RYL_RETURN_IF_FAILED(CopyRaw(&window, out, end - start));
  }
  return RYL_OK;
}

ResultCode WriteDirectory(ArchiveModel* model, SeekableStream* out) noexcept {
  if (model == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  uint64_t start = 0;
  RYL_RETURN_IF_FAILED(out->Tell(&start));
  bool zip64 = model->is_zip64();
  for (const auto& entry : model->entries()) {
    CentralHeaderImage& header = entry->header;
    RYL_RETURN_IF_FAILED(PlaceLocalHeaderOffset(&header, entry->newLocalHeaderOffset));
    if (header.zip64) zip64 = true;
    RYL_RETURN_IF_FAILED(WriteCentralHeader(out, header));
  }
  for (RawCentralHeader& raw : model->carried()) {
    std::vector<uint8_t> record(raw.record);
    StoreLe32(record.data() + 42, static_cast<uint32_t>(raw.newLocalHeaderOffset));
    RYL_RETURN_IF_FAILED(WriteAll(out, record.data(), static_cast<uint32_t>(record.size())));
  }
  uint64_t end = 0;
  RYL_RETURN_IF_FAILED(out->Tell(&end));
  const uint64_t count = model->entries().size() + model->carried().size();
  EndRecord record;
  Zip64EndRecord record64;
  if (FillDirectoryTotals(count, end - start, start, &record, &record64)) zip64 = true;
  if (zip64) {
    Zip64Locator locator;
    locator.zip64RecordOffset = end;
    RYL_RETURN_IF_FAILED(WriteZip64EndRecord(out, record64));
    RYL_RETURN_IF_FAILED(WriteZip64Locator(out, locator));
  }
  RYL_RETURN_IF_FAILED(WriteEndRecord(out, record, model->comment()));
  model->set_zip64(zip64);
  return RYL_OK;
}

}  // namespace ryl::archive
