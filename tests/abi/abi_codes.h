/* The result codes the C hosts compare against, written out as numbers: a
 * host that knows only the binary interface has no header to name them, and
 * a wrong value in the SDK must not quietly agree with itself here. */
#ifndef RYL_ABI_CODES_H
#define RYL_ABI_CODES_H

#define E_OUT_OF_MEMORY 0xE0010001u
#define E_INVALID_ARG 0xE0010002u
#define E_NO_MORE_ITEMS 0xE001000Eu
#define S_NO_MORE_ITEMS 0x6001000Eu
#define E_NOT_IMPLEMENTED 0xE001003Cu
#define E_FILE_NOT_FOUND 0xE001003Du
#define E_PATH_NOT_FOUND 0xE001003Eu
#define E_OUT_OF_RANGE 0xE0010044u
#define E_BAD_FORMAT 0xE0010045u
#define E_BUFFER_TOO_SMALL 0xE0010049u
#define E_ELEMENT_NOT_FOUND 0xE001004Cu
#define E_ALREADY_EXISTS 0xE001004Fu
#define E_INVALID_SEEK 0xE0010051u
#define E_UNSUPPORTED_VERSION 0xE0010054u
#define E_NOT_OPEN 0xE0010078u
#define E_TRAILING_DATA 0xE0010090u
#define E_UNEXPECTED_END 0xE0010091u
#define E_END_OF_DATA 0xE001018Bu
#define E_WORKER_FAILED 0xE00100ADu
#define E_STILL_PENDING 0xE00100BFu
#define E_INVALID_STATE 0xE0010052u
#define E_OBJECT_CLOSED 0xE0010007u
#define W_TIMEOUT 0xA0010004u
#define W_INFINITE 0xA0010045u
#define W_FIRST_WAITABLE 0xA0010193u
#define W_SECOND_WAITABLE 0xA0010194u

/* A copy that went through without the source's security descriptor: a
 * success the file-system service reports, with no name in the public SDK. */
#define S_COPIED_WITHOUT_SECURITY 0x60010080u

#endif
