// The archive factory and its deflate streams, the streaming ZIP writer,
// and reading and changing a ZIP archive, as a C++ host uses them.
#include <windows.h>

#include "example_host.h"

using example::Ascii;
using example::Check;
using example::MemoryStream;

static MemoryStream StreamOf(const char* text) {
  MemoryStream stream;
  stream.bytes.assign(text, text + std::strlen(text));
  return stream;
}

static bool Deflate(ArchiveFactory* factory) {
  // [guide:deflate]
  const char text[] = "one two three, one two three, one two three, one two three";
  MemoryStream compressed;  // must outlive the deflate stream over it
  HostDeflateStream* writer = nullptr;
  if (!Check(factory->CreateDeflateStream(&writer, &compressed, 1, -1, 4096), "CreateDeflateStream")) return false;
  ResultCode rc = writer->Write(text, sizeof text - 1, nullptr);
  if (RylSucceeded(rc)) rc = writer->Finish();  // the end marker; Release alone would lose this result
  writer->Release();
  if (!Check(rc, "deflate")) return false;

  compressed.position = 0;
  HostDeflateStream* reader = nullptr;
  if (!Check(factory->CreateDeflateStream(&reader, &compressed, 0, -1, 4096), "CreateDeflateStream")) return false;
  std::string restored;
  char chunk[16];
  uint32_t done = 0;
  while ((rc = reader->Read(chunk, sizeof chunk, &done)) == RYL_OK) restored.append(chunk, done);
  reader->Release();
  if (rc != RYL_E_END_OF_DATA) return Check(rc, "inflate");  // RYL_E_TRAILING_DATA, RYL_E_UNEXPECTED_END...
  std::printf("deflate: %u bytes to %u and back: %s\n", static_cast<unsigned>(sizeof text - 1),
              static_cast<unsigned>(compressed.bytes.size()), restored == text ? "same" : "DIFFERENT");
  // [/guide:deflate]
  return restored == text;
}

static bool WriteArchive(RootFactory* root, const std::wstring& path) {
  // [guide:zip-writer]
  StreamingArchive* writer = nullptr;
  ObjectReceiver receiver = example::ReceiveInto(&writer, RYL_VERSION_STREAMING_ARCHIVE);
  if (!Check(root->CreateZipStreamWriter(&receiver), "CreateZipStreamWriter")) return false;

  const RylZipCompression deflate = {2, 6};  // selector 2: deflate, level 6
  MemoryStream readme = StreamOf("Read me first.\r\n");
  MemoryStream data = StreamOf("1,2,3\r\n4,5,6\r\n");
  const uint64_t now = ~0ull;  // all ones: the current time
  ResultCode rc = writer->OpenFile(path.c_str(), -1);  // -1: zero-terminated; fails if the file exists
  if (RylSucceeded(rc))
    rc = writer->AddEntryFromStream(&readme, L"readme.txt", 10, &deflate, nullptr, 0, 0, nullptr, 0, now);
  if (RylSucceeded(rc)) rc = writer->AddDirectory(L"tables/", 7);
  if (RylSucceeded(rc))
    rc = writer->AddEntryFromStream(&data, L"tables/data.csv", 15, &deflate, nullptr, 0, 0, L"numbers", 7, now);
  if (RylSucceeded(rc)) rc = writer->Close();  // writes the central directory
  // Destroyed without a successful Close, the writer deletes the file it made.
  writer->Destroy(&example::kDefaultHeap);
  // [/guide:zip-writer]
  return Check(rc, "streaming writer");
}

static bool ReadArchive(ArchiveFactory* factory, const std::wstring& path) {
  // [guide:zip-reading]
  ZipService* zip = nullptr;  // released through its slot 0
  if (!Check(factory->CreateZipService(&zip), "CreateZipService")) return false;
  Archive* archive = nullptr;
  // Give paths zero-terminated: several ZIP slots read them up to the terminator.
  if (!Check(zip->OpenArchive(&archive, path.c_str(), static_cast<uint32_t>(path.size())), "OpenArchive")) {
    zip->Release();
    return false;
  }
  EntryEnumerator* entries = nullptr;
  if (Check(archive->CreateEnumerator(&entries), "CreateEnumerator")) {
    ArchiveEntry* entry = nullptr;  // kept by the enumerator: not released here
    while (entries->Current(&entry) == RYL_OK) {
      RylStringView name = {};
      entry->GetName(&name);
      std::printf("entry %s: %llu bytes, method %u%s\n", Ascii(name).c_str(),
                  static_cast<unsigned long long>(entry->GetUncompressedSize()), entry->GetMethod(),
                  entry->IsDirectory() ? ", directory" : "");
      if (entries->MoveNext() != RYL_OK) break;  // RYL_S_NO_MORE_ITEMS after the last
    }
    entries->Release();
  }

  ArchiveEntry* readme = nullptr;  // from FindEntry: the host releases it
  MemoryStream extracted;
  ResultCode rc = archive->FindEntry(&readme, L"readme.txt", 10);
  if (RylSucceeded(rc)) {
    rc = readme->ExtractTo(&extracted);  // the CRC-32 is checked at the end
    readme->Release();
  }
  if (Check(rc, "extract")) std::printf("readme.txt says: %.14s\n", reinterpret_cast<char*>(extracted.bytes.data()));
  // [/guide:zip-reading]

  // [guide:zip-changing]
  MemoryStream notes = StreamOf("stored as it is");
  const RylZipCompression stored = {0, 0};  // any selector but 2, 3 and 93: stored
  rc = archive->AddEntryFromStream(&notes, L"notes.txt", 9, &stored, nullptr, 0, 0);
  if (RylSucceeded(rc)) rc = archive->RemoveEntry(L"tables/data.csv", 15);
  // Save writes a temporary file and renames it over the archive; handles
  // taken before the save must not be used after it.
  if (RylSucceeded(rc)) rc = archive->Save(path.c_str(), static_cast<uint32_t>(path.size()));
  if (Check(rc, "change and save")) std::printf("entries after saving: %u\n", archive->GetEntryCount());
  archive->Release();
  zip->Release();
  // [/guide:zip-changing]
  return RylSucceeded(rc);
}

int main() {
  example::Session session;
  if (session.root() == nullptr) return 1;

  // [guide:archive-factory]
  ArchiveFactory* factory = nullptr;  // a plain object: Destroy with the receiver's allocator record
  ObjectReceiver receiver = example::ReceiveInto(&factory, RYL_VERSION_ARCHIVE_FACTORY);
  if (!Check(session.root()->CreateArchiveFactory(&receiver), "CreateArchiveFactory")) return 1;
  // [/guide:archive-factory]

  wchar_t directory[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  const std::wstring path = std::wstring(directory) + L"ryl-example-archive.zip";
  DeleteFileW(path.c_str());

  const bool ok = Deflate(factory) && WriteArchive(session.root(), path) && ReadArchive(factory, path);
  DeleteFileW(path.c_str());
  factory->Destroy(&example::kDefaultHeap);
  if (!ok) return 1;
  std::printf("archives: done\n");
  return 0;
}
