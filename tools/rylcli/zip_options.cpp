#include "zip_options.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <utility>

#include "utf8_text.h"

namespace rylcli {
namespace {

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  return n != 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
}

bool IsLevel(const wchar_t* arg) { return arg[0] == L'-' && arg[1] >= L'0' && arg[1] <= L'9' && arg[2] == 0; }

}  // namespace

bool ParseZipOptions(int argc, wchar_t** argv, ZipOptions* out, std::string* why) {
  auto refuse = [why](std::string text) {
    *why = std::move(text);
    return false;
  };
  if (argc < 1) return refuse("zip needs a subcommand");
  ZipOptions options;
  options.command = argv[0];
  std::vector<std::wstring> positional;
  bool writeOptions = false;
  bool extractOptions = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* arg = argv[i];
    if (optionsEnded) {
      positional.emplace_back(arg);
    } else if (std::wcscmp(arg, L"--") == 0) {
      optionsEnded = true;
    } else if (std::wcscmp(arg, L"-p") == 0 && i + 1 < argc) {
      options.password = argv[++i];
      options.hasPassword = true;
    } else if (std::wcscmp(arg, L"-c") == 0 && i + 1 < argc) {
      options.comment = argv[++i];
      options.hasComment = writeOptions = true;
    } else if (std::wcscmp(arg, L"-n") == 0 || std::wcscmp(arg, L"-o") == 0) {
      options.neverOverwrite = arg[1] == L'n';
      extractOptions = true;
    } else if (std::wcscmp(arg, L"--max-total") == 0 && i + 1 < argc) {
      wchar_t* end = nullptr;
      const wchar_t* text = argv[++i];
      options.maxTotal = std::wcstoull(text, &end, 10);
      if (end == text || *end != 0 || options.maxTotal == 0) {
        return refuse("--max-total takes a positive number of bytes, not '" + Utf8(text) + "'");
      }
      extractOptions = true;
    } else if (std::wcscmp(arg, L"--threads") == 0 && i + 1 < argc) {
      wchar_t* end = nullptr;
      const wchar_t* text = argv[++i];
      const unsigned long count = std::wcstoul(text, &end, 10);
      if (end == text || *end != 0 || count == 0 || count > 64) {
        return refuse("--threads takes a number from 1 to 64, not '" + Utf8(text) + "'");
      }
      options.threads = static_cast<unsigned>(count);
      extractOptions = true;
    } else if (std::wcscmp(arg, L"-j") == 0) {
      options.bzip2 = writeOptions = true;
    } else if (std::wcscmp(arg, L"--aes") == 0) {
      options.aes = writeOptions = true;
    } else if (std::wcscmp(arg, L"--zstd") == 0 || std::wcsncmp(arg, L"--zstd=", 7) == 0) {
      options.zstd = writeOptions = true;
      if (arg[6] == L'=') {
        wchar_t* end = nullptr;
        const unsigned long level = std::wcstoul(arg + 7, &end, 10);
        if (end == arg + 7 || *end != 0 || level < 1 || level > 22) {
          return refuse("--zstd= takes a level from 1 to 22, not '" + Utf8(arg + 7) + "'");
        }
        options.zstdLevel = static_cast<int>(level);
      }
    } else if (IsLevel(arg)) {
      options.level = arg[1] - L'0';
      options.levelGiven = writeOptions = true;
    } else if (arg[0] == L'-' && arg[1] != 0) {
      // An option this command does not know, or one missing its value.
      const bool takesValue = std::wcscmp(arg, L"-p") == 0 || std::wcscmp(arg, L"-c") == 0 ||
                              std::wcscmp(arg, L"--max-total") == 0 || std::wcscmp(arg, L"--threads") == 0;
      return refuse(takesValue ? "option '" + Utf8(arg) + "' needs a value" : "unknown option '" + Utf8(arg) + "'");
    } else {
      positional.emplace_back(arg);
    }
  }
  const std::wstring& command = options.command;
  const bool reads = command == L"list" || command == L"test";
  const bool writes = command == L"create" || command == L"add";
  if (!reads && !writes && command != L"extract" && command != L"delete") {
    return refuse("unknown subcommand 'zip " + Utf8(command) + "'");
  }
  if (positional.empty()) return refuse("missing ARCHIVE");
  if (reads && positional.size() != 1) return refuse("too many arguments");
  if (!reads && positional.size() < 2) {
    return refuse(command == L"extract" ? "missing DIRECTORY" : writes ? "missing PATH" : "missing NAME");
  }
  if (writeOptions && !writes) return refuse("-0..-9, -j, --zstd, --aes and -c belong to create and add");
  if (options.bzip2 && options.zstd) return refuse("-j and --zstd choose different methods");
  if (options.aes && !options.hasPassword) return refuse("--aes needs a password (-p)");
  if (extractOptions && command != L"extract") return refuse("-n, -o, --max-total and --threads belong to extract");
  if (options.hasPassword && command == L"delete") return refuse("delete takes no password");
  if (options.hasPassword && writes && options.password.empty()) return refuse("an empty password encrypts nothing");
  if (positional[0] == L"-") {
    // Only a new archive can go to standard output: the others read it.
    if (command != L"create") return refuse("only create can write the archive to standard output ('-')");
    options.toStandardOutput = true;
  } else {
    options.archive = FullPath(positional[0]);
  }
  if (command == L"extract") {
    options.directory = FullPath(positional[1]);
    options.names.assign(positional.begin() + 2, positional.end());
  } else if (command == L"delete") {
    options.names.assign(positional.begin() + 1, positional.end());
  } else if (writes) {
    for (size_t i = 1; i < positional.size(); ++i) options.paths.push_back(FullPath(positional[i]));
  }
  *out = std::move(options);
  return true;
}

ResultCode ApplyPassword(ArchiveEntry* entry, const ZipOptions& options) {
  if (!options.hasPassword) return RYL_OK;
  return entry->SetPassword(options.password.c_str(), static_cast<int32_t>(options.password.size()),
                            PasswordSelectorOf(options));
}

int32_t PasswordSelectorOf(const ZipOptions& options) {
  return options.aes ? RYL_ZIP_PASSWORD_AES256 : RYL_ZIP_PASSWORD_TRADITIONAL;
}

RylZipCompression CompressionOf(const ZipOptions& options) {
  if (options.level == 0) return RylZipCompression{0, 0};
  // The library takes the bzip2 block size in hundreds: 900 is blocks of 900 kB.
  if (options.bzip2) return RylZipCompression{3, (options.levelGiven ? options.level : 9) * 100};
  if (options.zstd) {
    const int level = options.zstdLevel != 0 ? options.zstdLevel : options.levelGiven ? options.level : -1;
    return RylZipCompression{RYL_ZIP_COMPRESS_ZSTD, level};
  }
  return RylZipCompression{2, options.level};
}

}  // namespace rylcli
