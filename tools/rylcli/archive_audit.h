// The census of an archive's raw directory held against the entries the
// library lists, for the commands that read: every header the library left
// out and every fault of the directory as a whole is reported, and each
// listed entry knows whether its data overlaps another's.
#pragma once

#include <ryl/ryl.h>

#include <string>
#include <vector>

#include "directory_census.h"

namespace rylcli {

class ArchiveAudit {
 public:
  // Reads the census of the file at path; false when it cannot be read.
  bool Take(const std::wstring& path);
  // Pairs the library's entries, in directory order, with the census
  // records; the records no entry pairs with were left out.
  void Match(Archive* archive);

  // Prints each fault of the directory and each header left out, on
  // stderr; returns how many were printed.
  int ReportProblems() const;
  // For the library's entry at index (directory order).
  bool Overlaps(size_t entryIndex) const;
  // The method number the entry's header stores; hosts see only the
  // methods the library knows. -1 when the census has no such entry.
  int StoredMethod(size_t entryIndex) const;
  // "method N" for an entry of a method the library does not decode.
  std::string DescribeMethod(size_t entryIndex) const;
  uint64_t prefix_length() const { return census_.prefixLength; }

 private:
  DirectoryCensus census_;
  std::vector<bool> overlapping_;       // by census record
  std::vector<size_t> recordOfEntry_;   // census record of each listed entry
  std::vector<bool> listed_;            // by census record
};

}  // namespace rylcli
