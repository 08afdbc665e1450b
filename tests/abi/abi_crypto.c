/* The Blowfish ciphers (root slots 8 and 9), the RSA keys (10 to 12) and the
 * regular expressions (13 and 14) driven the way an MSVC-built host drives
 * them: every slot by number through AbiCall, which checks that the callee
 * removed exactly its argument words. Expected bytes come from published
 * vectors or from a key made once with the openssl command-line tool, never
 * from the library itself, so that the two cannot drift apart together. */
#include <string.h>

#include "../support/rsa_test_key.h"
#include "abi_codes.h"
#include "abi_host.h"
#include "abi_text.h"

#define E_REGEX_FAILED 0xE0010057u
#define W_SIGNATURE_MISMATCH 0xA00100A7u

typedef struct {
  const AbiAllocatorTable* callbacks;
  void* context;
} AbiAllocatorRecord;

/* One capture as the library fills it; the pointers are into the subject. */
typedef struct {
  uint8_t matched;
  uint8_t padding[3];
  const void* begin;
  const void* end;
} AbiCapture;
_Static_assert(sizeof(AbiCapture) == 12, "a capture entry is 12 bytes on a 32-bit host");

typedef struct {
  AbiCapture* first;
  AbiCapture* last;
  AbiCapture* storageEnd;
} AbiCaptures;

enum {
  kRootBlowfishEncryptor = 8,
  kRootBlowfishDecryptor = 9,
  kRootRsaPublic = 10,
  kRootRsaPublicFromWord = 11,
  kRootRsaPrivate = 12,
  kRootRegexWide = 13,
  kRootRegexNarrow = 14
};
enum { kTypeBlowfish = 10, kTypeRsaPublic = 11, kTypeRsaPrivate = 12, kTypeRegex8 = 13, kTypeRegex16 = 14 };
enum { kQuery = 0, kDestroy = 1 };
enum { kBfProcess = 2, kBfProcessFinal = 3, kBfIsReady = 4, kBfGetBlockSize = 5 };
enum { kRsaGetSize = 2 };
enum { kPubEncrypt = 3, kPubVerify = 4, kPubVerifyDigest = 5, kPubDecodeSignature = 6, kPubDecrypt = 7 };
enum { kPrivDecrypt = 3, kPrivSign = 4, kPrivSignDigest = 5, kPrivEncrypt = 6 };
enum { kReCompile = 2, kReMatch = 3, kReGetCaptureCount = 4 };
enum { kWholeMatch = 1, kCaseless = 2 };
enum { kSha1 = 0, kSha256 = 1, kSha512 = 2 };

static const AbiAllocatorRecord kDefaultHeap = {NULL, NULL};

/* The published SHA-256 of "abc". */
static const uint8_t kSha256Abc[32] = {0xBA, 0x78, 0x16, 0xBF, 0x8F, 0x01, 0xCF, 0xEA, 0x41, 0x41, 0x40,
                                       0xDE, 0x5D, 0xAE, 0x22, 0x23, 0xB0, 0x03, 0x61, 0xA3, 0x96, 0x17,
                                       0x7A, 0x9C, 0xB4, 0x10, 0xFF, 0x61, 0xF2, 0x00, 0x15, 0xAD};

static void OutputInit(AbiOutput* out) {
  out->callbacks = &kAbiHeapBuffer;
  out->context = NULL;
  out->view.data = NULL;
  out->view.length = 0;
}

static void OutputFree(AbiOutput* out) {
  if (out->view.data != NULL) HeapFree(GetProcessHeap(), 0, out->view.data);
  OutputInit(out);
}

static int OutputIs(const AbiOutput* out, const void* want, uint32_t length) {
  return out->view.length == length && (length == 0 || memcmp(out->view.data, want, length) == 0);
}

/* Calls a factory slot whose first word is the receiver; the object, or
 * NULL with the result in *result. */
static void* Create(void* root, unsigned slot, uint32_t version, const uint32_t* rest, uint32_t restCount,
                    uint32_t* result, const char* what) {
  void* object = NULL;
  AbiReceiver receiver = {&kAbiStore, &object, version, NULL, NULL};
  uint32_t words[6] = {W(&receiver)};
  for (uint32_t i = 0; i < restCount; ++i) words[i + 1] = rest[i];
  *result = AbiCall(root, slot, words, restCount + 1, what);
  return object;
}

static void Destroy(void* object) {
  const uint32_t words[1] = {W(&kDefaultHeap)};
  AbiCall(object, kDestroy, words, 1, "Destroy");
}

/* Query for type at version 1; the pointer returned and the first word of
 * whatever the slot wrote into out (pre-filled with 0xAA bytes). */
static uint32_t Query(void* object, uint32_t type, uint32_t* out) {
  *out = 0xAAAAAAAAu;
  const uint32_t words[3] = {type, 1, W(out)};
  return AbiCall(object, kQuery, words, 3, "Query");
}

static uint32_t CallData(void* object, unsigned slot, AbiOutput* out, const void* data, uint32_t length,
                         const char* what) {
  const uint32_t words[3] = {W(out), W(data), length};
  return AbiCall(object, slot, words, 3, what);
}

static uint32_t CallData4(void* object, unsigned slot, AbiOutput* out, const void* data, uint32_t length,
                          uint32_t extra, const char* what) {
  const uint32_t words[4] = {W(out), W(data), length, extra};
  return AbiCall(object, slot, words, 4, what);
}

static void* NewBlowfish(void* root, unsigned slot, const uint8_t* key, uint32_t keyLength) {
  uint32_t result = 0;
  const uint32_t rest[2] = {W(key), keyLength};
  void* cipher = Create(root, slot, 1, rest, 2, &result, "CreateBlowfish");
  ABI_CHECK(result == 0 && cipher != NULL, "root slot %u delivers a cipher for a %u-byte key (0x%08X)", slot,
            keyLength, result);
  return cipher;
}

/* One block through a new cipher made from key; the 8 bytes out, or
 * 0xEE bytes when anything failed. */
static void OneBlock(void* root, unsigned slot, const uint8_t* key, uint32_t keyLength, const uint8_t* in,
                     uint8_t* got) {
  memset(got, 0xEE, 8);
  void* cipher = NewBlowfish(root, slot, key, keyLength);
  if (cipher == NULL) return;
  AbiOutput out;
  OutputInit(&out);
  ABI_CHECK(CallData(cipher, kBfProcess, &out, in, 8, "Process") == 0 && out.view.length == 8,
            "Process of one block gives one block (%u bytes)", out.view.length);
  if (out.view.length == 8) memcpy(got, out.view.data, 8);
  OutputFree(&out);
  Destroy(cipher);
}

static void CheckBlowfish(void* root) {
  static const uint8_t kZero[8] = {0};
  static const uint8_t kOnes[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  /* The published 4EF99745 6198DD78 and 51866FD5 B85ECB8A, each 32-bit
   * half stored low byte first. */
  static const uint8_t kZeroCipher[8] = {0x45, 0x97, 0xF9, 0x4E, 0x78, 0xDD, 0x98, 0x61};
  static const uint8_t kOnesCipher[8] = {0xD5, 0x6F, 0x86, 0x51, 0x8A, 0xCB, 0x5E, 0xB8};
  uint8_t got[8];

  OneBlock(root, kRootBlowfishEncryptor, kZero, 8, kZero, got);
  ABI_CHECK(memcmp(got, kZeroCipher, 8) == 0, "zero key, zero block: the published vector");
  OneBlock(root, kRootBlowfishDecryptor, kZero, 8, kZeroCipher, got);
  ABI_CHECK(memcmp(got, kZero, 8) == 0, "the decryptor undoes the published vector");
  OneBlock(root, kRootBlowfishEncryptor, kOnes, 8, kOnes, got);
  ABI_CHECK(memcmp(got, kOnesCipher, 8) == 0, "all-ones key and block: the published vector");

  uint32_t result = 0;
  void* none = NULL;
  uint32_t rest[2] = {W(kOnes), 3};
  none = Create(root, kRootBlowfishEncryptor, 1, rest, 2, &result, "CreateBlowfishEncryptor");
  ABI_CHECK(result == E_UNSUPPORTED_VERSION && none == NULL, "a 3-byte key is refused (0x%08X)", result);
  static const uint8_t kLongKey[57] = {1};
  rest[0] = W(kLongKey);
  rest[1] = 57;
  none = Create(root, kRootBlowfishDecryptor, 1, rest, 2, &result, "CreateBlowfishDecryptor");
  ABI_CHECK(result == E_UNSUPPORTED_VERSION && none == NULL, "a 57-byte key is refused (0x%08X)", result);
  rest[1] = 56;
  none = Create(root, kRootBlowfishDecryptor, 1, rest, 2, &result, "CreateBlowfishDecryptor");
  ABI_CHECK(result == 0 && none != NULL, "a 56-byte key is taken (0x%08X)", result);
  if (none != NULL) Destroy(none);
  rest[1] = 8;
  none = Create(root, kRootBlowfishEncryptor, 2, rest, 2, &result, "CreateBlowfishEncryptor");
  ABI_CHECK(result == E_UNSUPPORTED_VERSION && none == NULL, "receiver version 2 is refused (0x%08X)", result);

  static const uint8_t kKey[16] = "0123456789abcdef";
  static const uint8_t kPlain[24] = "twenty-four bytes here!";
  void* enc = NewBlowfish(root, kRootBlowfishEncryptor, kKey, 16);
  void* dec = NewBlowfish(root, kRootBlowfishDecryptor, kKey, 16);
  if (enc == NULL || dec == NULL) {
    if (enc != NULL) Destroy(enc);
    if (dec != NULL) Destroy(dec);
    return;
  }
  uint32_t highest = 0;
  ABI_CHECK(Query(enc, kTypeBlowfish, &highest) == W(enc) && highest >= 1, "type 10 is the cipher (highest %u)",
            highest);
  ABI_CHECK(Query(enc, kTypeRsaPublic, &highest) == 0, "the cipher is not an RSA key");
  ABI_CHECK((AbiCall(enc, kBfIsReady, NULL, 0, "IsReady") & 0xFF) == 1, "a keyed cipher is ready");
  ABI_CHECK(AbiCall(dec, kBfGetBlockSize, NULL, 0, "GetBlockSize") == 8, "the block is 8 bytes");

  AbiOutput cipherText, plain;
  OutputInit(&cipherText);
  OutputInit(&plain);
  ABI_CHECK(CallData(enc, kBfProcess, &cipherText, kPlain, 24, "Process") == 0 && cipherText.view.length == 24,
            "three blocks encrypt to three blocks");
  ABI_CHECK(cipherText.view.length == 24 && memcmp(cipherText.view.data, kPlain, 24) != 0,
            "the ciphertext is not the plaintext");
  ABI_CHECK(CallData(dec, kBfProcess, &plain, cipherText.view.data, cipherText.view.length, "Process") == 0 &&
                OutputIs(&plain, kPlain, 24),
            "decryption gives the plaintext back");
  OutputFree(&cipherText);
  OutputFree(&plain);

  ABI_CHECK(CallData(enc, kBfProcess, &cipherText, kPlain, 7, "Process") == E_INVALID_ARG,
            "Process of a partial block is refused");
  ABI_CHECK(CallData(enc, kBfProcessFinal, &cipherText, kPlain, 8, "ProcessFinal") == E_INVALID_ARG,
            "ProcessFinal of a whole block is refused");
  ABI_CHECK(CallData(enc, kBfProcessFinal, &cipherText, kPlain, 0, "ProcessFinal") == 0 &&
                cipherText.view.length == 0,
            "ProcessFinal of nothing writes nothing");
  OutputFree(&cipherText);

  static const uint8_t kPadded[8] = {'a', 'b', 'c', 0, 0, 0, 0, 0};
  ABI_CHECK(CallData(enc, kBfProcessFinal, &cipherText, "abc", 3, "ProcessFinal") == 0 &&
                cipherText.view.length == 8,
            "ProcessFinal of 3 bytes gives one block (%u bytes)", cipherText.view.length);
  if (cipherText.view.length == 8) {
    ABI_CHECK(CallData(dec, kBfProcess, &plain, cipherText.view.data, 8, "Process") == 0 &&
                  OutputIs(&plain, kPadded, 8),
              "the final block decrypts to the 3 bytes and 5 zeros");
  }
  OutputFree(&cipherText);
  OutputFree(&plain);
  Destroy(enc);
  Destroy(dec);
}

static void* NewRsa(void* root, unsigned slot, const uint32_t* rest, const char* what) {
  uint32_t result = 0;
  void* key = Create(root, slot, 1, rest, 4, &result, what);
  ABI_CHECK(result == 0 && key != NULL, "%s delivers a key (0x%08X)", what, result);
  return key;
}

static uint32_t Verify(void* key, const void* sig, uint32_t sigLength, const void* data, uint32_t length) {
  const uint32_t words[4] = {W(sig), sigLength, W(data), length};
  return AbiCall(key, kPubVerify, words, 4, "Verify");
}

static uint32_t VerifyDigest(void* key, const void* sig, uint32_t sigLength, const void* digest, uint32_t length,
                             uint32_t selector) {
  const uint32_t words[5] = {W(sig), sigLength, W(digest), length, selector};
  return AbiCall(key, kPubVerifyDigest, words, 5, "VerifyDigest");
}

static void CheckSignatures(void* pub, void* priv) {
  static const uint32_t kDigestLength[3] = {20, 32, 64};
  for (uint32_t selector = kSha1; selector <= kSha512; ++selector) {
    AbiOutput sig, digest;
    OutputInit(&sig);
    OutputInit(&digest);
    ABI_CHECK(CallData4(priv, kPrivSign, &sig, "abc", 3, selector, "Sign") == 0 && sig.view.length == 128,
              "selector %u: Sign gives 128 bytes (%u)", selector, sig.view.length);
    if (sig.view.length == 128) {
      ABI_CHECK(Verify(pub, sig.view.data, 128, "abc", 3) == 0, "selector %u: Verify accepts it", selector);
      ABI_CHECK(Verify(pub, sig.view.data, 128, "abd", 3) == W_SIGNATURE_MISMATCH,
                "selector %u: a changed byte of data is a mismatch", selector);
      uint32_t got = 0xAAAAAAAAu;
      const uint32_t words[4] = {W(&digest), W(&got), W(sig.view.data), 128};
      ABI_CHECK(AbiCall(pub, kPubDecodeSignature, words, 4, "DecodeSignature") == 0 && got == selector &&
                    digest.view.length == kDigestLength[selector],
                "selector %u: DecodeSignature names it, digest %u bytes", selector, digest.view.length);
      if (digest.view.length == kDigestLength[selector]) {
        ABI_CHECK(VerifyDigest(pub, sig.view.data, 128, digest.view.data, digest.view.length, selector) == 0,
                  "selector %u: VerifyDigest accepts the decoded digest", selector);
      }
      if (selector == kSha256) {
        ABI_CHECK(OutputIs(&sig, kSignatureAbc, 128), "the SHA-256 signature is the one openssl made");
        ABI_CHECK(OutputIs(&digest, kSha256Abc, 32), "the decoded digest is the published SHA-256 of abc");
        ABI_CHECK(VerifyDigest(pub, sig.view.data, 128, kSha256Abc, 32, kSha256) == 0,
                  "VerifyDigest accepts the published digest");
        uint8_t wrong[32];
        memcpy(wrong, kSha256Abc, 32);
        wrong[31] ^= 1;
        ABI_CHECK(VerifyDigest(pub, sig.view.data, 128, wrong, 32, kSha256) == W_SIGNATURE_MISMATCH,
                  "VerifyDigest of a changed digest is a mismatch");
      }
    }
    OutputFree(&sig);
    OutputFree(&digest);
  }

  AbiOutput sig;
  OutputInit(&sig);
  ABI_CHECK(CallData4(priv, kPrivSignDigest, &sig, kSha256Abc, 32, kSha256, "SignDigest") == 0 &&
                OutputIs(&sig, kSignatureAbc, 128),
            "SignDigest of the published digest is the signature openssl made");
  OutputFree(&sig);
  uint8_t forged[128];
  memcpy(forged, kSignatureAbc, 128);
  forged[64] ^= 0x10;
  ABI_CHECK(Verify(pub, forged, 128, "abc", 3) != 0, "a changed signature is not accepted");
}

static void CheckEncryption(void* pub, void* priv) {
  uint8_t message[118];
  for (uint32_t i = 0; i < sizeof message; ++i) message[i] = (uint8_t)(i * 7 + 1);
  AbiOutput first, second, plain;
  OutputInit(&first);
  OutputInit(&second);
  OutputInit(&plain);
  ABI_CHECK(CallData4(pub, kPubEncrypt, &first, message, 117, 0, "Encrypt") == 0 && first.view.length == 128,
            "117 bytes encrypt to 128 (%u)", first.view.length);
  ABI_CHECK(CallData4(pub, kPubEncrypt, &second, message, 117, 0, "Encrypt") == 0 && second.view.length == 128,
            "and again");
  ABI_CHECK(first.view.length == 128 && second.view.length == 128 &&
                memcmp(first.view.data, second.view.data, 128) != 0,
            "the padding is random: two encryptions differ");
  if (first.view.length == 128) {
    ABI_CHECK(CallData4(priv, kPrivDecrypt, &plain, first.view.data, 128, 0, "Decrypt") == 0 &&
                  OutputIs(&plain, message, 117),
              "Decrypt gives the 117 bytes back");
  }
  OutputFree(&first);
  OutputFree(&second);
  OutputFree(&plain);
  ABI_CHECK(CallData4(pub, kPubEncrypt, &first, message, 118, 0, "Encrypt") == E_INVALID_ARG,
            "118 bytes do not fit a 1024-bit key");
  OutputFree(&first);

  ABI_CHECK(CallData4(priv, kPrivEncrypt, &first, "hello", 5, 0, "PrivateEncrypt") == 0 && first.view.length == 128,
            "PrivateEncrypt gives 128 bytes");
  if (first.view.length == 128) {
    ABI_CHECK(CallData4(pub, kPubDecrypt, &plain, first.view.data, 128, 0, "PublicDecrypt") == 0 &&
                  OutputIs(&plain, "hello", 5),
              "PublicDecrypt gives the 5 bytes back");
    ABI_CHECK(CallData4(pub, kPubDecrypt, &second, first.view.data, 127, 0, "PublicDecrypt") == E_INVALID_ARG,
              "PublicDecrypt of 127 bytes is refused");
  }
  OutputFree(&first);
  OutputFree(&second);
  OutputFree(&plain);
}

static void CheckRsa(void* root) {
  static const uint8_t kExponent[3] = {0x01, 0x00, 0x01};
  const uint32_t pubWords[4] = {W(kExponent), 3, W(kModulus), 128};
  const uint32_t wordWords[3] = {65537, W(kModulus), 128};
  const uint32_t privWords[4] = {W(kPrivateExponent), 128, W(kModulus), 128};
  void* pub = NewRsa(root, kRootRsaPublic, pubWords, "CreateRsaPublicKey");
  uint32_t result = 0;
  void* pubWord = Create(root, kRootRsaPublicFromWord, 1, wordWords, 3, &result, "CreateRsaPublicKeyFromWord");
  ABI_CHECK(result == 0 && pubWord != NULL, "CreateRsaPublicKeyFromWord delivers a key (0x%08X)", result);
  void* priv = NewRsa(root, kRootRsaPrivate, privWords, "CreateRsaPrivateKey");
  void* none = Create(root, kRootRsaPrivate, 2, privWords, 4, &result, "CreateRsaPrivateKey");
  ABI_CHECK(result == E_UNSUPPORTED_VERSION && none == NULL, "receiver version 2 is refused (0x%08X)", result);

  if (pub != NULL && pubWord != NULL && priv != NULL) {
    uint32_t highest = 0;
    ABI_CHECK(Query(pub, kTypeRsaPublic, &highest) == W(pub) && highest >= 1, "type 11 is the public key");
    ABI_CHECK(Query(pub, kTypeRsaPrivate, &highest) == 0, "a public key is not a private one");
    ABI_CHECK(Query(priv, kTypeRsaPrivate, &highest) == W(priv) && highest >= 1, "type 12 is the private key");
    ABI_CHECK(Query(priv, kTypeRsaPublic, &highest) == 0, "a private key is not a public one");
    ABI_CHECK(AbiCall(pub, kRsaGetSize, NULL, 0, "GetSize") == 128, "the public key is 128 bytes");
    ABI_CHECK(AbiCall(pubWord, kRsaGetSize, NULL, 0, "GetSize") == 128, "so is the one from a word");
    ABI_CHECK(AbiCall(priv, kRsaGetSize, NULL, 0, "GetSize") == 128, "and the private key");
    ABI_CHECK(Verify(pubWord, kSignatureAbc, 128, "abc", 3) == 0, "the key from a word verifies openssl's signature");
    CheckSignatures(pub, priv);
    CheckEncryption(pubWord, priv);
  }
  if (pub != NULL) Destroy(pub);
  if (pubWord != NULL) Destroy(pubWord);
  if (priv != NULL) Destroy(priv);
}

static void* NewRegex(void* root, unsigned slot, const void* pattern, uint32_t length, uint32_t flags,
                      uint32_t* result) {
  const uint32_t rest[3] = {W(pattern), length, flags};
  return Create(root, slot, 1, rest, 3, result, slot == kRootRegexWide ? "CreateRegexWide" : "CreateRegexNarrow");
}

/* Matches subject with room for count entries, pre-filled with 0xAA so that
 * every matched byte must have been written; the result. */
static uint32_t Match(void* regex, const void* subject, uint32_t length, AbiCapture* entries, uint32_t count) {
  memset(entries, 0xAA, sizeof(AbiCapture) * count);
  AbiCaptures captures = {entries, entries + count, entries + count};
  const uint32_t words[3] = {W(subject), length, W(&captures)};
  return AbiCall(regex, kReMatch, words, 3, "Match");
}

static int Matches(void* regex, const void* subject, uint32_t length) {
  AbiCapture entries[4];
  const uint32_t result = Match(regex, subject, length, entries, 4);
  ABI_CHECK(result == 0, "Match answers 0 (0x%08X)", result);
  return entries[0].matched;
}

static void CheckNarrowRegex(void* root) {
  uint32_t result = 0;
  void* regex = NewRegex(root, kRootRegexNarrow, "abc", 3, kWholeMatch, &result);
  ABI_CHECK(result == 0 && regex != NULL, "CreateRegexNarrow delivers abc (0x%08X)", result);
  if (regex == NULL) return;
  uint32_t supported = 0;
  ABI_CHECK(Query(regex, kTypeRegex8, &supported) == W(regex) && (supported & 0xFF) == 1, "type 13 is Regex8");
  ABI_CHECK(((supported >> 8) & 0xFFFFFF) == 0xAAAAAA, "the supported flag is a single byte");
  ABI_CHECK(Query(regex, kTypeRegex16, &supported) == 0 && (supported & 0xFF) == 0, "a narrow one is not Regex16");
  ABI_CHECK(AbiCall(regex, kReGetCaptureCount, NULL, 0, "GetCaptureCount") == 0, "abc has no groups");

  static const char kSubject[] = "abc";
  AbiCapture entries[3];
  ABI_CHECK(Match(regex, kSubject, 3, entries, 1) == 0 && entries[0].matched == 1 && entries[0].begin == kSubject &&
                entries[0].end == kSubject + 3,
            "whole-match abc matches abc, the entry spanning it");
  ABI_CHECK(Matches(regex, "xabc", 4) == 0, "whole-match abc does not match xabc");
  ABI_CHECK(Matches(regex, "ABC", 3) == 0, "nor ABC without caseless");

  const uint32_t caseless[3] = {W("abc"), 3, kWholeMatch | kCaseless};
  ABI_CHECK(AbiCall(regex, kReCompile, caseless, 3, "Compile") == 0, "Compile caseless abc");
  ABI_CHECK(Matches(regex, "ABC", 3) == 1, "caseless abc matches ABC");

  const uint32_t groups[3] = {W("(a)|(b)"), 7, 0};
  ABI_CHECK(AbiCall(regex, kReCompile, groups, 3, "Compile") == 0, "Compile (a)|(b)");
  ABI_CHECK(AbiCall(regex, kReGetCaptureCount, NULL, 0, "GetCaptureCount") == 2, "(a)|(b) has two groups");
  static const char kB[] = "b";
  ABI_CHECK(Match(regex, kB, 1, entries, 3) == 0 && entries[0].matched == 1, "(a)|(b) matches b");
  ABI_CHECK(entries[1].matched == 0, "group 1 did not take part");
  ABI_CHECK(entries[2].matched == 1 && entries[2].begin == kB && entries[2].end == kB + 1,
            "group 2 points at the b in the subject");
  ABI_CHECK(Match(regex, kB, 1, entries, 2) == E_INVALID_ARG, "two entries are too few for two groups");

  const uint32_t catastrophic[3] = {W("(a+)+$"), 6, 0};
  ABI_CHECK(AbiCall(regex, kReCompile, catastrophic, 3, "Compile") == 0, "Compile (a+)+$");
  char many[42];
  memset(many, 'a', 40);
  many[40] = '!';
  many[41] = 0;
  ABI_CHECK(Match(regex, many, 41, entries, 3) == E_REGEX_FAILED, "runaway backtracking is stopped with 0xE0010057");

  const uint32_t nul[3] = {W("ab\0cd"), 5, kWholeMatch};
  ABI_CHECK(AbiCall(regex, kReCompile, nul, 3, "Compile") == 0, "Compile a pattern with a zero unit");
  ABI_CHECK(Matches(regex, "ab\0cd", 5) == 1, "it matches exactly those 5 bytes");
  ABI_CHECK(Matches(regex, "ab", 2) == 0, "the zero does not end the pattern");
  ABI_CHECK(Matches(regex, "ab\0c", 4) == 0, "nor does a shorter subject match");
  Destroy(regex);

  void* none = NewRegex(root, kRootRegexNarrow, "a(", 2, 0, &result);
  ABI_CHECK(result == E_BAD_FORMAT && none == NULL, "a( is refused with 0xE0010045 (0x%08X)", result);
  if (none != NULL) Destroy(none);
}

static void CheckWideRegex(void* root) {
  uint32_t result = 0;
  void* regex = NewRegex(root, kRootRegexWide, L"x.y", 3, kWholeMatch, &result);
  ABI_CHECK(result == 0 && regex != NULL, "CreateRegexWide delivers x.y (0x%08X)", result);
  if (regex == NULL) return;
  uint32_t supported = 0;
  ABI_CHECK(Query(regex, kTypeRegex16, &supported) == W(regex) && (supported & 0xFF) == 1, "type 14 is Regex16");
  ABI_CHECK(Query(regex, kTypeRegex8, &supported) == 0 && (supported & 0xFF) == 0, "a wide one is not Regex8");
  ABI_CHECK(AbiCall(regex, kReGetCaptureCount, NULL, 0, "GetCaptureCount") == 0, "x.y has no groups");
  static const wchar_t kSubject[] = L"x\ny";
  AbiCapture entries[1];
  ABI_CHECK(Match(regex, kSubject, 3, entries, 1) == 0 && entries[0].matched == 1 && entries[0].begin == kSubject &&
                entries[0].end == kSubject + 3,
            "x.y matches x, line feed, y");
  ABI_CHECK(Matches(regex, L"x\nyz", 4) == 0, "whole match: x.y does not match x\\nyz");
  const uint32_t words[3] = {W(L"(y)"), 3, 0};
  ABI_CHECK(AbiCall(regex, kReCompile, words, 3, "Compile") == 0, "Compile a wide group");
  AbiCapture two[2];
  ABI_CHECK(Match(regex, kSubject, 3, two, 2) == 0 && two[1].matched == 1 && two[1].begin == kSubject + 2 &&
                two[1].end == kSubject + 3,
            "the group points at the y, counted in UTF-16 units");
  ABI_CHECK(Match(regex, kSubject, 3, entries, 1) == E_INVALID_ARG, "one entry is too few for one group");
  Destroy(regex);
  void* none = NewRegex(root, kRootRegexWide, L"a(", 2, 0, &result);
  ABI_CHECK(result == E_BAD_FORMAT && none == NULL, "the wide a( is refused too (0x%08X)", result);
  if (none != NULL) Destroy(none);
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    CheckBlowfish(root);
    CheckRsa(root);
    CheckNarrowRegex(root);
    CheckWideRegex(root);
    ABI_CHECK(((uint32_t(THISCALL*)(void*))AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_crypto");
}
