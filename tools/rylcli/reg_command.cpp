// rylcli reg: keys and values read through the module's registry service,
// printed in reg.exe's layout so that an administrator's eye (and scripts
// written against reg.exe's output) find things where they expect.
#include "reg_command.h"

#include <cwchar>
#include <string>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "growing_output.h"
#include "module_session.h"
#include "reg_value_text.h"
#include "registry_key.h"
#include "terminal_text.h"
#include "utf8_text.h"

namespace rylcli {
namespace {

class ScopedEnumerator {
 public:
  ScopedEnumerator() = default;
  ~ScopedEnumerator() { RylSharedRelease(&holder_.control); }
  ScopedEnumerator(const ScopedEnumerator&) = delete;
  ScopedEnumerator& operator=(const ScopedEnumerator&) = delete;
  RylEnumeratorHolder* Receive() { return &holder_; }
  RylKeyEnumerator* get() const { return holder_.enumerator; }

 private:
  RylEnumeratorHolder holder_ = {nullptr, nullptr};
};

struct Arguments {
  std::wstring verb;
  KeyPath key;
  uint32_t view = 0;
  bool hasValue = false;
  std::wstring value;
};

// Every name the enumerator gives, in its order.
ResultCode Names(RylRegistryKey* key, bool values, std::vector<std::wstring>* out) {
  ScopedEnumerator names;
  ResultCode rc = values ? key->EnumerateValues(names.Receive()) : key->EnumerateSubKeys(names.Receive());
  if (RylFailed(rc)) return rc;
  if (names.get() == nullptr) return RYL_E_INVALID_STATE;
  for (;;) {
    UnitOutput name;
    rc = names.get()->GetCurrent(name.get());
    if (rc == RYL_E_NO_MORE_ITEMS) return RYL_OK;
    if (RylFailed(rc)) return rc;
    out->emplace_back(reinterpret_cast<const wchar_t*>(name.data()), name.size());
    rc = names.get()->MoveNext();
    if (rc == RYL_S_NO_MORE_ITEMS) return RYL_OK;
    if (RylFailed(rc)) return rc;
  }
}

std::string ShownValueName(const std::wstring& name) { return name.empty() ? "(Default)" : Printable(name); }

ResultCode PrintValue(RylRegistryKey* key, const std::wstring& name, uint32_t* outType = nullptr) {
  uint32_t type = 0;
  ByteOutput data;
  const ResultCode rc = key->QueryValue(&type, data.get(), reinterpret_cast<const RylChar16*>(name.c_str()),
                                        static_cast<uint32_t>(name.size()));
  if (RylFailed(rc)) return rc;
  if (outType != nullptr) *outType = type;
  Out("    %s    %s    %s\n", ShownValueName(name).c_str(), RegistryTypeName(type).c_str(),
      RegistryDataText(type, data.data(), data.size()).c_str());
  return RYL_OK;
}

int Query(RylRegistryKey* key, const Arguments& args) {
  const std::string keyName = Printable(args.key.FullName());
  if (args.hasValue) {
    Out("\n%s\n", keyName.c_str());
    const ResultCode rc = PrintValue(key, args.value);
    if (RylFailed(rc))
      return ReportFailure("cannot read the value " + ShownValueName(args.value) + " of " + keyName, rc);
    Out("\n");
    return kExitOk;
  }
  std::vector<std::wstring> values;
  ResultCode rc = Names(key, true, &values);
  if (RylFailed(rc)) return ReportFailure("cannot list the values of " + keyName, rc);
  Out("\n%s\n", keyName.c_str());
  int failures = 0;
  for (const std::wstring& value : values) {
    rc = PrintValue(key, value);
    if (RylFailed(rc)) failures += ReportFailure("cannot read the value " + ShownValueName(value), rc);
  }
  std::vector<std::wstring> subKeys;
  rc = Names(key, false, &subKeys);
  if (RylFailed(rc)) return ReportFailure("cannot list the subkeys of " + keyName, rc);
  Out("\n");
  for (const std::wstring& subKey : subKeys) Out("%s\\%s\n", keyName.c_str(), Printable(subKey).c_str());
  return failures == 0 ? kExitOk : kExitFailed;
}

int List(RylRegistryKey* key, const Arguments& args) {
  const std::string keyName = Printable(args.key.FullName());
  std::vector<std::wstring> subKeys;
  ResultCode rc = Names(key, false, &subKeys);
  if (RylFailed(rc)) return ReportFailure("cannot list the subkeys of " + keyName, rc);
  std::vector<std::wstring> values;
  rc = Names(key, true, &values);
  if (RylFailed(rc)) return ReportFailure("cannot list the values of " + keyName, rc);
  for (const std::wstring& subKey : subKeys) Out("%s\\\n", Printable(subKey).c_str());
  int failures = 0;
  for (const std::wstring& value : values) {
    uint32_t type = 0;
    ByteOutput data;
    rc = key->QueryValue(&type, data.get(), reinterpret_cast<const RylChar16*>(value.c_str()),
                         static_cast<uint32_t>(value.size()));
    if (RylFailed(rc)) {
      failures += ReportFailure("cannot read the value " + ShownValueName(value), rc);
      continue;
    }
    Out("%s    %s\n", ShownValueName(value).c_str(), RegistryTypeName(type).c_str());
  }
  return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunReg(int argc, wchar_t** argv) {
  if (argc < 1) return ReportUsage("reg needs a subcommand", "reg");
  Arguments args;
  args.verb = argv[0];
  const std::string verb = Utf8(args.verb);
  if (verb != "query" && verb != "list") return ReportUsage("unknown subcommand 'reg " + verb + "'", "reg");
  std::vector<std::wstring> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (!optionsEnded && arg == L"--") {
      optionsEnded = true;
    } else if (!optionsEnded && (arg == L"/32" || arg == L"-32")) {
      args.view = RYL_KEY_WOW64_32KEY;
    } else if (!optionsEnded && (arg == L"/64" || arg == L"-64")) {
      args.view = RYL_KEY_WOW64_64KEY;
    } else if (!optionsEnded && arg.size() > 1 && (arg[0] == L'-' || arg[0] == L'/')) {
      return ReportUsage("unknown option '" + Utf8(arg) + "'", "reg", verb);
    } else {
      positional.push_back(arg);
    }
  }
  const size_t most = verb == "query" ? 2 : 1;
  if (positional.empty() || positional.size() > most) {
    return ReportUsage(positional.empty() ? "missing KEY" : "too many arguments", "reg", verb);
  }
  if (!ParseKeyPath(positional[0], &args.key)) {
    return ReportUsage("'" + Utf8(positional[0]) + "' does not start with HKLM, HKCU, HKCR, HKU or HKCC", "reg", verb);
  }
  if (positional.size() == 2) {
    args.hasValue = true;
    args.value = positional[1];
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return ReportFailure("cannot start the module", started);
  ScopedKey key;
  const ResultCode opened = OpenKey(session.root(), args.key, args.view, &key);
  if (RylFailed(opened)) return ReportFailure("cannot open " + Printable(args.key.FullName()), opened);
  return verb == "query" ? Query(key.get(), args) : List(key.get(), args);
}

}  // namespace rylcli
