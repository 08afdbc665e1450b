// Blowfish against the published vectors and a round trip; RSA keys from
// raw components: signatures equal to openssl's, verification, and
// encryption both ways.
#include "../support/rsa_test_key.h"
#include "checks.h"
#include "host_objects.h"
#include "host_runtime.h"

namespace msvc_host {
namespace {

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
