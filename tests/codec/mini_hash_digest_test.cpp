// The libcrypto-backed digests against the published test vectors.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sys/codec/mini_hash.h"

namespace ryl::sys {
namespace {

template <typename Hash>
std::string Hex(const Hash& hash) {
  uint8_t digest[Hash::kDigestSize];
  hash.Get(digest);
  std::string text;
  char pair[3];
  for (uint8_t b : digest) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    text += pair;
  }
  return text;
}

template <typename Hash>
void ExpectVectors(const char* empty, const char* abc, const char* millionA) {
  Hash hash;
  EXPECT_EQ(Hex(hash), empty);
  hash.Add("abc", 3);
  EXPECT_EQ(Hex(hash), abc);
  // Reading the digest does not end the sum.
  EXPECT_EQ(Hex(hash), abc);
  hash.Reset();
  const std::string thousand(1000, 'a');
  for (int i = 0; i < 1000; ++i) hash.Add(thousand.data(), thousand.size());
  EXPECT_EQ(Hex(hash), millionA);
  hash.Initialize();
  hash.Add("a", 1);
  hash.Add("bc", 2);
  EXPECT_EQ(Hex(hash), abc);
}

TEST(RylMiniHashMd5, PublishedVectors) {
  ExpectVectors<RylMiniHashMd5>("d41d8cd98f00b204e9800998ecf8427e", "900150983cd24fb0d6963f7d28e17f72",
                                "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(RylMiniHashSha1, PublishedVectors) {
  ExpectVectors<RylMiniHashSha1>("da39a3ee5e6b4b0d3255bfef95601890afd80709",
                                 "a9993e364706816aba3e25717850c26c9cd0d89d",
                                 "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(RylMiniHashSha512, PublishedVectors) {
  ExpectVectors<RylMiniHashSha512>(
      "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a"
      "81a538327af927da3e",
      "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce8"
      "0e2a9ac94fa54ca49f",
      "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa"
      "2e4eadb217ad8cc09b");
}

}  // namespace
}  // namespace ryl::sys
