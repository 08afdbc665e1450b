// rylcli's own rules, natively: which names may become files, how names are
// shown on a terminal, and the raw census of a directory that the commands
// hold against the library's list (archives made by Python's zipfile and
// by hand, since the census must agree with what other tools write).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "../../tools/rylcli/directory_census.h"
#include "../../tools/rylcli/entry_path_rules.h"
#include "../../tools/rylcli/terminal_text.h"

namespace rylcli {
namespace {

TEST(EntryPathRules, EveryClassOfUnsafeNameIsRefusedForItsReason) {
  struct Case {
    const wchar_t* name;
    NameProblem problem;
  };
  const Case cases[] = {
      {L"a.txt", NameProblem::kNone},
      {L"dir/sub/a.txt", NameProblem::kNone},
      {L"dir/", NameProblem::kNone},
      {L".hidden", NameProblem::kNone},
      {L"a..b", NameProblem::kNone},
      {L"...x", NameProblem::kNone},
      {L"CONSOLE", NameProblem::kNone},
      {L"COM10", NameProblem::kNone},
      {L"LPT", NameProblem::kNone},
      {L"xcon", NameProblem::kNone},
      {L"con-x.txt", NameProblem::kNone},
      {L"\u00fcber/\u65e5\u672c.txt", NameProblem::kNone},
      {L"", NameProblem::kEmpty},
      {L"/etc/passwd", NameProblem::kAbsolute},
      {L"\\\\server\\share\\x", NameProblem::kAbsolute},
      {L"../x", NameProblem::kParent},
      {L"a/../../x", NameProblem::kParent},
      {L"a\\..\\x", NameProblem::kParent},
      {L"..", NameProblem::kParent},
      {L"C:x", NameProblem::kColon},
      {L"a.txt:stream", NameProblem::kColon},
      {L"a?b", NameProblem::kReservedCharacter},
      {L"a*", NameProblem::kReservedCharacter},
      {L"a<b>", NameProblem::kReservedCharacter},
      {L"a|b", NameProblem::kReservedCharacter},
      {L"a\"b", NameProblem::kReservedCharacter},
      {L"a\x1b[31m", NameProblem::kReservedCharacter},
      {L"tab\there", NameProblem::kReservedCharacter},
      {L"COM1", NameProblem::kDeviceName},
      {L"com1.txt", NameProblem::kDeviceName},
      {L"sub/COM1", NameProblem::kDeviceName},
      {L"COM1 ", NameProblem::kTrailingDotOrSpace},
      {L"sub/con/x.txt", NameProblem::kDeviceName},
      {L"AUX", NameProblem::kDeviceName},
      {L"nul.tar.gz", NameProblem::kDeviceName},
      {L"PRN.", NameProblem::kTrailingDotOrSpace},
      {L"Lpt9", NameProblem::kDeviceName},
      {L"COM0", NameProblem::kDeviceName},
      {L"LPT0.log", NameProblem::kDeviceName},
      {L"COM\u00b9", NameProblem::kDeviceName},
      {L"lpt\u00b3.txt", NameProblem::kDeviceName},
      {L"CONIN$", NameProblem::kDeviceName},
      {L"conout$.x", NameProblem::kDeviceName},
      {L"CON .txt", NameProblem::kDeviceName},
      {L"con/", NameProblem::kDeviceName},
      {L"a./x", NameProblem::kTrailingDotOrSpace},
      {L"x.", NameProblem::kTrailingDotOrSpace},
      {L"x ", NameProblem::kTrailingDotOrSpace},
      {L"dir /x", NameProblem::kTrailingDotOrSpace},
      {L"./x", NameProblem::kTrailingDotOrSpace},
      {L"d./", NameProblem::kTrailingDotOrSpace},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckEntryName(c.name), c.problem) << Printable(c.name);
    EXPECT_NE(std::string(ExplainNameProblem(c.problem)), "");
  }
}

TEST(EntryPathRules, DeviceNamesIgnoreCaseExtensionsAndTrailingDotsAndSpaces) {
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"COM1", L"COM9", L"LPT1", L"CONIN$", L"CONOUT$"}) {
    std::wstring lower(device);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(c >= L'A' && c <= L'Z' ? c + 32 : c);
    for (const std::wstring& form : {std::wstring(device), lower, lower + L".txt", lower + L" . ",
                                     std::wstring(device) + L"..", lower + L".a.b"}) {
      EXPECT_TRUE(NamesReservedDevice(form)) << Printable(form);
    }
  }
  for (const wchar_t* plain : {L"CONX", L"COM", L"COMA", L"LPT10", L"NULL", L"AUXI.txt", L"", L".", L"con$"}) {
    EXPECT_FALSE(NamesReservedDevice(plain)) << Printable(plain);
  }
}

TEST(EntryPathRules, OutputKeysCollideWhereWindowsFileNamesDo) {
  EXPECT_EQ(OutputKey(L"Dir/A.txt"), OutputKey(L"dir\\a.TXT"));
  EXPECT_EQ(OutputKey(L"d/"), OutputKey(L"D"));
  EXPECT_EQ(OutputKey(L"\u00fcber"), OutputKey(L"\u00dcBER"));
  EXPECT_EQ(OutputKey(L"\u0101"), OutputKey(L"\u0100"));
  EXPECT_EQ(OutputKey(L"\u013a"), OutputKey(L"\u0139"));  // the odd-start pairs
  EXPECT_EQ(OutputKey(L"\u00ff"), OutputKey(L"\u0178"));
  EXPECT_EQ(OutputKey(L"\u03b1\u03b2"), OutputKey(L"\u0391\u0392"));
  EXPECT_EQ(OutputKey(L"\u0436\u0451"), OutputKey(L"\u0416\u0401"));
  EXPECT_NE(OutputKey(L"a"), OutputKey(L"b"));
  EXPECT_NE(OutputKey(L"\u00f7"), OutputKey(L"\u00d7"));  // division and multiplication signs
  EXPECT_NE(OutputKey(L"a/b"), OutputKey(L"ab"));
}

TEST(TerminalText, ControlCharactersNulAndDirectionOverridesAreShownEscaped) {
  struct Case {
    std::wstring text;
    const char* shown;
  };
  const Case cases[] = {
      {L"plain.txt", "plain.txt"},
      {L"\u00fcber", "\xc3\xbc" "ber"},
      {L"\u65e5", "\xe6\x97\xa5"},
      {std::wstring(L"a\0b", 3), "a\\x00b"},
      {L"\x1b]0;title\x07", "\\x1B]0;title\\x07"},
      {L"line\nbreak\r", "line\\x0Abreak\\x0D"},
      {L"del\x7f", "del\\x7F"},
      {L"c1\x9b", "c1\\x9B"},
      {L"txt.\u202eexe", "txt.\\u202Eexe"},
      {L"\u2066x\u2069", "\\u2066x\\u2069"},
  };
  for (const Case& c : cases) EXPECT_EQ(Printable(c.text), c.shown);
  if (sizeof(wchar_t) == 2) {
    const wchar_t pair[] = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), 0};
    EXPECT_EQ(Printable(pair), "\xf0\x9f\x98\x80");
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD83D), 0};
    EXPECT_EQ(Printable(lone), "a\\uD83D");
  }
}

// --- the census ----------------------------------------------------------------

std::string Le(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

DirectoryCensus CensusOf(const std::string& bytes) {
  return TakeCensus(bytes.size(), [&](uint64_t offset, void* buffer, uint32_t count) {
    if (offset > bytes.size() || bytes.size() - offset < count) return false;
    std::memcpy(buffer, bytes.data() + offset, count);
    return true;
  });
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// An archive made by Python's zipfile from a script.
std::string PythonArchive(const std::string& tag, const std::string& body) {
  const std::string path = ::testing::TempDir() + "census-" + tag + ".zip";
  const std::string script = "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n" + body +
                             "z.close()\n";
  const std::string scriptPath = path + ".py";
  std::ofstream(scriptPath) << script;
  EXPECT_EQ(std::system(("python3 " + scriptPath + " " + path).c_str()), 0);
  return ReadFile(path);
}

struct Raw {
  std::string name;
  uint32_t compressedSize;
  uint32_t localOffset;
};

// Central headers only (no local data), with an end record that may lie.
std::string HandMade(const std::vector<Raw>& entries, uint32_t directoryAt, int countOverride = -1,
                     int sizeOverride = -1) {
  std::string directory;
  for (const Raw& e : entries) {
    directory += Le(0x02014B50, 4) + Le(20, 2) + Le(20, 2) + Le(0, 2) + Le(8, 2) + Le(0, 4) + Le(0, 4) +
                 Le(e.compressedSize, 4) + Le(1000, 4) + Le(e.name.size(), 2) + Le(0, 2) + Le(0, 2) + Le(0, 2) +
                 Le(0, 2) + Le(0, 4) + Le(e.localOffset, 4) + e.name;
  }
  const uint64_t count = countOverride >= 0 ? static_cast<uint64_t>(countOverride) : entries.size();
  const uint64_t size = sizeOverride >= 0 ? static_cast<uint64_t>(sizeOverride) : directory.size();
  return std::string(directoryAt, 'd') + directory + Le(0x06054B50, 4) + Le(0, 4) + Le(count, 2) + Le(count, 2) +
         Le(size, 4) + Le(directoryAt, 4) + Le(0, 2);
}

TEST(DirectoryCensus, AgreesWithZipfileOnEveryEntryAndFindsNoProblemInASoundArchive) {
  const std::string archive = PythonArchive(
      "sound", "for i in range(40): z.writestr('d%d/f%d.txt' % (i % 3, i), b'x' * (i * 97))\n"
               "z.writestr('\\u00fcber.txt', b'u')\nz.comment = b'PK\\x05\\x06 inside the comment'\n");
  const DirectoryCensus census = CensusOf(archive);
  ASSERT_TRUE(census.endRecordFound);
  EXPECT_EQ(census.declaredEntries, 41u);
  ASSERT_EQ(census.records.size(), 41u);
  EXPECT_EQ(census.records[5].name, "d2/f5.txt");
  EXPECT_EQ(census.records[40].name, "\xc3\xbc" "ber.txt");
  EXPECT_EQ(census.records[40].flags & 0x800, 0x800);
  EXPECT_EQ(census.records[5].uncompressedSize, 5u * 97);
  EXPECT_EQ(archive.substr(census.records[5].localHeaderOffset, 4), "PK\x03\x04");
  EXPECT_TRUE(DirectoryProblems(census).empty());
  for (bool overlaps : OverlappingRecords(census)) EXPECT_FALSE(overlaps);

  // Behind a stub: the same entries, found where they now are.
  const std::string stub(3000, 's');
  const DirectoryCensus moved = CensusOf(stub + archive);
  EXPECT_EQ(moved.prefixLength, stub.size());
  ASSERT_EQ(moved.records.size(), 41u);
  EXPECT_EQ(moved.records[5].localHeaderOffset, census.records[5].localHeaderOffset + stub.size());
  EXPECT_TRUE(DirectoryProblems(moved).empty());
}

TEST(DirectoryCensus, BlockCachedReadsGiveWhatDirectReadsGive) {
  std::string file(300000, '\0');
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 131 + (i >> 9));
  int rawReads = 0;
  const ReadAt direct = [&](uint64_t offset, void* buffer, uint32_t count) {
    ++rawReads;
    if (offset > file.size() || file.size() - offset < count) return false;
    std::memcpy(buffer, file.data() + offset, count);
    return true;
  };
  const ReadAt cached = BlockCachedReadAt(direct, file.size(), 4096);
  std::mt19937 random(7);
  int reads = 0;
  for (int i = 0; i < 20000; ++i) {
    // Mostly short reads walking forward, as a directory walk does; some
    // anywhere, some past the end, some larger than a block.
    const uint64_t offset = i % 10 == 0 ? random() % (file.size() + 100) : (i * 47) % file.size();
    const uint32_t count = i % 97 == 0 ? 5000 + random() % 3000 : random() % 80;
    std::string a(count, 'a');
    std::string b(count, 'b');
    const bool viaCache = cached(offset, a.data(), count);
    const bool viaRaw = direct(offset, b.data(), count);
    ++reads;
    ASSERT_EQ(viaCache, viaRaw) << offset << " " << count;
    if (viaRaw) ASSERT_EQ(a, b) << offset << " " << count;
  }
  // The direct reads made for the comparison are half the count; the
  // cache's own stay well below one per read.
  EXPECT_LT(rawReads - reads, reads / 4);
  // A census through the cache is the census.
  const std::string archive = PythonArchive("cached", "for i in range(300): z.writestr('n%d' % i, b'x' * i)\n");
  int archiveReads = 0;
  const ReadAt archiveDirect = [&](uint64_t offset, void* buffer, uint32_t count) {
    ++archiveReads;
    if (offset > archive.size() || archive.size() - offset < count) return false;
    std::memcpy(buffer, archive.data() + offset, count);
    return true;
  };
  const DirectoryCensus census = TakeCensus(archive.size(), BlockCachedReadAt(archiveDirect, archive.size(), 1 << 20));
  ASSERT_EQ(census.records.size(), 300u);
  EXPECT_EQ(census.records[299].name, "n299");
  EXPECT_LT(archiveReads, 10);
}

TEST(DirectoryCensus, ReportsWhatTheLibraryWouldListWithoutComplaint) {
  struct Case {
    const char* what;
    std::string bytes;
    bool problem;
  };
  const std::vector<Raw> two = {{"a", 10, 0}, {"b", 10, 100}};
  const Case cases[] = {
      {"sound", HandMade(two, 200), false},
      {"no end record", std::string(100, 'x'), true},
      {"shorter than an end record", std::string(21, '\0'), true},
      {"more entries declared than headers", HandMade(two, 200, 5), true},
      {"directory size that lies", HandMade(two, 200, -1, 20), true},
      {"directory offset inside the headers", HandMade(two, 200).replace(200 + 2 * 47 + 16, 4, Le(210, 4)), true},
      {"directory offset short by a stub", HandMade(two, 200).replace(200 + 2 * 47 + 16, 4, Le(150, 4)), false},
      {"another disk", HandMade(two, 200).replace(200 + 2 * 47 + 4, 2, Le(1, 2)), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(!DirectoryProblems(CensusOf(c.bytes)).empty(), c.problem);
  }
}

TEST(DirectoryCensus, OverlappingDataAndDataRunningIntoTheDirectoryAreFound) {
  struct Case {
    const char* what;
    std::vector<Raw> entries;
    uint32_t directoryAt;
    std::vector<bool> overlapping;
  };
  const Case cases[] = {
      {"apart", {{"a", 10, 0}, {"b", 10, 41}}, 200, {false, false}},
      {"touching", {{"a", 10, 0}, {"bb", 10, 41}}, 83, {false, false}},
      {"one byte into the next", {{"a", 11, 0}, {"b", 10, 41}}, 200, {true, true}},
      {"shared data", {{"a", 10, 0}, {"b", 10, 0}}, 200, {true, true}},
      {"one covers two", {{"a", 500, 0}, {"b", 1, 50}, {"c", 1, 150}}, 800, {true, true, true}},
      {"into the directory", {{"a", 10, 0}, {"b", 200, 41}}, 200, {false, true}},
      {"listed out of order", {{"c", 10, 200}, {"a", 300, 0}, {"b", 10, 100}}, 800, {true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OverlappingRecords(CensusOf(HandMade(c.entries, c.directoryAt))), c.overlapping);
  }
  // The overlapping-entries bomb's shape, made by zipfile's own records:
  // every central header points at the first local header.
  std::string archive = PythonArchive("shared", "for i in range(3): z.writestr('f%d' % i, b'0' * 100000)\n");
  DirectoryCensus census = CensusOf(archive);
  ASSERT_EQ(census.records.size(), 3u);
  for (const CentralRecord& r : census.records) {
    archive.replace(r.headerOffset + 42, 4, Le(0, 4));
  }
  for (bool overlaps : OverlappingRecords(CensusOf(archive))) EXPECT_TRUE(overlaps);
}

}  // namespace
}  // namespace rylcli
