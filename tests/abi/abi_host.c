#include "abi_host.h"

const AbiGuid kAbiRootId = {
    {0xB8, 0x55, 0xDE, 0xB4, 0xE9, 0x71, 0x45, 0x77, 0x90, 0x46, 0x99, 0x91, 0x00, 0x00, 0x00, 0x0A}};

int g_abiPassed;
int g_abiFailed;

int32_t __cdecl AbiStoreObject(void* object, void* context) {
  *(void**)context = object;
  return 0;
}

const AbiReceiverTable kAbiStore = {1, AbiStoreObject};

/* ryl_call_thiscall(fn, self, words, count, outStackLeft) -> EAX.
 * Pushes the words, calls with ECX = self, and measures how far ESP moved. */
uint32_t __cdecl ryl_call_thiscall(void* fn, void* self, const uint32_t* words, uint32_t count,
                                   int32_t* stackLeft);
__asm__(
    ".text\n"
    ".globl _ryl_call_thiscall\n"
    "_ryl_call_thiscall:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 16(%ebp), %esi\n"
    "  movl 20(%ebp), %edi\n"
    "  movl %esp, %ebx\n"
    "1:\n"
    "  testl %edi, %edi\n"
    "  jz 2f\n"
    "  decl %edi\n"
    "  pushl (%esi,%edi,4)\n"
    "  jmp 1b\n"
    "2:\n"
    "  movl 12(%ebp), %ecx\n"
    "  movl 8(%ebp), %eax\n"
    "  call *%eax\n"
    "  movl %ebx, %edx\n"
    "  subl %esp, %edx\n"
    "  movl %ebx, %esp\n"
    "  movl 24(%ebp), %ecx\n"
    "  movl %edx, (%ecx)\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

static int LoadExports(AbiDll* dll) {
  dll->module = LoadLibraryW(L"rylutil.dll");
  if (dll->module == NULL) {
    printf("cannot load rylutil.dll: error %lu\n", GetLastError());
    return 0;
  }
  dll->init = (AbiModuleFn)(void*)GetProcAddress(dll->module, "RylModuleInit");
  dll->finish = (AbiModuleFn)(void*)GetProcAddress(dll->module, "RylModuleFinish");
  dll->getObject = (AbiGetObjectFn)(void*)GetProcAddress(dll->module, "GetRylObject");
  return dll->init != NULL && dll->finish != NULL && dll->getObject != NULL;
}

int AbiLoad(AbiDll* dll) {
  if (LoadExports(dll)) return 1;
  printf("0 passed, 1 failed\n");
  return 0;
}

void* AbiStartRoot(AbiDll* dll) {
  ABI_CHECK(dll->init() == 0, "RylModuleInit succeeds");
  void* root = NULL;
  ABI_CHECK(dll->getObject(kAbiRootId, &root) == 0 && root != NULL, "root from the versioned identifier");
  return root;
}

void AbiUnload(AbiDll* dll) {
  if (dll->module != NULL) FreeLibrary(dll->module);
  dll->module = NULL;
}

void* AbiSlot(void* object, unsigned n) { return (*(void***)object)[n]; }

void AbiCallSlot(void* object, unsigned n, const uint32_t* words, uint32_t count, uint32_t* eax,
                 int32_t* stackLeft) {
  *eax = ryl_call_thiscall(AbiSlot(object, n), object, words, count, stackLeft);
}

uint32_t AbiCall(void* object, unsigned n, const uint32_t* words, uint32_t count, const char* what) {
  uint32_t eax = 0;
  int32_t left = 0x7FFFFFFF;
  AbiCallSlot(object, n, words, count, &eax, &left);
  ABI_CHECK(left == 0, "%s (slot %u) removes its %u argument words (left %d bytes)", what, n, count, left);
  return eax;
}

int AbiReport(const char* name) {
  printf("%s: %d passed, %d failed\n", name, g_abiPassed, g_abiFailed);
  printf("%d passed, %d failed\n", g_abiPassed, g_abiFailed);
  return g_abiFailed == 0 ? 0 : 1;
}
