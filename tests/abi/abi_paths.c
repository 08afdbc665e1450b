/* The path slots reached the way an MSVC-built host reaches them: the string
 * service (root + 8, delivered by root slot 6) slots 28-47 and the
 * file-system service (root + 4, root slot 5) slots 8-12, each called by
 * number with real arguments, checking the result and that the callee
 * removed exactly its argument words. View slots take the hidden result
 * pointer as their first stack word and return it in EAX. */
#include <string.h>
#include <wchar.h>

#include "abi_codes.h"
#include "abi_host.h"
#include "abi_text.h"

/* One guard unit behind the granted length catches a terminator written
 * past it. The context, when not null, is a failure code to return. */
#define GUARD 0xFDFDu

static int g_guardBroken;

static int32_t __cdecl HeapResize(AbiBufferView* view, uint32_t length, void* context) {
  if (view->data != NULL && ((const wchar_t*)view->data)[view->length] != (wchar_t)GUARD) g_guardBroken = 1;
  if (context != NULL) return *(const int32_t*)context;
  wchar_t* data = view->data == NULL ? HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t))
                                     : HeapReAlloc(GetProcessHeap(), 0, view->data, (length + 1) * sizeof(wchar_t));
  if (data == NULL) return (int32_t)E_OUT_OF_MEMORY;
  data[length] = (wchar_t)GUARD;
  view->data = data;
  view->length = length;
  return 0;
}

static const AbiBufferTable kHeapBuffer = {1, HeapResize};

static void OutputInit(AbiOutput* out, const wchar_t* text) {
  out->callbacks = &kHeapBuffer;
  out->context = NULL;
  out->view.data = NULL;
  out->view.length = 0;
  HeapResize(&out->view, LEN(text), NULL);
  memcpy(out->view.data, text, LEN(text) * sizeof(wchar_t));
}

static void OutputFree(AbiOutput* out) {
  if (out->view.data != NULL) HeapFree(GetProcessHeap(), 0, out->view.data);
  out->view.data = NULL;
}

/* The output holds exactly text, and nothing was written behind it, now or
 * before any of the Resize calls that led here. */
static int OutputIs(const AbiOutput* out, const wchar_t* text) {
  const wchar_t* data = out->view.data;
  const int intact = !g_guardBroken && data[out->view.length] == (wchar_t)GUARD;
  g_guardBroken = 0;
  return out->view.length == LEN(text) && memcmp(data, text, LEN(text) * sizeof(wchar_t)) == 0 && intact;
}

typedef AbiStringView*(THISCALL* ViewFn)(void* self, AbiStringView* result, const wchar_t* path, uint32_t length);

static void CheckFlagsAndLengths(void* strings) {
  const uint32_t ext[] = {W(L"dir\\a.txt"), 9};
  ABI_CHECK((AbiCall(strings, 28, ext, 2, "HasExtension") & 0xFF) == 1, "a.txt has an extension");
  const uint32_t dotEnd[] = {W(L"a."), 2};
  ABI_CHECK((AbiCall(strings, 28, dotEnd, 2, "HasExtension") & 0xFF) == 0, "a trailing dot is no extension");
  const uint32_t drive[] = {W(L"C:"), 2};
  ABI_CHECK((AbiCall(strings, 29, drive, 2, "IsAbsolutePath") & 0xFF) == 1, "C: is absolute");
  const uint32_t driveRelative[] = {W(L"C:foo"), 5};
  ABI_CHECK((AbiCall(strings, 29, driveRelative, 2, "IsAbsolutePath") & 0xFF) == 0, "C:foo is not absolute");
  const uint32_t network[] = {W(L"\\\\server\\share\\dir"), 18};
  ABI_CHECK(AbiCall(strings, 39, network, 2, "GetRootLength") == 14, "root of \\\\server\\share\\dir is 14");
  const uint32_t server[] = {W(L"\\\\server\\"), 9};
  ABI_CHECK(AbiCall(strings, 39, server, 2, "GetRootLength") == 9, "root of \\\\server\\ is 9");
  ABI_CHECK(AbiCall(strings, 44, NULL, 0, "GetUniqueNameStemLength") == 40, "unique-name stem length is 40");
}

static void CheckViews(void* strings) {
  static const wchar_t path[] = L"C:\\dir\\name.ext";
  const struct {
    unsigned slot;
    const char* what;
    uint32_t offset;
    uint32_t length;
  } cases[] = {
      {31, "GetExtensionView", 11, 4}, {33, "GetFileNamePartView", 7, 8}, {35, "GetStemView", 7, 4},
      {37, "GetParentPathView", 0, 6}, {41, "GetRootPathView", 0, 3},
  };
  for (unsigned i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    AbiStringView view = {(const wchar_t*)0x1, 0xDEADBEEF};
    const uint32_t words[] = {W(&view), W(path), LEN(path)};
    const uint32_t eax = AbiCall(strings, cases[i].slot, words, 3, cases[i].what);
    ABI_CHECK(eax == W(&view), "%s returns the hidden result pointer in EAX", cases[i].what);
    ABI_CHECK(view.data == path + cases[i].offset && view.length == cases[i].length,
              "%s points into the input at %u for %u units (got %p, %u)", cases[i].what, cases[i].offset,
              cases[i].length, (const void*)view.data, view.length);
  }

  /* The same slot through a typed pointer, as compiled host code calls it. */
  AbiStringView empty = {(const wchar_t*)0x1, 7};
  AbiStringView* returned = ((ViewFn)AbiSlot(strings, 31))(strings, &empty, L"a.b\\c", 5);
  ABI_CHECK(returned == &empty && empty.data == NULL && empty.length == 0, "an empty view is (null, 0)");

  AbiStringView parent = {0};
  AbiStringView name = {0};
  static const wchar_t split[] = L"C:\\foo\\";
  const uint32_t words[] = {W(split), LEN(split), W(&parent), W(&name)};
  ABI_CHECK(AbiCall(strings, 38, words, 4, "SplitParentAndName") == 0, "C:\\foo\\ splits");
  ABI_CHECK(parent.data == split && parent.length == 3 && name.data == split + 3 && name.length == 3,
            "into C:\\ and foo");
  static const wchar_t rooted[] = L"\\foo";
  const uint32_t bad[] = {W(rooted), 4, W(&parent), W(&name)};
  ABI_CHECK(AbiCall(strings, 38, bad, 4, "SplitParentAndName") == E_BAD_FORMAT, "\\foo has no parent to split off");
  ABI_CHECK(parent.data == split, "outputs untouched on failure");
}

static void CheckCopies(void* strings) {
  static const wchar_t path[] = L"C:\\dir\\name.ext";
  const struct {
    unsigned slot;
    const char* what;
    const wchar_t* expected;
  } cases[] = {
      {30, "GetExtension", L".ext"},   {32, "GetFileNamePart", L"name.ext"}, {34, "GetStem", L"name"},
      {36, "GetParentPath", L"C:\\dir"}, {40, "GetRootPath", L"C:\\"},      {42, "GetDriveRoot", L"C:\\"},
  };
  for (unsigned i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    AbiOutput out;
    OutputInit(&out, L"previous");
    const uint32_t words[] = {W(&out), W(path), LEN(path)};
    ABI_CHECK(AbiCall(strings, cases[i].slot, words, 3, cases[i].what) == 0, "%s succeeds", cases[i].what);
    ABI_CHECK(OutputIs(&out, cases[i].expected), "%s writes its result without a terminator", cases[i].what);
    OutputFree(&out);
  }

  AbiOutput out;
  OutputInit(&out, L"C:\\dir");
  const uint32_t append[] = {W(&out), W(L"sub"), 3};
  ABI_CHECK(AbiCall(strings, 43, append, 3, "AppendComponent") == 0 && OutputIs(&out, L"C:\\dir\\sub"),
            "AppendComponent adds one separator");

  const uint32_t stem[] = {W(&out)};
  ABI_CHECK(AbiCall(strings, 45, stem, 1, "MakeUniqueNameStem") == 0 && out.view.length == 40 &&
                memcmp(out.view.data, L"vqz-", 8) == 0 && ((wchar_t*)out.view.data)[40] == (wchar_t)GUARD,
            "the unique-name stem is vqz- and 36 characters");

  const uint32_t replace[] = {W(&out), W(L"a\\b.txt"), 7, W(L"log"), 3};
  ABI_CHECK(AbiCall(strings, 46, replace, 5, "ReplaceExtension") == 0 && OutputIs(&out, L"a\\b.log"),
            "ReplaceExtension writes a\\b.log");

  const uint32_t combine[] = {W(&out), W(L"C:\\dir"), 6, W(L"\\x"), 2};
  ABI_CHECK(AbiCall(strings, 47, combine, 5, "CombinePaths") == 0 && OutputIs(&out, L"C:\\x"),
            "CombinePaths of C:\\dir and \\x is C:\\x");

  /* The host's own storage as the base. */
  const uint32_t selfBase[] = {W(&out), W(out.view.data), out.view.length, W(L"y"), 1};
  ABI_CHECK(AbiCall(strings, 47, selfBase, 5, "CombinePaths") == 0 && OutputIs(&out, L"C:\\x\\y"),
            "CombinePaths with the output as its base");

  static const int32_t failure = (int32_t)E_BUFFER_TOO_SMALL;
  out.context = (void*)&failure;
  const uint32_t failing[] = {W(&out), W(L"a"), 1, W(L"b"), 1};
  ABI_CHECK(AbiCall(strings, 47, failing, 5, "CombinePaths") == E_BUFFER_TOO_SMALL, "a failing Resize passes through");
  out.context = NULL;
  ABI_CHECK(OutputIs(&out, L"C:\\x\\y"), "and leaves the output as it was");
  OutputFree(&out);
}

static void CheckFileSystemSlots(void* fs) {
  AbiOutput out;
  OutputInit(&out, L"old");
  const uint32_t absolute[] = {W(&out), W(L"x"), 1, W(L"C:\\dir"), 6};
  ABI_CHECK(AbiCall(fs, 8, absolute, 5, "MakeAbsolutePath") == 0 && OutputIs(&out, L"C:\\dir\\x"),
            "MakeAbsolutePath of x on C:\\dir");
  const uint32_t relativeBase[] = {W(&out), W(L"x"), 1, W(L"dir"), 3};
  ABI_CHECK(AbiCall(fs, 8, relativeBase, 5, "MakeAbsolutePath") == E_INVALID_ARG, "a relative base is refused");

  const uint32_t full[] = {W(&out), W(L"C:\\a\\..\\b"), 9};
  ABI_CHECK(AbiCall(fs, 9, full, 3, "GetFullPath") == 0 && OutputIs(&out, L"C:\\b"),
            "GetFullPath resolves .. and writes no terminator into the host's buffer");
  OutputFree(&out);

  /* The on-disk name forms (slots 10-12) are walked by the enumeration host. */
}

typedef int32_t(THISCALL* ReceiverFn)(void* self, const AbiReceiver* receiver);

static void* Service(void* root, unsigned slot, uint32_t version) {
  void* service = NULL;
  AbiReceiver receiver = {&kAbiStore, &service, version, NULL, NULL};
  ABI_CHECK(((ReceiverFn)AbiSlot(root, slot))(root, &receiver) == 0 && service != NULL, "root slot %u delivers", slot);
  return service;
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    void* fs = Service(root, 5, 3);
    void* strings = Service(root, 6, 2);
    ABI_CHECK(fs == (char*)root + 4 && strings == (char*)root + 8, "services at root + 4 and root + 8");
    CheckFlagsAndLengths(strings);
    CheckViews(strings);
    CheckCopies(strings);
    CheckFileSystemSlots(fs);
    typedef uint32_t(THISCALL* CountFn)(void* self);
    ABI_CHECK(((CountFn)AbiSlot(root, 2))(root) == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_paths");
}
