// A new version of a file is written under a temporary name beside it and
// renamed over it only once complete: a failure or a crash on the way leaves
// the old file as it was. Beside it, so that the rename stays on one volume
// and replaces the file in one step.
#pragma once

#include <ryl/ryl.h>

#include <string>

namespace rylcli {

// A name in target's directory that no other run of rylcli picks.
std::wstring TemporaryPathBeside(const std::wstring& target);

// Renames from to target, replacing target when it exists.
ResultCode ReplaceWith(const std::wstring& from, const std::wstring& target);

}  // namespace rylcli
