// The zip commands, each on a started module; each returns the process's
// exit code.
#pragma once

#include <ryl/ryl.h>

#include "zip_options.h"

namespace rylcli {

// The archive comment, then one line per entry and a total.
int ListArchive(RootFactory* root, const ZipOptions& options);

// Every entry, or the named ones, into the directory.
int ExtractArchive(RootFactory* root, const ZipOptions& options);

// Reads every file entry to its end, which makes the library check its CRC-32.
int TestArchive(RootFactory* root, const ZipOptions& options);

// A new archive of the paths, replacing any at the archive's path, or on
// standard output.
int CreateArchive(RootFactory* root, const ZipOptions& options);

// The paths into the archive, created when missing.
int AddToArchive(RootFactory* root, const ZipOptions& options);

// The named entries out of the archive; none when one is missing.
int DeleteFromArchive(RootFactory* root, const ZipOptions& options);

}  // namespace rylcli
