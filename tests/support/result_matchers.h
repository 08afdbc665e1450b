// Result codes print in hex in every failure message.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "ryl/result.h"

namespace ryl::test {

inline ::testing::AssertionResult IsCode(const char* actualExpr, const char*, ResultCode actual,
                                         ResultCode expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actualExpr << " is 0x" << std::hex << static_cast<uint32_t>(actual)
                                       << ", expected 0x" << static_cast<uint32_t>(expected);
}

}  // namespace ryl::test

#define EXPECT_CODE(actual, expected) EXPECT_PRED_FORMAT2(::ryl::test::IsCode, actual, expected)
#define ASSERT_CODE(actual, expected) ASSERT_PRED_FORMAT2(::ryl::test::IsCode, actual, expected)
