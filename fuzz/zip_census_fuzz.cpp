// rylcli's census of a raw directory over arbitrary bytes: every record it
// reports lies within the input, the faults and overlaps it derives are
// computed for every record, and where the library reads a classic (not
// ZIP64) directory both agree on where the end record is and on how much
// data lies in front of the archive.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../tools/rylcli/directory_census.h"
#include "archive/central_directory.h"
#include "fuzz_check.h"
#include "memory_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const rylcli::DirectoryCensus census =
      rylcli::TakeCensus(size, [&](uint64_t offset, void* buffer, uint32_t count) {
        if (offset > size || size - offset < count) return false;
        std::memcpy(buffer, data + offset, count);
        return true;
      });
  for (const rylcli::CentralRecord& record : census.records) {
    FUZZ_CHECK(record.headerOffset + 46 + record.name.size() <= size);
  }
  FUZZ_CHECK(rylcli::OverlappingRecords(census).size() == census.records.size());
  const auto problems = rylcli::DirectoryProblems(census);
  FUZZ_CHECK(census.endRecordFound || !problems.empty());

  ryl::streams::OwnedStream stream = ryl::fuzz::MemorySource(data, size);
  ryl::archive::ZipDirectory directory;
  if (ryl::archive::ReadZipDirectory(stream.get(), &directory) < 0 || !directory.hasEndRecord) return 0;
  FUZZ_CHECK(census.endRecordFound);
  FUZZ_CHECK(census.endRecordOffset == directory.endRecordOffset);
  if (!census.zip64 && !directory.zip64) FUZZ_CHECK(census.prefixLength == directory.prefixLength);
  return 0;
}
