/* The archive factory and its deflate stream reached the way an MSVC-built
 * host reaches them: the factory from root slot 4 through a receiver, every
 * slot called by number through AbiCallSlot (which also checks that the
 * callee removed exactly its argument words), and the host's own stream as a
 * table of thiscall functions over a memory buffer. Data is compressed
 * through slot 7 and Finish, then decompressed through a second stream. */
#include <stdlib.h>
#include <string.h>

#include "abi_codes.h"
#include "abi_host.h"
#include "abi_host_stream.h"

static void* CreateStream(void* factory, AbiHostStream* host, int compress, int32_t level, uint32_t bufferSize,
                          uint32_t* result) {
  void* stream = (void*)0xDEADBEEF;
  const uint32_t words[5] = {W(&stream), W(host), (uint32_t)compress, (uint32_t)level, bufferSize};
  *result = AbiCall(factory, 3, words, 5, "CreateDeflateStream");
  return stream;
}

/* Mixed text and bytes from a fixed linear congruential sequence. */
static uint8_t* MakeData(uint32_t length) {
  static const char* const kWords[] = {"stream ", "deflate ", "host ", "slot ", "table ", "buffer\n"};
  uint8_t* data = (uint8_t*)malloc(length ? length : 1);
  uint32_t state = 12345;
  uint32_t at = 0;
  while (at < length) {
    state = state * 1103515245u + 12345u;
    if ((state >> 16) % 8 == 0) {
      data[at++] = (uint8_t)(state >> 24);
    } else {
      const char* word = kWords[(state >> 16) % 6];
      while (*word && at < length) data[at++] = (uint8_t)*word++;
    }
  }
  return data;
}

static uint32_t Inflate(void* factory, AbiHostStream* source, uint8_t* out, uint32_t capacity, uint32_t* produced) {
  uint32_t result = 0;
  void* reader = CreateStream(factory, source, 0, 0, 1000, &result);
  ABI_CHECK(result == 0, "decompressing stream created: 0x%08X", result);
  *produced = 0;
  if (result != 0) return result;
  for (;;) {
    uint32_t got = 0xDEADBEEF;
    const uint32_t words[3] = {W(out + *produced), capacity - *produced < 777 ? capacity - *produced : 777, W(&got)};
    result = AbiCall(reader, 5, words, 3, "Read");
    if (result != 0) break;
    *produced += got;
  }
  ABI_CHECK(AbiCall(reader, 16, NULL, 0, "Finish") == 0, "Finish on a decompressing stream is 0");
  AbiCall(reader, 0, NULL, 0, "Release");
  return result;
}

static void CheckRoundTrip(void* factory) {
  const uint32_t length = 300000;
  uint8_t* data = MakeData(length);
  AbiHostStream sink;
  AbiHostStreamInit(&sink, NULL, 0);
  uint32_t result = 0;
  void* writer = CreateStream(factory, &sink, 1, 6, 4096, &result);
  ABI_CHECK(result == 0 && writer != NULL && writer != (void*)0xDEADBEEF, "compressing stream created: 0x%08X",
            result);
  if (result != 0) return;

  /* Writes of odd sizes through slot 7. */
  uint32_t at = 0;
  while (at < length) {
    uint32_t n = length - at < 12345 ? length - at : 12345;
    uint32_t consumed = 0;
    const uint32_t words[3] = {W(data + at), n, W(&consumed)};
    ABI_CHECK(AbiCall(writer, 7, words, 3, "Write") == 0 && consumed == n, "write of %u bytes", n);
    at += n;
  }
  ABI_CHECK(AbiCall(writer, 16, NULL, 0, "Finish") == 0, "Finish succeeds");
  const uint32_t compressedLength = sink.length;
  const int writes = sink.writes;
  ABI_CHECK(compressedLength > 0 && compressedLength < length, "compressed to %u bytes", compressedLength);
  ABI_CHECK(AbiCall(writer, 16, NULL, 0, "Finish") == 0, "a second Finish returns 0");
  ABI_CHECK(sink.length == compressedLength && sink.writes == writes, "and writes nothing");
  AbiCall(writer, 0, NULL, 0, "Release");

  uint8_t* out = (uint8_t*)malloc(length + 100);
  AbiHostStream source;
  uint32_t produced = 0;
  AbiHostStreamInit(&source, sink.data, sink.length);
  result = Inflate(factory, &source, out, length + 100, &produced);
  ABI_CHECK(result == E_END_OF_DATA, "the data ends with 0xE001018B (got 0x%08X)", result);
  ABI_CHECK(produced == length && memcmp(out, data, length) == 0, "decompressed bytes match (%u of %u)", produced,
            length);
  AbiHostStreamFree(&source);

  /* The compressed data cut short, and followed by a stray byte. */
  AbiHostStreamInit(&source, sink.data, sink.length - 2);
  result = Inflate(factory, &source, out, length + 100, &produced);
  ABI_CHECK(result == E_UNEXPECTED_END, "truncated data gives 0xE0010091 (got 0x%08X)", result);
  AbiHostStreamFree(&source);
  uint8_t* longer = (uint8_t*)malloc(sink.length + 1);
  memcpy(longer, sink.data, sink.length);
  longer[sink.length] = 0x55;
  AbiHostStreamInit(&source, longer, sink.length + 1);
  result = Inflate(factory, &source, out, length + 100, &produced);
  ABI_CHECK(result == E_TRAILING_DATA && produced == length, "a trailing byte gives 0xE0010090 (got 0x%08X)", result);
  AbiHostStreamFree(&source);

  free(longer);
  free(out);
  AbiHostStreamFree(&sink);
  free(data);
}

static void CheckEmptyInputAndOtherSlots(void* factory) {
  AbiHostStream sink;
  AbiHostStreamInit(&sink, NULL, 0);
  uint32_t result = 0;
  void* stream = CreateStream(factory, &sink, 1, -1, 32768, &result);
  ABI_CHECK(result == 0, "stream with the default level: 0x%08X", result);
  if (result != 0) return;

  uint32_t scratch[8] = {0};
  uint32_t words[5] = {0, 0, W(scratch), 4, W(scratch)};
  ABI_CHECK((AbiCall(stream, 1, NULL, 0, "IsOpen") & 0xFF) == 1, "slot 1 is true");
  ABI_CHECK((AbiCall(stream, 2, NULL, 0, "slot 2") & 0xFF) == 1, "slot 2 is true");
  ABI_CHECK((AbiCall(stream, 3, NULL, 0, "slot 3") & 0xFF) == 1, "slot 3 is true");
  ABI_CHECK(AbiCall(stream, 4, words, 5, "ReadAt") == E_UNSUPPORTED_VERSION, "ReadAt unsupported");
  ABI_CHECK(AbiCall(stream, 6, words, 5, "WriteAt") == E_UNSUPPORTED_VERSION, "WriteAt unsupported");
  words[0] = W(scratch);
  ABI_CHECK(AbiCall(stream, 8, words, 1, "Tell") == E_UNSUPPORTED_VERSION, "Tell unsupported");
  ABI_CHECK(AbiCall(stream, 9, words, 3, "Seek") == E_UNSUPPORTED_VERSION, "Seek unsupported");
  ABI_CHECK(AbiCall(stream, 10, words, 1, "GetSize") == E_UNSUPPORTED_VERSION, "GetSize unsupported");
  ABI_CHECK(AbiCall(stream, 11, words, 2, "SetSize") == E_UNSUPPORTED_VERSION, "SetSize unsupported");
  ABI_CHECK((AbiCall(stream, 12, words, 1, "CanSaveState") & 0xFF) == 0, "CanSaveState is false");
  ABI_CHECK(AbiCall(stream, 13, words, 2, "SaveState") == E_UNSUPPORTED_VERSION, "SaveState unsupported");
  ABI_CHECK(AbiCall(stream, 14, words, 2, "LoadState") == E_UNSUPPORTED_VERSION, "LoadState unsupported");
  words[0] = 0;
  words[2] = 0;
  words[3] = W(scratch);
  ABI_CHECK(AbiCall(stream, 15, words, 5, "Map") == E_UNSUPPORTED_VERSION, "Map unsupported");
  ABI_CHECK(scratch[0] == 0, "the unsupported slots wrote nothing");
  ABI_CHECK(sink.writes == 0, "nothing reached the host before Finish");

  ABI_CHECK(AbiCall(stream, 16, NULL, 0, "Finish") == 0, "Finish of an empty stream");
  ABI_CHECK(sink.length == 2 && sink.data[0] == 0x03 && sink.data[1] == 0x00,
            "empty input still writes the end of the deflate data (03 00), got %u bytes", sink.length);
  AbiCall(stream, 0, NULL, 0, "Release");
  AbiHostStreamFree(&sink);

  void* untouched = (void*)0xDEADBEEF;
  const uint32_t bad[5] = {W(&untouched), W(&sink), 1, 6, 0};
  ABI_CHECK(AbiCall(factory, 3, bad, 5, "CreateDeflateStream") == E_INVALID_ARG, "buffer size 0 refused");
  ABI_CHECK(untouched == (void*)0xDEADBEEF, "output untouched on refusal");
  void* service = (void*)0xDEADBEEF;
  const uint32_t serviceWords[1] = {W(&service)};
  ABI_CHECK(AbiCall(factory, 2, serviceWords, 1, "CreateZipService") == 0, "CreateZipService delivers a service");
  ABI_CHECK(service != NULL && service != (void*)0xDEADBEEF, "and stores it");
  if (service != NULL && service != (void*)0xDEADBEEF) AbiCall(service, 0, NULL, 0, "ZipService release");
  ABI_CHECK(AbiCall(factory, 4, NULL, 0, "reserved slot") == E_NOT_IMPLEMENTED, "slot 4 is not implemented");
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    void* factory = NULL;
    AbiReceiver receiver = {&kAbiStore, &factory, 1, NULL, NULL};
    const uint32_t receiverWords[1] = {W(&receiver)};
    ABI_CHECK(AbiCall(root, 4, receiverWords, 1, "CreateArchiveFactory") == 0 && factory != NULL,
              "root slot 4 delivers the archive factory");
    if (factory != NULL) {
      uint32_t highest = 0xDEADBEEF;
      const uint32_t query[3] = {2, 1, W(&highest)};
      ABI_CHECK(AbiCall(factory, 0, query, 3, "Query") == W(factory) && highest == 1, "factory answers type 2");
      const uint32_t query2[3] = {2, 2, W(&highest)};
      ABI_CHECK(AbiCall(factory, 0, query2, 3, "Query") == 0 && highest == 1, "but not at version 2");
      CheckRoundTrip(factory);
      CheckEmptyInputAndOtherSlots(factory);
      const uint32_t allocator[2] = {0, 0};
      const uint32_t destroyWords[1] = {W(allocator)};
      AbiCall(factory, 1, destroyWords, 1, "Destroy");
    }
    ABI_CHECK(((uint32_t(THISCALL*)(void*))AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_codec");
}
