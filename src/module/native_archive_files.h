// The ZIP objects' way to files by path, over the file-system layer.
#pragma once

#include "archive/archive_files.h"

namespace ryl::module {

// One process-wide instance: it holds no state.
const archive::ArchiveFiles& NativeArchiveFiles() noexcept;

}  // namespace ryl::module
