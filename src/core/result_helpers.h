// Early-return for the common "call, and pass the failure on" step.
#pragma once

#include "ryl/result.h"

#define RYL_RETURN_IF_FAILED(expr)            \
  do {                                        \
    const ResultCode ryl_rc_ = (expr);        \
    if (ryl_rc_ < 0) return ryl_rc_;          \
  } while (0)
