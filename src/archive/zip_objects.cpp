#include "archive/zip_objects.h"

#include <string>

#include "archive/zip_records.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/file_stream.h"
#include "fs/host_stream_adapter.h"

namespace ryl::archive {

namespace {

constexpr AllocatorRecord kDefaultHeap = {nullptr, nullptr};
constexpr uint32_t kShareRead = 1;
constexpr uint32_t kShareWrite = 2;

const char16_t* Units(const RylChar16* text) noexcept { return reinterpret_cast<const char16_t*>(text); }

RylStringView* ViewOf(const std::u16string& text, RylStringView* result) noexcept {
  if (result == nullptr) return result;
  result->data = reinterpret_cast<const RylChar16*>(text.c_str());
  result->length = static_cast<uint32_t>(text.size());
  return result;
}

std::u16string_view NameView(const RylChar16* name, uint32_t length) noexcept {
  if (name == nullptr) return {};
  if (length == 0xFFFFFFFFu) return std::u16string_view(Units(name));
  return std::u16string_view(Units(name), length);
}

}  // namespace

// --- ArchiveEntryImpl ---------------------------------------------------------

void RYL_THISCALL ArchiveEntryImpl::Release() { core::DestroyPlainObject(this, &kDefaultHeap); }

RylStringView* RYL_THISCALL ArchiveEntryImpl::GetName(RylStringView* result) {
  return ViewOf(record_->header.name, result);
}

RylStringView* RYL_THISCALL ArchiveEntryImpl::GetComment(RylStringView* result) {
  return ViewOf(record_->header.comment, result);
}

uint8_t RYL_THISCALL ArchiveEntryImpl::IsEncrypted() { return (record_->header.flags & kFlagEncrypted) != 0; }

// The same gate as extraction: ZIP64 (45) and bzip2 (46) entries are read.
uint8_t RYL_THISCALL ArchiveEntryImpl::IsVersionSupported() {
  return IsExtractVersionSupported(record_->header.versionNeeded) ? 1 : 0;
}

uint8_t RYL_THISCALL ArchiveEntryImpl::IsDirectory() {
  return (record_->header.externalAttributes & kExternalAttributesDirectory) != 0;
}

uint32_t RYL_THISCALL ArchiveEntryImpl::GetMethod() {
  switch (record_->header.method) {
    case kMethodStored: return RYL_ZIP_METHOD_STORED;
    case kMethodDeflate: return RYL_ZIP_METHOD_DEFLATE;
    case kMethodBzip2: return RYL_ZIP_METHOD_BZIP2;
    default: return RYL_ZIP_METHOD_OTHER;
  }
}

ResultCode RYL_THISCALL ArchiveEntryImpl::SetPassword(const RylChar16* password, int32_t length, int32_t selector) {
  return core::GuardEntry([&] { return record_->SetPassword(Units(password), length, selector); });
}

ResultCode RYL_THISCALL ArchiveEntryImpl::ExtractTo(HostStream* destination) {
  return core::GuardEntry([&]() -> ResultCode {
    if (destination == nullptr) return RYL_E_INVALID_ARG;
    RYL_RETURN_IF_FAILED(record_->OpenData());
    fs::HostStreamAdapter target(destination);
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

void RYL_THISCALL EntryEnumeratorImpl::Release() { core::DestroyPlainObject(this, &kDefaultHeap); }

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

void RYL_THISCALL ArchiveImpl::Release() { core::DestroyPlainObject(this, &kDefaultHeap); }

RylStringView* RYL_THISCALL ArchiveImpl::GetComment(RylStringView* result) {
  return ViewOf(model_->comment(), result);
}

ResultCode RYL_THISCALL ArchiveImpl::FindEntry(ArchiveEntry** outEntry, const RylChar16* name, uint32_t nameLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outEntry == nullptr) return RYL_E_INVALID_ARG;
    EntryRecord* record = model_->Find(NameView(name, nameLength));
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

ResultCode OpenArchiveModel(const char16_t* path, uint32_t pathLength, core::ObjectPtr<ArchiveModel>* outModel) {
  const std::u16string text = PathText(path, pathLength);
  core::ObjectPtr<ArchiveModel> model(core::MakeObject<ArchiveModel>());
  if (!model) return RYL_E_OUT_OF_MEMORY;
  core::ObjectPtr<fs::FileStream> file(core::MakeObject<fs::FileStream>());
  if (!file) return RYL_E_OUT_OF_MEMORY;
  RYL_RETURN_IF_FAILED(file->Open(text.c_str(), fs::kOpenOrCreate, 0, fs::kAccessRead, kShareRead, 0));
  // The model owns the file from here on, whatever the load says.
  RYL_RETURN_IF_FAILED(model->Attach(file.release(), true));
  *outModel = std::move(model);
  return RYL_OK;
}

void RYL_THISCALL ZipServiceImpl::Release() { core::DestroyPlainObject(this, &kDefaultHeap); }

ResultCode RYL_THISCALL ZipServiceImpl::OpenArchive(Archive** outArchive, const RylChar16* path,
                                                   uint32_t pathLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outArchive == nullptr || path == nullptr) return RYL_E_INVALID_ARG;
    core::ObjectPtr<ArchiveModel> model;
    RYL_RETURN_IF_FAILED(OpenArchiveModel(Units(path), pathLength, &model));
    ArchiveImpl* archive = core::MakeObject<ArchiveImpl>(model.get());
    if (archive == nullptr) return RYL_E_OUT_OF_MEMORY;
    (void)model.release();
    *outArchive = archive;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL ZipServiceImpl::ContainsEntry(uint8_t* outContains, const RylChar16* path,
                                                     uint32_t pathLength, const RylChar16* name,
                                                     uint32_t nameLength) {
  return core::GuardEntry([&]() -> ResultCode {
    if (outContains == nullptr || path == nullptr) return RYL_E_INVALID_ARG;
    core::ObjectPtr<ArchiveModel> model;
    RYL_RETURN_IF_FAILED(OpenArchiveModel(Units(path), pathLength, &model));
    *outContains = model->Find(NameView(name, nameLength)) != nullptr ? 1 : 0;
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
    RYL_RETURN_IF_FAILED(OpenArchiveModel(Units(path), pathLength, &model));
    EntryRecord* record = model->Find(NameView(name, nameLength));
    if (record == nullptr) return RYL_E_FILE_NOT_FOUND;
    if (passwordLength != 0) {
      RYL_RETURN_IF_FAILED(record->SetPassword(Units(password), static_cast<int32_t>(passwordLength),
                                               passwordSelector));
    }
    RYL_RETURN_IF_FAILED(record->OpenData());

    const std::u16string destination(Units(destinationPath));
    core::ObjectPtr<fs::FileStream> file(core::MakeObject<fs::FileStream>());
    if (!file) return RYL_E_OUT_OF_MEMORY;
    RYL_RETURN_IF_FAILED(
        file->Open(destination.c_str(), fs::kCreateOrTruncate, 0, fs::kAccessWrite, kShareWrite, 0));
    ResultCode rc = record->CopyDataTo(file.get());
    record->CloseData();
    const ResultCode closed = file->Close();
    if (rc >= 0 && closed < 0) rc = closed;
    file.reset();
    // A partial or corrupt file must not pass for the entry.
    if (rc < 0) (void)fs::DeleteFile(destination.c_str(), static_cast<uint32_t>(destination.size()), 0);
    return rc;
  });
}

ResultCode CreateZipService(ZipService** outService) noexcept {
  if (outService == nullptr) return RYL_E_INVALID_ARG;
  ZipServiceImpl* service = core::MakeObject<ZipServiceImpl>();
  if (service == nullptr) return RYL_E_OUT_OF_MEMORY;
  *outService = service;
  return RYL_OK;
}

}  // namespace ryl::archive
