#include "help_text.h"

#include "cli_output.h"

namespace rylcli {
namespace {

struct Help {
  const char* family;
  const char* sub;  // "" for the family itself
  const char* synopsis;
  const char* body;
  // What exit code 1 means beyond "the work failed", when it means more.
  const char* failureNote;
};

const char kOverview[] =
    "rylcli - a command-line host of rylutil.dll\n"
    "\n"
    "Usage: rylcli [-q | -v] COMMAND [ARGUMENTS...]\n"
    "       rylcli --version | --help\n"
    "       rylcli COMMAND --help\n"
    "\n"
    "Commands:\n"
    "  info      the interfaces the module offers, each with its type and highest version\n"
    "  version   rylcli's release and the file version of the rylutil.dll it loaded\n"
    "  zip       list, test, extract, create, add to and delete from ZIP archives\n"
    "  xml       check a document or write it back indented\n"
    "  re        print the lines of a file that a regular expression matches\n"
    "  hash      a file's SHA-1, SHA-256, SHA-512 or CRC-32, computed by the module\n"
    "  rsa       sign a file or verify a signature with raw RSA key components\n"
    "  reg       show registry keys and values\n"
    "  fs        make, remove and copy directories; free space; file identities\n"
    "  fmt       format arguments with the module's printf-style formatter\n"
    "  help      this text, or a command's: rylcli help zip extract\n"
    "\n"
    "Global switches (before the command):\n"
    "  -q, --quiet     print nothing but results and errors\n"
    "  -v, --verbose   print per-entry and per-file detail, and progress even into a pipe\n"
    "\n"
    "Errors read 'rylcli: <what>: <code name> (0x<code>)'.\n";

const Help kHelp[] = {
    {"info", "", "rylcli info",
     "Loads rylutil.dll, takes its root object and prints, for the root and each\n"
     "service and object the module can create cheaply, the interface type number\n"
     "and the highest interface version it answers.\n"
     "\n"
     "Example:\n"
     "  rylcli info\n",
     nullptr},
    {"version", "", "rylcli version\n       rylcli --version",
     "Prints the release rylcli was built as, and the path and FileVersion of the\n"
     "rylutil.dll the process actually loaded.\n"
     "\n"
     "Example:\n"
     "  rylcli --version\n",
     "the DLL's version resource cannot be read"},
    {"zip", "", "rylcli zip list|test|extract|create|add|delete [OPTIONS] ARCHIVE [ARGUMENTS...]",
     "Works on ZIP archives through the module's archive services.\n"
     "\n"
     "Subcommands:\n"
     "  list      the archive comment and every entry with sizes, method and time\n"
     "  test      reads every entry, which checks its CRC-32\n"
     "  extract   every entry, or the named ones, into a directory\n"
     "  create    a new archive of files and directories\n"
     "  add       files and directories into an archive, created when missing\n"
     "  delete    entries out of an archive\n"
     "\n"
     "Type 'rylcli zip SUBCOMMAND --help' for a subcommand's options.\n"
     "\n"
     "Example:\n"
     "  rylcli zip list backup.zip\n",
     nullptr},
    {"zip", "list", "rylcli zip list ARCHIVE",
     "Prints the archive comment, one line per entry (size, compressed size, method,\n"
     "modification time, name, comment) and the total. Headers the module could not\n"
     "list and faults of the central directory are reported on stderr.\n"
     "\n"
     "Example:\n"
     "  rylcli zip list C:\\backup\\docs.zip\n",
     "the archive cannot be opened, or has damaged or unlisted headers"},
    {"zip", "test", "rylcli zip test [-p PASSWORD] ARCHIVE",
     "Reads every file entry to its end, which makes the module check its CRC-32,\n"
     "and prints OK or FAILED for each. Entries of a method the module cannot\n"
     "decode and entries whose data overlaps another's fail the test.\n"
     "\n"
     "Options:\n"
     "  -p PASSWORD   the password of encrypted entries\n"
     "\n"
     "Example:\n"
     "  rylcli zip test -p secret docs.zip\n",
     "an entry failed, or the archive cannot be opened"},
    {"zip", "extract",
     "rylcli zip extract [-p PASSWORD] [-n | -o] [--max-total BYTES] [--threads N]\n"
     "                          ARCHIVE DIRECTORY [NAME...]",
     "Extracts every entry, or the named ones, below DIRECTORY (created when\n"
     "missing). Names unsafe on Windows, unsupported methods and overlapping\n"
     "entries are refused; of entries that land on one file the later wins (the\n"
     "first with -n). A file is replaced only once its new data is complete.\n"
     "\n"
     "Options:\n"
     "  -p PASSWORD        the password of encrypted entries\n"
     "  -o                 replace existing files (the default)\n"
     "  -n                 keep existing files\n"
     "  --max-total BYTES  refuse the archive when its entries declare more\n"
     "  --threads N        extract with N workers (1 to 64; default 1)\n"
     "  --                 ends the options\n"
     "\n"
     "Example:\n"
     "  rylcli zip extract -n docs.zip C:\\restore readme.txt\n",
     "an entry was refused or failed, or the archive cannot be opened"},
    {"zip", "create", "rylcli zip create [-0..-9] [-j|--zstd[=LEVEL]] [-p PASSWORD [--aes]] [-c COMMENT] ARCHIVE|- PATH...",
     "Writes a new archive of the files and directories (recursively; entry names\n"
     "are relative to each PATH's parent), replacing any archive at ARCHIVE only\n"
     "once the new one is complete. '-' writes the archive to standard output.\n"
     "\n"
     "Options:\n"
     "  -0            store without compression\n"
     "  -1 .. -9      deflate at that level (default 6)\n"
     "  -j            compress with bzip2\n"
     "  --zstd[=LEVEL]  compress with zstd (LEVEL 1 to 22; default 3, or -1..-9)\n"
     "  -p PASSWORD   encrypt the entries (the traditional ZIP cipher)\n"
     "  --aes         encrypt with AES-256 (WinZip's AE-2) instead\n"
     "  -c COMMENT    the archive comment\n"
     "\n"
     "Example:\n"
     "  rylcli zip create -9 docs.zip C:\\Users\\me\\Documents\n",
     nullptr},
    {"zip", "add", "rylcli zip add [-0..-9] [-j|--zstd[=LEVEL]] [-p PASSWORD [--aes]] [-c COMMENT] ARCHIVE PATH...",
     "Adds files and directories to an archive, creating it when missing. A file\n"
     "replaces the entry of the same name; the archive changes once, completely.\n"
     "\n"
     "Options:\n"
     "  -0, -1 .. -9, -j, --zstd, -p PASSWORD, --aes, -c COMMENT   as for create\n"
     "\n"
     "Example:\n"
     "  rylcli zip add docs.zip notes.txt\n",
     nullptr},
    {"zip", "delete", "rylcli zip delete ARCHIVE NAME...",
     "Removes the named entries (a directory's name with or without its '/').\n"
     "Every name is looked up first: when one is missing nothing is deleted.\n"
     "\n"
     "Example:\n"
     "  rylcli zip delete docs.zip old/draft.txt\n",
     nullptr},
    {"xml", "", "rylcli xml check|pretty FILE",
     "Parses XML documents with the module's parser.\n"
     "\n"
     "Subcommands:\n"
     "  check    well-formed or not, with the count of elements\n"
     "  pretty   the document written back indented, on standard output\n"
     "\n"
     "Example:\n"
     "  rylcli xml pretty settings.xml > settings-indented.xml\n",
     nullptr},
    {"xml", "check", "rylcli xml check FILE",
     "Parses FILE and prints whether it is well-formed and how many elements it has,\n"
     "or the code the parser stopped with.\n"
     "\n"
     "Example:\n"
     "  rylcli xml check settings.xml\n",
     "the document is not well-formed or cannot be read"},
    {"xml", "pretty", "rylcli xml pretty FILE",
     "Writes FILE back through the module's XML writer, indented by two spaces with\n"
     "CRLF line ends and an XML declaration; white-space-only text is dropped.\n"
     "\n"
     "Example:\n"
     "  rylcli xml pretty settings.xml\n",
     nullptr},
    {"re", "", "rylcli re [-i] [-w] [--] PATTERN FILE",
     "Prints the lines of FILE that the regular expression PATTERN matches, as the\n"
     "bytes they are in the file.\n"
     "\n"
     "Options:\n"
     "  -i   ignore ASCII case\n"
     "  -w   match each line as UTF-16 (FILE read as UTF-8) instead of as bytes\n"
     "  --   ends the options (for a PATTERN that starts with '-')\n"
     "\n"
     "Example:\n"
     "  rylcli re -i \"^error\" C:\\logs\\setup.log\n",
     "no line matched, the pattern does not compile or FILE cannot be read"},
    {"hash", "", "rylcli hash sha1|sha256|sha512|crc32 FILE...",
     "Prints each FILE's digest as sha256sum does ('DIGEST  FILE'). The digests are\n"
     "the module's own: the SHA family through its RSA signing code, CRC-32\n"
     "through its ZIP writer.\n"
     "\n"
     "Example:\n"
     "  rylcli hash sha256 setup.exe\n",
     nullptr},
    {"rsa", "", "rylcli rsa sign|verify SELECTOR MODULUS_HEX EXPONENT_HEX DATA SIGNATURE",
     "Signs a file or verifies a signature (PKCS #1 version 1.5) with raw key\n"
     "components read as big-endian hex numbers from files.\n"
     "\n"
     "Subcommands:\n"
     "  sign     writes the signature of DATA to SIGNATURE (EXPONENT: the private one)\n"
     "  verify   checks SIGNATURE over DATA (EXPONENT: the public one)\n"
     "\n"
     "SELECTOR is sha1, sha256 or sha512.\n"
     "\n"
     "Example:\n"
     "  rylcli rsa verify sha256 n.hex e.hex setup.exe setup.sig\n",
     nullptr},
    {"rsa", "sign", "rylcli rsa sign SELECTOR MODULUS_HEX PRIVATE_EXPONENT_HEX DATA SIGNATURE_OUT",
     "Signs DATA with the private key and writes the signature to SIGNATURE_OUT.\n"
     "The hex files may hold white space and a leading 0x.\n"
     "\n"
     "Example:\n"
     "  rylcli rsa sign sha256 n.hex d.hex setup.exe setup.sig\n",
     nullptr},
    {"rsa", "verify", "rylcli rsa verify SELECTOR MODULUS_HEX EXPONENT_HEX DATA SIGNATURE",
     "Checks that SIGNATURE is the key's signature over DATA with the named digest.\n"
     "\n"
     "Example:\n"
     "  rylcli rsa verify sha256 n.hex e.hex setup.exe setup.sig\n",
     "the signature does not match, or a file cannot be read"},
    {"reg", "", "rylcli reg query|list [/32 | /64] KEY [VALUE]",
     "Reads the registry through the module's registry service. KEY starts with a\n"
     "root: HKLM, HKCU, HKCR, HKU or HKCC (or the HKEY_... names).\n"
     "\n"
     "Subcommands:\n"
     "  query   a key's values (or one value) and its subkeys, as reg.exe shows them\n"
     "  list    the names of a key's subkeys and values\n"
     "\n"
     "Example:\n"
     "  rylcli reg query HKLM\\Software\\Microsoft\\Windows\\CurrentVersion ProgramFilesDir\n",
     nullptr},
    {"reg", "query", "rylcli reg query [/32 | /64] KEY [VALUE]",
     "Prints KEY's full name, then each value (or only VALUE) as 'name  type  data',\n"
     "then the full names of its subkeys. The default value is shown as (Default);\n"
     "give \"\" as VALUE to ask for it.\n"
     "\n"
     "Options:\n"
     "  /32   read the 32-bit view of the registry\n"
     "  /64   read the 64-bit view\n"
     "\n"
     "Example:\n"
     "  rylcli reg query HKCU\\Environment TEMP\n",
     "the key or the value does not exist or cannot be read"},
    {"reg", "list", "rylcli reg list [/32 | /64] KEY",
     "Prints the names of KEY's subkeys, one per line ending in '\\', then the names\n"
     "of its values with their types.\n"
     "\n"
     "Options:\n"
     "  /32, /64   as for query\n"
     "\n"
     "Example:\n"
     "  rylcli reg list HKLM\\Software\n",
     "the key does not exist or cannot be read"},
    {"fs", "", "rylcli fs tree|rm|cp|df|id ARGUMENTS...",
     "File-system work through the module's file-system service.\n"
     "\n"
     "Subcommands:\n"
     "  tree   make a directory and every missing parent\n"
     "  rm     remove a directory (with -r, all it holds)\n"
     "  cp     copy the files of one directory into another\n"
     "  df     total and available bytes of a volume\n"
     "  id     the volume's and the file's identifiers\n"
     "\n"
     "Example:\n"
     "  rylcli fs df C:\\\n",
     nullptr},
    {"fs", "tree", "rylcli fs tree DIR",
     "Makes DIR and every missing parent; an existing DIR is no error.\n"
     "\n"
     "Example:\n"
     "  rylcli fs tree C:\\data\\2024\\reports\n",
     nullptr},
    {"fs", "rm", "rylcli fs rm [-r] DIR",
     "Removes the empty directory DIR, or with -r DIR and everything in it (links\n"
     "are removed as links; what they point to is left alone).\n"
     "\n"
     "Options:\n"
     "  -r   remove the whole tree\n"
     "\n"
     "Example:\n"
     "  rylcli fs rm -r C:\\temp\\build\n",
     nullptr},
    {"fs", "cp", "rylcli fs cp [-n] SOURCE_DIR TARGET_DIR [PATTERN]",
     "Copies the files of SOURCE_DIR that match PATTERN (default *) into\n"
     "TARGET_DIR; subdirectories are not copied.\n"
     "\n"
     "Options:\n"
     "  -n   keep both files on a name clash (numbered copies); otherwise replace\n"
     "\n"
     "Example:\n"
     "  rylcli fs cp C:\\logs D:\\archive\\logs *.log\n",
     nullptr},
    {"fs", "df", "rylcli fs df PATH",
     "Prints the total and the available bytes of the volume PATH is on.\n"
     "\n"
     "Example:\n"
     "  rylcli fs df C:\\\n",
     nullptr},
    {"fs", "id", "rylcli fs id PATH",
     "Prints the 16-byte identifiers of PATH's volume and of the file itself: two\n"
     "paths name the same file when both are equal.\n"
     "\n"
     "Example:\n"
     "  rylcli fs id C:\\Windows\\notepad.exe\n",
     nullptr},
    {"fmt", "", "rylcli fmt FORMAT [ARG...]",
     "Formats the arguments with the module's printf-style formatter and prints the\n"
     "result with a line end. Each ARG is converted as its directive asks:\n"
     "  %d %i %u %x %X %o    integers (decimal, or 0x... hex; h, hh, l, I32, I64,\n"
     "                       ll modifiers as in C)\n"
     "  %c                   a character (given as itself, or as its number)\n"
     "  %s %S %hs %ls        strings (%s and %ls as UTF-16, %S and %hs as UTF-8)\n"
     "  %e %E %f %g %G       doubles\n"
     "  *                    a width or precision taken from the next ARG\n"
     "%% is a percent sign. %p, %Z and %r take addresses, which a command line cannot\n"
     "give, and are refused. A directive the formatter does not know (%a, %n, %C) is\n"
     "copied as written and takes no ARG. No escapes are read: the shell's quoting\n"
     "is the only one.\n"
     "\n"
     "Example:\n"
     "  rylcli fmt \"%-10s|%08.3f|%#x\" disk 3.14159 255\n",
     "the module's formatter failed"},
};

const Help* Find(const std::string& family, const std::string& sub) {
  for (const Help& help : kHelp) {
    if (family == help.family && sub == help.sub) return &help;
  }
  return nullptr;
}

}  // namespace

bool HasHelp(const std::string& family, const std::string& sub) { return Find(family, sub) != nullptr; }

std::vector<std::string> Subcommands(const std::string& family) {
  std::vector<std::string> subs;
  for (const Help& help : kHelp) {
    if (family == help.family && help.sub[0] != '\0') subs.emplace_back(help.sub);
  }
  return subs;
}

std::string HelpText(const std::string& family, const std::string& sub) {
  const Help* help = Find(family, sub);
  if (help == nullptr) return kOverview;
  std::string text = "Usage: ";
  text += help->synopsis;
  text += "\n\n";
  text += help->body;
  text += "\nExit codes:\n  0  success\n  1  ";
  text += help->failureNote != nullptr ? help->failureNote : "the work failed";
  text += "\n  2  usage error: unknown command or option, missing argument, bad number\n";
  return text;
}

int PrintHelp(const std::string& family, const std::string& sub) {
  WriteOut(HelpText(family, sub));
  return 0;
}

void PrintSynopsis(const std::string& family, const std::string& sub) {
  const Help* help = Find(family, sub);
  if (help == nullptr) help = Find(family, "");
  if (help == nullptr) {
    WriteErr("Usage: rylcli [-q | -v] COMMAND [ARGUMENTS...]\n");
    return;
  }
  Err("Usage: %s\n", help->synopsis);
}

}  // namespace rylcli
