/* The XmlWriter of root slot 7 driven the way an MSVC-built host drives it:
 * every slot by number through AbiCall (which checks that the callee removed
 * exactly its argument words), strings as UTF-16 pointer and length, the
 * output a host stream in memory whose bytes are compared exactly. The
 * expected bytes are written out here by hand rather than taken from the
 * library's own tests, so that a host and the library cannot drift apart
 * together. */
#include <string.h>

#include "abi_codes.h"
#include "abi_counting_heap.h"
#include "abi_host.h"
#include "abi_host_stream.h"

typedef struct {
  const AbiAllocatorTable* callbacks;
  void* context;
} AbiAllocatorRecord;

enum { kRootCreateXmlWriter = 7, kTypeXmlWriter = 7 };
enum {
  kQuery = 0,
  kDestroy = 1,
  kFlush = 2,
  kSetFormatting = 3,
  kSetEscapeMode = 4,
  kWriteDeclaration = 5,
  kStartElement = 6,
  kEndElement = 7,
  kEndElementFull = 8,
  kWriteElement = 9,
  kStartAttribute = 10,
  kEndAttribute = 11,
  kWriteAttribute = 12,
  kWriteText = 13,
  kWriteRaw = 14,
  kGetStatus = 15
};
enum { kStreamWrite = 7, kStreamSlots = 17 };

/* A failure only the host's stream produces, so that the writer can only
 * have passed it on, not made it up. */
#define E_HOST_WRITE_FAILED 0xE00A0F01u

static const AbiAllocatorRecord kDefaultHeap = {NULL, NULL};
static const AbiAllocatorRecord kCounted = {&kAbiCountingHeap, NULL};

static void* NewWriter(void* root, AbiHostStream* output, const AbiAllocatorTable* allocator) {
  void* writer = NULL;
  AbiReceiver receiver = {&kAbiStore, &writer, 1, allocator, NULL};
  const uint32_t words[2] = {W(&receiver), W(output)};
  ABI_CHECK(AbiCall(root, kRootCreateXmlWriter, words, 2, "CreateXmlWriter") == 0 && writer != NULL,
            "root slot 7 delivers an XmlWriter");
  return writer;
}

static void Destroy(void* writer, const AbiAllocatorRecord* allocator) {
  const uint32_t words[1] = {W(allocator)};
  AbiCall(writer, kDestroy, words, 1, "Destroy");
}

static uint32_t Call0(void* writer, unsigned slot, const char* what) { return AbiCall(writer, slot, NULL, 0, what); }

static uint32_t Call1(void* writer, unsigned slot, uint32_t value, const char* what) {
  const uint32_t words[1] = {value};
  return AbiCall(writer, slot, words, 1, what);
}

static uint32_t CallText(void* writer, unsigned slot, const wchar_t* text, uint32_t length, const char* what) {
  const uint32_t words[2] = {W(text), length};
  return AbiCall(writer, slot, words, 2, what);
}

static uint32_t CallPair(void* writer, unsigned slot, const wchar_t* first, uint32_t firstLength,
                         const wchar_t* second, uint32_t secondLength, const char* what) {
  const uint32_t words[4] = {W(first), firstLength, W(second), secondLength};
  return AbiCall(writer, slot, words, 4, what);
}

/* Whether the stream holds exactly want; prints what it holds when not. */
static int OutputIs(const AbiHostStream* stream, const char* want, uint32_t wantLength) {
  if (stream->length == wantLength && (wantLength == 0 || memcmp(stream->data, want, wantLength) == 0)) return 1;
  printf("  stream holds %u bytes: \"", stream->length);
  for (uint32_t i = 0; i < stream->length; ++i) {
    const uint8_t c = stream->data[i];
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      putchar(c);
    } else {
      printf("\\x%02X", c);
    }
  }
  printf("\"\n");
  return 0;
}
#define OUTPUT_IS(stream, literal) OutputIs((stream), (literal), (uint32_t)(sizeof(literal) - 1))

static void CheckCreation(void* root) {
  AbiHostStream stream;
  AbiHostStreamInit(&stream, NULL, 0);
  void* none = (void*)0xDEADBEEF;
  AbiReceiver tooNew = {&kAbiStore, &none, 2, &kAbiCountingHeap, NULL};
  const uint32_t words[2] = {W(&tooNew), W(&stream)};
  g_abiAllocated = g_abiFreed = 0;
  ABI_CHECK(AbiCall(root, kRootCreateXmlWriter, words, 2, "CreateXmlWriter") == E_UNSUPPORTED_VERSION,
            "receiver version 2 is refused with 0xE0010054");
  ABI_CHECK(none == (void*)0xDEADBEEF && g_abiAllocated == 0, "a refused version delivers and allocates nothing");

  void* writer = NewWriter(root, &stream, NULL);
  if (writer != NULL) {
    /* One byte is written, whatever lies behind it. */
    uint8_t supported[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    const uint32_t query[3] = {kTypeXmlWriter, 1, W(supported)};
    ABI_CHECK(AbiCall(writer, kQuery, query, 3, "Query") == W(writer) && supported[0] == 1,
              "type 7 at version 1 is the writer");
    ABI_CHECK(supported[1] == 0xAA && supported[2] == 0xAA && supported[3] == 0xAA,
              "the supported flag is a single byte");
    const uint32_t query2[3] = {kTypeXmlWriter, 2, W(supported)};
    ABI_CHECK(AbiCall(writer, kQuery, query2, 3, "Query") == 0 && supported[0] == 0, "not version 2");
    supported[0] = 0xAA;
    const uint32_t other[3] = {1, 1, W(supported)};
    ABI_CHECK(AbiCall(writer, kQuery, other, 3, "Query") == 0 && supported[0] == 0, "no other type");
    const uint32_t noFlag[3] = {kTypeXmlWriter, 1, 0};
    ABI_CHECK(AbiCall(writer, kQuery, noFlag, 3, "Query") == W(writer), "a null flag pointer is allowed");
    ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == 0, "a new writer is well");
    Destroy(writer, &kDefaultHeap);
  }
  ABI_CHECK(stream.length == 0, "a writer that wrote nothing leaves the stream empty");
  AbiHostStreamFree(&stream);
}

static void CheckDefaults(void* root) {
  AbiHostStream stream;
  AbiHostStreamInit(&stream, NULL, 0);
  void* writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  ABI_CHECK(CallText(writer, kWriteDeclaration, L"1.0", 3, "WriteDeclaration") == 0, "WriteDeclaration");
  ABI_CHECK(CallText(writer, kStartElement, L"a", 1, "StartElement") == 0, "StartElement a");
  ABI_CHECK(CallPair(writer, kWriteAttribute, L"k", 1, L"x<\"y", 4, "WriteAttribute") == 0, "WriteAttribute");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "EndElement");
  ABI_CHECK(stream.length == 0, "a short document stays in the buffer until Flush");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == 0, "Flush");
  ABI_CHECK(OUTPUT_IS(&stream, "<?xml version=\"1.0\" encoding=\"utf-8\"?><a k=\"x&lt;&quot;y\"/>"),
            "no whitespace of the writer's own, the attribute escaped");
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);
}

static void CheckFormatting(void* root) {
  AbiHostStream stream;
  AbiHostStreamInit(&stream, NULL, 0);
  void* writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  ABI_CHECK(CallPair(writer, kSetFormatting, L"  ", 2, L"\n", 1, "SetFormatting") == 0, "SetFormatting");
  ABI_CHECK(CallText(writer, kWriteDeclaration, L"1.0", 3, "WriteDeclaration") == 0, "WriteDeclaration");
  ABI_CHECK(CallText(writer, kStartElement, L"a", 0xFFFFFFFFu, "StartElement") == 0, "a, NUL-terminated");
  ABI_CHECK(CallText(writer, kStartElement, L"b", 1, "StartElement") == 0, "b");
  ABI_CHECK(CallText(writer, kWriteText, L"t", 1, "WriteText") == 0, "WriteText");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "end b");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "end a");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == 0, "Flush");
  ABI_CHECK(OUTPUT_IS(&stream, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a>\n  <b>t</b>\n</a>\n"),
            "two-space indent and line feeds");
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);
}

static void CheckShapes(void* root) {
  AbiHostStream stream;
  AbiHostStreamInit(&stream, NULL, 0);
  void* writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  ABI_CHECK(CallText(writer, kStartElement, L"a", 1, "StartElement") == 0, "StartElement a");
  ABI_CHECK(Call0(writer, kEndElementFull, "EndElementFull") == 0, "EndElementFull");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == 0 && OUTPUT_IS(&stream, "<a></a>"), "an empty element in full");
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);

  AbiHostStreamInit(&stream, NULL, 0);
  writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  ABI_CHECK(CallText(writer, kWriteText, L"", 0, "WriteText") == 0, "nothing to write succeeds before any element");
  ABI_CHECK(CallText(writer, kWriteText, L"t", 1, "WriteText") == E_NOT_IMPLEMENTED,
            "text before any element is refused with 0xE001003C");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == E_INVALID_STATE, "EndElement with nothing open");
  ABI_CHECK(Call0(writer, kEndElementFull, "EndElementFull") == E_INVALID_STATE, "EndElementFull too");
  ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == 0, "an unbalanced call is not kept");
  ABI_CHECK(Call1(writer, kSetEscapeMode, 4, "SetEscapeMode") == E_INVALID_ARG, "escape mode 4 is refused");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == 0 && stream.length == 0, "the refused calls wrote nothing");

  ABI_CHECK(CallText(writer, kStartElement, L"r", 0xFFFFFFFFu, "StartElement") == 0, "StartElement r");
  ABI_CHECK(CallPair(writer, kWriteElement, L"k", 1, L"1&2", 3, "WriteElement") == 0, "WriteElement");
  ABI_CHECK(CallPair(writer, kWriteElement, L"e", 1, L"", 0, "WriteElement") == 0, "WriteElement, no text");
  ABI_CHECK(CallText(writer, kStartElement, L"f", 1, "StartElement") == 0, "StartElement f");
  ABI_CHECK(CallText(writer, kStartAttribute, L"a", 1, "StartAttribute") == 0, "StartAttribute");
  ABI_CHECK(CallText(writer, kWriteText, L"1'2", 3, "WriteText") == 0, "the attribute's value as text");
  ABI_CHECK(CallText(writer, kWriteText, L">\"", 2, "WriteText") == 0, "more of it");
  ABI_CHECK(Call0(writer, kEndAttribute, "EndAttribute") == 0, "EndAttribute");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "end f");
  ABI_CHECK(CallText(writer, kWriteRaw, L"<!-- & -->", 10, "WriteRaw") == 0, "WriteRaw");
  ABI_CHECK(CallText(writer, kWriteRaw, L"", 0, "WriteRaw") == 0, "WriteRaw of nothing");
  /* Non-ASCII name; text with a surrogate pair (U+1F600) and U+00FF. */
  static const wchar_t kName[] = {0x00E9, 0x4E2D, 0};
  static const wchar_t kText[] = {0xD83D, 0xDE00, 0x20, 0x00FF, 0};
  ABI_CHECK(CallText(writer, kStartElement, kName, 2, "StartElement") == 0, "a non-ASCII name");
  ABI_CHECK(CallText(writer, kWriteText, kText, 4, "WriteText") == 0, "a surrogate pair in text");
  static const wchar_t kLone[] = {L'a', 0xD800, 0};
  ABI_CHECK(CallText(writer, kWriteText, kLone, 2, "WriteText") == E_BAD_FORMAT, "a lone surrogate is refused");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "end the non-ASCII element");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "end r");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == 0, "Flush");
  ABI_CHECK(OUTPUT_IS(&stream,
                      "<r><k>1&amp;2</k><e/><f a=\"1&apos;2&gt;&quot;\"/><!-- & -->"
                      "<\xC3\xA9\xE4\xB8\xAD>\xF0\x9F\x98\x80 \xC3\xBF</\xC3\xA9\xE4\xB8\xAD></r>"),
            "whole elements, attribute pieces, raw text and UTF-8");
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);
}

/* Text with U+0001 and U+FFFF in escape mode mode; the bytes expected. */
static void CheckEscapeMode(void* root, uint32_t mode, uint32_t textResult, const char* want, uint32_t wantLength) {
  static const wchar_t kText[] = {L'a', 0x0001, L'b', 0xFFFF, L'&', 0};
  AbiHostStream stream;
  AbiHostStreamInit(&stream, NULL, 0);
  void* writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  ABI_CHECK(Call1(writer, kSetEscapeMode, mode, "SetEscapeMode") == 0, "escape mode %u", mode);
  ABI_CHECK(CallText(writer, kStartElement, L"e", 1, "StartElement") == 0, "StartElement e");
  ABI_CHECK(CallText(writer, kWriteText, kText, 5, "WriteText") == textResult,
            "escape mode %u: WriteText answers 0x%08X", mode, textResult);
  ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == 0, "escape mode %u: a refusal is not kept", mode);
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == 0, "EndElement");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == 0, "Flush");
  ABI_CHECK(OutputIs(&stream, want, wantLength), "escape mode %u output", mode);
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);
}

static void CheckEscapeModes(void* root) {
  /* Mode 0 refuses the whole call, so the element stays empty. */
  static const char kRefuse[] = "<e/>";
  static const char kDrop[] = "<e>ab&amp;</e>";
  static const char kEncode[] = "<e>a&#x1;b&#xffff;&amp;</e>";
  static const char kVerbatim[] = "<e>a\x01" "b\xEF\xBF\xBF&amp;</e>";
  CheckEscapeMode(root, 0, E_BAD_FORMAT, kRefuse, sizeof kRefuse - 1);
  CheckEscapeMode(root, 1, 0, kDrop, sizeof kDrop - 1);
  CheckEscapeMode(root, 2, 0, kEncode, sizeof kEncode - 1);
  CheckEscapeMode(root, 3, 0, kVerbatim, sizeof kVerbatim - 1);
}

static void CheckEscapeModesInAttributes(void* root) {
  static const wchar_t kValue[] = {L'a', 0x0001, L'\'', 0xFFFE, 0};
  static const char* const kWant[4] = {"<e/>", "<e v=\"a&apos;\"/>", "<e v=\"a&#x1;&apos;&#xfffe;\"/>",
                                       "<e v=\"a\x01&apos;\xEF\xBF\xBE\"/>"};
  for (uint32_t mode = 0; mode < 4; ++mode) {
    AbiHostStream stream;
    AbiHostStreamInit(&stream, NULL, 0);
    void* writer = NewWriter(root, &stream, NULL);
    if (writer == NULL) return;
    Call1(writer, kSetEscapeMode, mode, "SetEscapeMode");
    CallText(writer, kStartElement, L"e", 1, "StartElement");
    const uint32_t rc = CallPair(writer, kWriteAttribute, L"v", 1, kValue, 4, "WriteAttribute");
    ABI_CHECK(rc == (mode == 0 ? E_BAD_FORMAT : 0), "attribute in escape mode %u answers 0x%08X", mode, rc);
    Call0(writer, kEndElement, "EndElement");
    Call0(writer, kFlush, "Flush");
    ABI_CHECK(OutputIs(&stream, kWant[mode], (uint32_t)strlen(kWant[mode])), "attribute in escape mode %u", mode);
    Destroy(writer, &kDefaultHeap);
    AbiHostStreamFree(&stream);
  }
}

static int g_failedWrites;

static int32_t THISCALL FailingWrite(AbiHostStream* self, const void* buffer, uint32_t count, uint32_t* done) {
  (void)self, (void)buffer, (void)count, (void)done;
  ++g_failedWrites;
  return (int32_t)E_HOST_WRITE_FAILED;
}

/* The memory stream's own slots, but every write fails. */
static void InitFailingStream(AbiHostStream* stream, void** table) {
  AbiHostStreamInit(stream, NULL, 0);
  memcpy(table, stream->table, kStreamSlots * sizeof(void*));
  table[kStreamWrite] = (void*)FailingWrite;
  stream->table = (const AbiHostStreamTable*)table;
}

static void CheckFailedWrites(void* root) {
  void* table[kStreamSlots];
  AbiHostStream stream;
  InitFailingStream(&stream, table);
  void* writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  g_failedWrites = 0;
  ABI_CHECK(CallText(writer, kStartElement, L"a", 1, "StartElement") == 0, "buffered, so not failed yet");
  ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == 0 && g_failedWrites == 0, "no write tried yet");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == E_HOST_WRITE_FAILED && g_failedWrites == 1,
            "Flush passes the host's failure on");
  ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == E_HOST_WRITE_FAILED, "GetStatus keeps it");
  ABI_CHECK(CallText(writer, kWriteText, L"t", 1, "WriteText") == E_HOST_WRITE_FAILED, "WriteText returns it");
  ABI_CHECK(CallText(writer, kStartElement, L"b", 1, "StartElement") == E_HOST_WRITE_FAILED, "StartElement too");
  ABI_CHECK(CallPair(writer, kWriteAttribute, L"k", 1, L"v", 1, "WriteAttribute") == E_HOST_WRITE_FAILED,
            "WriteAttribute too");
  ABI_CHECK(CallPair(writer, kWriteElement, L"k", 1, L"v", 1, "WriteElement") == E_HOST_WRITE_FAILED,
            "WriteElement too");
  ABI_CHECK(CallText(writer, kWriteRaw, L"r", 1, "WriteRaw") == E_HOST_WRITE_FAILED, "WriteRaw too");
  ABI_CHECK(Call0(writer, kEndElement, "EndElement") == E_HOST_WRITE_FAILED, "EndElement too");
  ABI_CHECK(Call0(writer, kFlush, "Flush") == E_HOST_WRITE_FAILED, "and Flush again");
  ABI_CHECK(Call1(writer, kSetEscapeMode, 1, "SetEscapeMode") == 0, "the setters still work");
  ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == E_HOST_WRITE_FAILED, "the failure stays");
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);

  /* Text too long for the buffer reaches the stream within the call. */
  static wchar_t big[5000];
  for (uint32_t i = 0; i < 5000; ++i) big[i] = L'z';
  InitFailingStream(&stream, table);
  writer = NewWriter(root, &stream, NULL);
  if (writer == NULL) return;
  ABI_CHECK(CallText(writer, kStartElement, L"a", 1, "StartElement") == 0, "StartElement");
  ABI_CHECK(CallText(writer, kWriteText, big, 5000, "WriteText") == E_HOST_WRITE_FAILED,
            "a text longer than the buffer fails in the call");
  ABI_CHECK(Call0(writer, kGetStatus, "GetStatus") == E_HOST_WRITE_FAILED, "and is kept");
  Destroy(writer, &kDefaultHeap);
  AbiHostStreamFree(&stream);
}

static void CheckDestroy(void* root) {
  AbiHostStream stream;
  AbiHostStreamInit(&stream, NULL, 0);
  g_abiAllocated = g_abiFreed = 0;
  void* writer = NewWriter(root, &stream, &kAbiCountingHeap);
  if (writer == NULL) return;
  ABI_CHECK(g_abiAllocated >= 1, "the writer comes from the receiver's allocator (%d calls)", g_abiAllocated);
  CallText(writer, kStartElement, L"a", 1, "StartElement");
  CallText(writer, kWriteText, L"x", 1, "WriteText");
  Call0(writer, kEndElement, "EndElement");
  ABI_CHECK(stream.length == 0 && stream.writes == 0, "still buffered before Destroy");
  Destroy(writer, &kCounted);
  ABI_CHECK(OUTPUT_IS(&stream, "<a>x</a>"), "Destroy writes what was buffered");
  ABI_CHECK(g_abiFreed == g_abiAllocated, "everything allocated was freed (%d of %d)", g_abiFreed, g_abiAllocated);
  AbiHostStreamFree(&stream);
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    CheckCreation(root);
    CheckDefaults(root);
    CheckFormatting(root);
    CheckShapes(root);
    CheckEscapeModes(root);
    CheckEscapeModesInAttributes(root);
    CheckFailedWrites(root);
    CheckDestroy(root);
    ABI_CHECK(((uint32_t(THISCALL*)(void*))AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_xml");
}
