/* What every C ABI host shares: a loaded rylutil.dll, slot calls by number
 * as an MSVC-built host makes them, and a pass/fail tally. Deliberately
 * independent of the SDK headers: only slot numbers and record layouts. */
#ifndef RYL_ABI_HOST_H
#define RYL_ABI_HOST_H

#include <stdint.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

/* Stack words as a 32-bit caller pushes them: a pointer or 32-bit value as
 * one word, a 64-bit value as two, low half first. */
#define W(value) ((uint32_t)(uintptr_t)(value))
#define LO(value) ((uint32_t)(value))
#define HI(value) ((uint32_t)((value) >> 32))
/* A wide string's length in UTF-16 units, as the slots take lengths. */
#define LEN(text) ((uint32_t)wcslen(text))
/* For calling a slot through a typed pointer instead of by words. */
#define THISCALL __attribute__((thiscall))

typedef struct {
  uint8_t bytes[16];
} AbiGuid;

typedef int32_t(__stdcall* AbiGetObjectFn)(AbiGuid id, void** out);
typedef int32_t(__cdecl* AbiModuleFn)(void);

/* The root's identifier at version 10 (the last byte). */
extern const AbiGuid kAbiRootId;

typedef struct {
  HMODULE module;
  AbiModuleFn init;
  AbiModuleFn finish;
  AbiGetObjectFn getObject;
} AbiDll;

/* Records, laid out as hosts lay them out. */
typedef struct {
  uint32_t version;
  int32_t(__cdecl* deliver)(void* object, void* context);
} AbiReceiverTable;

typedef struct {
  uint32_t version;
  void(__cdecl* freeFn)(void* p, void* context);
  int32_t(__cdecl* allocate)(void** out, uint32_t size, void* context);
} AbiAllocatorTable;

typedef struct {
  const AbiReceiverTable* callbacks;
  void* context;
  uint32_t requestedVersion;
  const AbiAllocatorTable* allocatorCallbacks;
  void* allocatorContext;
} AbiReceiver;

/* A receiver that stores the delivered object in *(void**)context. */
int32_t __cdecl AbiStoreObject(void* object, void* context);
extern const AbiReceiverTable kAbiStore;

extern int g_abiPassed;
extern int g_abiFailed;

#define ABI_CHECK(cond, ...)                                  \
  do {                                                        \
    if (cond) {                                               \
      ++g_abiPassed;                                          \
    } else {                                                  \
      ++g_abiFailed;                                          \
      printf("FAILED %s:%d: ", __FILE__, __LINE__);           \
      printf(__VA_ARGS__);                                    \
      printf("\n");                                           \
    }                                                         \
  } while (0)

/* Loads rylutil.dll and finds its exports; when it cannot, prints the tally
 * of a run that never started, so that the runner sees a failure counted. */
int AbiLoad(AbiDll* dll);

/* Initialises the loaded module and takes the root by kAbiRootId, checking
 * both; the root, or NULL. */
void* AbiStartRoot(AbiDll* dll);
void AbiUnload(AbiDll* dll);

/* The address of slot n of the interface at object. */
void* AbiSlot(void* object, unsigned n);

/* Calls slot n as __thiscall with the given 32-bit stack words (pushed right
 * to left, so words[0] is the first argument). Stores EAX in *eax and the
 * number of bytes the callee left on the stack (0 when it removed exactly
 * count words; negative when it removed too many) in *stackLeft. */
void AbiCallSlot(void* object, unsigned n, const uint32_t* words, uint32_t count, uint32_t* eax,
                 int32_t* stackLeft);

/* AbiCallSlot that records a failure, named after what, when the callee does
 * not remove exactly its argument words; returns EAX. */
uint32_t AbiCall(void* object, unsigned n, const uint32_t* words, uint32_t count, const char* what);

int AbiReport(const char* name);

#endif
