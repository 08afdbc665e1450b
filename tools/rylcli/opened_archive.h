// An open archive and what it takes to get there; releases in reverse.
#pragma once

#include <ryl/ryl.h>

#include <string>

#include "archive_audit.h"

namespace rylcli {

class OpenedArchive {
 public:
  OpenedArchive() = default;
  ~OpenedArchive();
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  // The archive must exist: opening would otherwise create an empty file.
  // A directory, a device or a file too short for any archive is refused
  // here: the library would take each for an empty archive. Says on stderr
  // why when it fails. The audit is taken and matched once it is open.
  bool Open(RootFactory* root, const std::wstring& path);
  // Another opening of an archive Open has checked already, for a worker
  // of its own: no checks, no audit.
  bool OpenAgain(RootFactory* root, const std::wstring& path);
  // An archive with no entries and no file yet; Save makes it one.
  bool Create(RootFactory* root);

  Archive* archive() const { return archive_; }
  ZipService* service() const { return service_; }
  const ArchiveAudit& audit() const { return audit_; }

 private:
  bool MakeZipService(RootFactory* root);

  ArchiveFactory* factory_ = nullptr;
  ZipService* service_ = nullptr;
  Archive* archive_ = nullptr;
  ArchiveAudit audit_;
};

}  // namespace rylcli
