// rylcli zip add: files and directories into an archive, which is created
// when missing; a file replaces an entry of the same name, a directory
// already present is kept.
//
// The archive is an Archive (opened, added to, saved): only it can remove the
// entry a file replaces, and saving copies every existing entry's
// compressed bytes unchanged. Archive::AddEntryFromFile compresses a file at
// once and holds the result (in memory up to 16 MiB an entry, beyond that in
// a temporary file) until the save, so a large add could exhaust a 32-bit
// address space: whenever what is held might pass kHeldLimit the archive is
// saved, which writes the held entries out. Every save goes to a temporary
// file beside the archive, renamed over it after the last one, so the
// archive changes once and completely, or not at all.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "add_report.h"
#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "opened_archive.h"
#include "replacement_file.h"
#include "source_tree.h"
#include "utf8_text.h"
#include "zip_subcommands.h"

namespace rylcli {
namespace {

constexpr uint64_t kHeldInMemoryPerEntry = 16ull << 20;
constexpr uint64_t kHeldLimit = 256ull << 20;

ResultCode SetTimeOf(Archive* archive, const std::wstring& name, uint64_t time) {
  ArchiveEntry* entry = nullptr;
  ResultCode rc = archive->FindEntry(&entry, name.c_str(), static_cast<uint32_t>(name.size()));
  if (RylFailed(rc)) return rc;
  rc = entry->SetTime(time);
  entry->Release();
  return rc;
}

// One item into the archive; verb receives what was done.
ResultCode AddItem(Archive* archive, const SourceItem& item, const ZipOptions& options,
                   const RylZipCompression& compression, const char** verb) {
  *verb = "added";
  if (item.directory) {
    const std::wstring name = item.name + L"/";
    ArchiveEntry* present = nullptr;
    if (RylSucceeded(archive->FindEntry(&present, name.c_str(), static_cast<uint32_t>(name.size())))) {
      present->Release();
      *verb = "kept";
      return RYL_OK;
    }
    const ResultCode rc = archive->AddDirectory(item.name.c_str(), static_cast<uint32_t>(item.name.size()));
    return RylFailed(rc) ? rc : SetTimeOf(archive, name, item.time);
  }
  const auto nameLength = static_cast<uint32_t>(item.name.size());
  ResultCode rc = archive->RemoveEntry(item.name.c_str(), nameLength);
  if (rc == RYL_OK) {
    *verb = "replaced";
  } else if (rc != RYL_E_ELEMENT_NOT_FOUND) {
    return rc;
  }
  rc = archive->AddEntryFromFile(item.path.c_str(), 0, item.name.c_str(), nameLength, &compression,
                                 options.hasPassword ? options.password.c_str() : nullptr,
                                 static_cast<int32_t>(options.password.size()), PasswordSelectorOf(options));
  // An encrypted entry keeps the time it was added at: its cipher header
  // (written at once) checks the password against that time's high byte,
  // which a later time would contradict.
  if (RylFailed(rc) || options.hasPassword) return rc;
  return SetTimeOf(archive, item.name, item.time);
}

// Everything into the open archive, saved to temporary; false at the first
// failure, having said why.
bool AddAll(Archive* archive, const std::vector<SourceItem>& items, const ZipOptions& options,
            const std::wstring& temporary) {
  if (options.hasComment) {
    const ResultCode rc =
        archive->SetComment(options.comment.c_str(), static_cast<int32_t>(options.comment.size()));
    if (RylFailed(rc)) return AddReport::Failed("cannot set the archive comment", rc);
  }
  const RylZipCompression compression = CompressionOf(options);
  auto save = [&] {
    const ResultCode rc = archive->Save(temporary.c_str(), static_cast<uint32_t>(temporary.size()));
    return RylSucceeded(rc) || AddReport::Failed("cannot save the archive", rc);
  };
  AddReport report(items, true);
  uint64_t held = 0;
  for (const SourceItem& item : items) {
    const char* verb = "added";
    const ResultCode rc = AddItem(archive, item, options, compression, &verb);
    if (!report.Done(item, rc, verb)) return false;
    held += std::min(item.size, kHeldInMemoryPerEntry);
    if (held > kHeldLimit) {
      if (!save()) return false;
      held = 0;
    }
  }
  const bool saved = save();
  report.Finish();
  return saved;
}

}  // namespace

int AddToArchive(RootFactory* root, const ZipOptions& options) {
  const std::wstring temporary = TemporaryPathBeside(options.archive);
  std::vector<SourceItem> items;
  if (!CollectSources(options.paths, {options.archive, temporary}, &items)) return 1;
  bool added = false;
  {
    // Opening a missing path would create an empty file there, which a
    // failure would then leave behind.
    OpenedArchive opened;
    const bool exists = GetFileAttributesW(options.archive.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (exists ? opened.Open(root, options.archive) : opened.Create(root)) {
      added = AddAll(opened.archive(), items, options, temporary);
    }
  }
  // The archive is released: neither file is held open any more.
  const ResultCode replaced = added ? ReplaceWith(temporary, options.archive) : RYL_OK;
  if (!added || RylFailed(replaced)) {
    DeleteFileW(temporary.c_str());
    if (added) {
      ReportFailure("cannot put the archive at '" + Utf8(options.archive) + "'", replaced);
    }
    return 1;
  }
  return 0;
}

}  // namespace rylcli
