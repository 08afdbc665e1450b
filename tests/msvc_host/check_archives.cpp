// The archive factory: deflate streams over a stream of this host, and ZIP
// archives made in memory, saved, opened again and read back entry by entry;
// then the streaming writer into a stream of this host.
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"
#include "win32.h"

namespace msvc_host {
namespace {

// Text that compresses, with a little variation so that bzip2 and deflate
// both have work to do.
uint8_t* MakeSample(uint32_t size) {
  uint8_t* data = static_cast<uint8_t*>(Allocate(size));
  if (data == nullptr) return nullptr;
  static const char kLine[] = "The quick brown fox jumps over the lazy dog ";
  uint32_t state = 12345;
  for (uint32_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    data[i] = (i % 997 == 0) ? static_cast<uint8_t>(state >> 24) : static_cast<uint8_t>(kLine[i % 44]);
  }
  return data;
}

void CheckDeflateStreams(ArchiveFactory* factory, const uint8_t* sample, uint32_t size) {
  MemoryStream compressed;
  HostDeflateStream* writer = nullptr;
  HOST_CHECK_OK(factory->CreateDeflateStream(&writer, &compressed, 1, 9, 4096), "CreateDeflateStream to compress");
  if (writer == nullptr) return;
  uint32_t done = 0;
  HOST_CHECK_OK(writer->Write(sample, size, &done), "Write into the compressing stream");
  HOST_CHECK_OK(writer->Finish(), "Finish writes the end of the data");
  writer->Release();
  HOST_CHECK(compressed.size() > 0 && compressed.size() < size / 4, "the sample compresses to under a quarter");

  compressed.Seek(0, RYL_SEEK_BEGIN);
  HostDeflateStream* reader = nullptr;
  HOST_CHECK_OK(factory->CreateDeflateStream(&reader, &compressed, 0, -1, 1000), "CreateDeflateStream to read");
  if (reader == nullptr) return;
  uint8_t* back = static_cast<uint8_t*>(Allocate(size + 16));
  uint32_t total = 0;
  ResultCode rc = 0;
  while (total < size + 16) {
    uint32_t got = 0;
    rc = reader->Read(back + total, size + 16 - total, &got);
    total += got;
    if (rc != 0) break;
  }
  HOST_CHECK(rc == RYL_E_END_OF_DATA || rc == RYL_S_END_OF_DATA, "reading ends at the end of the data");
  HOST_CHECK(total == size && SameBytes(back, sample, size), "and gives back every byte");
  Free(back);
  reader->Release();
}

struct EntryPlan {
  const wchar_t* name;
  int32_t selector;
  int32_t level;
  const wchar_t* password;
  uint32_t method;
};

const EntryPlan kEntries[] = {
    {L"docs/deflated.txt", 2, 6, nullptr, RYL_ZIP_METHOD_DEFLATE},
    {L"docs/bzip2.txt", 3, 900, nullptr, RYL_ZIP_METHOD_BZIP2},
    {L"stored.bin", 0, 0, nullptr, RYL_ZIP_METHOD_STORED},
    {L"secret/locked.txt", 2, 9, L"pa55w\u00F6rd", RYL_ZIP_METHOD_DEFLATE},
};

void CheckEntry(Archive* archive, const EntryPlan& plan, const uint8_t* sample, uint32_t size) {
  ArchiveEntry* entry = nullptr;
  HOST_CHECK_OK(archive->FindEntry(&entry, plan.name, WideLength(plan.name)), "FindEntry");
  if (entry == nullptr) return;
  RylStringView name = {};
  HOST_CHECK(entry->GetName(&name) == &name && SameWide(name.data, name.length, plan.name),
             "GetName through the hidden result pointer");
  HOST_CHECK(entry->GetMethod() == plan.method, "GetMethod reports how the entry was written");
  HOST_CHECK(entry->GetUncompressedSize() == size, "the uncompressed size is a 64-bit result");
  HOST_CHECK(entry->GetCompressedSize() > 0 && entry->IsVersionSupported() && !entry->IsDirectory(),
             "compressed size, version and kind");
  MemoryStream out;
  if (plan.password != nullptr) {
    HOST_CHECK(entry->IsEncrypted() != 0, "the entry with a password is encrypted");
    HOST_CHECK(entry->ExtractTo(&out) < 0 && out.size() == 0, "without the password nothing is extracted");
    HOST_CHECK_OK(entry->SetPassword(plan.password, -1, 0), "SetPassword");
  }
  HOST_CHECK_OK(entry->ExtractTo(&out), "ExtractTo a stream of this host");
  HOST_CHECK(out.size() == size && SameBytes(out.data(), sample, size), "the entry's data comes back whole");
  entry->Release();
}

void CheckArchiveRoundTrip(ArchiveFactory* factory, FileSystemService* fs, const uint8_t* sample, uint32_t size) {
  ZipService* zip = nullptr;
  HOST_CHECK_OK(factory->CreateZipService(&zip), "CreateZipService");
  if (zip == nullptr) return;
  PathText path;
  MakeTempPath(fs, L"rylutil-msvc-host-archive.zip", &path);

  Archive* archive = nullptr;
  HOST_CHECK_OK(zip->CreateArchive(&archive), "CreateArchive");
  if (archive != nullptr) {
    MemoryStream source;
    source.Assign(sample, size);
    for (const EntryPlan& plan : kEntries) {
      source.Seek(0, RYL_SEEK_BEGIN);
      const RylZipCompression compression = {plan.selector, plan.level};
      const int32_t passwordLength = plan.password != nullptr ? static_cast<int32_t>(WideLength(plan.password)) : 0;
      HOST_CHECK_OK(archive->AddEntryFromStream(&source, plan.name, WideLength(plan.name), &compression,
                                                plan.password, passwordLength, 0),
                    "AddEntryFromStream");
    }
    HOST_CHECK_OK(archive->AddDirectory(L"empty/", 6), "AddDirectory");
    HOST_CHECK_OK(archive->SetComment(L"made by the MSVC host", -1), "SetComment");
    HOST_CHECK(archive->GetEntryCount() == 5, "four entries and a directory");
    HOST_CHECK_OK(archive->Save(path.text, path.length), "Save");
    archive->Release();
  }

  Archive* reopened = nullptr;
  HOST_CHECK_OK(zip->OpenArchive(&reopened, path.text, path.length), "OpenArchive");
  if (reopened != nullptr) {
    RylStringView comment = {};
    HOST_CHECK(reopened->GetComment(&comment) == &comment &&
                   SameWide(comment.data, comment.length, L"made by the MSVC host"),
               "the comment survives the save");
    for (const EntryPlan& plan : kEntries) CheckEntry(reopened, plan, sample, size);
    EntryEnumerator* enumerator = nullptr;
    HOST_CHECK_OK(reopened->CreateEnumerator(&enumerator), "CreateEnumerator");
    if (enumerator != nullptr) {
      int count = 0;
      int directories = 0;
      ResultCode rc = 0;
      do {
        ArchiveEntry* current = nullptr;
        if (enumerator->Current(&current) < 0 || current == nullptr) break;
        ++count;
        directories += current->IsDirectory() ? 1 : 0;
        rc = enumerator->MoveNext();
      } while (rc == 0);
      HOST_CHECK(rc == RYL_S_NO_MORE_ITEMS && count == 5 && directories == 1,
                 "the enumerator walks five entries, one a directory");
      enumerator->Release();
    }
    ArchiveEntry* missing = nullptr;
    HOST_CHECK_CODE(reopened->FindEntry(&missing, L"nothing", 7), RYL_E_ELEMENT_NOT_FOUND,
                    "a missing name is RYL_E_ELEMENT_NOT_FOUND");
    reopened->Release();
  }
  uint8_t contains = 0;
  HOST_CHECK_OK(zip->ContainsEntry(&contains, path.text, path.length, L"stored.bin", 10), "ContainsEntry");
  HOST_CHECK(contains == 1, "the saved file holds stored.bin");
  zip->Release();
  fs->DeleteFile(path.text, path.length, 0);
}

void CheckStreamingWriter(RootFactory* root, FileSystemService* fs, const uint8_t* sample, uint32_t size) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_STREAMING_ARCHIVE);
  HOST_CHECK_OK(root->CreateZipStreamWriter(&receiver), "CreateZipStreamWriter");
  StreamingArchive* writer = static_cast<StreamingArchive*>(object);
  if (writer == nullptr) return;
  uint32_t highest = 0;
  HOST_CHECK(writer->Query(RYL_TYPE_STREAMING_ARCHIVE, 0, &highest) == writer && highest == 1,
             "the streaming writer answers type 25");
  MemoryStream target;
  HOST_CHECK_OK(writer->OpenOnStream(&target), "OpenOnStream on an empty stream of this host");
  MemoryStream source;
  source.Assign(sample, size);
  const RylZipCompression deflate = {2, 5};
  HOST_CHECK_OK(writer->AddEntryFromStream(&source, L"streamed.txt", 12, &deflate, nullptr, 0, 0, L"note", 4,
                                           0xFFFFFFFFFFFFFFFFull),
                "AddEntryFromStream with a comment and the current time");
  HOST_CHECK_OK(writer->Close(), "Close appends the directory");
  writer->Destroy(&kDefaultHeap);
  HOST_CHECK(target.size() > 22 && SameBytes(target.data(), "PK\x03\x04", 4) &&
                 SameBytes(target.data() + target.size() - 22, "PK\x05\x06", 4),
             "the stream holds a local header first and the end record last");

  // What it wrote is an archive the reader takes.
  PathText path;
  MakeTempPath(fs, L"rylutil-msvc-host-streamed.zip", &path);
  HOST_CHECK(WriteWholeFile(path.text, target.data(), target.size()), "the streamed archive is written out");
  ArchiveFactory* factory = nullptr;
  void* factoryObject = nullptr;
  ObjectReceiver factoryReceiver = MakeReceiver(&factoryObject, RYL_VERSION_ARCHIVE_FACTORY);
  if (root->CreateArchiveFactory(&factoryReceiver) >= 0) factory = static_cast<ArchiveFactory*>(factoryObject);
  ZipService* zip = nullptr;
  if (factory != nullptr && factory->CreateZipService(&zip) >= 0 && zip != nullptr) {
    Archive* archive = nullptr;
    HOST_CHECK_OK(zip->OpenArchive(&archive, path.text, path.length), "the streamed archive opens");
    if (archive != nullptr) {
      const EntryPlan plan = {L"streamed.txt", 2, 5, nullptr, RYL_ZIP_METHOD_DEFLATE};
      CheckEntry(archive, plan, sample, size);
      archive->Release();
    }
    zip->Release();
  }
  if (factory != nullptr) factory->Destroy(&kDefaultHeap);
  fs->DeleteFile(path.text, path.length, 0);
}

}  // namespace

void CheckArchives(RootFactory* root) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_ARCHIVE_FACTORY);
  HOST_CHECK_OK(root->CreateArchiveFactory(&receiver), "CreateArchiveFactory");
  ArchiveFactory* factory = static_cast<ArchiveFactory*>(object);
  FileSystemService* fs = GetFileSystem(root);
  if (factory == nullptr || fs == nullptr) return;
  uint32_t highest = 0;
  HOST_CHECK(factory->Query(RYL_TYPE_ARCHIVE_FACTORY, 0, &highest) == factory && highest == 1,
             "the archive factory answers type 2");
  HOST_CHECK_CODE(factory->Reserved4(), RYL_E_NOT_IMPLEMENTED, "its reserved slot says so");

  const uint32_t size = 200000;
  uint8_t* sample = MakeSample(size);
  if (sample == nullptr) return;
  CheckDeflateStreams(factory, sample, size);
  CheckArchiveRoundTrip(factory, fs, sample, size);
  CheckStreamingWriter(root, fs, sample, size);
  Free(sample);
  factory->Destroy(&kDefaultHeap);
}

}  // namespace msvc_host
