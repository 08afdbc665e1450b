// The library's RSA keys on the Linux host, for tests/crypto/rsa_openssl_interop.py:
//
//   rsa_tool KEYDIR sign sha1|sha256|sha512 IN OUT   PKCS #1 v1.5 signature of IN
//   rsa_tool KEYDIR verify sha1|sha256|sha512 IN SIG exit 0 when SIG is over IN, 3 when not
//   rsa_tool KEYDIR encrypt IN OUT                   public-key encryption (PKCS #1 v1.5)
//   rsa_tool KEYDIR decrypt IN OUT                   private-key decryption
//
// KEYDIR holds n, e and d as hexadecimal text (files n.hex, e.hex, d.hex).
// Exit 1 on any other failure, with the result code on standard error.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crypto/rsa_key.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

Bytes FromHex(const Bytes& text) {
  std::string digits;
  for (uint8_t c : text) {
    if (std::isxdigit(c)) digits += static_cast<char>(c);
  }
  if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');
  Bytes bytes;
  for (size_t i = 0; i < digits.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

struct Output {
  static ResultCode Resize(RylBufferView* view, uint32_t length, void* context) {
    auto* bytes = static_cast<Bytes*>(context);
    bytes->resize(length);
    view->data = bytes->data();
    view->length = length;
    return RYL_OK;
  }
  static inline const RylOutputBufferCallbacks kTable = {1, &Resize, nullptr, nullptr, nullptr};
  Bytes bytes;
  OutputBuffer record{&kTable, &bytes, {nullptr, 0}};
};

ObjectReceiver Receiver(void** slot) {
  static const RylReceiverCallbacks store{1, [](void* object, void* context) -> ResultCode {
                                            *static_cast<void**>(context) = object;
                                            return RYL_OK;
                                          }};
  return ObjectReceiver{&store, slot, 1, {}};
}

int Fail(const char* what, ResultCode rc) {
  std::fprintf(stderr, "rsa_tool: %s: 0x%08X\n", what, static_cast<unsigned>(rc));
  return 1;
}

uint32_t Size(const Bytes& b) { return static_cast<uint32_t>(b.size()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: rsa_tool KEYDIR sign|verify|encrypt|decrypt ...\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string op = argv[2];
  const Bytes n = FromHex(ReadFile(dir + "/n.hex"));
  const Bytes e = FromHex(ReadFile(dir + "/e.hex"));
  const Bytes d = FromHex(ReadFile(dir + "/d.hex"));
  void* publicObject = nullptr;
  void* privateObject = nullptr;
  const ObjectReceiver publicReceiver = Receiver(&publicObject);
  const ObjectReceiver privateReceiver = Receiver(&privateObject);
  ResultCode rc = ryl::crypto::CreateRsaPublicKey(&publicReceiver, e.data(), Size(e), n.data(), Size(n));
  if (rc != RYL_OK) return Fail("public key", rc);
  rc = ryl::crypto::CreateRsaPrivateKey(&privateReceiver, d.data(), Size(d), n.data(), Size(n));
  if (rc != RYL_OK) return Fail("private key", rc);
  auto* publicKey = static_cast<RylRsaPublicKey*>(publicObject);
  auto* privateKey = static_cast<RylRsaPrivateKey*>(privateObject);
  int status = 0;
  if ((op == "sign" || op == "verify") && argc == 6) {
    const std::string name = argv[3];
    const uint32_t selector = name == "sha1" ? RYL_DIGEST_SHA1 : name == "sha256" ? RYL_DIGEST_SHA256 : RYL_DIGEST_SHA512;
    const Bytes data = ReadFile(argv[4]);
    if (op == "sign") {
      Output signature;
      rc = privateKey->Sign(&signature.record, data.data(), Size(data), selector);
      status = rc != RYL_OK ? Fail("sign", rc) : (WriteFile(argv[5], signature.bytes) ? 0 : 1);
    } else {
      const Bytes signature = ReadFile(argv[5]);
      rc = publicKey->Verify(signature.data(), Size(signature), data.data(), Size(data));
      status = rc == RYL_OK ? 0 : rc == RYL_W_SIGNATURE_MISMATCH ? 3 : Fail("verify", rc);
    }
  } else if ((op == "encrypt" || op == "decrypt") && argc == 5) {
    const Bytes input = ReadFile(argv[3]);
    Output output;
    rc = op == "encrypt" ? publicKey->Encrypt(&output.record, input.data(), Size(input), 0)
                         : privateKey->Decrypt(&output.record, input.data(), Size(input), 0);
    status = rc != RYL_OK ? Fail(op.c_str(), rc) : (WriteFile(argv[4], output.bytes) ? 0 : 1);
  } else {
    status = 2;
  }
  publicKey->Destroy(nullptr);
  privateKey->Destroy(nullptr);
  return status;
}
