// RSA keys against libcrypto used directly: signatures and encryption both
// ways at several sizes, the DigestInfo checks, hostile components and
// lengths, and the module's SHA-256 against the published vectors.
#include "crypto/rsa_key.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/obj_mac.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/sha256.h"

namespace ryl::crypto {
namespace {

using Bytes = std::vector<uint8_t>;

class Output {
 public:
  Output() {
    record_.callbacks = &kCallbacks;
    record_.context = this;
  }
  OutputBuffer* get() { return &record_; }
  Bytes data() const {
    const auto* at = static_cast<const uint8_t*>(record_.view.data);
    return Bytes(at, at + record_.view.length);
  }

 private:
  static ResultCode RYL_CDECL Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* self = static_cast<Output*>(context);
    self->storage_.resize(std::max<size_t>(length, 1));
    view->data = self->storage_.data();
    view->length = length;
    return RYL_OK;
  }
  static inline const RylOutputBufferCallbacks kCallbacks = {1, &Resize, nullptr, nullptr, nullptr};
  Bytes storage_;
  OutputBuffer record_{};
};

Bytes BytesOf(const BIGNUM* number) {
  Bytes bytes(BN_num_bytes(number));
  BN_bn2bin(number, bytes.data());
  return bytes;
}

// A generated key pair, its components and the library's two key objects.
struct KeyPair {
  explicit KeyPair(int bits) {
    reference = RSA_new();
    BIGNUM* e = BN_new();
    BN_set_word(e, 65537);
    EXPECT_EQ(RSA_generate_key_ex(reference, bits, e, nullptr), 1);
    BN_free(e);
    const BIGNUM *n = nullptr, *pe = nullptr, *d = nullptr;
    RSA_get0_key(reference, &n, &pe, &d);
    modulus = BytesOf(n);
    exponent = BytesOf(pe);
    privateExponent = BytesOf(d);
    const ObjectReceiver pubReceiver = Receiver(&pubObject);
    EXPECT_EQ(CreateRsaPublicKey(&pubReceiver, exponent.data(), Size(exponent), modulus.data(), Size(modulus)),
              RYL_OK);
    const ObjectReceiver privReceiver = Receiver(&privObject);
    EXPECT_EQ(CreateRsaPrivateKey(&privReceiver, privateExponent.data(), Size(privateExponent), modulus.data(),
                                  Size(modulus)),
              RYL_OK);
    pub = static_cast<RylRsaPublicKey*>(pubObject);
    priv = static_cast<RylRsaPrivateKey*>(privObject);
  }
  ~KeyPair() {
    if (pub != nullptr) pub->Destroy(nullptr);
    if (priv != nullptr) priv->Destroy(nullptr);
    RSA_free(reference);
  }
  static uint32_t Size(const Bytes& b) { return static_cast<uint32_t>(b.size()); }
  static ObjectReceiver Receiver(void** slot) {
    static const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                              *static_cast<void**>(c) = o;
                                              return RYL_OK;
                                            }};
    return ObjectReceiver{&store, slot, 1, {}};
  }
  RSA* reference;
  Bytes modulus, exponent, privateExponent;
  void* pubObject = nullptr;
  void* privObject = nullptr;
  RylRsaPublicKey* pub = nullptr;
  RylRsaPrivateKey* priv = nullptr;
};

Bytes Digest(uint32_t selector, const Bytes& data) {
  uint8_t digest[64];
  uint32_t length = 0;
  EXPECT_EQ(DigestOf(selector, data.data(), static_cast<uint32_t>(data.size()), digest, &length), RYL_OK);
  return Bytes(digest, digest + length);
}

const int kNids[3] = {NID_sha1, NID_sha256, NID_sha512};

TEST(RsaKeys, SignaturesAgreeWithLibcryptoBothWaysAtEverySize) {
  for (int bits : {1024, 2048}) {
    SCOPED_TRACE(bits);
    KeyPair keys(bits);
    ASSERT_NE(keys.pub, nullptr);
    EXPECT_EQ(keys.pub->GetSize(), static_cast<uint32_t>(bits / 8));
    const Bytes message = {'s', 'i', 'g', 'n', ' ', 'm', 'e'};
    for (uint32_t selector = 0; selector < 3; ++selector) {
      SCOPED_TRACE(selector);
      Output signature;
      ASSERT_EQ(keys.priv->Sign(signature.get(), message.data(), 7, selector), RYL_OK);
      const Bytes sig = signature.data();
      const Bytes digest = Digest(selector, message);
      // libcrypto verifies what the library signed...
      EXPECT_EQ(RSA_verify(kNids[selector], digest.data(), static_cast<unsigned>(digest.size()), sig.data(),
                           static_cast<unsigned>(sig.size()), keys.reference),
                1);
      EXPECT_EQ(keys.pub->Verify(sig.data(), KeyPair::Size(sig), message.data(), 7), RYL_OK);
      EXPECT_EQ(keys.pub->VerifyDigest(sig.data(), KeyPair::Size(sig), digest.data(), KeyPair::Size(digest), selector),
                RYL_OK);
      // ...and the library verifies what libcrypto signed.
      Bytes theirs(RSA_size(keys.reference));
      unsigned theirLength = 0;
      ASSERT_EQ(RSA_sign(kNids[selector], digest.data(), static_cast<unsigned>(digest.size()), theirs.data(),
                         &theirLength, keys.reference),
                1);
      EXPECT_EQ(keys.pub->Verify(theirs.data(), theirLength, message.data(), 7), RYL_OK);
      Output decoded;
      uint32_t found = 99;
      ASSERT_EQ(keys.pub->DecodeSignature(decoded.get(), &found, theirs.data(), theirLength), RYL_OK);
      EXPECT_EQ(found, selector);
      EXPECT_EQ(decoded.data(), digest);
      Bytes changed = message;
      changed[0] ^= 1;
      EXPECT_EQ(keys.pub->Verify(sig.data(), KeyPair::Size(sig), changed.data(), 7), RYL_W_SIGNATURE_MISMATCH);
    }
  }
}

TEST(RsaKeys, EncryptionBothWays) {
  KeyPair keys(1024);
  const Bytes secret(117, 0x5A);
  Output cipher;
  ASSERT_EQ(keys.pub->Encrypt(cipher.get(), secret.data(), 117, 0), RYL_OK);
  EXPECT_EQ(cipher.data().size(), 128u);
  Bytes plain(128);
  EXPECT_EQ(RSA_private_decrypt(128, cipher.data().data(), plain.data(), keys.reference, RSA_PKCS1_PADDING), 117);
  Output back;
  ASSERT_EQ(keys.priv->Decrypt(back.get(), cipher.data().data(), 128, 0), RYL_OK)
      << "a private key of exponent and modulus alone decrypts";
  EXPECT_EQ(back.data(), secret);
  Bytes theirs(128);
  ASSERT_EQ(RSA_public_encrypt(5, secret.data(), theirs.data(), keys.reference, RSA_PKCS1_PADDING), 128);
  ASSERT_EQ(keys.priv->Decrypt(back.get(), theirs.data(), 128, 0), RYL_OK);
  EXPECT_EQ(back.data(), Bytes(5, 0x5A));
  Output raw;
  ASSERT_EQ(keys.priv->PrivateEncrypt(raw.get(), secret.data(), 20, 0), RYL_OK);
  ASSERT_EQ(keys.pub->PublicDecrypt(back.get(), raw.data().data(), 128, 0), RYL_OK);
  EXPECT_EQ(back.data(), Bytes(20, 0x5A));
}

TEST(RsaKeys, LengthsSelectorsAndBlocksAreRefusedCleanly) {
  KeyPair keys(1024);
  Output out;
  const Bytes big(200, 1);
  EXPECT_EQ(keys.pub->Encrypt(out.get(), big.data(), 118, 0), RYL_E_INVALID_ARG);
  EXPECT_EQ(keys.pub->Encrypt(out.get(), big.data(), 10, 1), RYL_E_UNSUPPORTED_ALGORITHM);
  EXPECT_EQ(keys.priv->PrivateEncrypt(out.get(), big.data(), 118, 0), RYL_E_INVALID_ARG);
  for (uint32_t length : {0u, 1u, 127u, 129u, 200u}) {
    EXPECT_EQ(keys.pub->PublicDecrypt(out.get(), big.data(), length, 0), RYL_E_INVALID_ARG) << length;
    EXPECT_EQ(keys.priv->Decrypt(out.get(), big.data(), length, 0), RYL_E_INVALID_ARG) << length;
    EXPECT_EQ(keys.pub->Verify(big.data(), length, big.data(), 1), RYL_E_INVALID_ARG) << length;
  }
  EXPECT_EQ(keys.priv->SignDigest(out.get(), big.data(), 20, 1), RYL_E_INVALID_ARG);
  EXPECT_EQ(keys.priv->SignDigest(out.get(), big.data(), 20, 3), RYL_E_UNSUPPORTED_ALGORITHM);
  EXPECT_EQ(keys.priv->Sign(out.get(), big.data(), 20, 3), RYL_E_UNSUPPORTED_ALGORITHM);
  // A block at or above the modulus, and one that is no PKCS #1 block.
  const Bytes allOnes(128, 0xFF);
  EXPECT_EQ(keys.pub->PublicDecrypt(out.get(), allOnes.data(), 128, 0), RYL_E_CRYPTO_FAILED);
  EXPECT_EQ(keys.pub->Verify(allOnes.data(), 128, big.data(), 1), RYL_E_CRYPTO_FAILED);

  // A signature over the SHA-512 selector checked as SHA-1.
  Output sig;
  ASSERT_EQ(keys.priv->Sign(sig.get(), big.data(), 5, RYL_DIGEST_SHA512), RYL_OK);
  const Bytes sha512 = Digest(RYL_DIGEST_SHA512, Bytes(big.begin(), big.begin() + 5));
  EXPECT_EQ(keys.pub->VerifyDigest(sig.data().data(), 128, sha512.data(), 20, RYL_DIGEST_SHA1), RYL_E_INVALID_ARG);
  // Blocks that are no DigestInfo, and a known prefix of the wrong length.
  Output raw;
  ASSERT_EQ(keys.priv->PrivateEncrypt(raw.get(), big.data(), 40, 0), RYL_OK);
  EXPECT_EQ(keys.pub->Verify(raw.data().data(), 128, big.data(), 1), RYL_E_UNSUPPORTED_ALGORITHM);
  Bytes sha1Prefixed = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
  sha1Prefixed.resize(36, 0xAB);
  ASSERT_EQ(keys.priv->PrivateEncrypt(raw.get(), sha1Prefixed.data(), 36, 0), RYL_OK);
  EXPECT_EQ(keys.pub->Verify(raw.data().data(), 128, big.data(), 1), RYL_E_BAD_FORMAT);
}

TEST(RsaKeys, HostileComponents) {
  void* object = nullptr;
  const ObjectReceiver receiver = KeyPair::Receiver(&object);
  const uint8_t zero = 0;
  const uint8_t three = 3;
  EXPECT_EQ(CreateRsaPublicKey(&receiver, &three, 0, &three, 1), RYL_E_INVALID_ARG);
  EXPECT_EQ(CreateRsaPublicKey(&receiver, &three, 1, &three, 0), RYL_E_INVALID_ARG);
  EXPECT_EQ(CreateRsaPublicKeyFromWord(&receiver, 65537, &three, 0), RYL_E_INVALID_ARG);
  EXPECT_EQ(CreateRsaPrivateKey(&receiver, &three, 0, &three, 1), RYL_E_INVALID_ARG);
  EXPECT_EQ(CreateRsaPublicKey(&receiver, &three, 1, &zero, 1), RYL_E_INVALID_ARG) << "a zero modulus";
  const Bytes huge(16384 / 8 + 1, 0xFF);
  EXPECT_EQ(CreateRsaPublicKeyFromWord(&receiver, 65537, huge.data(), static_cast<uint32_t>(huge.size())),
            RYL_E_INVALID_ARG);
  const Bytes largest(16384 / 8, 0xFF);
  ASSERT_EQ(CreateRsaPublicKeyFromWord(&receiver, 65537, largest.data(), static_cast<uint32_t>(largest.size())),
            RYL_OK);
  auto* key = static_cast<RylRsaPublicKey*>(object);
  Output out;
  EXPECT_EQ(key->Verify(largest.data(), 2048, largest.data(), 1), RYL_E_CRYPTO_FAILED);
  key->Destroy(nullptr);
  const ObjectReceiver tooNew{receiver.callbacks, &object, 2, {}};
  EXPECT_EQ(CreateRsaPublicKeyFromWord(&tooNew, 3, largest.data(), 256), RYL_E_UNSUPPORTED_VERSION);
}

std::string HexOf(const uint8_t* bytes, size_t length) {
  std::string text;
  char part[3];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(part, sizeof part, "%02x", bytes[i]);
    text += part;
  }
  return text;
}

TEST(Sha256, PublishedVectorsAndEveryPaddingEdge) {
  const struct {
    std::string message;
    const char* digest;
  } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& row : rows) {
    Sha256 hash;
    ASSERT_EQ(hash.Add(row.message.data(), row.message.size()), RYL_OK);
    uint8_t digest[32];
    hash.Finish(digest);
    EXPECT_EQ(HexOf(digest, 32), row.digest) << row.message.size() << " bytes";
  }
  // Every length around the block and padding edges, fed in odd pieces,
  // against libcrypto's SHA-256.
  for (size_t length = 0; length < 300; ++length) {
    std::string message(length, '\0');
    for (size_t i = 0; i < length; ++i) message[i] = static_cast<char>(i * 31 + length);
    Sha256 hash;
    for (size_t at = 0; at < length; at += 7) ASSERT_EQ(hash.Add(message.data() + at, std::min<size_t>(7, length - at)), RYL_OK);
    uint8_t digest[32], reference[32];
    hash.Finish(digest);
    SHA256(reinterpret_cast<const uint8_t*>(message.data()), length, reference);
    ASSERT_EQ(HexOf(digest, 32), HexOf(reference, 32)) << length;
  }
}

}  // namespace
}  // namespace ryl::crypto
