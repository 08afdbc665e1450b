/* The root object and its embedded services reached the way an MSVC-built
 * host reaches them: GetRylObject through GetProcAddress as __stdcall, every
 * slot by number as __thiscall, records laid out by hand. */
#include <string.h>

#include "abi_codes.h"
#include "abi_counting_heap.h"
#include "abi_host.h"

static const AbiGuid kFixed = {
    {0x89, 0x1B, 0xBB, 0x00, 0x97, 0xDC, 0x41, 0x9F, 0x96, 0x71, 0xA2, 0x12, 0x33, 0x37, 0xDE, 0x83}};

static int g_delivered;

static int32_t __cdecl StoreDeliver(void* object, void* context) {
  ++g_delivered;
  *(void**)context = object;
  return 0;
}

static const AbiReceiverTable kStore = {1, StoreDeliver};

typedef void*(THISCALL* QueryFn)(void* self, uint32_t type, uint32_t version, uint32_t* highest);
typedef uint32_t(THISCALL* CountFn)(void* self);
typedef int32_t(THISCALL* ReceiverFn)(void* self, const AbiReceiver* receiver);

static void CheckIdentifiers(AbiDll* dll) {
  void* root = (void*)0xDEADBEEF;
  AbiGuid id = kAbiRootId;
  id.bytes[15] = 0x0B;
  ABI_CHECK((uint32_t)dll->getObject(id, &root) == E_UNSUPPORTED_VERSION, "version 11 refused");
  ABI_CHECK(root == (void*)0xDEADBEEF, "out pointer untouched on refusal");

  id = kAbiRootId;
  id.bytes[12] = 0x0A;
  id.bytes[15] = 0x00;
  ABI_CHECK((uint32_t)dll->getObject(id, &root) == E_UNSUPPORTED_VERSION, "little-endian 10 refused");

  for (int i = 0; i < 16; ++i) {
    id = kFixed;
    id.bytes[i] ^= 0x01;
    ABI_CHECK((uint32_t)dll->getObject(id, &root) == E_UNSUPPORTED_VERSION, "fixed id with byte %d changed", i);
  }
  ABI_CHECK(root == (void*)0xDEADBEEF, "out pointer untouched after every refusal");

  void* first = NULL;
  void* second = NULL;
  ABI_CHECK(dll->getObject(kFixed, &first) == 0 && first != NULL, "fixed id accepted");
  id = kAbiRootId;
  id.bytes[15] = 0;
  ABI_CHECK(dll->getObject(id, &second) == 0 && second == first, "version 0 gives the same root");
  ABI_CHECK(((CountFn)AbiSlot(first, 2))(first) == 1, "release with another reference left returns 1");
  ABI_CHECK(((CountFn)AbiSlot(second, 2))(second) == 0, "last release returns 0");
}

static void CheckRoot(void* root) {
  uint32_t highest = 0xDEADBEEF;
  QueryFn query = (QueryFn)AbiSlot(root, 3);
  ABI_CHECK(query(root, 1, 11, &highest) == root && highest == 11, "root answers type 1 version 11");
  highest = 0xDEADBEEF;
  ABI_CHECK(query(root, 1, 12, &highest) == NULL && highest == 11, "version 12 is null, highest still 11");
  highest = 0xDEADBEEF;
  ABI_CHECK(query(root, 3, 1, &highest) == NULL && highest == 0, "type 3 is not answered by the root");
  highest = 0xDEADBEEF;
  ABI_CHECK(query(root, 6, 1, &highest) == NULL && highest == 0, "type 6 is not answered by the root");
  ABI_CHECK(query(root, 1, 1, NULL) == root, "null highest-version field is allowed");

  ABI_CHECK(((CountFn)AbiSlot(root, 1))(root) == 2, "AddRef returns 2");
  ABI_CHECK(((CountFn)AbiSlot(root, 2))(root) == 1, "Release with the host's reference left returns 1");

  void* fs = NULL;
  AbiReceiver receiver = {&kStore, &fs, 3, NULL, NULL};
  g_delivered = 0;
  ABI_CHECK(((ReceiverFn)AbiSlot(root, 5))(root, &receiver) == 0 && fs != NULL, "file-system service version 3");
  ABI_CHECK(fs == (char*)root + 4, "the file-system table is the root's second field");
  receiver.requestedVersion = 4;
  ABI_CHECK((uint32_t)((ReceiverFn)AbiSlot(root, 5))(root, &receiver) == E_INVALID_ARG,
            "file-system service version 4 refused with 0xE0010002");
  ABI_CHECK(g_delivered == 1, "a refused version delivers nothing");

  void* strings = NULL;
  receiver.context = &strings;
  receiver.requestedVersion = 2;
  ABI_CHECK(((ReceiverFn)AbiSlot(root, 6))(root, &receiver) == 0 && strings == (char*)root + 8,
            "string service version 2 is the root's third field");
  receiver.requestedVersion = 3;
  ABI_CHECK((uint32_t)((ReceiverFn)AbiSlot(root, 6))(root, &receiver) == E_INVALID_ARG,
            "string service version 3 refused with 0xE0010002");

  highest = 0xDEADBEEF;
  ABI_CHECK(((QueryFn)AbiSlot(fs, 0))(fs, 3, 3, &highest) == fs && highest == 3, "file-system query type 3");
  ABI_CHECK(((QueryFn)AbiSlot(fs, 0))(fs, 3, 4, &highest) == NULL && highest == 3, "file-system version 4 null");
  ABI_CHECK(((QueryFn)AbiSlot(fs, 0))(fs, 6, 1, &highest) == NULL && highest == 0,
            "the string service cannot be reached from the file-system service");
  ABI_CHECK(((QueryFn)AbiSlot(fs, 0))(fs, 1, 1, &highest) == NULL && highest == 0, "nor the root");
  ABI_CHECK(((QueryFn)AbiSlot(strings, 0))(strings, 6, 2, &highest) == strings && highest == 2,
            "string query type 6");
  ABI_CHECK(((QueryFn)AbiSlot(strings, 0))(strings, 3, 1, &highest) == NULL && highest == 0,
            "the file-system service cannot be reached from the string service");

  void* factory = (void*)0xDEADBEEF;
  AbiReceiver counted = {&kStore, &factory, 2, &kAbiCountingHeap, NULL};
  g_abiAllocated = g_abiFreed = g_delivered = 0;
  ABI_CHECK((uint32_t)((ReceiverFn)AbiSlot(root, 4))(root, &counted) == E_UNSUPPORTED_VERSION,
            "CreateArchiveFactory version 2 refused");
  ABI_CHECK(g_abiAllocated == 0 && g_abiFreed == 0 && g_delivered == 0 && factory == (void*)0xDEADBEEF,
            "a refused version never allocates or delivers");
}

/* Stack words each slot takes after the object, from the slot tables: a path
 * is a pointer and a length, a time or 64-bit value two words. */
static const uint8_t kRootWords[23] = {0, 0, 0, 3, 1, 1, 1, 2, 3, 3, 5, 4, 5, 4, 4, 1, 1, 4, 3, 2, 1, 0, 0};
static const uint8_t kFileSystemWords[53] = {3, 4, 6, 5, 7, 3, 4, 6, 5, 3, 3, 3, 3, 1, 0, 1, 3, 4,
                                             6, 5, 5, 3, 2, 2, 4, 3, 5, 5, 5, 4, 10, 9, 3, 3, 3, 3,
                                             6, 5, 2, 4, 6, 2, 8, 8, 6, 4, 4, 3, 4, 4, 1, 4, 4};
static const uint8_t kStringWords[48] = {3, 4, 4, 4, 4, 5, 5, 4, 4, 4, 4, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 4, 4, 4,
                                         4, 5, 3, 3, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 4, 2, 3, 3, 3, 3, 0, 1, 5, 5};

/* Calls each listed slot with its argument words and checks that it removes
 * exactly that many. Every word points at a zeroed scratch block, and the
 * first is a receiver at version 1, which is harmless to the slots listed
 * here: the ones that only check a receiver or answer a constant. Every slot
 * that does real work gets this check with real arguments in the ABI host of
 * its own service (a length word holding an address would send it reading
 * megabytes past the scratch block). */
static void CheckStackCleanup(void* object, const char* name, const uint8_t* words, const uint8_t* slots,
                              unsigned slotCount) {
  static uint32_t scratch[64];
  static AbiReceiver receiver;
  void* sink = NULL;
  for (unsigned i = 0; i < slotCount; ++i) {
    const unsigned slot = slots[i];
    receiver.callbacks = &kStore;
    receiver.context = &sink;
    receiver.requestedVersion = 1;
    uint32_t args[12];
    for (unsigned a = 0; a < 12; ++a) args[a] = W(scratch);
    args[0] = W(&receiver);
    memset(scratch, 0, sizeof scratch);
    uint32_t eax = 0;
    int32_t left = 0x7FFFFFFF;
    AbiCallSlot(object, slot, args, words[slot], &eax, &left);
    ABI_CHECK(left == 0, "%s slot %u removes %u argument words (left %d bytes)", name, slot, words[slot], left);
  }
}

static void CheckConstantSlots(void* root, void* fs, void* strings) {
  uint32_t scratch[16] = {0};
  uint32_t eax = 0;
  int32_t left = 0;
  uint32_t args[12];
  for (unsigned i = 0; i < 12; ++i) args[i] = W(scratch);

  AbiCallSlot(fs, 14, args, 0, &eax, &left);
  ABI_CHECK(eax == 44, "temporary-name length is 44 (got %u)", eax);
  AbiCallSlot(fs, 38, args, 2, &eax, &left);
  ABI_CHECK((eax & 0xFF) == 0, "file-system slot 38 is always false");
  AbiCallSlot(strings, 44, args, 0, &eax, &left);
  ABI_CHECK(eax == 40, "unique-name stem length is 40 (got %u)", eax);
  /* The scratch words read as an empty outcome, which is refused. */
  AbiCallSlot(root, 17, args, 4, &eax, &left);
  ABI_CHECK(eax == E_UNSUPPORTED_VERSION, "RunToCompletion refuses an empty outcome: 0x%08X", eax);
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  ABI_CHECK(dll.init() == 0, "RylModuleInit succeeds");
  CheckIdentifiers(&dll);

  void* root = NULL;
  ABI_CHECK(dll.getObject(kAbiRootId, &root) == 0 && root != NULL, "root from the versioned identifier");
  if (root != NULL) {
    CheckRoot(root);
    void* fs = (char*)root + 4;
    void* strings = (char*)root + 8;
    /* Slot 0 destroys the root, slots 1-2 and 21-22 change the count; the
     * rest deliver services or objects, and slots 7-20 are checked by the
     * hosts of their own services. */
    static const uint8_t kRootSlots[] = {3, 4, 5, 6};
    /* Query and the constants; every other slot is checked by its own host. */
    static const uint8_t kFileSystemSlots[] = {0, 14, 38};
    static const uint8_t kStringSlots[] = {0, 44};
    CheckStackCleanup(root, "root", kRootWords, kRootSlots, sizeof kRootSlots);
    CheckStackCleanup(fs, "file-system", kFileSystemWords, kFileSystemSlots, sizeof kFileSystemSlots);
    CheckStackCleanup(strings, "string", kStringWords, kStringSlots, sizeof kStringSlots);
    CheckConstantSlots(root, fs, strings);
    ABI_CHECK(((CountFn)AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_core");
}
