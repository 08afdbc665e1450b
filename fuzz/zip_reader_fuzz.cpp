// The ZIP reader over arbitrary bytes: load the directory, then deliver every
// entry's data, first without a password and then, for the encrypted
// entries, with the passwords the seed archives were made with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_model.h"
#include "archive/zip_records.h"
#include "fuzz_check.h"
#include "memory_source.h"
#include "null_sink_stream.h"

namespace {

using ryl::archive::ArchiveModel;
using ryl::archive::EntryRecord;

constexpr std::u16string_view kPasswords[] = {u"zip secret", u"pass word"};

bool IsEncrypted(const EntryRecord& entry) noexcept { return (entry.header.flags & ryl::archive::kFlagEncrypted) != 0; }

// Methods whose delivered bytes are what the directory's CRC and size describe.
bool IsDecoded(const EntryRecord& entry) noexcept {
  const uint16_t method = entry.header.method;
  return method == ryl::archive::kMethodStored || method == ryl::archive::kMethodDeflate ||
         method == ryl::archive::kMethodBzip2;
}

ResultCode Deliver(EntryRecord& entry) {
  const ResultCode opened = entry.OpenData();
  if (opened < 0) {
    FUZZ_CHECK(!entry.data_open());
    return opened;
  }
  FUZZ_CHECK(entry.data_open());
  // One data stream at a time.
  FUZZ_CHECK(entry.OpenData() == RYL_E_ENTRY_UNSUPPORTED);
  ryl::fuzz::NullSinkStream sink;
  const ResultCode copied = entry.CopyDataTo(&sink);
  if (copied >= 0 && IsDecoded(entry)) FUZZ_CHECK(sink.written() == entry.header.UncompressedSize());
  entry.CloseData();
  FUZZ_CHECK(!entry.data_open());
  return copied;
}

void DeliverWithPasswords(EntryRecord& entry) {
  for (std::u16string_view password : kPasswords) {
    const ResultCode set =
        entry.SetPassword(password.data(), static_cast<int32_t>(password.size()), /*selector=*/0);
    if (set < 0) return;
    FUZZ_CHECK(entry.has_password());
    if (Deliver(entry) != RYL_E_WRONG_PASSWORD) return;
  }
}

// Find gives the first entry whose name matches, and "\" equals "/".
void CheckFind(ArchiveModel& model) {
  if (model.entries().empty()) return;
  EntryRecord* first = model.entries().front().get();
  const std::u16string name = first->header.name;
  FUZZ_CHECK(model.Find(name) == first);
  std::u16string swapped = name;
  for (char16_t& unit : swapped) {
    if (unit == u'/') {
      unit = u'\\';
    } else if (unit == u'\\') {
      unit = u'/';
    }
  }
  FUZZ_CHECK(model.Find(swapped) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  ryl::streams::OwnedStream source = ryl::fuzz::MemorySource(data, size);
  if (!source) return 0;
  ArchiveModel model;
  if (model.Attach(std::move(source)) < 0) return 0;
  FUZZ_CHECK(model.committed_count() == model.entries().size());

  for (auto& entry : model.entries()) (void)Deliver(*entry);
  for (auto& entry : model.entries()) {
    if (IsEncrypted(*entry)) DeliverWithPasswords(*entry);
  }
  CheckFind(model);
  return 0;
}
