#include "archive/entry_data_writer.h"

#include <vector>

#include "archive/aes_cipher_streams.h"
#include "archive/entry_coding.h"
#include "archive/stream_io.h"
#include "archive/traditional_cipher.h"
#include "archive/traditional_cipher_streams.h"
#include "archive/zip_names.h"
#include "archive/zip_records.h"
#include "codec/bzip2_stream.h"
#include "codec/crc_sink_stream.h"
#include "codec/deflate_stream.h"
#include "codec/crc32_hash.h"
#include "codec/hash_stream_content.h"
#include "codec/zstd_stream.h"
#include "core/entry_guard.h"
#include "core/object_ptr.h"
#include "core/result_helpers.h"

namespace ryl::archive {
namespace {

constexpr uint32_t kCopyBufferSize = 65536;

// Deflate's stored blocks add 5 bytes per 16 KiB at worst, bzip2 about one
// percent: a margin of 1/64 plus the encryption header covers both.
constexpr uint64_t Zip64Margin(uint64_t size) noexcept { return size / 64 + 1024 + kEncryptionHeaderSize; }

// Writes all of count bytes or fails: a consumer that takes part of a
// write ends the copy.
ResultCode Feed(SeekableStream* consumer, const uint8_t* data, uint32_t count) noexcept {
  uint32_t taken = 0;
  RYL_RETURN_IF_FAILED(consumer->Write(data, count, &taken));
  return taken == count ? RYL_OK : RYL_E_END_OF_DATA;
}

// The check byte needs the CRC of the whole source before its first byte is
// written, unless the entry's values follow its data.
ResultCode CheckByteFor(EntryRecord* entry, SeekableStream* source, uint8_t* out) noexcept {
  const CentralHeaderImage& header = entry->header;
  if ((header.flags & kFlagDataDescriptor) != 0) {
    *out = EncryptionCheckByte(header.flags, header.dosTime, 0);
    return RYL_OK;
  }
  uint64_t position = 0;
  RYL_RETURN_IF_FAILED(source->Tell(&position));
  codec::Crc32Hash hash;
  uint8_t digest[4] = {};
  const ResultCode hashed = codec::HashStreamContent(hash, *source, digest, sizeof digest);
  RYL_RETURN_IF_FAILED(SeekTo(source, position));
  RYL_RETURN_IF_FAILED(hashed);
  *out = EncryptionCheckByte(header.flags, header.dosTime, hash.value());
  return RYL_OK;
}

// What is left to read of source, as the compressor's size hint; UINT64_MAX
// when the source cannot tell.
uint64_t RemainingSize(SeekableStream* source) noexcept {
  uint64_t size = 0;
  uint64_t position = 0;
  if (source->GetSize(&size) < 0 || source->Tell(&position) < 0 || position > size) return UINT64_MAX;
  return size - position;
}

void RaiseVersionNeeded(CentralHeaderImage* header, uint16_t version) noexcept {
  if (header->versionNeeded < version) header->versionNeeded = version;
}

}  // namespace

ResultCode PrepareEntryCoding(EntryRecord* entry) noexcept {
  if (entry == nullptr) return RYL_E_INVALID_ARG;
  CentralHeaderImage& header = entry->header;
  const uint16_t method = DescribeCoding(header).method;
  if (entry->writes_aes()) {
    const AesRecord record{kAesVersion2, kAesStrength256, method};
    RYL_RETURN_IF_FAILED(SetAesRecord(&header.extras, &record));
    header.method = kMethodAes;
    header.flags = static_cast<uint16_t>(header.flags | kFlagEncrypted);
    RaiseVersionNeeded(&header, kVersionNeededAes);
  } else {
    RYL_RETURN_IF_FAILED(SetAesRecord(&header.extras, nullptr));
    header.method = method;
  }
  if (method == kMethodZstd) RaiseVersionNeeded(&header, kVersionNeededModernMethods);
  return RYL_OK;
}

bool NeedsZip64Reservation(uint64_t sourceSize) noexcept {
  return sourceSize >= kZip64Marker32 || sourceSize + Zip64Margin(sourceSize) >= kZip64Marker32;
}

ResultCode AttachSource(EntryRecord* entry, SeekableStream* source, const EntryCompression& compression,
                        bool defer) noexcept {
  if (entry == nullptr || source == nullptr) return RYL_E_INVALID_ARG;
  const bool stored = compression.method == kMethodStored || compression.level == 0;
  CentralHeaderImage& header = entry->header;
  entry->source = nullptr;
  entry->pending = false;
  header.crc32 = 0;
  header.compressedSize = 0;
  header.uncompressedSize = 0;
  header.zip64.reset();

  uint64_t size = 0;
  RYL_RETURN_IF_FAILED(source->GetSize(&size));
  uint64_t position = 0;
  // What is left to read is what the entry will hold.
  if (source->Tell(&position) >= 0 && position <= size) size -= position;
  if (NeedsZip64Reservation(size)) {
    header.zip64.emplace();
    header.zip64->uncompressedSize = kZip64Marker32;
    header.zip64->compressedSize = size;
    header.compressedSize = kZip64Marker32;
    header.uncompressedSize = kZip64Marker32;
  }
  entry->pending = true;
  entry->source = source;
  entry->defer = defer;
  entry->level = stored ? 0 : compression.level;
  header.method = stored ? kMethodStored : compression.method;
  return RYL_OK;
}

ResultCode WriteEntryData(EntryRecord* entry, SeekableStream* source, SeekableStream* destination) noexcept {
  if (entry == nullptr || source == nullptr || destination == nullptr) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    CentralHeaderImage& header = entry->header;
    uint64_t start = 0;
    RYL_RETURN_IF_FAILED(destination->Tell(&start));

    RYL_RETURN_IF_FAILED(PrepareEntryCoding(entry));
    const uint16_t method = DescribeCoding(header).method;
    SeekableStream* top = destination;
    core::ObjectPtr<EncryptingStream> encrypt;
    core::ObjectPtr<AesEncryptingStream> aesEncrypt;
    if (entry->writes_aes()) {
      std::vector<uint8_t> password = entry->AesPasswordBytes();
      aesEncrypt.reset(core::MakeObject<AesEncryptingStream>());
      const ResultCode opened = aesEncrypt ? aesEncrypt->Open(destination, kAesStrength256, password.data(),
                                                              password.size())
                                           : RYL_E_OUT_OF_MEMORY;
      std::fill(password.begin(), password.end(), uint8_t{0});
      RYL_RETURN_IF_FAILED(opened);
      top = aesEncrypt.get();
    } else if (entry->has_password()) {
      header.flags = static_cast<uint16_t>(header.flags | kFlagEncrypted);
      uint8_t checkByte = 0;
      RYL_RETURN_IF_FAILED(CheckByteFor(entry, source, &checkByte));
      uint8_t plainHeader[kEncryptionHeaderSize];
      RYL_RETURN_IF_FAILED(MakeEncryptionHeader(checkByte, plainHeader));
      std::vector<uint8_t> password = entry->PasswordBytes();
      const TraditionalKeys keys(password.data(), password.size());
      std::fill(password.begin(), password.end(), uint8_t{0});
      encrypt.reset(core::MakeObject<EncryptingStream>());
      if (!encrypt) return RYL_E_OUT_OF_MEMORY;
      RYL_RETURN_IF_FAILED(encrypt->Open(destination, keys, plainHeader));
      top = encrypt.get();
    }

    core::ObjectPtr<codec::DeflateStream> deflate;
    core::ObjectPtr<codec::Bzip2Stream> bzip2;
    core::ObjectPtr<codec::ZstdStream> zstd;
    if (method == kMethodDeflate) {
      deflate.reset(core::MakeObject<codec::DeflateStream>());
      if (!deflate) return RYL_E_OUT_OF_MEMORY;
      RYL_RETURN_IF_FAILED(deflate->Initialize(top, true, entry->level, codec::DeflateStream::kArchiveBufferSize));
      top = deflate.get();
    } else if (method == kMethodBzip2) {
      bzip2.reset(core::MakeObject<codec::Bzip2Stream>());
      if (!bzip2) return RYL_E_OUT_OF_MEMORY;
      RYL_RETURN_IF_FAILED(bzip2->Initialize(top, true, codec::Bzip2Stream::kArchiveBufferSize,
                                             static_cast<uint8_t>(entry->level)));
      top = bzip2.get();
    } else if (method == kMethodZstd) {
      zstd.reset(core::MakeObject<codec::ZstdStream>());
      if (!zstd) return RYL_E_OUT_OF_MEMORY;
      RYL_RETURN_IF_FAILED(
          zstd->Initialize(top, true, codec::ZstdStream::kArchiveBufferSize, entry->level, RemainingSize(source)));
      top = zstd.get();
    }

    codec::CrcSinkStream crc;
    crc.crc().Initialize();
    std::vector<uint8_t> buffer(kCopyBufferSize);
    uint64_t taken = 0;
    for (;;) {
      uint32_t done = 0;
      const ResultCode read = source->Read(buffer.data(), kCopyBufferSize, &done);
      if (read < 0 && !core::IsEndOfData(read)) return read;
      if (done != 0) {
        taken += done;
        RYL_RETURN_IF_FAILED(Feed(&crc, buffer.data(), done));
        RYL_RETURN_IF_FAILED(Feed(top, buffer.data(), done));
      }
      if (read < 0 || read == RYL_S_END_OF_DATA || done == 0) break;
    }
    // The compressor's last output and the encryption header of an empty
    // entry still have to reach the archive; losing them would leave an
    // entry that no reader can decode.
    if (deflate) RYL_RETURN_IF_FAILED(deflate->Close());
    if (bzip2) RYL_RETURN_IF_FAILED(bzip2->Close());
    if (zstd) RYL_RETURN_IF_FAILED(zstd->Close());
    if (encrypt) RYL_RETURN_IF_FAILED(encrypt->Finish());
    if (aesEncrypt) RYL_RETURN_IF_FAILED(aesEncrypt->Finish());

    uint64_t end = 0;
    RYL_RETURN_IF_FAILED(destination->Tell(&end));
    RYL_RETURN_IF_FAILED(PlaceSizes(&header, end - start, taken));
    // AE-2 stores no CRC: the authentication code stands for it, and a CRC
    // of the plain data would tell about it what the encryption hides.
    header.crc32 = entry->writes_aes() ? 0 : crc.crc().Get();
    if (method == kMethodDeflate || IsDirectoryName(header.name)) {
      if (header.versionNeeded < kVersionNeededDeflate) header.versionNeeded = kVersionNeededDeflate;
    }
    return RYL_OK;
  });
}

}  // namespace ryl::archive
