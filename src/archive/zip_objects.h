// The public ZIP objects: the service, archives held open, entry handles and
// enumerators. Handles are thin: an archive owns its model, an entry handle
// points at a record the model owns.
#pragma once

#include "archive/archive_files.h"
#include "archive/archive_model.h"
#include "core/object_ptr.h"
#include "ryl/zip.h"

namespace ryl::archive {

class ArchiveEntryImpl final : public ArchiveEntry {
 public:
  explicit ArchiveEntryImpl(EntryRecord* record) noexcept : record_(record) {}

  void RYL_THISCALL Release() override;
  RylStringView* RYL_THISCALL GetName(RylStringView* result) override;
  ResultCode RYL_THISCALL SetName(const RylChar16* name, int32_t length) override;
  RylStringView* RYL_THISCALL GetComment(RylStringView* result) override;
  ResultCode RYL_THISCALL SetComment(const RylChar16* text, int32_t length) override;
  uint64_t RYL_THISCALL GetTime() override { return record_->header.time; }
  ResultCode RYL_THISCALL SetTime(uint64_t time) override;
  uint8_t RYL_THISCALL IsEncrypted() override;
  ResultCode RYL_THISCALL SetPassword(const RylChar16* password, int32_t length, int32_t selector) override;
  uint64_t RYL_THISCALL GetUncompressedSize() override { return record_->header.UncompressedSize(); }
  uint64_t RYL_THISCALL GetCompressedSize() override { return record_->header.CompressedSize(); }
  uint8_t RYL_THISCALL IsVersionSupported() override;
  uint8_t RYL_THISCALL IsDirectory() override;
  uint32_t RYL_THISCALL GetMethod() override;
  ResultCode RYL_THISCALL ExtractTo(HostStream* destination) override;
  uint32_t RYL_THISCALL GetMethodId() override;
  uint32_t RYL_THISCALL GetEncryption() override;

 private:
  EntryRecord* record_;
};

class EntryEnumeratorImpl final : public EntryEnumerator {
 public:
  explicit EntryEnumeratorImpl(ArchiveModel* model) noexcept : model_(model) {}

  void RYL_THISCALL Release() override;
  ResultCode RYL_THISCALL Current(ArchiveEntry** outEntry) override;
  ResultCode RYL_THISCALL MoveNext() override;
  ResultCode RYL_THISCALL Reset() override;

 private:
  ArchiveModel* model_;
  size_t index_ = 0;
  core::ObjectPtr<ArchiveEntryImpl> current_;
};

class ArchiveImpl final : public Archive {
 public:
  ArchiveImpl(ArchiveModel* model, const ArchiveFiles* files) noexcept : model_(model), files_(files) {}

  void RYL_THISCALL Release() override;
  ResultCode RYL_THISCALL AddDirectory(const RylChar16* name, uint32_t nameLength) override;
  ResultCode RYL_THISCALL AddEntryFromStream(HostStream* source, const RylChar16* name, uint32_t nameLength,
                                             const RylZipCompression* compression, const RylChar16* password,
                                             int32_t passwordLength, int32_t passwordSelector) override;
  ResultCode RYL_THISCALL AddEntryFromFile(const RylChar16* sourcePath, uint32_t ignored, const RylChar16* name,
                                           uint32_t nameLength, const RylZipCompression* compression,
                                           const RylChar16* password, int32_t passwordLength,
                                           int32_t passwordSelector) override;
  RylStringView* RYL_THISCALL GetComment(RylStringView* result) override;
  ResultCode RYL_THISCALL SetComment(const RylChar16* text, int32_t length) override;
  ResultCode RYL_THISCALL FindEntry(ArchiveEntry** outEntry, const RylChar16* name, uint32_t nameLength) override;
  ResultCode RYL_THISCALL RemoveEntry(const RylChar16* name, uint32_t nameLength) override;
  uint32_t RYL_THISCALL GetEntryCount() override { return static_cast<uint32_t>(model_->entries().size()); }
  ResultCode RYL_THISCALL CreateEnumerator(EntryEnumerator** outEnumerator) override;
  ResultCode RYL_THISCALL Save(const RylChar16* path, uint32_t pathLength) override;

  void set_path(std::u16string path) noexcept { path_ = std::move(path); }

 private:
  core::ObjectPtr<ArchiveModel> model_;
  const ArchiveFiles* files_;
  // The file the model was loaded from (empty for an archive made in
  // memory): a failed save shows it again.
  std::u16string path_;
};

class ZipServiceImpl final : public ZipService {
 public:
  explicit ZipServiceImpl(const ArchiveFiles* files) noexcept : files_(files) {}

  void RYL_THISCALL Release() override;
  ResultCode RYL_THISCALL CreateArchive(Archive** outArchive) override;
  ResultCode RYL_THISCALL OpenArchive(Archive** outArchive, const RylChar16* path, uint32_t pathLength) override;
  ResultCode RYL_THISCALL ContainsEntry(uint8_t* outContains, const RylChar16* path, uint32_t pathLength,
                                        const RylChar16* name, uint32_t nameLength) override;
  ResultCode RYL_THISCALL AddStreamToArchive(const RylChar16* path, uint32_t pathLength, HostStream* source,
                                             const RylChar16* name, uint32_t nameLength,
                                             const RylZipCompression* compression, const RylChar16* password,
                                             int32_t passwordLength, int32_t passwordSelector) override;
  ResultCode RYL_THISCALL AddFileToArchive(const RylChar16* path, uint32_t pathLength, const RylChar16* sourcePath,
                                           uint32_t ignored, const RylChar16* name, uint32_t nameLength,
                                           const RylZipCompression* compression, const RylChar16* password,
                                           int32_t passwordLength, int32_t passwordSelector) override;
  ResultCode RYL_THISCALL ExtractEntryToFile(const RylChar16* path, uint32_t pathLength, const RylChar16* name,
                                             uint32_t nameLength, const RylChar16* destinationPath, uint32_t ignored,
                                             const RylChar16* password, uint32_t passwordLength,
                                             int32_t passwordSelector) override;
  ResultCode RYL_THISCALL RemoveEntryFromArchive(const RylChar16* path, uint32_t pathLength, const RylChar16* name,
                                                 uint32_t nameLength) override;
  ResultCode RYL_THISCALL Reserved8() override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Reserved9() override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Reserved10() override { return RYL_E_NOT_IMPLEMENTED; }

 private:
  // Opens the archive at path, adds the entry with its data deferred to the
  // save, and saves to the same path.
  [[nodiscard]] ResultCode AddAndSave(const RylChar16* path, SeekableStream* source, const RylChar16* name,
                                      uint32_t nameLength, const RylZipCompression* compression,
                                      const RylChar16* password, int32_t passwordLength,
                                      int32_t passwordSelector) noexcept;

  const ArchiveFiles* files_;
};

// A new service on the default heap, for the archive factory; files must
// outlive it.
[[nodiscard]] ResultCode CreateZipService(const ArchiveFiles* files, ZipService** outService) noexcept;

// Opens the archive file at path (created empty when missing; read access,
// others may read) into a new model. *outModel set only on success.
[[nodiscard]] ResultCode OpenArchiveModel(const ArchiveFiles& files, const char16_t* path, uint32_t pathLength,
                                          core::ObjectPtr<ArchiveModel>* outModel);

}  // namespace ryl::archive
