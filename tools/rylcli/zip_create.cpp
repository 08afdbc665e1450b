// rylcli zip create: a new archive of files and directories, written by the
// streaming writer.
//
// Why the streaming writer rather than CreateArchive, adds and Save: an
// Archive compresses each added file at once and keeps the result (in
// memory, up to 16 MiB an entry) until Save copies it into the file, so a
// tree of many medium-sized files holds its whole compressed size in a
// 32-bit address space, and every compressed byte is written twice. The
// streaming writer compresses each file straight into the archive, with
// only the codec's buffers in memory, in one pass. It writes into a
// temporary file beside the archive that is renamed over it after Close:
// an existing archive is replaced only by a complete one, and a failure
// (the writer released without Close) deletes the temporary file.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "add_report.h"
#include "background_writer.h"
#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "pipe_host_stream.h"
#include "replacement_file.h"
#include "source_tree.h"
#include "utf8_text.h"
#include "win32_result.h"
#include "zip_stream_writer.h"
#include "zip_subcommands.h"

namespace rylcli {
namespace {

// The comment, every item in order, then the directory; false at the first
// failure, having said why.
bool WriteAll(StreamingArchive* zip, const std::vector<SourceItem>& items, const ZipOptions& options,
              bool announce) {
  if (options.hasComment) {
    const ResultCode rc = zip->SetComment(options.comment.c_str(), static_cast<int32_t>(options.comment.size()));
    if (RylFailed(rc)) return AddReport::Failed("cannot set the archive comment", rc);
  }
  const RylZipCompression compression = CompressionOf(options);
  const RylChar16* password = options.hasPassword ? options.password.c_str() : nullptr;
  const auto passwordLength = static_cast<int32_t>(options.password.size());
  AddReport report(items, announce);
  for (const SourceItem& item : items) {
    const auto nameLength = static_cast<uint32_t>(item.name.size());
    const ResultCode rc =
        item.directory ? zip->AddDirectory(item.name.c_str(), nameLength)
                       : zip->AddEntryFromFile(item.path.c_str(), 0, item.name.c_str(), nameLength, &compression,
                                               password, passwordLength, PasswordSelectorOf(options), nullptr, 0,
                                               item.time);
    if (!report.Done(item, rc, "added")) return false;
  }
  const ResultCode closed = zip->Close();
  report.Finish();
  if (RylFailed(closed)) return AddReport::Failed("cannot finish the archive", closed);
  return true;
}

// The archive goes to stdout through the writer thread, so that the pipe's
// reader works while the library compresses the next file.
int CreateOnStandardOutput(RootFactory* root, const ZipOptions& options) {
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
    return ReportFailure("will not write an archive to a console; redirect standard output", RYL_E_INVALID_ARG);
  }
  std::vector<SourceItem> items;
  if (!CollectSources(options.paths, {}, &items)) return 1;
  BackgroundWriter background;
  if (!background.started()) {
    return ReportFailure("cannot start the writer thread", FromWin32(GetLastError()));
  }
  const std::shared_ptr<PendingFile> output = StandardOutput();
  PipeHostStream stream(output, &background);
  bool written = false;
  {
    ZipStreamWriter writer;
    if (writer.Create(root)) {
      const ResultCode opened = writer.get()->OpenOnStream(&stream);
      written = RylFailed(opened) ? AddReport::Failed("cannot start the archive on standard output", opened)
                                  : WriteAll(writer.get(), items, options, false);
    }
  }
  stream.Finish(written);
  background.Drain();
  if (written && output->error != 0) {
    AddReport::Failed("cannot write to standard output", FromWin32(output->error));
    return 1;
  }
  return written ? 0 : 1;
}

}  // namespace

int CreateArchive(RootFactory* root, const ZipOptions& options) {
  if (options.toStandardOutput) return CreateOnStandardOutput(root, options);
  const std::wstring temporary = TemporaryPathBeside(options.archive);
  std::vector<SourceItem> items;
  if (!CollectSources(options.paths, {options.archive, temporary}, &items)) return 1;
  {
    ZipStreamWriter writer;
    if (!writer.Create(root)) return 1;
    const ResultCode opened = writer.get()->OpenFile(temporary.c_str(), static_cast<int32_t>(temporary.size()));
    if (RylFailed(opened)) {
      return ReportFailure("cannot create '" + Utf8(temporary) + "' (the new archive's temporary file)", opened);
    }
    if (!WriteAll(writer.get(), items, options, true)) return 1;
  }
  const ResultCode replaced = ReplaceWith(temporary, options.archive);
  if (RylFailed(replaced)) {
    DeleteFileW(temporary.c_str());
    return ReportFailure("cannot put the archive at '" + Utf8(options.archive) + "'", replaced);
  }
  return 0;
}

}  // namespace rylcli
