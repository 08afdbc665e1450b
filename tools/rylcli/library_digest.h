// Digests computed by the module's own code, reached through the only
// public interfaces that compute them: the SHA family inside RSA signing,
// CRC-32 inside the ZIP writer. See library_digest.cpp for why each route
// yields the digest itself.
#pragma once

#include <ryl/ryl.h>

#include <string>
#include <vector>

namespace rylcli {

// selector: RYL_DIGEST_SHA1, _SHA256 or _SHA512.
ResultCode ShaDigest(RootFactory* root, uint32_t selector, const uint8_t* data, uint32_t length,
                     std::vector<uint8_t>* digest);

// The CRC-32 the ZIP writer records for the file at path.
ResultCode FileCrc32(RootFactory* root, const std::wstring& path, uint32_t* crc);

}  // namespace rylcli
