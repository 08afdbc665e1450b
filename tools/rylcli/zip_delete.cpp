// rylcli zip delete: entries out of an archive. Every name is looked up
// before anything is removed, so a name that is not there changes nothing;
// the library's save writes the new archive beside the old one and renames
// it over, copying the remaining entries' compressed bytes unchanged.
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "opened_archive.h"
#include "terminal_text.h"
#include "utf8_text.h"
#include "zip_subcommands.h"

namespace rylcli {
namespace {

// The stored name of the entry called name, or of the directory name/ when
// the name was given without its "/"; empty when there is neither.
std::wstring StoredName(Archive* archive, const std::wstring& name) {
  for (const std::wstring& candidate : {name, name + L"/"}) {
    ArchiveEntry* entry = nullptr;
    if (RylSucceeded(archive->FindEntry(&entry, candidate.c_str(), static_cast<uint32_t>(candidate.size())))) {
      RylStringView stored = {nullptr, 0};
      entry->GetName(&stored);
      std::wstring text = WideText(stored);
      entry->Release();
      return text;
    }
    if (!name.empty() && (name.back() == L'/' || name.back() == L'\\')) break;
  }
  return {};
}

}  // namespace

int DeleteFromArchive(RootFactory* root, const ZipOptions& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  Archive* archive = opened.archive();
  std::vector<std::wstring> doomed;
  std::unordered_set<std::wstring> seen;
  int missing = 0;
  for (const std::wstring& name : options.names) {
    const std::wstring stored = StoredName(archive, name);
    if (stored.empty()) {
      ReportFailure("not in the archive: " + Printable(name), RYL_E_ELEMENT_NOT_FOUND);
      ++missing;
    } else if (seen.insert(stored).second) {
      doomed.push_back(stored);
    }
  }
  if (missing != 0) {
    return ReportFailure("nothing deleted: " + std::to_string(missing) + " name(s) not in the archive",
                         RYL_E_ELEMENT_NOT_FOUND);
  }
  for (const std::wstring& name : doomed) {
    const ResultCode rc = archive->RemoveEntry(name.c_str(), static_cast<uint32_t>(name.size()));
    if (RylFailed(rc)) {
      return ReportFailure("cannot delete " + Printable(name), rc);
    }
  }
  const ResultCode saved = archive->Save(options.archive.c_str(), static_cast<uint32_t>(options.archive.size()));
  if (RylFailed(saved)) {
    return ReportFailure("cannot save the archive", saved);
  }
  for (const std::wstring& name : doomed) Out("deleted: %s\n", Printable(name).c_str());
  return 0;
}

}  // namespace rylcli
