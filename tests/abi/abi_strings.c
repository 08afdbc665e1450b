/* The string service's conversion, formatting, number, case and wildcard
 * slots (1-27) reached the way an MSVC-built host reaches them: the service
 * delivered by root slot 6 (its table is the root's third field), every slot
 * called by number with real arguments through AbiCallSlot, which also
 * checks that the callee removed exactly its argument words. Output goes to
 * buffers the host implements itself: a version-1 buffer (Resize only) and a
 * version-2 buffer (Resize, Reserve, Swap, Capacity) that is growable or
 * fixed. Guard bytes around every granted region catch writes outside it. */
#include <stdarg.h>
#include <string.h>

#include "abi_codes.h"
#include "abi_host.h"

typedef struct {
  const uint16_t* data;
  uint32_t length;
} AbiStringView;

typedef struct {
  void* data;
  uint32_t length;
} AbiBufferView;

typedef struct AbiBufferTable AbiBufferTable;
struct AbiBufferTable {
  uint32_t version;
  int32_t(__cdecl* resize)(AbiBufferView* view, uint32_t length, void* context);
  int32_t(__cdecl* reserve)(AbiBufferView* view, uint32_t capacity, void* context);
  int32_t(__cdecl* swap)(AbiBufferView* view, const AbiBufferTable* otherTable, void* otherContext,
                         AbiBufferView* otherView, void* context);
  uint32_t(__cdecl* capacity)(uint8_t* canGrow, void* context);
};

typedef struct {
  const AbiBufferTable* callbacks;
  void* context;
  AbiBufferView view;
} AbiOutput;

/* The host's side of a buffer: storage with GUARD_BYTES guard bytes on each
 * side of the granted region, element size 1 or 2. */
#define GUARD_BYTES 16
#define GUARD_VALUE 0xFD

typedef struct {
  AbiOutput record;
  uint8_t* storage;
  uint32_t granted; /* elements */
  uint32_t elementSize;
  uint32_t fixedCapacity; /* 0: growable */
  int fixed;
  int resizes;
  int swaps;
  int capacities;
  int guardsBroken;
} HostBuffer;

static int GuardsIntact(const HostBuffer* b) {
  if (b->storage == NULL) return 1;
  const uint32_t bytes = b->granted * b->elementSize;
  for (uint32_t i = 0; i < GUARD_BYTES; ++i) {
    if (b->storage[i] != GUARD_VALUE || b->storage[GUARD_BYTES + bytes + i] != GUARD_VALUE) return 0;
  }
  return 1;
}

static void Grant(HostBuffer* b, uint32_t elements, uint32_t keep) {
  const uint32_t bytes = elements * b->elementSize;
  uint8_t* storage = HeapAlloc(GetProcessHeap(), 0, bytes + 2 * GUARD_BYTES);
  memset(storage, GUARD_VALUE, bytes + 2 * GUARD_BYTES);
  memset(storage + GUARD_BYTES, 0xEE, bytes);
  if (b->storage != NULL) {
    memcpy(storage + GUARD_BYTES, b->storage + GUARD_BYTES, keep * b->elementSize);
    HeapFree(GetProcessHeap(), 0, b->storage);
  }
  b->storage = storage;
  b->granted = elements;
  b->record.view.data = storage + GUARD_BYTES;
}

static int32_t __cdecl HostResize(AbiBufferView* view, uint32_t length, void* context) {
  HostBuffer* b = context;
  ++b->resizes;
  if (!GuardsIntact(b)) b->guardsBroken = 1;
  if (b->fixed) {
    if (length > b->fixedCapacity) return (int32_t)E_BUFFER_TOO_SMALL;
    view->length = length;
    return 0;
  }
  Grant(b, length, view->length < length ? view->length : length);
  view->length = length;
  return 0;
}

static int32_t __cdecl HostReserve(AbiBufferView* view, uint32_t capacity, void* context) {
  (void)view;
  (void)capacity;
  (void)context;
  return (int32_t)E_NOT_IMPLEMENTED;
}

/* This host cannot take storage it did not allocate: any other table is
 * refused, as the protocol asks. */
static int32_t __cdecl HostSwap(AbiBufferView* view, const AbiBufferTable* otherTable, void* otherContext,
                                AbiBufferView* otherView, void* context) {
  (void)view;
  (void)otherContext;
  (void)otherView;
  HostBuffer* b = context;
  ++b->swaps;
  return otherTable == b->record.callbacks ? 0 : (int32_t)E_UNSUPPORTED_VERSION;
}

static uint32_t __cdecl HostCapacity(uint8_t* canGrow, void* context) {
  HostBuffer* b = context;
  ++b->capacities;
  *canGrow = b->fixed ? 0 : 1;
  return b->fixed ? b->fixedCapacity : b->granted;
}

static const AbiBufferTable kVersion1 = {1, HostResize, NULL, NULL, NULL};
static const AbiBufferTable kVersion2 = {2, HostResize, HostReserve, HostSwap, HostCapacity};

/* version 1 or 2; fixedCapacity > 0 makes a fixed version-2 buffer. */
static void BufferInit(HostBuffer* b, uint32_t version, uint32_t elementSize, uint32_t fixedCapacity) {
  memset(b, 0, sizeof *b);
  b->record.callbacks = version == 1 ? &kVersion1 : &kVersion2;
  b->record.context = b;
  b->elementSize = elementSize;
  b->fixed = fixedCapacity != 0;
  b->fixedCapacity = fixedCapacity;
  Grant(b, fixedCapacity, 0);
  b->record.view.length = 0;
}

static void BufferFree(HostBuffer* b) {
  if (b->storage != NULL) HeapFree(GetProcessHeap(), 0, b->storage);
  b->storage = NULL;
}

static int BufferIs(HostBuffer* b, const void* expected, uint32_t elements) {
  return b->record.view.length == elements &&
         memcmp(b->record.view.data, expected, elements * b->elementSize) == 0 && GuardsIntact(b) &&
         !b->guardsBroken;
}

static void CheckConversions(void* strings) {
  static const uint8_t eAcute[] = {0xC3, 0xA9};
  uint32_t count = 0xDEADBEEF;
  uint32_t args[5] = {W(&count), W(eAcute), 2, 4};
  ABI_CHECK(AbiCall(strings, 1, args, 4, "GetUtf16Length") == 0 && count == 1, "C3 A9 is one unit (count %u)", count);

  HostBuffer wide;
  BufferInit(&wide, 1, 2, 0);
  const uint32_t convert[4] = {W(&wide.record), W(eAcute), 2, 4};
  static const uint16_t expected[] = {0x00E9};
  ABI_CHECK(AbiCall(strings, 2, convert, 4, "ConvertToUtf16") == 0 && BufferIs(&wide, expected, 1),
            "C3 A9 gives U+00E9 in a version-1 buffer");
  static const uint8_t overlong[] = {0xC0, 0x80};
  const uint32_t bad[4] = {W(&wide.record), W(overlong), 2, 4};
  const int resizes = wide.resizes;
  ABI_CHECK(AbiCall(strings, 2, bad, 4, "ConvertToUtf16") == E_BAD_FORMAT && wide.resizes == resizes,
            "C0 80 is malformed and the buffer is not resized");
  BufferFree(&wide);

  static const uint16_t grin[] = {0xD83D, 0xDE00};
  const uint32_t measure[4] = {W(&count), W(grin), 2, 4};
  ABI_CHECK(AbiCall(strings, 3, measure, 4, "GetEncodedLength") == 0 && count == 4, "the pair is 4 UTF-8 bytes");
  static const uint8_t grinUtf8[] = {0xF0, 0x9F, 0x98, 0x80};
  HostBuffer bytes;
  BufferInit(&bytes, 2, 1, 0);
  const uint32_t encode[4] = {W(&bytes.record), W(grin), 2, 4};
  ABI_CHECK(AbiCall(strings, 4, encode, 4, "ConvertFromUtf16") == 0 && BufferIs(&bytes, grinUtf8, 4),
            "D83D DE00 gives F0 9F 98 80 in a growable version-2 buffer");
  ABI_CHECK(bytes.capacities == 1 && bytes.resizes == 1, "Capacity asked once, one exact Resize (%d, %d)",
            bytes.capacities, bytes.resizes);
  BufferFree(&bytes);

  HostBuffer fixed;
  BufferInit(&fixed, 2, 1, 3);
  ABI_CHECK(AbiCall(strings, 4, (const uint32_t[]){W(&fixed.record), W(grin), 2, 4}, 4, "ConvertFromUtf16") ==
                    E_OUT_OF_RANGE &&
                fixed.record.view.length == 0 && GuardsIntact(&fixed),
            "three fixed bytes are too few for four: out of range, length 0");
  static const uint16_t lone[] = {0xDE00};
  ABI_CHECK(AbiCall(strings, 4, (const uint32_t[]){W(&fixed.record), W(lone), 1, 4}, 4, "ConvertFromUtf16") ==
                E_BAD_FORMAT,
            "a lone low surrogate is malformed");
  static const uint16_t euro[] = {0x20AC, 0x41};
  static const uint8_t latin1[] = {'?', 'A'};
  ABI_CHECK(AbiCall(strings, 4, (const uint32_t[]){W(&fixed.record), W(euro), 2, 1}, 4, "ConvertFromUtf16") == 0 &&
                BufferIs(&fixed, latin1, 2),
            "U+20AC is '?' in ISO-8859-1, into a fixed buffer trimmed to 2");
  BufferFree(&fixed);

  static const uint8_t ten[10] = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89};
  count = 0xDEADBEEF;
  ABI_CHECK(AbiCall(strings, 5, (const uint32_t[]){W(&count), W(ten), 10, 0, 1}, 5, "GetRecodedLength") == 0 &&
                count == 10,
            "ISO-8859-1 to ANSI of 10 bytes is 10 (got %u)", count);
  ABI_CHECK(AbiCall(strings, 5, (const uint32_t[]){W(&count), W(ten), 10, 3, 1}, 5, "GetRecodedLength") ==
                E_NOT_IMPLEMENTED,
            "encoding 3 is not offered");

  static const uint8_t surrogate[] = {0xED, 0xA0, 0x80};
  static const uint8_t big[] = {0xD8, 0x00};
  HostBuffer recoded;
  BufferInit(&recoded, 1, 1, 0);
  ABI_CHECK(AbiCall(strings, 6, (const uint32_t[]){W(&recoded.record), W(surrogate), 3, 9, 4}, 5, "Recode") == 0 &&
                BufferIs(&recoded, big, 2),
            "UTF-8 to UTF-16BE converts directly");
  ABI_CHECK(AbiCall(strings, 6, (const uint32_t[]){W(&recoded.record), W(surrogate), 3, 11, 4}, 5, "Recode") ==
                E_NOT_IMPLEMENTED,
            "encoding 11 is not offered");
  BufferFree(&recoded);
}

static void CheckNumbers(void* strings) {
  uint64_t value = 0;
  const char* stop = NULL;
  ABI_CHECK(AbiCall(strings, 14, (const uint32_t[]){W(&value), W("0x1F"), 4, 0, W(&stop), 8}, 6, "ParseUInt64") == 0 &&
                value == 31 && stop == NULL,
            "0x1F in base 0 is 31");
  const char* text = "12a";
  ABI_CHECK(AbiCall(strings, 14, (const uint32_t[]){W(&value), W(text), 3, 10, W(&stop), 8}, 6, "ParseUInt64") ==
                    E_INVALID_ARG &&
                value == 12 && stop == text + 2,
            "12a stops at the letter");
  ABI_CHECK(AbiCall(strings, 14, (const uint32_t[]){W(&value), W(text), 3, 10, 0, 8}, 6, "ParseUInt64") == 0 &&
                value == 12,
            "without a stop position 12a gives 12 and success");

  static const uint16_t max[] = {'1', '8', '4', '4', '6', '7', '4', '4', '0', '7', '3',
                                 '7', '0', '9', '5', '5', '1', '6', '1', '5'};
  const uint16_t* wideStop = NULL;
  ABI_CHECK(AbiCall(strings, 13, (const uint32_t[]){W(&value), W(max), 20, 10, W(&wideStop), 0}, 6, "ParseUInt64W") ==
                    0 &&
                value == UINT64_MAX,
            "the largest 64-bit value arrives whole");

  int64_t signedValue = 0;
  ABI_CHECK(AbiCall(strings, 12, (const uint32_t[]){W(&signedValue), W("-128"), 4, 10, W(&stop), 1}, 6, "ParseInt64") ==
                    0 &&
                signedValue == -128,
            "-128 fits one byte");
  ABI_CHECK(AbiCall(strings, 12, (const uint32_t[]){W(&signedValue), W("128"), 3, 10, W(&stop), 1}, 6, "ParseInt64") ==
                    E_INVALID_ARG &&
                signedValue == 12,
            "128 does not fit one byte");
  static const uint16_t minimum[] = {'-', '9', '2', '2', '3', '3', '7', '2', '0', '3',
                                     '6', '8', '5', '4', '7', '7', '5', '8', '0', '8'};
  ABI_CHECK(AbiCall(strings, 11, (const uint32_t[]){W(&signedValue), W(minimum), 20, 10, 0, 8}, 6,
                    "ParseInt64W") == 0 &&
                signedValue == INT64_MIN,
            "the smallest 64-bit value arrives whole");
}

/* The formatting slots take the platform's va_list: on this target a
 * pointer to the argument words, made here by a real variadic function. */
static int32_t FormatVia(void* strings, unsigned slot, uint32_t options, void* target, const void* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const uint32_t words[4] = {options, W(target), W(format), W(arguments)};
  const int32_t rc = (int32_t)AbiCall(strings, slot, words, 4, "Format");
  va_end(arguments);
  return rc;
}

typedef struct NarrowSink NarrowSink;
typedef struct {
  int32_t(THISCALL* write)(NarrowSink* self, const char* first, const char* last);
} NarrowSinkTable;
struct NarrowSink {
  const NarrowSinkTable* table;
  char text[64];
  uint32_t length;
  int calls;
};

static int32_t THISCALL SinkWrite(NarrowSink* self, const char* first, const char* last) {
  ++self->calls;
  const uint32_t n = (uint32_t)(last - first);
  if (self->length + n > sizeof self->text) return (int32_t)E_BUFFER_TOO_SMALL;
  memcpy(self->text + self->length, first, n);
  self->length += n;
  return 0;
}
static const NarrowSinkTable kNarrowSinkTable = {SinkWrite};

typedef struct WideSink WideSink;
typedef struct {
  int32_t(THISCALL* write)(WideSink* self, const uint16_t* first, const uint16_t* last);
} WideSinkTable;
struct WideSink {
  const WideSinkTable* table;
  uint16_t text[64];
  uint32_t length;
};

static int32_t THISCALL WideSinkWrite(WideSink* self, const uint16_t* first, const uint16_t* last) {
  const uint32_t n = (uint32_t)(last - first);
  if (self->length + n > 64) return (int32_t)E_BUFFER_TOO_SMALL;
  memcpy(self->text + self->length, first, n * 2);
  self->length += n;
  return 0;
}
static const WideSinkTable kWideSinkTable = {WideSinkWrite};

static void CheckFormatting(void* strings) {
  HostBuffer bytes;
  BufferInit(&bytes, 1, 1, 0);
  ABI_CHECK(FormatVia(strings, 8, 0, &bytes.record, "%5.2f|%-4d|%04x", 3.14159, 7, 255) == 0 &&
                BufferIs(&bytes, " 3.14|7   |00ff", 15),
            "FormatAppend reads a double, an int and an int from the va_list");
  ABI_CHECK(FormatVia(strings, 8, 0, &bytes.record, "%I64d/%s/%c", (int64_t)-5000000000LL, "s", 'c') == 0 &&
                BufferIs(&bytes, " 3.14|7   |00ff-5000000000/s/c", 30),
            "a 64-bit value takes two words; the text is appended");
  BufferFree(&bytes);

  static const uint16_t wideFormat[] = {'%', 's', '=', '%', 'h', 's', 0};
  static const uint16_t wideValue[] = {'w', 0};
  static const uint16_t wideExpected[] = {'w', '=', 'n'};
  HostBuffer wide;
  BufferInit(&wide, 2, 2, 0);
  ABI_CHECK(FormatVia(strings, 7, 0, &wide.record, wideFormat, wideValue, "n") == 0 &&
                BufferIs(&wide, wideExpected, 3),
            "FormatAppendW: %%s is wide, %%hs narrow");
  BufferFree(&wide);

  NarrowSink sink = {&kNarrowSinkTable, {0}, 0, 0};
  ABI_CHECK(FormatVia(strings, 10, 0, &sink, "[%-3d|%q]", 1) == 0 && sink.length == 8 &&
                memcmp(sink.text, "[1  |%q]", 8) == 0,
            "FormatToSink calls the sink's first entry as thiscall");
  NarrowSink small = {&kNarrowSinkTable, {0}, 60, 0};
  ABI_CHECK(FormatVia(strings, 10, 0, &small, "%s", "more than four") == (int32_t)E_BUFFER_TOO_SMALL,
            "the sink's failure is the result");
  WideSink wideSink = {&kWideSinkTable, {0}, 0};
  static const uint16_t sinkFormat[] = {'%', 'x', 0};
  ABI_CHECK(FormatVia(strings, 9, 0, &wideSink, sinkFormat, 0xBEEF) == 0 && wideSink.length == 4 &&
                wideSink.text[0] == 'b' && wideSink.text[3] == 'f',
            "FormatToSinkW writes UTF-16 units");
  HostBuffer hostile;
  BufferInit(&hostile, 1, 1, 0);
  ABI_CHECK(FormatVia(strings, 8, 0, &hostile.record, "%2147483647d", 1) == (int32_t)E_INVALID_ARG &&
                hostile.record.view.length == 0 && hostile.resizes == 0,
            "a width of 2^31-1 is refused before anything is written");
  BufferFree(&hostile);
}

static void CheckNumberText(void* strings) {
  HostBuffer bytes;
  BufferInit(&bytes, 2, 1, 0);
  ABI_CHECK(AbiCall(strings, 20, (const uint32_t[]){W(&bytes.record), 255, 0, 16, 1}, 5, "UInt64ToText") == 0 &&
                BufferIs(&bytes, "ff", 2),
            "UInt64ToText of 255 in base 16 width 1 is ff");
  ABI_CHECK(AbiCall(strings, 19, (const uint32_t[]){W(&bytes.record), 0xFFFFFFFFu, 0xFFFFFFFFu, 16, 2}, 5,
                    "Int64ToText") == 0 &&
                BufferIs(&bytes, "ffff", 4),
            "Int64ToText of -1 in base 16 width 2 is ffff");
  ABI_CHECK(AbiCall(strings, 19, (const uint32_t[]){W(&bytes.record), 0, 0x80000000u, 10, 8}, 5, "Int64ToText") ==
                    0 &&
                BufferIs(&bytes, "-9223372036854775808", 20),
            "the high word of the value is the second argument word");
  HostBuffer wide;
  BufferInit(&wide, 1, 2, 0);
  static const uint16_t wideDigits[] = {'4', '2'};
  ABI_CHECK(AbiCall(strings, 18, (const uint32_t[]){W(&wide.record), 42, 0, 0, 8}, 5, "UInt64ToTextW") == 0 &&
                BufferIs(&wide, wideDigits, 2),
            "UInt64ToTextW in base 0 is decimal");
  ABI_CHECK(AbiCall(strings, 17, (const uint32_t[]){W(&wide.record), 1, 0, 1, 8}, 5, "Int64ToTextW") ==
                E_INVALID_ARG,
            "base 1 is refused");
  BufferFree(&wide);

  union {
    double value;
    uint32_t words[2];
  } number = {1234.5};
  BufferInit(&bytes, 2, 1, 0);
  ABI_CHECK(AbiCall(strings, 22, (const uint32_t[]){W(&bytes.record), number.words[0], number.words[1], 3}, 4,
                    "DoubleToText") == 0 &&
                bytes.record.view.length >= 8 && memcmp(bytes.record.view.data, "1.23e+0", 7) == 0,
            "DoubleToText of 1234.5 to 3 digits starts 1.23e+0");
  HostBuffer wideDouble;
  BufferInit(&wideDouble, 2, 2, 0);
  ABI_CHECK(AbiCall(strings, 21, (const uint32_t[]){W(&wideDouble.record), number.words[0], number.words[1], 1}, 4,
                    "DoubleToTextW") == 0 &&
                wideDouble.record.view.length >= 5 && ((const uint16_t*)wideDouble.record.view.data)[0] == '1',
            "DoubleToTextW writes the same digits in UTF-16");
  BufferFree(&wideDouble);
  BufferFree(&bytes);

  double parsed = 0;
  const char* stop = NULL;
  const char* text = "-2,5e2x";
  ABI_CHECK(AbiCall(strings, 16, (const uint32_t[]){W(&parsed), W(text), 7, W(&stop), 0}, 5, "ParseDouble") ==
                    E_INVALID_ARG &&
                parsed == -250.0 && stop == text + 6,
            "ParseDouble reads -2,5e2 and stops at x");
  static const uint16_t infinity[] = {'-', 'I', 'n', 'F'};
  const uint16_t* wideStop = NULL;
  ABI_CHECK(AbiCall(strings, 15, (const uint32_t[]){W(&parsed), W(infinity), 4, W(&wideStop), 1}, 5,
                    "ParseDoubleW") == 0 &&
                parsed < -1e308 && wideStop == NULL,
            "ParseDoubleW reads -InF with flag 1");
  ABI_CHECK(AbiCall(strings, 16, (const uint32_t[]){W(&parsed), W("1e999"), 5, 0, 0}, 5, "ParseDouble") ==
                W_INFINITE && parsed > 1e308,
            "1e999 stores infinity with the warning");
}

static void CheckCase(void* strings) {
  static const uint16_t mixed[] = {'M', 'i', 'x', 0xC9};
  static const uint16_t lower[] = {'m', 'i', 'x', 0xE9};
  static const uint16_t upper[] = {'M', 'I', 'X', 0xC9};
  HostBuffer v1;
  BufferInit(&v1, 1, 2, 0);
  ABI_CHECK(AbiCall(strings, 23, (const uint32_t[]){0, W(&v1.record), W(mixed), 4}, 4, "ToLower") == 0 &&
                BufferIs(&v1, lower, 4),
            "ToLower into a version-1 buffer");
  ABI_CHECK(AbiCall(strings, 23, (const uint32_t[]){1, W(&v1.record), W(mixed), 4}, 4, "ToLower") == E_INVALID_ARG,
            "non-zero flags are refused");
  BufferFree(&v1);

  HostBuffer v2;
  BufferInit(&v2, 2, 2, 0);
  ABI_CHECK(AbiCall(strings, 24, (const uint32_t[]){0, W(&v2.record), W(mixed), 4}, 4, "ToUpper") == 0 &&
                BufferIs(&v2, upper, 4) && v2.swaps == 1,
            "ToUpper offers the version-2 buffer a swap, then copies (swaps %d)", v2.swaps);
  static const uint16_t terminated[] = {'a', 'b', 0, 'c'};
  static const uint16_t ab[] = {'A', 'B'};
  ABI_CHECK(AbiCall(strings, 24, (const uint32_t[]){0, W(&v2.record), W(terminated), 0xFFFFFFFFu}, 4, "ToUpper") == 0 &&
                BufferIs(&v2, ab, 2),
            "length 0xFFFFFFFF runs to the first zero");
  BufferFree(&v2);

  static const uint16_t abc[] = {'a', 'b', 'c'};
  static const uint16_t ABD[] = {'A', 'B', 'D'};
  static const uint16_t ABC[] = {'A', 'B', 'C'};
  static const uint16_t abcd[] = {'a', 'b', 'c', 'd'};
  ABI_CHECK((int32_t)AbiCall(strings, 25, (const uint32_t[]){0, W(abc), 3, W(ABD), 3}, 5, "CompareNoCase") == -1,
            "abc < ABD");
  ABI_CHECK(AbiCall(strings, 25, (const uint32_t[]){0, W(abc), 3, W(ABC), 3}, 5, "CompareNoCase") == 0, "abc = ABC");
  ABI_CHECK(AbiCall(strings, 25, (const uint32_t[]){0, W(abcd), 4, W(ABC), 3}, 5, "CompareNoCase") == 1, "abcd > ABC");
}

static void CheckWildcards(void* strings) {
  static const uint16_t starDotStar[] = {'*', '.', '*'};
  static const uint16_t readme[] = {'R', 'E', 'A', 'D', 'M', 'E'};
  static const uint16_t aqc[] = {'a', '?', 'c'};
  static const uint16_t ac[] = {'a', 'c'};
  static const uint16_t txt[] = {'*', '.', 'T', 'X', 'T'};
  static const uint16_t notes[] = {'n', 'o', 't', 'e', 's', '.', 't', 'x', 't'};
  const AbiStringView p1 = {starDotStar, 3}, n1 = {readme, 6};
  const AbiStringView p2 = {aqc, 3}, n2 = {ac, 2};
  const AbiStringView p3 = {txt, 5}, n3 = {notes, 9};
  uint8_t matches = 0xCC;
  ABI_CHECK(AbiCall(strings, 26, (const uint32_t[]){W(&matches), W(&p1), W(&n1)}, 3, "MatchWildcard") == 0 &&
                matches == 1,
            "*.* matches README");
  matches = 0xCC;
  ABI_CHECK(AbiCall(strings, 26, (const uint32_t[]){W(&matches), W(&p2), W(&n2)}, 3, "MatchWildcard") == 0 &&
                matches == 0,
            "a?c does not match ac");
  matches = 0xCC;
  ABI_CHECK(AbiCall(strings, 27, (const uint32_t[]){W(&matches), W(&p3), W(&n3)}, 3, "MatchWildcardNoCase") == 0 &&
                matches == 1,
            "*.TXT matches notes.txt without case");
  matches = 0xCC;
  ABI_CHECK(AbiCall(strings, 26, (const uint32_t[]){W(&matches), W(&p3), W(&n3)}, 3, "MatchWildcard") == 0 &&
                matches == 0,
            "...but not with it");
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    void* strings = NULL;
    const AbiReceiver receiver = {&kAbiStore, &strings, 2, NULL, NULL};
    ABI_CHECK(AbiCall(root, 6, (const uint32_t[]){W(&receiver)}, 1, "GetStringService") == 0 &&
                  strings == (char*)root + 8,
              "the string service is the root's third field");
    if (strings != NULL) {
      CheckConversions(strings);
      CheckNumbers(strings);
      CheckFormatting(strings);
      CheckNumberText(strings);
      CheckCase(strings);
      CheckWildcards(strings);
    }
    ABI_CHECK(AbiCall(root, 2, NULL, 0, "Release") == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_strings");
}
