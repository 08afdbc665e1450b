#include "rsa_command.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "growing_output.h"
#include "module_session.h"
#include "utf8_text.h"
#include "whole_file.h"

namespace rylcli {
namespace {

using Bytes = std::vector<uint8_t>;

bool ReadWholeFile(const wchar_t* path, Bytes* out) {
  std::string text;
  if (!rylcli::ReadWholeFile(path, &text)) return false;
  out->assign(text.begin(), text.end());
  return true;
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// White space anywhere and one leading 0x are allowed so that numbers can be
// pasted from tools that wrap or prefix them; an odd count of digits means a
// leading zero nibble.
bool ReadHexNumber(const wchar_t* path, Bytes* out) {
  Bytes text;
  if (!ReadWholeFile(path, &text)) return false;
  std::vector<uint8_t> digits;
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) at += 2;
  for (; at < text.size(); ++at) {
    const uint8_t c = text[at];
    if (c == ' ' || (c >= '\t' && c <= '\r')) continue;
    const int digit = HexDigit(c);
    if (digit < 0) {
      const char shown[2] = {static_cast<char>(c >= 0x20 && c < 0x7F ? c : '?'), 0};
      ReportFailure(Utf8(path) + ": '" + shown + "' is not a hex digit", RYL_E_BAD_FORMAT);
      return false;
    }
    digits.push_back(static_cast<uint8_t>(digit));
  }
  if (digits.empty()) {
    ReportFailure(Utf8(path) + " holds no number", RYL_E_BAD_FORMAT);
    return false;
  }
  if (digits.size() % 2 != 0) digits.insert(digits.begin(), 0);
  out->clear();
  for (size_t i = 0; i < digits.size(); i += 2) out->push_back(static_cast<uint8_t>(digits[i] << 4 | digits[i + 1]));
  return true;
}

bool WriteWholeFile(const wchar_t* path, const uint8_t* data, uint32_t length) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ReportWin32Failure("cannot create " + Utf8(path), GetLastError());
    return false;
  }
  DWORD done = 0;
  const bool written = WriteFile(file, data, length, &done, nullptr) && done == length;
  if (!written) ReportWin32Failure("cannot write " + Utf8(path), GetLastError());
  CloseHandle(file);
  if (!written) DeleteFileW(path);
  return written;
}

bool ParseSelector(const wchar_t* name, uint32_t* outSelector) {
  if (std::wcscmp(name, L"sha1") == 0) {
    *outSelector = RYL_DIGEST_SHA1;
  } else if (std::wcscmp(name, L"sha256") == 0) {
    *outSelector = RYL_DIGEST_SHA256;
  } else if (std::wcscmp(name, L"sha512") == 0) {
    *outSelector = RYL_DIGEST_SHA512;
  } else {
    return false;
  }
  return true;
}

uint32_t Length(const Bytes& bytes) { return static_cast<uint32_t>(bytes.size()); }

int Sign(RootFactory* root, uint32_t selector, wchar_t** paths) {
  Bytes modulus;
  Bytes exponent;
  Bytes data;
  if (!ReadHexNumber(paths[0], &modulus) || !ReadHexNumber(paths[1], &exponent) || !ReadWholeFile(paths[2], &data)) {
    return 1;
  }
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, 1);
  ResultCode result =
      root->CreateRsaPrivateKey(&receiver, exponent.data(), Length(exponent), modulus.data(), Length(modulus));
  if (RylFailed(result)) {
    return ReportFailure("cannot create the private key", result);
  }
  auto* key = static_cast<RylRsaPrivateKey*>(object);
  ByteOutput signature;
  result = key->Sign(signature.get(), data.data(), Length(data), selector);
  key->Destroy(&kDefaultHeap);
  if (RylFailed(result)) {
    return ReportFailure("cannot sign " + Utf8(paths[2]), result);
  }
  return WriteWholeFile(paths[3], signature.data(), signature.size()) ? 0 : 1;
}

// The key's Verify accepts whichever digest the signature names, so the
// named selector is held against the one the signature carries: a caller
// asking for SHA-256 must not be satisfied by a SHA-1 signature.
int Verify(RootFactory* root, uint32_t selector, wchar_t** paths) {
  Bytes modulus;
  Bytes exponent;
  Bytes data;
  Bytes signature;
  if (!ReadHexNumber(paths[0], &modulus) || !ReadHexNumber(paths[1], &exponent) || !ReadWholeFile(paths[2], &data) ||
      !ReadWholeFile(paths[3], &signature)) {
    return 1;
  }
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, 1);
  ResultCode result =
      root->CreateRsaPublicKey(&receiver, exponent.data(), Length(exponent), modulus.data(), Length(modulus));
  if (RylFailed(result)) {
    return ReportFailure("cannot create the public key", result);
  }
  auto* key = static_cast<RylRsaPublicKey*>(object);
  result = key->Verify(signature.data(), Length(signature), data.data(), Length(data));
  uint32_t carried = selector;
  if (result == RYL_OK) {
    ByteOutput digest;
    result = key->DecodeSignature(digest.get(), &carried, signature.data(), Length(signature));
  }
  key->Destroy(&kDefaultHeap);
  if (result == RYL_W_SIGNATURE_MISMATCH) {
    Out("signature mismatch: %s\n", DescribeResult(result));
    return 1;
  }
  if (RylFailed(result)) {
    return ReportFailure("cannot verify " + Utf8(paths[3]), result);
  }
  if (carried != selector) {
    Out("signature mismatch: it carries digest selector %u, not %u\n", carried, selector);
    return 1;
  }
  Out("signature verified\n");
  return 0;
}

}  // namespace

int RunRsa(int argc, wchar_t** argv) {
  uint32_t selector = 0;
  if (argc < 1) return ReportUsage("rsa needs a subcommand", "rsa");
  const std::string verb = Utf8(argv[0]);
  if (verb != "sign" && verb != "verify") return ReportUsage("unknown subcommand 'rsa " + verb + "'", "rsa");
  if (argc != 6) return ReportUsage(argc < 6 ? "missing arguments" : "too many arguments", "rsa", verb);
  if (!ParseSelector(argv[1], &selector)) {
    return ReportUsage("unknown digest selector '" + Utf8(argv[1]) + "'", "rsa", verb);
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    return ReportFailure("cannot start the module", started);
  }
  return std::wcscmp(argv[0], L"sign") == 0 ? Sign(session.root(), selector, argv + 2)
                                            : Verify(session.root(), selector, argv + 2);
}

}  // namespace rylcli
