// The ZIP writer over arbitrary archives: load the directory, add an entry
// and a directory, save into memory files, and load the result again. A
// save may fail (sizes the archive does not hold, texts that no longer
// fit), but then it leaves no output and no temporary file; when it
// succeeds, the saved archive lists every entry the first one listed plus
// the two new ones, carries every header the reader could not list, and
// delivers the new entry's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/archive_model.h"
#include "archive/archive_operations.h"
#include "archive/compression_request.h"
#include "fuzz_check.h"
#include "memory_source.h"
#include "null_sink_stream.h"
#include "streams/memory_stream.h"
#include "support/memory_archive_files.h"

namespace {

using ryl::archive::ArchiveModel;
using ryl::archive::test::MemoryFiles;

constexpr char kNewData[] = "new entry data, new entry data, new entry data";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(data, size);
  if (!source) return 0;
  MemoryFiles files;
  ArchiveModel model;
  if (model.Attach(std::move(source)) < 0) return 0;
  const size_t listed = model.entries().size();
  const size_t carried = model.carried().size();

  ryl::core::ObjectPtr<ryl::streams::MemoryStream> input(ryl::core::MakeObject<ryl::streams::MemoryStream>());
  if (!input) return 0;
  uint32_t written = 0;
  if (input->Write(kNewData, sizeof kNewData, &written) < 0 || input->Seek(0, RYL_SEEK_BEGIN) < 0) return 0;
  RylZipCompression deflate{ryl::archive::kSelectorDeflate, 6};
  ryl::archive::NewEntryOptions options;
  options.compression = &deflate;
  options.defer = true;
  // Names the archive may already hold are refused; the fuzzer then just
  // sees a save with one entry fewer.
  size_t added = 0;
  if (ryl::archive::AddEntryWithSource(&model, &files, input.get(), u"fuzz-new.txt", options, nullptr) >= 0) ++added;
  if (ryl::archive::AddDirectoryEntry(&model, u"fuzz-dir") >= 0) ++added;

  const ResultCode saved = ryl::archive::SaveToPath(&model, files, u"out.zip");
  FUZZ_CHECK(files.liveTemporaries == 0);
  if (saved < 0) {
    FUZZ_CHECK(files.files.count(u"out.zip") == 0);
    return 0;
  }
  FUZZ_CHECK(model.entries().empty());

  ryl::streams::OwnedStream result;
  FUZZ_CHECK(files.OpenForReading(u"out.zip", &result) >= 0);
  ArchiveModel again;
  FUZZ_CHECK(again.Attach(std::move(result)) >= 0);
  FUZZ_CHECK(again.directory_complete());
  FUZZ_CHECK(again.entries().size() == listed + added);
  FUZZ_CHECK(again.carried().size() == carried);
  if (added == 2) {
    ryl::archive::EntryRecord* entry = again.Find(u"fuzz-new.txt");
    FUZZ_CHECK(entry != nullptr);
    FUZZ_CHECK(entry->OpenData() >= 0);
    ryl::fuzz::NullSinkStream sink;
    FUZZ_CHECK(entry->CopyDataTo(&sink) >= 0);
    FUZZ_CHECK(sink.written() == sizeof kNewData);
  }
  return 0;
}
