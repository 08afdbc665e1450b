// RSA-2048 and Blowfish through the DLL against libcrypto called directly,
// in one process.
//
//   RSA      signatures and verifications per second: SignDigest and
//            VerifyDigest (SHA-256 digests) against RSA_private_encrypt and
//            RSA_public_decrypt over the same DigestInfo blocks. Both sides
//            hold the same key as the module's interface takes it: modulus
//            and private exponent, no CRT factors. Goal: at least 0.95.
//   Blowfish MB/s of the module's own cipher (Process over 16 MiB at a
//            time) against BF_ecb_encrypt block by block, encrypting the
//            same 64 MiB; the module's output is checked against
//            libcrypto's with each half's bytes reversed. Goal: at least 1.0.
//
// Run under Wine with a persistent server (`wineserver -p`), from the build
// directory: cmake/wine-run.sh bench/crypto_bench.exe
#include <windows.h>

#include <openssl/blowfish.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench_host.h"
#include "bench_timing.h"

namespace {

constexpr int kRuns = 5;
constexpr int kSignatures = 200;
constexpr int kVerifications = 5000;
constexpr size_t kBlowfishBytes = size_t{64} << 20;
constexpr size_t kChunk = size_t{16} << 20;

// The DER prefix of a SHA-256 DigestInfo.
const uint8_t kSha256Prefix[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                 0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};

std::vector<uint8_t> Bytes(const BIGNUM* number) {
  std::vector<uint8_t> bytes(static_cast<size_t>(BN_num_bytes(number)));
  BN_bn2bin(number, bytes.data());
  return bytes;
}

template <typename Body>
double Best(Body body) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    const double start = ryl::bench::Now();
    if (!body()) return -1;
    times.push_back(ryl::bench::Now() - start);
  }
  return *std::min_element(times.begin(), times.end());
}

int g_failures = 0;

void Report(const char* what, double moduleRate, double peerRate, double goal, const char* unit) {
  const double ratio = moduleRate / peerRate;
  std::printf("%-22s module %10.1f %s  libcrypto %10.1f %s  ratio %.2f (goal >= %.2f)%s\n", what, moduleRate, unit,
              peerRate, unit, ratio, goal, ratio >= goal ? "" : "  BELOW GOAL");
  if (!(ratio >= goal)) ++g_failures;
}

void BenchRsa(RootFactory* root) {
  RSA* generated = RSA_new();
  BIGNUM* e = BN_new();
  BN_set_word(e, 65537);
  RSA_generate_key_ex(generated, 2048, e, nullptr);
  const BIGNUM* n = nullptr;
  const BIGNUM* d = nullptr;
  RSA_get0_key(generated, &n, nullptr, &d);
  const std::vector<uint8_t> modulus = Bytes(n);
  const std::vector<uint8_t> privateExponent = Bytes(d);
  // The peer's key: modulus and exponents only, as the module's key.
  RSA* peer = RSA_new();
  RSA_set0_key(peer, BN_dup(n), BN_dup(e), BN_dup(d));

  RylRsaPrivateKey* privateKey = nullptr;
  RylRsaPublicKey* publicKey = nullptr;
  const ObjectReceiver privateReceiver = ryl::bench::StoreInto(&privateKey);
  const ObjectReceiver publicReceiver = ryl::bench::StoreInto(&publicKey);
  if (root->CreateRsaPrivateKey(&privateReceiver, privateExponent.data(), static_cast<uint32_t>(privateExponent.size()),
                                modulus.data(), static_cast<uint32_t>(modulus.size())) < 0 ||
      root->CreateRsaPublicKeyFromWord(&publicReceiver, 65537, modulus.data(), static_cast<uint32_t>(modulus.size())) <
          0) {
    std::printf("RSA: the module cannot make the keys\n");
    ++g_failures;
    return;
  }
  uint8_t digest[32];
  for (int i = 0; i < 32; ++i) digest[i] = static_cast<uint8_t>(i * 7 + 1);
  std::vector<uint8_t> digestInfo(kSha256Prefix, kSha256Prefix + sizeof kSha256Prefix);
  digestInfo.insert(digestInfo.end(), digest, digest + 32);

  ryl::bench::ByteOutput signature;
  std::vector<uint8_t> peerSignature(256);
  std::vector<uint8_t> recovered(256);
  const double moduleSign = Best([&] {
    for (int i = 0; i < kSignatures; ++i) {
      if (privateKey->SignDigest(&signature.record, digest, 32, RYL_DIGEST_SHA256) < 0) return false;
    }
    return true;
  });
  const double peerSign = Best([&] {
    for (int i = 0; i < kSignatures; ++i) {
      if (RSA_private_encrypt(static_cast<int>(digestInfo.size()), digestInfo.data(), peerSignature.data(), peer,
                              RSA_PKCS1_PADDING) != 256) {
        return false;
      }
    }
    return true;
  });
  // PKCS #1 v1.5 signatures are deterministic: both sides must agree.
  if (signature.record.view.length != 256 || std::memcmp(signature.storage.data(), peerSignature.data(), 256) != 0) {
    std::printf("RSA: the module's signature differs from libcrypto's\n");
    ++g_failures;
  }
  const double moduleVerify = Best([&] {
    for (int i = 0; i < kVerifications; ++i) {
      if (publicKey->VerifyDigest(peerSignature.data(), 256, digest, 32, RYL_DIGEST_SHA256) != RYL_OK) return false;
    }
    return true;
  });
  const double peerVerify = Best([&] {
    for (int i = 0; i < kVerifications; ++i) {
      const int n = RSA_public_decrypt(256, peerSignature.data(), recovered.data(), peer, RSA_PKCS1_PADDING);
      if (n != static_cast<int>(digestInfo.size()) || std::memcmp(recovered.data(), digestInfo.data(), n) != 0) {
        return false;
      }
    }
    return true;
  });
  if (moduleSign < 0 || peerSign < 0 || moduleVerify < 0 || peerVerify < 0) {
    std::printf("RSA: a side failed\n");
    ++g_failures;
  } else {
    Report("RSA-2048 sign", kSignatures / moduleSign, kSignatures / peerSign, 0.95, "/s ");
    Report("RSA-2048 verify", kVerifications / moduleVerify, kVerifications / peerVerify, 0.95, "/s ");
  }
  privateKey->Destroy(nullptr);
  publicKey->Destroy(nullptr);
  RSA_free(peer);
  RSA_free(generated);
  BN_free(e);
}

void BenchBlowfish(RootFactory* root) {
  uint8_t key[16];
  for (int i = 0; i < 16; ++i) key[i] = static_cast<uint8_t>(0x30 + i * 11);
  RylBlowfishCipher* cipher = nullptr;
  const ObjectReceiver receiver = ryl::bench::StoreInto(&cipher);
  if (root->CreateBlowfishEncryptor(&receiver, key, sizeof key) < 0 || cipher == nullptr) {
    std::printf("Blowfish: the module cannot make the cipher\n");
    ++g_failures;
    return;
  }
  BF_KEY peerKey;
  BF_set_key(&peerKey, sizeof key, key);
  std::vector<uint8_t> plain(kBlowfishBytes);
  std::mt19937 random(99);
  for (uint8_t& byte : plain) byte = static_cast<uint8_t>(random());
  ryl::bench::ByteOutput out;
  std::vector<uint8_t> moduleText(kBlowfishBytes);
  std::vector<uint8_t> peerText(kBlowfishBytes);
  const double module = Best([&] {
    for (size_t at = 0; at < kBlowfishBytes; at += kChunk) {
      if (cipher->Process(&out.record, plain.data() + at, static_cast<uint32_t>(kChunk)) < 0) return false;
      std::memcpy(moduleText.data() + at, out.storage.data(), kChunk);
    }
    return true;
  });
  const double peer = Best([&] {
    for (size_t at = 0; at < kBlowfishBytes; at += 8) {
      BF_ecb_encrypt(plain.data() + at, peerText.data() + at, &peerKey, BF_ENCRYPT);
    }
    return true;
  });
  // libcrypto reads each half big-endian, the module little-endian: compare
  // on a sample with the halves' bytes reversed on both ends.
  bool same = true;
  for (size_t at = 0; at < kBlowfishBytes && same; at += 8 * 4099) {
    uint8_t swapped[8];
    uint8_t expected[8];
    for (int i = 0; i < 8; ++i) swapped[i] = plain[at + (i & ~3) + 3 - (i & 3)];
    BF_ecb_encrypt(swapped, expected, &peerKey, BF_ENCRYPT);
    for (int i = 0; i < 8; ++i) same = same && moduleText[at + i] == expected[(i & ~3) + 3 - (i & 3)];
  }
  if (!same) {
    std::printf("Blowfish: the module's blocks differ from libcrypto's\n");
    ++g_failures;
  }
  const double megabytes = static_cast<double>(kBlowfishBytes) / (1 << 20);
  if (module < 0 || peer < 0) {
    std::printf("Blowfish: a side failed\n");
    ++g_failures;
  } else {
    Report("Blowfish encrypt", megabytes / module, megabytes / peer, 1.0, "MB/s");
  }
  cipher->Destroy(nullptr);
}

}  // namespace

int main() {
  RootFactory* root = ryl::bench::StartRoot();
  if (root == nullptr) return 1;
  std::printf("best of %d runs each\n", kRuns);
  BenchRsa(root);
  BenchBlowfish(root);
  root->Release();
  RylModuleFinish();
  return g_failures == 0 ? 0 : 2;
}
