// An open archive and what it takes to get there; releases in reverse.
#pragma once

#include <ryl/ryl.h>

#include <string>

namespace rylcli {

class OpenedArchive {
 public:
  OpenedArchive() = default;
  ~OpenedArchive();
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  // The archive must exist: opening would otherwise create an empty file.
  // Says on stderr why when it fails.
  bool Open(RootFactory* root, const std::wstring& path);
  // An archive with no entries and no file yet; Save makes it one.
  bool Create(RootFactory* root);

  Archive* archive() const { return archive_; }
  ZipService* service() const { return service_; }

 private:
  bool MakeZipService(RootFactory* root);

  ArchiveFactory* factory_ = nullptr;
  ZipService* service_ = nullptr;
  Archive* archive_ = nullptr;
};

}  // namespace rylcli
