// Blowfish against the published vectors and a round trip; RSA keys from
// raw components: signatures equal to openssl's, verification, and
// encryption both ways.
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"

namespace msvc_host {
namespace {

// Made with `openssl genrsa 1024`; the public exponent is 65537.
const uint8_t kModulus[128] = {
    0xE9, 0x31, 0x7A, 0xB7, 0x3C, 0x34, 0x84, 0xA2, 0x3A, 0x7F, 0xBD, 0x06,
    0x16, 0x4E, 0x7A, 0xDC, 0x82, 0x57, 0x16, 0xF4, 0x02, 0xC5, 0x33, 0x14,
    0x63, 0x27, 0x9D, 0x93, 0xCD, 0x9E, 0xAF, 0x84, 0x55, 0xB4, 0x61, 0x97,
    0xB9, 0x87, 0x79, 0x8A, 0x9E, 0x80, 0xA1, 0x2B, 0xED, 0x64, 0xCD, 0xBE,
    0x38, 0xBE, 0x1C, 0x11, 0x62, 0x97, 0xB1, 0x58, 0xFA, 0x9F, 0x45, 0x28,
    0x32, 0xDE, 0x4A, 0xD8, 0xEA, 0x5F, 0x93, 0x20, 0x85, 0x52, 0x63, 0x9D,
    0xB2, 0xAF, 0xF9, 0x09, 0x55, 0x71, 0x63, 0xF6, 0x46, 0x52, 0x7D, 0x54,
    0x34, 0x24, 0x64, 0x7B, 0xB4, 0x73, 0x05, 0x63, 0xD1, 0xC2, 0xB0, 0x62,
    0x60, 0x98, 0x6F, 0xFD, 0x05, 0x62, 0x54, 0xDE, 0x30, 0x4A, 0x3C, 0xA0,
    0x4A, 0xA5, 0xE7, 0x23, 0x26, 0x9F, 0x5D, 0x0C, 0x94, 0x0F, 0x85, 0x20,
    0x39, 0x3A, 0x30, 0x49, 0x67, 0x5C, 0x1F, 0x81};
const uint8_t kPrivateExponent[128] = {
    0x39, 0xC1, 0xAF, 0x8B, 0x42, 0xB6, 0x1F, 0x43, 0xAF, 0x09, 0x84, 0x5F,
    0xC5, 0x96, 0x9A, 0x87, 0x93, 0x20, 0xCE, 0xE6, 0x90, 0xE9, 0x16, 0xC5,
    0xAD, 0xE9, 0x59, 0xF6, 0x09, 0xAF, 0x8B, 0xF9, 0x52, 0xE0, 0xE2, 0x6B,
    0x19, 0xE0, 0x9C, 0x11, 0xE1, 0x40, 0x2A, 0xAB, 0x1E, 0x99, 0x20, 0xFC,
    0x44, 0x41, 0x91, 0xE2, 0x1C, 0x71, 0x45, 0xD3, 0xAB, 0xFF, 0x56, 0xB9,
    0xA6, 0x1F, 0xB8, 0x99, 0x98, 0x28, 0x2F, 0x19, 0xA9, 0x5D, 0x9F, 0x98,
    0xC6, 0x09, 0x87, 0xFE, 0x6F, 0x33, 0x85, 0xE3, 0x55, 0xCD, 0x19, 0xA0,
    0xFD, 0xE4, 0x9B, 0x86, 0xD7, 0xAF, 0xB7, 0x70, 0xD7, 0x9A, 0x69, 0x8F,
    0x13, 0x65, 0xD8, 0x24, 0xE4, 0xC9, 0xE7, 0xC4, 0xEA, 0xC3, 0x51, 0x16,
    0xEC, 0x75, 0x42, 0x12, 0x1B, 0x33, 0x6C, 0x25, 0xDA, 0xA1, 0x23, 0x98,
    0x31, 0x12, 0x92, 0x13, 0x8E, 0xE5, 0xF2, 0x21};
// `printf abc | openssl dgst -sha256 -sign` with that key.
const uint8_t kSignatureAbc[128] = {
    0x8E, 0xDA, 0x64, 0x0E, 0xD1, 0x96, 0xB6, 0x3F, 0xCA, 0x77, 0x75, 0x73,
    0x5C, 0xF8, 0x08, 0xE2, 0x36, 0xF8, 0x5F, 0x02, 0xB2, 0x41, 0xBE, 0x69,
    0x71, 0x2C, 0xA9, 0x61, 0x1F, 0xA6, 0xB3, 0x34, 0xEA, 0x9A, 0xEF, 0x37,
    0x8A, 0x21, 0x64, 0xDD, 0x3E, 0x1B, 0x55, 0x78, 0x79, 0x47, 0x67, 0x31,
    0x10, 0xAE, 0x29, 0x15, 0x04, 0x68, 0x6F, 0xB2, 0xE0, 0xEF, 0xDA, 0xD9,
    0xD7, 0x57, 0xBC, 0x8D, 0xBC, 0x72, 0xC8, 0x2D, 0xE4, 0xCA, 0x1D, 0xF3,
    0xEE, 0x03, 0xC3, 0x49, 0x81, 0x7E, 0x5E, 0x26, 0x0D, 0x5E, 0x3B, 0x85,
    0xE0, 0x26, 0x0C, 0xBB, 0x96, 0x66, 0x3F, 0xA4, 0x9B, 0xF1, 0x9D, 0x23,
    0x9E, 0x9F, 0x38, 0xE5, 0xB6, 0x1F, 0x9A, 0x25, 0x3A, 0x19, 0x4A, 0x6B,
    0x45, 0xEF, 0x20, 0xFE, 0x75, 0xDA, 0x43, 0xC8, 0x60, 0x6B, 0xF7, 0x13,
    0xA2, 0x1F, 0x9F, 0xF3, 0x08, 0x26, 0xDC, 0xEA};
const uint8_t kPublicExponent[3] = {0x01, 0x00, 0x01};

RylBlowfishCipher* NewCipher(RootFactory* root, bool encrypt, const uint8_t* key, uint32_t keyLength) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_BLOWFISH_CIPHER);
  const ResultCode rc = encrypt ? root->CreateBlowfishEncryptor(&receiver, key, keyLength)
                                : root->CreateBlowfishDecryptor(&receiver, key, keyLength);
  return rc < 0 ? nullptr : static_cast<RylBlowfishCipher*>(object);
}

void CheckBlowfish(RootFactory* root) {
  // The published 4EF99745 6198DD78 for a zero key and block, each 32-bit
  // half stored low byte first.
  static const uint8_t kZero[8] = {};
  static const uint8_t kZeroCipher[8] = {0x45, 0x97, 0xF9, 0x4E, 0x78, 0xDD, 0x98, 0x61};
  RylBlowfishCipher* encryptor = NewCipher(root, true, kZero, 8);
  HOST_CHECK(encryptor != nullptr, "CreateBlowfishEncryptor");
  if (encryptor == nullptr) return;
  HOST_CHECK(encryptor->IsReady() && encryptor->GetBlockSize() == 8, "ready, with 8-byte blocks");
  HeapBuffer cipher(1);
  HOST_CHECK_OK(encryptor->Process(cipher.get(), kZero, 8), "Process one block");
  HOST_CHECK(cipher.length() == 8 && SameBytes(cipher.bytes(), kZeroCipher, 8), "the published vector");
  encryptor->Destroy(&kDefaultHeap);

  static const uint8_t kKey[16] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  static const char kPlain[] = "nineteen bytes long";
  RylBlowfishCipher* forward = NewCipher(root, true, kKey, 16);
  RylBlowfishCipher* backward = NewCipher(root, false, kKey, 16);
  HOST_CHECK(forward != nullptr && backward != nullptr, "a cipher pair with a 16-byte key");
  if (forward != nullptr && backward != nullptr) {
    // Whole blocks through Process, the short rest through ProcessFinal;
    // each resizes its output to what it wrote.
    HeapBuffer body(1);
    HeapBuffer tail(1);
    HOST_CHECK_OK(forward->Process(body.get(), reinterpret_cast<const uint8_t*>(kPlain), 16), "Process two blocks");
    HOST_CHECK_OK(forward->ProcessFinal(tail.get(), reinterpret_cast<const uint8_t*>(kPlain) + 16, 3),
                  "ProcessFinal pads the short last block");
    HOST_CHECK(body.length() == 16 && tail.length() == 8, "19 bytes become three blocks");
    uint8_t sealed[24];
    memcpy(sealed, body.bytes(), 16);
    memcpy(sealed + 16, tail.bytes(), 8);
    HeapBuffer opened(1);
    HOST_CHECK_OK(backward->Process(opened.get(), sealed, 24), "decrypt");
    HOST_CHECK(opened.length() == 24 && SameBytes(opened.bytes(), kPlain, 19) && opened.bytes()[19] == 0 &&
                   opened.bytes()[23] == 0,
               "the text comes back with zero padding");
    HOST_CHECK(forward->ProcessFinal(tail.get(), sealed, 9) < 0, "a last block of 9 bytes is refused");
  }
  if (forward != nullptr) forward->Destroy(&kDefaultHeap);
  if (backward != nullptr) backward->Destroy(&kDefaultHeap);
}

void CheckRsa(RootFactory* root) {
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, RYL_VERSION_RSA_KEY);
  HOST_CHECK_OK(root->CreateRsaPrivateKey(&receiver, kPrivateExponent, 128, kModulus, 128), "CreateRsaPrivateKey");
  RylRsaPrivateKey* privateKey = static_cast<RylRsaPrivateKey*>(object);
  receiver = MakeReceiver(&object, RYL_VERSION_RSA_KEY);
  HOST_CHECK_OK(root->CreateRsaPublicKey(&receiver, kPublicExponent, 3, kModulus, 128), "CreateRsaPublicKey");
  RylRsaPublicKey* publicKey = static_cast<RylRsaPublicKey*>(object);
  receiver = MakeReceiver(&object, RYL_VERSION_RSA_KEY);
  HOST_CHECK_OK(root->CreateRsaPublicKeyFromWord(&receiver, 65537, kModulus, 128), "CreateRsaPublicKeyFromWord");
  RylRsaPublicKey* wordKey = static_cast<RylRsaPublicKey*>(object);
  if (privateKey == nullptr || publicKey == nullptr || wordKey == nullptr) return;

  HOST_CHECK(privateKey->GetSize() == 128 && publicKey->GetSize() == 128, "1024-bit keys are 128 bytes");
  const uint8_t* abc = reinterpret_cast<const uint8_t*>("abc");
  HeapBuffer signature(1);
  HOST_CHECK_OK(privateKey->Sign(signature.get(), abc, 3, RYL_DIGEST_SHA256), "Sign with SHA-256");
  HOST_CHECK(signature.length() == 128 && SameBytes(signature.bytes(), kSignatureAbc, 128),
             "the signature is the one openssl made");
  HOST_CHECK_OK(publicKey->Verify(kSignatureAbc, 128, abc, 3), "Verify openssl's signature");
  HOST_CHECK(wordKey->Verify(kSignatureAbc, 128, reinterpret_cast<const uint8_t*>("abd"), 3) < 0,
             "a signature over other data is refused");

  static const char kSecret[] = "a short secret";
  HeapBuffer sealed(1);
  HOST_CHECK_OK(publicKey->Encrypt(sealed.get(), reinterpret_cast<const uint8_t*>(kSecret), 14, 0), "Encrypt");
  HeapBuffer opened(1);
  HOST_CHECK_OK(privateKey->Decrypt(opened.get(), sealed.bytes(), sealed.length(), 0), "Decrypt");
  HOST_CHECK(SameNarrow(opened.narrow(), opened.length(), kSecret), "encryption round-trips");

  privateKey->Destroy(&kDefaultHeap);
  publicKey->Destroy(&kDefaultHeap);
  wordKey->Destroy(&kDefaultHeap);
}

}  // namespace

void CheckCrypto(RootFactory* root) {
  CheckBlowfish(root);
  CheckRsa(root);
}

}  // namespace msvc_host
