// Throughput of the newer ZIP methods' hot paths against their libraries
// called directly, in one process, over the same 64 MiB.
//
//   aes:      RylWinZipAesCipher as AesDecryptingStream drives it (Authenticate
//             then Transform, 256 KiB at a time: the reader's copy size)
//             against libcrypto doing the same work: HMAC_Update and
//             EVP aes-256-ctr over the same chunks. Goal: at least 0.90.
//   aes-ctr:  Transform alone against EVP aes-256-ctr alone, and
//   aes-mac:  Authenticate alone against HMAC_Update alone: where the time
//             goes (no goal).
//   zstd:     codec::ZstdStream decoding from a MemoryStream with the reader's
//             128 KiB input buffer, read 256 KiB at a time into a buffer that
//             is thrown away, against ZSTD_decompressStream fed the same
//             128 KiB input pieces with 256 KiB of room. Goal: at least 0.90.
//
// Each figure is the median of kRuns runs, the two sides taking turns; the
// ratio is the library's throughput over the peer's. Exits 1 when a goal is
// missed or a side's result is wrong.
//
// Built in the Windows configuration with -DRYL_BUILD_BENCH=ON and run under
// Wine (cmake/wine-run.sh bench/zip_methods_bench.exe); on the Linux host,
// bench/zip_methods_native.sh builds the same file without the portable
// build's sanitizers and runs it.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench_data.h"
#include "codec/zstd_stream.h"
#include "streams/memory_stream.h"
#include "sys/codec/winzip_aes_cipher.h"
#include "sys/codec/zstd_context.h"

namespace {

using Bytes = std::vector<uint8_t>;
using ryl::sys::RylWinZipAesCipher;

constexpr int kRuns = 7;
constexpr size_t kDataBytes = size_t{64} << 20;
constexpr size_t kAesChunk = 256 << 10;
constexpr uint32_t kZstdInput = 128 << 10;
constexpr uint32_t kZstdRead = 256 << 10;
constexpr double kGoal = 0.90;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const size_t middle = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2.0;
}

// Median times of ours() and theirs(), run in turns; false when either
// reports failure.
template <typename Ours, typename Theirs>
bool Medians(Ours ours, Theirs theirs, double* ourTime, double* theirTime) {
  std::vector<double> a;
  std::vector<double> b;
  for (int run = 0; run < kRuns; ++run) {
    double start = Now();
    if (!ours()) return false;
    a.push_back(Now() - start);
    start = Now();
    if (!theirs()) return false;
    b.push_back(Now() - start);
  }
  *ourTime = Median(a);
  *theirTime = Median(b);
  return true;
}

int g_failures = 0;
// Keeps what the sides read from being optimised away.
volatile uint64_t g_sink = 0;

void Report(const char* name, size_t bytes, double ours, double theirs, const char* peer, double goal) {
  const double mb = static_cast<double>(bytes) / 1e6;
  const double ratio = theirs / ours;
  std::printf("%-8s ours %8.1f MB/s   %-22s %8.1f MB/s   ratio %.3f", name, mb / ours, peer, mb / theirs, ratio);
  if (goal > 0) {
    const bool met = ratio >= goal;
    std::printf("   goal >= %.2f %s\n", goal, met ? "met" : "MISSED");
    if (!met) ++g_failures;
  } else {
    std::printf("   (no goal)\n");
  }
}

void Fail(const char* what) {
  std::printf("%s\n", what);
  ++g_failures;
}

// Runs of words alternating with runs of random bytes (bench_data.h).
Bytes MakeData(size_t size, uint32_t seed) { return ryl::bench::MakeMixedData(size, seed); }

// ---- AES ----------------------------------------------------------------

constexpr uint8_t kStrength = 3;  // AES-256
const uint8_t kPassword[] = "bench password";
const uint8_t kSalt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// The keys both sides use: what the cipher derives, worked out again.
struct AesKeys {
  uint8_t cipher[32];
  uint8_t mac[32];
};

AesKeys DeriveKeys() {
  uint8_t derived[66];
  PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(kPassword), sizeof kPassword - 1, kSalt, 16, 1000,
                         sizeof derived, derived);
  AesKeys keys;
  std::memcpy(keys.cipher, derived, 32);
  std::memcpy(keys.mac, derived + 32, 32);
  return keys;
}

bool InitCipher(RylWinZipAesCipher* cipher) {
  uint8_t verifier[RylWinZipAesCipher::kVerifierSize];
  return cipher->Initialize(kStrength, kPassword, sizeof kPassword - 1, kSalt, verifier) == RYL_OK;
}

// The first bytes of our key stream against AES-ECB of little-endian
// counters from 1, and our code against HMAC-SHA1 over the same bytes:
// both sides of the comparison do the same work.
bool AesSidesAgree(const AesKeys& keys, const Bytes& data) {
  RylWinZipAesCipher cipher;
  if (!InitCipher(&cipher)) return false;
  Bytes ours(data.begin(), data.begin() + 8192);
  cipher.Authenticate(ours.data(), ours.size());
  cipher.Transform(ours.data(), ours.size());
  uint8_t code[RylWinZipAesCipher::kMacSize];
  if (cipher.FinishMac(code) != RYL_OK) return false;

  uint8_t counters[8192] = {};
  for (size_t block = 0; block < sizeof counters / 16; ++block) {
    uint64_t value = block + 1;
    for (int i = 0; i < 8; ++i, value >>= 8) counters[block * 16 + i] = static_cast<uint8_t>(value);
  }
  uint8_t stream[8192 + 16];
  int produced = 0;
  EVP_CIPHER_CTX* ecb = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ecb, EVP_aes_256_ecb(), nullptr, keys.cipher, nullptr);
  EVP_CIPHER_CTX_set_padding(ecb, 0);
  EVP_EncryptUpdate(ecb, stream, &produced, counters, sizeof counters);
  EVP_CIPHER_CTX_free(ecb);
  for (size_t i = 0; i < ours.size(); ++i) {
    if (static_cast<uint8_t>(ours[i] ^ stream[i]) != data[i]) return false;
  }
  uint8_t full[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  HMAC(EVP_sha1(), keys.mac, 32, data.data(), 8192, full, &size);
  return std::memcmp(full, code, sizeof code) == 0;
}

// libcrypto's counter mode steps a big-endian counter where WinZip's is
// little-endian: the key stream differs past the first block, the work per
// byte does not.
EVP_CIPHER_CTX* NewCtr(const AesKeys& keys) {
  uint8_t iv[16] = {1};
  EVP_CIPHER_CTX* ctr = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ctr, EVP_aes_256_ctr(), nullptr, keys.cipher, iv);
  return ctr;
}

void BenchAes() {
  const AesKeys keys = DeriveKeys();
  const Bytes data = MakeData(kDataBytes, 7);
  if (!AesSidesAgree(keys, data)) {
    Fail("aes: the cipher's key stream or code differs from libcrypto's");
    return;
  }
  Bytes work(data);
  volatile uint8_t sink = 0;
  double ours = 0;
  double theirs = 0;

  // The reader's order: the code covers the encrypted bytes, then they are
  // decrypted in place.
  if (!Medians(
          [&] {
            RylWinZipAesCipher cipher;
            if (!InitCipher(&cipher)) return false;
            for (size_t at = 0; at < work.size(); at += kAesChunk) {
              cipher.Authenticate(work.data() + at, kAesChunk);
              cipher.Transform(work.data() + at, kAesChunk);
            }
            uint8_t code[RylWinZipAesCipher::kMacSize];
            if (cipher.FinishMac(code) != RYL_OK) return false;
            sink = code[0];
            return true;
          },
          [&] {
            EVP_CIPHER_CTX* ctr = NewCtr(keys);
            HMAC_CTX* mac = HMAC_CTX_new();
            HMAC_Init_ex(mac, keys.mac, 32, EVP_sha1(), nullptr);
            int produced = 0;
            for (size_t at = 0; at < work.size(); at += kAesChunk) {
              HMAC_Update(mac, work.data() + at, kAesChunk);
              EVP_EncryptUpdate(ctr, work.data() + at, &produced, work.data() + at, kAesChunk);
            }
            uint8_t code[EVP_MAX_MD_SIZE];
            unsigned int size = 0;
            HMAC_Final(mac, code, &size);
            HMAC_CTX_free(mac);
            EVP_CIPHER_CTX_free(ctr);
            sink = code[0];
            return true;
          },
          &ours, &theirs)) {
    Fail("aes: a side failed");
    return;
  }
  Report("aes", work.size(), ours, theirs, "HMAC-SHA1+aes-256-ctr", kGoal);

  (void)Medians(
      [&] {
        RylWinZipAesCipher cipher;
        if (!InitCipher(&cipher)) return false;
        for (size_t at = 0; at < work.size(); at += kAesChunk) cipher.Transform(work.data() + at, kAesChunk);
        return true;
      },
      [&] {
        EVP_CIPHER_CTX* ctr = NewCtr(keys);
        int produced = 0;
        for (size_t at = 0; at < work.size(); at += kAesChunk) {
          EVP_EncryptUpdate(ctr, work.data() + at, &produced, work.data() + at, kAesChunk);
        }
        EVP_CIPHER_CTX_free(ctr);
        return true;
      },
      &ours, &theirs);
  Report("aes-ctr", work.size(), ours, theirs, "aes-256-ctr", 0);

  (void)Medians(
      [&] {
        RylWinZipAesCipher cipher;
        if (!InitCipher(&cipher)) return false;
        for (size_t at = 0; at < work.size(); at += kAesChunk) cipher.Authenticate(work.data() + at, kAesChunk);
        uint8_t code[RylWinZipAesCipher::kMacSize];
        return cipher.FinishMac(code) == RYL_OK;
      },
      [&] {
        HMAC_CTX* mac = HMAC_CTX_new();
        HMAC_Init_ex(mac, keys.mac, 32, EVP_sha1(), nullptr);
        for (size_t at = 0; at < work.size(); at += kAesChunk) HMAC_Update(mac, work.data() + at, kAesChunk);
        uint8_t code[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        HMAC_Final(mac, code, &size);
        HMAC_CTX_free(mac);
        return true;
      },
      &ours, &theirs);
  Report("aes-mac", work.size(), ours, theirs, "HMAC-SHA1", 0);
  (void)sink;
}

// ---- zstd ---------------------------------------------------------------

// Compressed the way the ZIP writer does it: through the stream at the
// default level, no size announced.
Bytes Compress(const Bytes& data) {
  ryl::streams::MemoryStream target;
  ryl::codec::ZstdStream stream;
  if (stream.Initialize(&target, true, ryl::codec::ZstdStream::kArchiveBufferSize,
                        ryl::sys::RylZstdContext::kDefaultLevel) != RYL_OK) {
    return {};
  }
  for (size_t at = 0; at < data.size(); at += 1 << 20) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(1 << 20, data.size() - at));
    if (stream.Write(data.data() + at, n, nullptr) != RYL_OK) return {};
  }
  if (stream.Close() != RYL_OK) return {};
  return Bytes(target.data(), target.data() + target.size());
}

void BenchZstd() {
  const Bytes data = MakeData(kDataBytes, 8);
  const Bytes packed = Compress(data);
  if (packed.empty()) {
    Fail("zstd: compressing the data failed");
    return;
  }
  Bytes out(kZstdRead);
  size_t ourTotal = 0;
  size_t theirTotal = 0;
  uint64_t ourSum = 0;
  uint64_t theirSum = 0;
  double ours = 0;
  double theirs = 0;
  const bool ok = Medians(
      [&] {
        ryl::streams::MemoryStream source(const_cast<uint8_t*>(packed.data()), static_cast<uint32_t>(packed.size()),
                                          static_cast<uint32_t>(packed.size()), ryl::streams::MemoryStream::kReadOnly);
        ryl::codec::ZstdStream stream;
        if (stream.Initialize(&source, false, kZstdInput, 0) != RYL_OK) return false;
        ourTotal = 0;
        ourSum = 0;
        for (;;) {
          uint32_t done = 0;
          const ResultCode rc = stream.Read(out.data(), kZstdRead, &done);
          if (rc == RYL_E_END_OF_DATA) break;
          if (rc != RYL_OK) return false;
          ourTotal += done;
          ourSum += out[done - 1];
        }
        return true;
      },
      [&] {
        ZSTD_DCtx* dctx = ZSTD_createDCtx();
        ZSTD_inBuffer in = {packed.data(), 0, 0};
        size_t given = 0;
        size_t hint = 1;
        theirTotal = 0;
        theirSum = 0;
        for (;;) {
          if (in.pos == in.size && given < packed.size()) {
            const size_t piece = std::min<size_t>(kZstdInput, packed.size() - given);
            in = {packed.data() + given, piece, 0};
            given += piece;
          }
          ZSTD_outBuffer o = {out.data(), out.size(), 0};
          hint = ZSTD_decompressStream(dctx, &o, &in);
          if (ZSTD_isError(hint)) break;
          theirTotal += o.pos;
          if (o.pos != 0) theirSum += out[o.pos - 1];
          // All input taken and room left over: everything is out.
          if (given == packed.size() && in.pos == in.size && o.pos < o.size) break;
        }
        ZSTD_freeDCtx(dctx);
        // The length is checked below: after a read that filled the room
        // with the frame's last byte, libzstd answers the next call with
        // the following frame's header size, not 0.
        return !ZSTD_isError(hint);
      },
      &ours, &theirs);
  if (!ok || ourTotal != data.size() || theirTotal != data.size()) {
    Fail("zstd: a side failed or produced the wrong length");
    return;
  }
  g_sink = ourSum + theirSum;
  std::printf("zstd     %zu bytes packed to %zu (level %d)\n", data.size(), packed.size(),
              ryl::sys::RylZstdContext::kDefaultLevel);
  Report("zstd", data.size(), ours, theirs, "ZSTD_decompressStream", kGoal);
}

}  // namespace

int main() {
  std::printf("%s, zstd %s, %d runs each, medians\n", OpenSSL_version(OPENSSL_VERSION), ZSTD_versionString(), kRuns);
  BenchAes();
  BenchZstd();
  return g_failures == 0 ? 0 : 1;
}
