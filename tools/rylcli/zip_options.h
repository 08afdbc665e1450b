// What "rylcli zip" was asked to do, read from its arguments.
#pragma once

#include <ryl/ryl.h>

#include <string>
#include <vector>

namespace rylcli {

struct ZipOptions {
  std::wstring command;    // list, extract, test, create, add or delete
  std::wstring archive;    // a full path; empty when create writes to stdout
  bool toStandardOutput = false;  // create -
  std::wstring directory;  // extract only: a full path
  std::wstring password;
  bool hasPassword = false;
  std::vector<std::wstring> names;  // extract: the entries wanted, none for all; delete: those to remove
  std::vector<std::wstring> paths;  // create, add: files and directories, as full paths
  // create, add: -0 stores, -1..-9 deflate at that level, -j bzip2,
  // --zstd[=LEVEL] zstd (1 to 22; without one, -1..-9 or zstd's default 3).
  int level = 6;
  bool levelGiven = false;
  bool bzip2 = false;
  bool zstd = false;
  int zstdLevel = 0;  // 0: not given with --zstd=
  // create, add: --aes encrypts with AES-256 instead of the traditional
  // cipher (needs -p).
  bool aes = false;
  std::wstring comment;  // the archive comment, with -c
  bool hasComment = false;
  // extract: -n keeps existing files (and the first of entries that land on
  // one file); -o replaces them (the default, said explicitly).
  bool neverOverwrite = false;
  // extract: --max-total BYTES refuses an extraction whose entries declare
  // more; 0 for no limit.
  uint64_t maxTotal = 0;
  // extract: --threads N workers, each with its own opening of the archive;
  // 0 (not given) for one.
  unsigned threads = 0;
};

// Reads "COMMAND [OPTIONS] ARCHIVE [ARGUMENTS...]"; false, with *why, when
// the arguments do not make a command. The module takes full paths, so
// relative ones are resolved here, as the host's job.
bool ParseZipOptions(int argc, wchar_t** argv, ZipOptions* out, std::string* why);

// Sets the password given with -p on the entry; RYL_OK when none was given.
ResultCode ApplyPassword(ArchiveEntry* entry, const ZipOptions& options);

// The library's password selector for what the options ask.
int32_t PasswordSelectorOf(const ZipOptions& options);

// How new entries are compressed: -0 stored, -j bzip2 (block size from the
// level, 9 unless one was given), --zstd zstd, otherwise deflate at the
// level.
RylZipCompression CompressionOf(const ZipOptions& options);

}  // namespace rylcli
