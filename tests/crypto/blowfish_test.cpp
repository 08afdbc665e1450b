// The Blowfish cipher object: the published test vectors (each half's bytes
// reversed), OpenSSL's Blowfish on random keys and blocks, and the object's
// edges.
#include "crypto/blowfish_cipher.h"
#include "core/output_writer.h"

#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace ryl::crypto {
namespace {

// A byte buffer behind an OutputBuffer record; resizes may move it.
class Bytes {
 public:
  Bytes() {
    record_.callbacks = &kCallbacks;
    record_.context = this;
  }
  OutputBuffer* get() { return &record_; }
  std::vector<uint8_t> data() const {
    const auto* at = static_cast<const uint8_t*>(record_.view.data);
    return std::vector<uint8_t>(at, at + record_.view.length);
  }
  int resizes = 0;
  bool failResize = false;

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<Bytes*>(context);
    ++self->resizes;
    if (self->failResize) return RYL_E_ACCESS_DENIED;
    // A fresh allocation every time, so that a resize always moves the data.
    std::vector<uint8_t> grown(std::max<size_t>(length, 1));
    const size_t kept = std::min<size_t>(length, view->length);
    if (kept != 0) std::memcpy(grown.data(), self->storage_.data(), kept);
    self->storage_.swap(grown);
    view->data = self->storage_.data();
    view->length = length;
    return RYL_OK;
  }
  static inline const RylOutputBufferCallbacks kCallbacks = {1, &Resize, nullptr, nullptr, nullptr};
  std::vector<uint8_t> storage_;
  OutputBuffer record_{};
};

struct Cipher {
  Cipher(const std::vector<uint8_t>& key, bool encrypt) {
    void* object = nullptr;
    const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                       *static_cast<void**>(c) = o;
                                       return RYL_OK;
                                     }};
    const ObjectReceiver receiver{&store, &object, 1, {}};
    result = CreateBlowfishCipher(&receiver, key.data(), static_cast<uint32_t>(key.size()), encrypt);
    c = static_cast<RylBlowfishCipher*>(object);
  }
  ~Cipher() {
    if (c != nullptr) c->Destroy(nullptr);
  }
  std::vector<uint8_t> Run(const std::vector<uint8_t>& input) {
    Bytes out;
    EXPECT_EQ(c->Process(out.get(), input.data(), static_cast<uint32_t>(input.size())), RYL_OK);
    return out.data();
  }
  ResultCode result;
  RylBlowfishCipher* c = nullptr;
};

std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The published vectors read each half as a big-endian word; this object
// reads it little-endian.
std::vector<uint8_t> SwapHalves(std::vector<uint8_t> block) {
  for (size_t at = 0; at + 4 <= block.size(); at += 4) std::swap(block[at], block[at + 3]), std::swap(block[at + 1], block[at + 2]);
  return block;
}

TEST(Blowfish, PublishedVectorsWithEachHalfReversed) {
  const struct {
    const char* key;
    const char* plain;
    const char* cipher;
  } rows[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.key);
    Cipher encrypt(Hex(row.key), true), decrypt(Hex(row.key), false);
    ASSERT_EQ(encrypt.result, RYL_OK);
    const std::vector<uint8_t> plain = SwapHalves(Hex(row.plain));
    const std::vector<uint8_t> expected = SwapHalves(Hex(row.cipher));
    EXPECT_EQ(encrypt.Run(plain), expected);
    EXPECT_EQ(decrypt.Run(expected), plain);
  }
  Cipher zero(std::vector<uint8_t>(8, 0), true);
  EXPECT_EQ(zero.Run(std::vector<uint8_t>(8, 0)), Hex("4597F94E78DD9861"));
}

TEST(Blowfish, AgreesWithOpenSslOnRandomKeysAndBlocks) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> key(4 + random() % 53);
    for (uint8_t& b : key) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> plain(8 * (1 + random() % 16));
    for (uint8_t& b : plain) b = static_cast<uint8_t>(random());
    BF_KEY reference;
    BF_set_key(&reference, static_cast<int>(key.size()), key.data());
    std::vector<uint8_t> expected(plain.size());
    for (size_t at = 0; at < plain.size(); at += 8) {
      const std::vector<uint8_t> in = SwapHalves(std::vector<uint8_t>(plain.begin() + at, plain.begin() + at + 8));
      uint8_t out[8];
      BF_ecb_encrypt(in.data(), out, &reference, BF_ENCRYPT);
      const std::vector<uint8_t> swapped = SwapHalves(std::vector<uint8_t>(out, out + 8));
      std::copy(swapped.begin(), swapped.end(), expected.begin() + at);
    }
    Cipher encrypt(key, true), decrypt(key, false);
    ASSERT_EQ(encrypt.Run(plain), expected) << "key of " << key.size() << " bytes";
    ASSERT_EQ(decrypt.Run(expected), plain);
  }
}

TEST(Blowfish, KeyLengthsAndVersions) {
  for (size_t length : {0u, 3u, 57u, 100u}) {
    Cipher c(std::vector<uint8_t>(length, 7), true);
    EXPECT_EQ(c.result, RYL_E_UNSUPPORTED_VERSION) << length;
    EXPECT_EQ(c.c, nullptr);
  }
  for (size_t length : {4u, 56u}) EXPECT_EQ(Cipher(std::vector<uint8_t>(length, 7), false).result, RYL_OK);
  void* object = nullptr;
  const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                     *static_cast<void**>(c) = o;
                                     return RYL_OK;
                                   }};
  const ObjectReceiver tooNew{&store, &object, 2, {}};
  const uint8_t key[8] = {};
  EXPECT_EQ(CreateBlowfishCipher(&tooNew, key, 8, true), RYL_E_UNSUPPORTED_VERSION);
}

TEST(Blowfish, BlocksAreIndependentAndFinalBlocksArePadded) {
  Cipher encrypt(Hex("0123456789ABCDEF"), true), decrypt(Hex("0123456789ABCDEF"), false);
  const std::vector<uint8_t> twice = Hex("00112233445566770011223344556677");
  const std::vector<uint8_t> out = encrypt.Run(twice);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 8, out.begin() + 8)) << "no chaining";
  EXPECT_EQ(decrypt.Run(out), twice);

  Bytes last;
  const uint8_t three[3] = {1, 2, 3};
  ASSERT_EQ(encrypt.c->ProcessFinal(last.get(), three, 3), RYL_OK);
  ASSERT_EQ(last.data().size(), 8u);
  EXPECT_EQ(decrypt.Run(last.data()), (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 0, 0}));
  Bytes untouched;
  EXPECT_EQ(encrypt.c->ProcessFinal(untouched.get(), three, 0), RYL_OK);
  EXPECT_EQ(untouched.resizes, 0);
  EXPECT_EQ(encrypt.c->ProcessFinal(untouched.get(), twice.data(), 8), RYL_E_INVALID_ARG);
  EXPECT_EQ(encrypt.c->Process(untouched.get(), twice.data(), 12), RYL_E_INVALID_ARG);
  EXPECT_EQ(untouched.resizes, 0) << "a refused call leaves the output alone";
  EXPECT_EQ(encrypt.c->Process(untouched.get(), twice.data(), 0), RYL_OK);
  EXPECT_EQ(untouched.resizes, 1);
  Bytes failing;
  failing.failResize = true;
  EXPECT_EQ(encrypt.c->Process(failing.get(), twice.data(), 16), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(encrypt.c->IsReady(), 1);
  EXPECT_EQ(encrypt.c->GetBlockSize(), 8u);
  uint32_t highest = 0;
  EXPECT_EQ(encrypt.c->Query(RYL_TYPE_BLOWFISH_CIPHER, 1, &highest), encrypt.c);
  EXPECT_EQ(highest, 1u);
}

TEST(Blowfish, InPlaceEvenWhenTheOutputMoves) {
  Cipher encrypt(Hex("FEDCBA9876543210"), true);
  const std::vector<uint8_t> plain = Hex("0011223344556677F0E1D2C3B4A59687");
  const std::vector<uint8_t> expected = encrypt.Run(plain);
  // The output holds the plain text; it is asked to become the cipher text
  // of itself, with a resize that moves the storage every time.
  Bytes buffer;
  ASSERT_EQ(core::WriteOutput(buffer.get(), plain.data(), static_cast<uint32_t>(plain.size())), RYL_OK);
  const auto* inside = static_cast<const uint8_t*>(buffer.get()->view.data);
  ASSERT_EQ(encrypt.c->Process(buffer.get(), inside, 16), RYL_OK);
  EXPECT_EQ(buffer.data(), expected);
  // Part of a longer buffer: the output shrinks to the part's length.
  Bytes longer;
  std::vector<uint8_t> padded = plain;
  padded.insert(padded.end(), 8, 0xAA);
  ASSERT_EQ(core::WriteOutput(longer.get(), padded.data(), static_cast<uint32_t>(padded.size())), RYL_OK);
  ASSERT_EQ(encrypt.c->Process(longer.get(), static_cast<const uint8_t*>(longer.get()->view.data), 16), RYL_OK);
  EXPECT_EQ(longer.data(), expected);
}

}  // namespace
}  // namespace ryl::crypto
