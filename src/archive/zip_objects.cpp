#include "archive/zip_objects.h"

#include <string>

#include "archive/archive_operations.h"
#include "archive/compression_request.h"
#include "archive/entry_coding.h"
#include "archive/zip_records.h"
#include "core/entry_guard.h"
#include "core/host_text.h"
#include "core/result_helpers.h"
#include "streams/host_stream_adapter.h"

namespace ryl::archive {

namespace {

using core::AsUtf16;
using core::HostText;

RylStringView* ViewOf(const std::u16string& text, RylStringView* result) noexcept {
  if (result == nullptr) return result;
  result->data = reinterpret_cast<const RylChar16*>(text.c_str());
  result->length = static_cast<uint32_t>(text.size());
  return result;
}

}  // namespace

// --- ArchiveEntryImpl ---------------------------------------------------------

void RYL_THISCALL ArchiveEntryImpl::Release() { core::DestroyDefaultHeapObject(this); }

RylStringView* RYL_THISCALL ArchiveEntryImpl::GetName(RylStringView* result) {
  return ViewOf(record_->header.name, result);
}

RylStringView* RYL_THISCALL ArchiveEntryImpl::GetComment(RylStringView* result) {
  return ViewOf(record_->header.comment, result);
}

uint8_t RYL_THISCALL ArchiveEntryImpl::IsEncrypted() {
  return (record_->header.flags & kFlagEncrypted) != 0 || record_->header.method == kMethodAes;
}

// The same gate as extraction.
uint8_t RYL_THISCALL ArchiveEntryImpl::IsVersionSupported() { return IsEntryReadable(record_->header) ? 1 : 0; }

uint8_t RYL_THISCALL ArchiveEntryImpl::IsDirectory() {
  return (record_->header.externalAttributes & kExternalAttributesDirectory) != 0;
}

// Hosts written for the first four values keep seeing OTHER for every
// method they cannot name; an AES entry shows what its encryption holds, so
// that such a host still recognises a deflated entry it can extract with a
// password.
uint32_t RYL_THISCALL ArchiveEntryImpl::GetMethod() {
  switch (DescribeCoding(record_->header).method) {
    case kMethodStored: return RYL_ZIP_METHOD_STORED;
    case kMethodDeflate: return RYL_ZIP_METHOD_DEFLATE;
    case kMethodBzip2: return RYL_ZIP_METHOD_BZIP2;
    default: return RYL_ZIP_METHOD_OTHER;
  }
}

uint32_t RYL_THISCALL ArchiveEntryImpl::GetMethodId() { return DescribeCoding(record_->header).method; }

uint32_t RYL_THISCALL ArchiveEntryImpl::GetEncryption() {
  const EntryCoding coding = DescribeCoding(record_->header);
  if (coding.aes) return RYL_ZIP_ENCRYPTION_AES128 + coding.aes->strength - 1;
  if (coding.aesUnreadable) return RYL_ZIP_ENCRYPTION_UNKNOWN;
  return (record_->header.flags & kFlagEncrypted) != 0 ? RYL_ZIP_ENCRYPTION_TRADITIONAL : RYL_ZIP_ENCRYPTION_NONE;
}

ResultCode RYL_THISCALL ArchiveEntryImpl::SetName(const RylChar16* name, int32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    std::u16string_view text;
    RYL_RETURN_IF_FAILED(SignedHostText(name, length, &text));
    return SetEntryName(record_, text);
  });
}

ResultCode RYL_THISCALL ArchiveEntryImpl::SetComment(const RylChar16* text, int32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    std::u16string_view comment;
    RYL_RETURN_IF_FAILED(SignedHostText(text, length, &comment));
    return SetEntryComment(record_, comment);
  });
}

ResultCode RYL_THISCALL ArchiveEntryImpl::SetTime(uint64_t time) {
  return core::GuardEntry([&] { return SetEntryTime(record_, time); });
}

ResultCode RYL_THISCALL ArchiveEntryImpl::SetPassword(const RylChar16* password, int32_t length, int32_t selector) {
  return core::GuardEntry([&] { return record_->SetPassword(AsUtf16(password), length, selector); });
}

ResultCode RYL_THISCALL ArchiveEntryImpl::ExtractTo(HostStream* destination) {
  return core::GuardEntry([&]() -> ResultCode {
    if (destination == nullptr) return RYL_E_INVALID_ARG;
    RYL_RETURN_IF_FAILED(record_->OpenData());
    streams::HostStreamAdapter target(destination);
    uint64_t start = 0;
    const bool startKnown = destination->Tell(&start) >= 0;
    const ResultCode copied = record_->CopyDataTo(&target);
    record_->CloseData();
    if (copied >= 0 || !startKnown) return copied;
    const ResultCode cut = destination->SetSize(start);
    return cut < 0 ? cut : copied;
  });
}

// --- EntryEnumeratorImpl ------------------------------------------------------

void RYL_THISCALL EntryEnumeratorImpl::Release() { core::DestroyDefaultHeapObject(this); }

ResultCode RYL_THISCALL EntryEnumeratorImpl::Current(ArchiveEntry** outEntry) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outEntry == nullptr) return RYL_E_INVALID_ARG;
    auto& entries = model_->entries();
    if (index_ >= entries.size()) return RYL_E_NO_MORE_ITEMS;
    ArchiveEntryImpl* handle = core::MakeObject<ArchiveEntryImpl>(entries[index_].get());
    if (handle == nullptr) return RYL_E_OUT_OF_MEMORY;
    current_.reset(handle);
    *outEntry = handle;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL EntryEnumeratorImpl::MoveNext() {
  const size_t count = model_->entries().size();
  if (index_ >= count) return RYL_E_NO_MORE_ITEMS;
  ++index_;
  return index_ >= count ? RYL_S_NO_MORE_ITEMS : RYL_OK;
}

ResultCode RYL_THISCALL EntryEnumeratorImpl::Reset() {
  index_ = 0;
  return RYL_OK;
}

// --- ArchiveImpl --------------------------------------------------------------

void RYL_THISCALL ArchiveImpl::Release() { core::DestroyDefaultHeapObject(this); }

RylStringView* RYL_THISCALL ArchiveImpl::GetComment(RylStringView* result) {
  return ViewOf(model_->comment(), result);
}

ResultCode RYL_THISCALL ArchiveImpl::AddDirectory(const RylChar16* name, uint32_t nameLength) {
  return core::GuardEntry([&] { return AddDirectoryEntry(model_.get(), HostText(name, nameLength)); });
}

ResultCode RYL_THISCALL ArchiveImpl::AddEntryFromStream(HostStream* source, const RylChar16* name,
                                                       uint32_t nameLength, const RylZipCompression* compression,
                                                       const RylChar16* password, int32_t passwordLength,
                                                       int32_t passwordSelector) {
  return core::GuardEntry([&]() -> ResultCode {
    if (source == nullptr) return RYL_E_INVALID_ARG;
    streams::HostStreamAdapter adapter(source);
    NewEntryOptions options;
    options.compression = compression;
    options.password = password;
    options.passwordLength = passwordLength;
    options.passwordSelector = passwordSelector;
    return AddEntryWithSource(model_.get(), files_, &adapter, HostText(name, nameLength), options, nullptr);
  });
}

ResultCode RYL_THISCALL ArchiveImpl::AddEntryFromFile(const RylChar16* sourcePath, uint32_t, const RylChar16* name,
                                                     uint32_t nameLength, const RylZipCompression* compression,
                                                     const RylChar16* password, int32_t passwordLength,
                                                     int32_t passwordSelector) {
  return core::GuardEntry([&]() -> ResultCode {
    if (sourcePath == nullptr) return RYL_E_INVALID_ARG;
    streams::OwnedStream file;
    RYL_RETURN_IF_FAILED(files_->OpenSource(AsUtf16(sourcePath), false, &file));
    NewEntryOptions options;
    options.compression = compression;
    options.password = password;
    options.passwordLength = passwordLength;
    options.passwordSelector = passwordSelector;
    return AddEntryWithSource(model_.get(), files_, file.get(), HostText(name, nameLength), options, nullptr);
  });
}

ResultCode RYL_THISCALL ArchiveImpl::SetComment(const RylChar16* text, int32_t length) {
  return core::GuardEntry([&]() -> ResultCode {
    std::u16string_view comment;
    RYL_RETURN_IF_FAILED(SignedHostText(text, length, &comment));
    return model_->SetComment(comment);
  });
}

ResultCode RYL_THISCALL ArchiveImpl::RemoveEntry(const RylChar16* name, uint32_t nameLength) {
  return core::GuardEntry([&]() -> ResultCode {
    EntryRecord* record = model_->Find(HostText(name, nameLength));
    if (record == nullptr) return RYL_E_ELEMENT_NOT_FOUND;
    model_->RemoveEntry(record);
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL ArchiveImpl::Save(const RylChar16* path, uint32_t pathLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path == nullptr || pathLength == 0) return RYL_E_INVALID_ARG;
    const std::u16string target(AsUtf16(path));
    RYL_RETURN_IF_FAILED(SaveToPath(model_.get(), *files_, target.c_str(), path_.empty() ? nullptr : path_.c_str()));
    // The archive shows the file it saved.
    path_ = target;
    streams::OwnedStream file;
    RYL_RETURN_IF_FAILED(files_->OpenForReading(target.c_str(), &file));
    return model_->Attach(std::move(file));
  });
}

ResultCode RYL_THISCALL ArchiveImpl::FindEntry(ArchiveEntry** outEntry, const RylChar16* name, uint32_t nameLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outEntry == nullptr) return RYL_E_INVALID_ARG;
    EntryRecord* record = model_->Find(HostText(name, nameLength));
    if (record == nullptr) return RYL_E_ELEMENT_NOT_FOUND;
    ArchiveEntryImpl* handle = core::MakeObject<ArchiveEntryImpl>(record);
    if (handle == nullptr) return RYL_E_OUT_OF_MEMORY;
    *outEntry = handle;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL ArchiveImpl::CreateEnumerator(EntryEnumerator** outEnumerator) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outEnumerator == nullptr) return RYL_E_INVALID_ARG;
    EntryEnumeratorImpl* enumerator = core::MakeObject<EntryEnumeratorImpl>(model_.get());
    if (enumerator == nullptr) return RYL_E_OUT_OF_MEMORY;
    *outEnumerator = enumerator;
    return RYL_OK;
  });
}

// --- ZipServiceImpl -----------------------------------------------------------

ResultCode OpenArchiveModel(const ArchiveFiles& files, const char16_t* path, uint32_t pathLength,
                            core::ObjectPtr<ArchiveModel>* outModel) {
  const std::u16string text(HostText(path, pathLength));
  core::ObjectPtr<ArchiveModel> model(core::MakeObject<ArchiveModel>());
  if (!model) return RYL_E_OUT_OF_MEMORY;
  streams::OwnedStream file;
  RYL_RETURN_IF_FAILED(files.OpenForReading(text.c_str(), &file));
  // The model owns the file from here on, whatever the load says.
  RYL_RETURN_IF_FAILED(model->Attach(std::move(file)));
  *outModel = std::move(model);
  return RYL_OK;
}

void RYL_THISCALL ZipServiceImpl::Release() { core::DestroyDefaultHeapObject(this); }

ResultCode RYL_THISCALL ZipServiceImpl::OpenArchive(Archive** outArchive, const RylChar16* path,
                                                   uint32_t pathLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outArchive == nullptr || path == nullptr) return RYL_E_INVALID_ARG;
    core::ObjectPtr<ArchiveModel> model;
    RYL_RETURN_IF_FAILED(OpenArchiveModel(*files_, AsUtf16(path), pathLength, &model));
    std::u16string ownPath(AsUtf16(path));
    ArchiveImpl* archive = core::MakeObject<ArchiveImpl>(model.get(), files_);
    if (archive == nullptr) return RYL_E_OUT_OF_MEMORY;
    (void)model.release();
    archive->set_path(std::move(ownPath));
    *outArchive = archive;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL ZipServiceImpl::CreateArchive(Archive** outArchive) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outArchive == nullptr) return RYL_E_INVALID_ARG;
    core::ObjectPtr<ArchiveModel> model(core::MakeObject<ArchiveModel>());
    if (!model) return RYL_E_OUT_OF_MEMORY;
    ArchiveImpl* archive = core::MakeObject<ArchiveImpl>(model.get(), files_);
    if (archive == nullptr) return RYL_E_OUT_OF_MEMORY;
    (void)model.release();
    *outArchive = archive;
    return RYL_OK;
  });
}

ResultCode ZipServiceImpl::AddAndSave(const RylChar16* path, SeekableStream* source, const RylChar16* name,
                                      uint32_t nameLength, const RylZipCompression* compression,
                                      const RylChar16* password, int32_t passwordLength,
                                      int32_t passwordSelector) noexcept {
  const std::u16string target(AsUtf16(path));
  core::ObjectPtr<ArchiveModel> model;
  RYL_RETURN_IF_FAILED(OpenArchiveModel(*files_, target.c_str(), core::kZeroTerminated, &model));
  NewEntryOptions options;
  options.compression = compression;
  options.password = password;
  options.passwordLength = passwordLength;
  options.passwordSelector = passwordSelector;
  options.defer = true;
  RYL_RETURN_IF_FAILED(AddEntryWithSource(model.get(), files_, source, HostText(name, nameLength), options, nullptr));
  return SaveToPath(model.get(), *files_, target.c_str());
}

ResultCode RYL_THISCALL ZipServiceImpl::AddStreamToArchive(const RylChar16* path, uint32_t, HostStream* source,
                                                          const RylChar16* name, uint32_t nameLength,
                                                          const RylZipCompression* compression,
                                                          const RylChar16* password, int32_t passwordLength,
                                                          int32_t passwordSelector) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path == nullptr || source == nullptr || compression == nullptr) return RYL_E_INVALID_ARG;
    if (compression->selector != kSelectorDeflate) return RYL_E_UNSUPPORTED_VERSION;
    streams::HostStreamAdapter adapter(source);
    return AddAndSave(path, &adapter, name, nameLength, compression, password, passwordLength, passwordSelector);
  });
}

ResultCode RYL_THISCALL ZipServiceImpl::AddFileToArchive(const RylChar16* path, uint32_t,
                                                        const RylChar16* sourcePath, uint32_t,
                                                        const RylChar16* name, uint32_t nameLength,
                                                        const RylZipCompression* compression,
                                                        const RylChar16* password, int32_t passwordLength,
                                                        int32_t passwordSelector) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path == nullptr || sourcePath == nullptr) return RYL_E_INVALID_ARG;
    // Kept open until the save has read it.
    streams::OwnedStream file;
    RYL_RETURN_IF_FAILED(files_->OpenSource(AsUtf16(sourcePath), true, &file));
    return AddAndSave(path, file.get(), name, nameLength, compression, password, passwordLength, passwordSelector);
  });
}

ResultCode RYL_THISCALL ZipServiceImpl::RemoveEntryFromArchive(const RylChar16* path, uint32_t,
                                                              const RylChar16* name, uint32_t nameLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path == nullptr) return RYL_E_INVALID_ARG;
    const std::u16string target(AsUtf16(path));
    core::ObjectPtr<ArchiveModel> model;
    RYL_RETURN_IF_FAILED(OpenArchiveModel(*files_, target.c_str(), core::kZeroTerminated, &model));
    EntryRecord* record = model->Find(HostText(name, nameLength));
    if (record == nullptr) return RYL_E_ELEMENT_NOT_FOUND;
    model->RemoveEntry(record);
    return SaveToPath(model.get(), *files_, target.c_str());
  });
}

ResultCode RYL_THISCALL ZipServiceImpl::ContainsEntry(uint8_t* outContains, const RylChar16* path,
                                                     uint32_t pathLength, const RylChar16* name,
                                                     uint32_t nameLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outContains == nullptr || path == nullptr) return RYL_E_INVALID_ARG;
    core::ObjectPtr<ArchiveModel> model;
    RYL_RETURN_IF_FAILED(OpenArchiveModel(*files_, AsUtf16(path), pathLength, &model));
    *outContains = model->Find(HostText(name, nameLength)) != nullptr ? 1 : 0;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL ZipServiceImpl::ExtractEntryToFile(const RylChar16* path, uint32_t pathLength,
                                                          const RylChar16* name, uint32_t nameLength,
                                                          const RylChar16* destinationPath, uint32_t,
                                                          const RylChar16* password, uint32_t passwordLength,
                                                          int32_t passwordSelector) {
  return core::GuardEntry([&]() -> ResultCode {
    if (path == nullptr || destinationPath == nullptr) return RYL_E_INVALID_ARG;
    core::ObjectPtr<ArchiveModel> model;
    RYL_RETURN_IF_FAILED(OpenArchiveModel(*files_, AsUtf16(path), pathLength, &model));
    EntryRecord* record = model->Find(HostText(name, nameLength));
    if (record == nullptr) return RYL_E_FILE_NOT_FOUND;
    if (passwordLength != 0) {
      RYL_RETURN_IF_FAILED(record->SetPassword(AsUtf16(password), static_cast<int32_t>(passwordLength),
                                               passwordSelector));
    }
    RYL_RETURN_IF_FAILED(record->OpenData());

    const std::u16string destination(AsUtf16(destinationPath));
    streams::OwnedStream file;
    RYL_RETURN_IF_FAILED(files_->CreateForWriting(destination.c_str(), &file));
    ResultCode rc = record->CopyDataTo(file.get());
    record->CloseData();
    const ResultCode closed = file->Close();
    if (rc >= 0 && closed < 0) rc = closed;
    file.reset();
    // A partial or corrupt file must not pass for the entry.
    if (rc < 0) files_->RemoveIncomplete(destination.c_str());
    return rc;
  });
}

ResultCode CreateZipService(const ArchiveFiles* files, ZipService** outService) noexcept {
  if (outService == nullptr || files == nullptr) return RYL_E_INVALID_ARG;
  ZipServiceImpl* service = core::MakeObject<ZipServiceImpl>(files);
  if (service == nullptr) return RYL_E_OUT_OF_MEMORY;
  *outService = service;
  return RYL_OK;
}

}  // namespace ryl::archive
