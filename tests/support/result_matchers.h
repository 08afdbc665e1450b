// Result codes print in hex in every failure message.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "ryl/result.h"

namespace ryl::test {

inline ::testing::AssertionResult IsCode(const char* actualExpr, const char*, ResultCode actual,
                                         ResultCode expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  // Each insertion into an AssertionResult starts a fresh stream, so a
  // std::hex would not reach the second value: format both here.
  char text[64];
  std::snprintf(text, sizeof text, " is 0x%08X, expected 0x%08X", static_cast<unsigned>(actual),
                static_cast<unsigned>(expected));
  return ::testing::AssertionFailure() << actualExpr << text;
}

}  // namespace ryl::test

#define EXPECT_CODE(actual, expected) EXPECT_PRED_FORMAT2(::ryl::test::IsCode, actual, expected)
#define ASSERT_CODE(actual, expected) ASSERT_PRED_FORMAT2(::ryl::test::IsCode, actual, expected)
