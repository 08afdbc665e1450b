// The SDK gives hosts no digest object, yet the module carries SHA-1,
// SHA-256, SHA-512 and CRC-32, and rylcli must not compute a digest with
// code of its own: what it prints is meant to be the library's answer.
//
// SHA: RylRsaPrivateKey::Sign builds the PKCS #1 version 1.5 encoded message
//   EM = 00 01 FF..FF 00 DigestInfo(selector) H(data)
// with the module's own digest H, and returns EM^d mod n. With d = 1 and
// n = 2^1024 - 1 (128 bytes of FF), EM (which starts with 00) is below n
// and comes back unchanged, so H is its last bytes. Every byte before H is
// checked against what the encoding must be, so a key object that did
// anything else (reduced, blinded, refused the exponent) is caught and
// reported instead of yielding a wrong digest.
//
// CRC-32: the streaming ZIP writer computes the CRC-32 of each entry's data
// as it copies it, and records it in the central directory. The file is
// written stored into a stream that keeps only the last bytes of the
// archive (the directory), never the data, and the CRC is read from the
// entry's central header.
#include "library_digest.h"

#include <windows.h>

#include <cstring>

#include "growing_output.h"
#include "hoststreams/appending_host_stream.h"
#include "module_session.h"
#include "win32_result.h"

namespace rylcli {
namespace {

constexpr uint32_t kModulusBytes = 128;

struct DigestShape {
  uint32_t selector;
  std::vector<uint8_t> prefix;  // the DER DigestInfo before H
  uint32_t length;
};

const DigestShape kShapes[] = {
    {RYL_DIGEST_SHA1, {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14}, 20},
    {RYL_DIGEST_SHA256,
     {0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20},
     32},
    {RYL_DIGEST_SHA512,
     {0x30, 0x51, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40},
     64},
};

// A destination that cannot seek, like a pipe (so the writer puts a data
// descriptor after the entry), and keeps only the archive's last bytes.
class TailStream final : public ryl::host::AppendingHostStream {
 public:
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    tail_.insert(tail_.end(), bytes, bytes + count);
    if (tail_.size() > 2 * kKept) tail_.erase(tail_.begin(), tail_.end() - kKept);
    set_end(end() + count);
    return Took(count, outDone);
  }
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override {
    if (origin > RYL_SEEK_END) return RYL_E_INVALID_ARG;
    const int64_t base = origin == RYL_SEEK_BEGIN ? 0 : static_cast<int64_t>(end());
    if (base + offset < 0) return RYL_E_INVALID_SEEK;
    return FromWin32(ERROR_SEEK_ON_DEVICE);
  }
  const std::vector<uint8_t>& tail() const { return tail_; }

 private:
  static constexpr size_t kKept = 64 * 1024;
  std::vector<uint8_t> tail_;
};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

ResultCode ShaDigest(RootFactory* root, uint32_t selector, const uint8_t* data, uint32_t length,
                     std::vector<uint8_t>* digest) {
  const DigestShape* shape = nullptr;
  for (const DigestShape& s : kShapes) {
    if (s.selector == selector) shape = &s;
  }
  if (shape == nullptr) return RYL_E_UNSUPPORTED_ALGORITHM;
  const uint8_t exponent[1] = {1};
  std::vector<uint8_t> modulus(kModulusBytes, 0xFF);
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_RSA_KEY);
  ResultCode rc = root->CreateRsaPrivateKey(&receiver, exponent, 1, modulus.data(), kModulusBytes);
  if (RylFailed(rc)) return rc;
  auto* key = static_cast<RylRsaPrivateKey*>(object);
  ByteOutput signature;
  static const uint8_t kEmpty[1] = {0};
  rc = key->Sign(signature.get(), length == 0 ? kEmpty : data, length, selector);
  key->Destroy(&kDefaultHeap);
  if (RylFailed(rc)) return rc;
  const std::vector<uint8_t> em(signature.data(), signature.data() + signature.size());
  const size_t tailLength = shape->prefix.size() + shape->length;
  if (em.size() != kModulusBytes || em[0] != 0x00 || em[1] != 0x01) return RYL_E_CRYPTO_FAILED;
  const size_t separator = kModulusBytes - tailLength - 1;
  for (size_t i = 2; i < separator; ++i) {
    if (em[i] != 0xFF) return RYL_E_CRYPTO_FAILED;
  }
  if (em[separator] != 0x00 ||
      std::memcmp(em.data() + separator + 1, shape->prefix.data(), shape->prefix.size()) != 0) {
    return RYL_E_CRYPTO_FAILED;
  }
  digest->assign(em.end() - shape->length, em.end());
  return RYL_OK;
}

ResultCode FileCrc32(RootFactory* root, const std::wstring& path, uint32_t* crc) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_STREAMING_ARCHIVE);
  ResultCode rc = root->CreateZipStreamWriter(&receiver);
  if (RylFailed(rc)) return rc;
  auto* writer = static_cast<StreamingArchive*>(object);
  TailStream stream;
  const RylZipCompression stored = {0, 0};
  const RylChar16 name[1] = {u'x'};
  rc = writer->OpenOnStream(&stream);
  if (RylSucceeded(rc)) {
    // All ones asks for the current time: 0 is outside the DOS range an
    // entry's time must fall in, and is refused.
    rc = writer->AddEntryFromFile(reinterpret_cast<const RylChar16*>(path.c_str()), 0, name, 1, &stored, nullptr, 0, 0,
                                  nullptr, 0, ~uint64_t{0});
  }
  if (RylSucceeded(rc)) rc = writer->Close();
  writer->Destroy(&kDefaultHeap);
  if (RylFailed(rc)) return rc;
  // The one central header, found from the end: signature, then the name
  // length at 28 and the name "x" at 46; the CRC-32 is at 16.
  const std::vector<uint8_t>& tail = stream.tail();
  for (size_t at = tail.size() >= 47 ? tail.size() - 47 : 0; at + 47 <= tail.size(); --at) {
    const uint8_t* header = tail.data() + at;
    if (Le32(header) == 0x02014B50u && Le16(header + 28) == 1 && header[46] == 'x') {
      *crc = Le32(header + 16);
      return RYL_OK;
    }
    if (at == 0) break;
  }
  return RYL_E_BAD_FORMAT;
}

}  // namespace rylcli
