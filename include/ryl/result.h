// Result codes. Negative means failure; warnings (0xA...) have the top bit set
// and therefore fail every sign test too. Informational codes (0x6...) succeed.
#pragma once

#include "ryl/platform.h"

typedef int32_t ResultCode;

#define RYL_RESULT(u) ((ResultCode)(uint32_t)(u))

#define RYL_OK                        RYL_RESULT(0x00000000u)
#define RYL_E_OUT_OF_MEMORY           RYL_RESULT(0xE0010001u)
#define RYL_E_INVALID_ARG             RYL_RESULT(0xE0010002u)
#define RYL_E_OBJECT_CLOSED           RYL_RESULT(0xE0010007u)
#define RYL_E_VALUE_TOO_LARGE         RYL_RESULT(0xE001000Bu)
#define RYL_E_NO_MORE_ITEMS           RYL_RESULT(0xE001000Eu)
#define RYL_S_NO_MORE_ITEMS           RYL_RESULT(0x6001000Eu)
#define RYL_E_NOT_FOUND               RYL_RESULT(0xE0010013u)
#define RYL_E_INVALID_PATH            RYL_RESULT(0xE0010020u)
#define RYL_E_NOT_IMPLEMENTED         RYL_RESULT(0xE001003Cu)
#define RYL_E_FILE_NOT_FOUND          RYL_RESULT(0xE001003Du)
#define RYL_E_PATH_NOT_FOUND          RYL_RESULT(0xE001003Eu)
#define RYL_E_INVALID_TYPE            RYL_RESULT(0xE001003Fu)
#define RYL_E_INVALID_HANDLE          RYL_RESULT(0xE0010040u)
#define RYL_E_OUT_OF_RANGE            RYL_RESULT(0xE0010044u)
#define RYL_E_BAD_FORMAT              RYL_RESULT(0xE0010045u)
#define RYL_E_UNSUPPORTED_ALGORITHM   RYL_RESULT(0xE0010048u)
#define RYL_E_BUFFER_TOO_SMALL        RYL_RESULT(0xE0010049u)
#define RYL_E_INVALID_DATA            RYL_RESULT(0xE001004Au)
#define RYL_E_ELEMENT_NOT_FOUND       RYL_RESULT(0xE001004Cu)
#define RYL_E_ALREADY_EXISTS          RYL_RESULT(0xE001004Fu)
#define RYL_E_INVALID_SEEK            RYL_RESULT(0xE0010051u)
#define RYL_E_INVALID_STATE           RYL_RESULT(0xE0010052u)
#define RYL_E_UNSUPPORTED_VERSION     RYL_RESULT(0xE0010054u)
#define RYL_E_REGEX_FAILED            RYL_RESULT(0xE0010057u)
#define RYL_E_ACCESS_DENIED           RYL_RESULT(0xE0010058u)
#define RYL_E_CRYPTO_FAILED           RYL_RESULT(0xE001006Bu)
#define RYL_E_NOT_OPEN                RYL_RESULT(0xE0010078u)
#define RYL_E_PASSWORD_REQUIRED       RYL_RESULT(0xE001009Bu)
#define RYL_E_WRONG_PASSWORD          RYL_RESULT(0xE001009Cu)
#define RYL_E_ENTRY_UNSUPPORTED       RYL_RESULT(0xE00100A8u)
#define RYL_E_TRAILING_DATA           RYL_RESULT(0xE0010090u)
#define RYL_E_UNEXPECTED_END          RYL_RESULT(0xE0010091u)
#define RYL_E_WORKER_FAILED           RYL_RESULT(0xE00100ADu)
#define RYL_E_STILL_PENDING           RYL_RESULT(0xE00100BFu)
#define RYL_E_BEYOND_END              RYL_RESULT(0xE0010181u)
#define RYL_E_END_OF_DATA             RYL_RESULT(0xE001018Bu)
#define RYL_S_END_OF_DATA             RYL_RESULT(0x6001018Bu)
#define RYL_S_WAIT_ABANDONED          RYL_RESULT(0x60010003u)
#define RYL_W_SIGNATURE_MISMATCH      RYL_RESULT(0xA00100A7u)
#define RYL_W_INFINITE                RYL_RESULT(0xA0010045u)
#define RYL_W_TIMEOUT                 RYL_RESULT(0xA0010004u)
#define RYL_W_NOTHING_TO_WAIT         RYL_RESULT(0xA0010008u)
#define RYL_W_FIRST_WAITABLE          RYL_RESULT(0xA0010193u)
#define RYL_W_SECOND_WAITABLE         RYL_RESULT(0xA0010194u)

static inline int RylSucceeded(ResultCode code) { return code >= 0; }
static inline int RylFailed(ResultCode code) { return code < 0; }

// The system's name for a module code, or null for a code the table does not
// know (operating-system failures carry their Win32 error instead).
static inline const char* RylResultName(ResultCode code) {
  switch ((uint32_t)code) {
    case 0x00000000u: return "RYL_OK";
    case 0xE0010001u: return "RYL_E_OUT_OF_MEMORY";
    case 0xE0010002u: return "RYL_E_INVALID_ARG";
    case 0xE0010007u: return "RYL_E_OBJECT_CLOSED";
    case 0xE001000Bu: return "RYL_E_VALUE_TOO_LARGE";
    case 0xE001000Eu: return "RYL_E_NO_MORE_ITEMS";
    case 0x6001000Eu: return "RYL_S_NO_MORE_ITEMS";
    case 0xE0010013u: return "RYL_E_NOT_FOUND";
    case 0xE0010020u: return "RYL_E_INVALID_PATH";
    case 0xE001003Cu: return "RYL_E_NOT_IMPLEMENTED";
    case 0xE001003Du: return "RYL_E_FILE_NOT_FOUND";
    case 0xE001003Eu: return "RYL_E_PATH_NOT_FOUND";
    case 0xE001003Fu: return "RYL_E_INVALID_TYPE";
    case 0xE0010040u: return "RYL_E_INVALID_HANDLE";
    case 0xE0010044u: return "RYL_E_OUT_OF_RANGE";
    case 0xE0010045u: return "RYL_E_BAD_FORMAT";
    case 0xE0010048u: return "RYL_E_UNSUPPORTED_ALGORITHM";
    case 0xE0010049u: return "RYL_E_BUFFER_TOO_SMALL";
    case 0xE001004Au: return "RYL_E_INVALID_DATA";
    case 0xE001004Cu: return "RYL_E_ELEMENT_NOT_FOUND";
    case 0xE001004Fu: return "RYL_E_ALREADY_EXISTS";
    case 0xE0010051u: return "RYL_E_INVALID_SEEK";
    case 0xE0010052u: return "RYL_E_INVALID_STATE";
    case 0xE0010054u: return "RYL_E_UNSUPPORTED_VERSION";
    case 0xE0010057u: return "RYL_E_REGEX_FAILED";
    case 0xE0010058u: return "RYL_E_ACCESS_DENIED";
    case 0xE001006Bu: return "RYL_E_CRYPTO_FAILED";
    case 0xE0010078u: return "RYL_E_NOT_OPEN";
    case 0xE001009Bu: return "RYL_E_PASSWORD_REQUIRED";
    case 0xE001009Cu: return "RYL_E_WRONG_PASSWORD";
    case 0xE00100A8u: return "RYL_E_ENTRY_UNSUPPORTED";
    case 0xE0010090u: return "RYL_E_TRAILING_DATA";
    case 0xE0010091u: return "RYL_E_UNEXPECTED_END";
    case 0xE00100ADu: return "RYL_E_WORKER_FAILED";
    case 0xE00100BFu: return "RYL_E_STILL_PENDING";
    case 0xE0010181u: return "RYL_E_BEYOND_END";
    case 0xE001018Bu: return "RYL_E_END_OF_DATA";
    case 0x6001018Bu: return "RYL_S_END_OF_DATA";
    case 0xA00100A7u: return "RYL_W_SIGNATURE_MISMATCH";
    case 0xA0010045u: return "RYL_W_INFINITE";
    case 0xA0010004u: return "RYL_W_TIMEOUT";
    case 0xA0010008u: return "RYL_W_NOTHING_TO_WAIT";
    case 0x60010003u: return "RYL_S_WAIT_ABANDONED";
    case 0xA0010193u: return "RYL_W_FIRST_WAITABLE";
    case 0xA0010194u: return "RYL_W_SECOND_WAITABLE";
    default: return 0;
  }
}
