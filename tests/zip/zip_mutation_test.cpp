// Damaged archives: a fixed-seed run of bit flips, truncations and length
// fields set to extremes over small valid archives of every kind. Each
// damaged archive is opened, listed and extracted, then gets an entry added
// and is saved elsewhere; nothing may crash or hang, and every failure must
// be one of the library's documented codes. A save that succeeds keeps every
// entry; one that fails leaves no file and no temporary file.
//
// The same run also builds as zip_mutation_soak (tests/zip/CMakeLists.txt),
// which CTest does not run: a long search for crashes, started by hand, e.g.
//   RYL_ZIP_MUTATIONS=200000 RYL_ZIP_MUTATION_SEED=7 RYL_WINEPREFIX=<build>/wineprefix
//     cmake/wine-run.sh <build>/bin/zip_mutation_soak.exe
// Both variables are optional (200,000 mutations and the test run's seed by
// default); the seed is printed so that a failure can be replayed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "support/temp_dir.h"
#include "zip_test_support.h"

namespace ryl::test {
namespace {

#ifdef RYL_ZIP_MUTATION_SOAK
unsigned long EnvNumber(const char* name, unsigned long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 0) : fallback;
}
const int kMutations = static_cast<int>(EnvNumber("RYL_ZIP_MUTATIONS", 200000));
const uint32_t kSeed = static_cast<uint32_t>(EnvNumber("RYL_ZIP_MUTATION_SEED", 20261208u));
#else
// Kept small enough for every test run; zip_mutation_soak goes further.
constexpr int kMutations = 2000;
constexpr uint32_t kSeed = 20261208u;
#endif

// What opening may answer for a damaged file besides success.
const std::set<uint32_t> kOpenCodes = {0xE001018Bu /* end of data */, 0xE0010001u /* out of memory */};
// What reading an entry may answer.
const std::set<uint32_t> kExtractCodes = {
    0xE001018Bu /* local header missing */, 0xE0010045u /* bad data or CRC */,
    0xE00100A8u /* version or method refused */, 0xE001009Bu /* password required */,
    0xE001009Cu /* wrong password */, 0xE0010091u /* data ends early */,
    0xE0010090u /* data after the end marker */, 0xE0010001u /* out of memory */};

struct FieldSpot {
  uint32_t signature;
  uint32_t offset;
  uint32_t width;
};
// Length, size, count and offset fields of each record.
const FieldSpot kFields[] = {
    {0x04034B50, 4, 2},  {0x04034B50, 6, 2},  {0x04034B50, 8, 2},  {0x04034B50, 18, 4}, {0x04034B50, 22, 4},
    {0x04034B50, 26, 2}, {0x04034B50, 28, 2}, {0x02014B50, 6, 2},  {0x02014B50, 8, 2},  {0x02014B50, 10, 2},
    {0x02014B50, 20, 4}, {0x02014B50, 24, 4}, {0x02014B50, 28, 2}, {0x02014B50, 30, 2}, {0x02014B50, 32, 2},
    {0x02014B50, 42, 4}, {0x06054B50, 8, 2},  {0x06054B50, 10, 2}, {0x06054B50, 12, 4}, {0x06054B50, 16, 4},
    {0x06054B50, 20, 2}, {0x06064B50, 4, 8},  {0x06064B50, 24, 8}, {0x06064B50, 32, 8}, {0x06064B50, 40, 8},
    {0x06064B50, 48, 8}, {0x07064B50, 8, 8},
};
const uint64_t kExtremes[] = {0, 1, 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, ~0ull, 0xFFFFFFFEull, 0x7FFF};

std::vector<size_t> FindAll(const Bytes& data, uint32_t signature) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 4 <= data.size(); ++i) {
    uint32_t value;
    std::memcpy(&value, data.data() + i, 4);
    if (value == signature) at.push_back(i);
  }
  return at;
}

Bytes Mutate(const Bytes& base, std::mt19937& rng, int* kind) {
  Bytes data = base;
  *kind = static_cast<int>(rng() % 4);
  switch (*kind) {
    case 0: {  // bit flips anywhere
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) data[rng() % data.size()] ^= static_cast<char>(1u << (rng() % 8));
      break;
    }
    case 1:  // truncation
      data.resize(rng() % data.size());
      break;
    case 2: {  // a length, size, count or offset field set to an extreme
      for (int attempt = 0; attempt < 8; ++attempt) {
        const FieldSpot& spot = kFields[rng() % (sizeof kFields / sizeof kFields[0])];
        const std::vector<size_t> at = FindAll(data, spot.signature);
        if (at.empty()) continue;
        const size_t where = at[rng() % at.size()] + spot.offset;
        if (where + spot.width > data.size()) continue;
        const uint64_t value = kExtremes[rng() % (sizeof kExtremes / sizeof kExtremes[0])];
        std::memcpy(data.data() + where, &value, spot.width);
        break;
      }
      break;
    }
    default: {  // random bytes in the directory and end records
      const size_t tail = std::min<size_t>(data.size(), 200);
      const int changes = 1 + static_cast<int>(rng() % 3);
      for (int i = 0; i < changes; ++i) data[data.size() - 1 - rng() % tail] = static_cast<char>(rng());
      break;
    }
  }
  return data;
}

// What saving a damaged archive may answer besides success.
const std::set<uint32_t> kSaveCodes = {0xE001018Bu /* local header or data missing */,
                                       0xE0010045u /* an entry or the directory cannot be carried */,
                                       0xE0010001u /* out of memory */};

class ZipMutationTest : public ZipServiceTest {};

TEST_F(ZipMutationTest, DamagedArchivesFailOnlyWithTheReadersCodes) {
  const char* const bases[] = {"mutate_stored.zip", "mutate_deflated.zip", "mutate_bzip2.zip",
                               "mutate_encrypted.zip", "mutate_zip64.zip"};
  std::vector<Bytes> originals;
  for (const char* base : bases) {
    originals.push_back(ReadFixture(base));
    ASSERT_GT(originals.back().size(), 100u) << base;
  }
  TempDir temp;
  const std::wstring path = temp.File(L"m.zip");
  const std::wstring target = temp.File(L"m.out");
  const std::wstring saved = temp.File(L"saved.zip");
  const std::wstring tmp = temp.File(L"tmp");
  CreateDirectoryW(tmp.c_str(), nullptr);
  ScopedTmp scopedTmp(tmp);
  std::map<uint32_t, int> saveResults;
  std::printf("%d mutations, seed %u\n", kMutations, static_cast<unsigned>(kSeed));
  std::mt19937 rng(kSeed);
  std::map<uint32_t, int> openResults;
  std::map<uint32_t, int> extractResults;
  int unexpected = 0;
  const unsigned long handlesBefore = ProcessHandleCount();
  for (int i = 0; i < kMutations; ++i) {
#ifdef RYL_ZIP_MUTATION_SOAK
    if (i != 0 && i % 10000 == 0) {
      std::printf("%d mutations done, %d unexpected\n", i, unexpected);
      std::fflush(stdout);
    }
#endif
    const size_t which = rng() % originals.size();
    int kind = 0;
    const Bytes damaged = Mutate(originals[which], rng, &kind);
    ASSERT_TRUE(WriteWholeFile(path, damaged));
    Archive* archive = nullptr;
    const ResultCode opened = service_->OpenArchive(&archive, path.c_str(), static_cast<uint32_t>(path.size()));
    ++openResults[static_cast<uint32_t>(opened)];
    if (opened < 0) {
      if (kOpenCodes.count(static_cast<uint32_t>(opened)) == 0 && ++unexpected <= 20) {
        ADD_FAILURE() << "mutation " << i << " (kind " << kind << ", base " << bases[which] << "): open gave 0x"
                      << std::hex << static_cast<uint32_t>(opened);
      }
      continue;
    }
    ASSERT_NE(archive, nullptr);
    EntryEnumerator* enumerator = nullptr;
    ASSERT_CODE(archive->CreateEnumerator(&enumerator), RYL_OK);
    uint32_t listed = 0;
    std::u16string firstName;
    ArchiveEntry* entry = nullptr;
    while (enumerator->Current(&entry) == RYL_OK) {
      RylStringView view = {nullptr, 0};
      entry->GetName(&view);
      if (listed == 0) firstName.assign(reinterpret_cast<const char16_t*>(view.data), view.length);
      (void)entry->GetComment(&view);
      (void)entry->GetUncompressedSize();
      (void)entry->GetCompressedSize();
      (void)entry->GetTime();
      if (entry->IsEncrypted()) {
        EXPECT_CODE(entry->SetPassword(W(u"zip secret"), -1, 0), RYL_OK);
      }
      SinkHostStream sink;
      const ResultCode extracted = entry->ExtractTo(&sink);
      ++extractResults[static_cast<uint32_t>(extracted)];
      if (extracted < 0) {
        EXPECT_TRUE(sink.data.empty()) << "mutation " << i << ": a failed extraction is cut back";
        if (kExtractCodes.count(static_cast<uint32_t>(extracted)) == 0 && ++unexpected <= 20) {
          ADD_FAILURE() << "mutation " << i << " (kind " << kind << ", base " << bases[which]
                        << "): extraction gave 0x" << std::hex << static_cast<uint32_t>(extracted);
        }
      }
      ++listed;
      if (enumerator->MoveNext() != RYL_OK) break;
    }
    EXPECT_EQ(listed, archive->GetEntryCount());
    enumerator->Release();
    SeekableHostStream source(Bytes("added by the writer leg"));
    const RylZipCompression deflate = {2, 6};
    EXPECT_CODE(archive->AddEntryFromStream(&source, W(u"writer-leg.txt"), 14, &deflate, nullptr, 0, 0), RYL_OK);
    const ResultCode save = archive->Save(saved.c_str(), static_cast<uint32_t>(saved.size()));
    ++saveResults[static_cast<uint32_t>(save)];
    if (save < 0) {
      EXPECT_EQ(GetFileAttributesW(saved.c_str()), INVALID_FILE_ATTRIBUTES) << "mutation " << i;
      if (kSaveCodes.count(static_cast<uint32_t>(save)) == 0 && ++unexpected <= 20) {
        ADD_FAILURE() << "mutation " << i << " (kind " << kind << ", base " << bases[which] << "): save gave 0x"
                      << std::hex << static_cast<uint32_t>(save);
      }
    } else {
      EXPECT_EQ(archive->GetEntryCount(), listed + 1) << "mutation " << i << ": the saved archive lost entries";
      ArchiveEntry* added = nullptr;
      if (archive->FindEntry(&added, W(u"writer-leg.txt"), 14) == RYL_OK) {
        Bytes data;
        EXPECT_CODE(Extract(added, &data), RYL_OK) << "mutation " << i;
        EXPECT_EQ(data, "added by the writer leg") << "mutation " << i;
        added->Release();
      } else {
        ADD_FAILURE() << "mutation " << i << ": the added entry is not in the saved archive";
      }
    }
    archive->Release();
    DeleteFileW(saved.c_str());
    if (i % 10 == 0 && !firstName.empty()) {
      const std::u16string password = u"zip secret";
      const ResultCode rc =
          service_->ExtractEntryToFile(path.c_str(), static_cast<uint32_t>(path.size()), W(firstName),
                                       Len(firstName), target.c_str(), 0, W(password), Len(password), 0);
      if (rc < 0) {
        EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES)
            << "mutation " << i << ": a failed extraction leaves no file";
      }
      DeleteFileW(target.c_str());
    }
  }
  EXPECT_EQ(unexpected, 0);
  EXPECT_EQ(ProcessHandleCount(), handlesBefore);
  EXPECT_TRUE(LibraryTempFiles(tmp).empty()) << "a temporary file of the library was left behind";
  EXPECT_GT(saveResults[0], kMutations / 4);
  // The run must exercise both outcomes, or it tests nothing.
  EXPECT_GT(openResults[0], kMutations / 4);
  EXPECT_GT(openResults[0xE001018Bu], 0);
  EXPECT_GT(extractResults[0], 100);
  EXPECT_GT(extractResults[0xE0010045u], 10);
  for (const auto& [code, count] : openResults) std::printf("open 0x%08X: %d\n", code, count);
  for (const auto& [code, count] : extractResults) std::printf("extract 0x%08X: %d\n", code, count);
  for (const auto& [code, count] : saveResults) std::printf("save 0x%08X: %d\n", code, count);
}

}  // namespace
}  // namespace ryl::test
