/* Asynchronous work, the registry, XML, regular expressions, RSA and
 * Blowfish, as a C host calls them. */
#include <stdlib.h>
#include <string.h>

#include "../example_rsa_key.h"
#include "example_host.h"

typedef void(THISCALL* DestroyFn)(void* self, const AllocatorRecord* allocator); /* slot 1 */
typedef int32_t(THISCALL* CreateFn)(void* self, const ObjectReceiver* receiver);

/* [guide:c-operation] */
/* An operation whose Run answers a value at once. Outcomes are {tag,
 * payload}: tag 1 a value, 2 pending (payload: the operation), 3 an error
 * (payload: the code). */
typedef struct {
  uint32_t tag;
  uintptr_t payload;
} Outcome;

typedef struct {
  const void* const* table;
  int runs;
} Operation;

static void THISCALL OpNothing(Operation* self) { (void)self; } /* Destroy, Release: the host owns it */
static void THISCALL OpRun(Operation* self, Outcome* out, void* sink, void* loop, uint32_t level) {
  (void)sink, (void)loop, (void)level;
  ++self->runs;
  out->tag = 1; /* a value: final */
  out->payload = 0;
}
static void THISCALL OpRaise(Operation* self, Outcome* out, uint32_t zero, uint32_t level, uint32_t seen) {
  (void)self, (void)zero, (void)level, (void)seen;
  out->tag = 3;
  out->payload = (uintptr_t)0xE0010007u; /* closed */
}
static const void* const kOperationTable[4] = {(void*)OpNothing, (void*)OpNothing, (void*)OpRun, (void*)OpRaise};

typedef int32_t(THISCALL* RunToCompletionFn)(void* self, Outcome* outcome, uint32_t timeLimitMs, void* first,
                                             void* second); /* root slot 17 */

static int Async(void* root) {
  Operation operation = {kOperationTable, 0};
  Outcome outcome = {2, (uintptr_t)&operation};
  int32_t rc = CALL(RunToCompletionFn, root, 17)(root, &outcome, 1000, NULL, NULL);
  printf("RunToCompletion 0x%08X after %d run\n", (unsigned)rc, operation.runs);
  return Check(rc, "RunToCompletion");
}
/* [/guide:c-operation] */

/* [guide:c-registry] */
typedef struct {
  void* key;
  void* control; /* {table, uses, weaks}: Dispose is slot 0, DeleteThis slot 1 */
} KeyHolder;

/* What RylSharedRelease does in C++: the last use disposes of the key, the
 * last weak reference frees the block. */
static void ReleaseKey(KeyHolder* holder) {
  typedef void(THISCALL * ControlFn)(void* self);
  void* block = holder->control;
  volatile LONG* counts = (volatile LONG*)((char*)block + 4);
  holder->control = NULL;
  holder->key = NULL;
  if (block == NULL || InterlockedDecrement(&counts[0]) != 0) return;
  CALL(ControlFn, block, 0)(block);
  if (InterlockedDecrement(&counts[1]) == 0) CALL(ControlFn, block, 1)(block);
}

typedef int32_t(THISCALL* OpenRootFn)(void* self, KeyHolder* holder, uint32_t index); /* root slot 19 */
typedef int32_t(THISCALL* ProduceFn)(void* self, KeyHolder* out, const wchar_t* name, uint32_t length,
                                     uint32_t access); /* key slots 1-3 */
typedef int32_t(THISCALL* SetValueFn)(void* self, uint32_t type, const void* data, uint32_t size,
                                      const wchar_t* name, uint32_t length); /* key slot 9 */
typedef int32_t(THISCALL* QueryValueFn)(void* self, uint32_t* type, OutputBuffer* data, const wchar_t* name,
                                        uint32_t length); /* key slot 10 */
typedef int32_t(THISCALL* DeleteSubKeyFn)(void* self, const wchar_t* name, uint32_t length, uint8_t recursive,
                                          uint32_t access); /* key slot 7 */

static int Registry(void* root) {
  static const wchar_t path[] = L"Software\\rylutil-docs-example-c";
  const uint32_t length = (uint32_t)wcslen(path);
  KeyHolder user = {NULL, NULL}, key = {NULL, NULL};
  OutputBuffer data = BufferOf(1);
  uint32_t type = 0;
  int32_t rc = CALL(OpenRootFn, root, 19)(root, &user, 1 /* HKEY_CURRENT_USER */);
  if (!Check(rc, "OpenRegistryRoot")) return 0;
  rc = CALL(ProduceFn, user.key, 3)(user.key, &key, path, length, KEY_ALL_ACCESS); /* CreateSubKeyPath */
  if (rc >= 0) {
    rc = CALL(SetValueFn, key.key, 9)(key.key, 1 /* REG_SZ */, L"blue", 10, L"Colour", 6);
    if (rc >= 0) rc = CALL(QueryValueFn, key.key, 10)(key.key, &type, &data, L"Colour", 6);
    if (rc >= 0) printf("Colour: type %u, %u bytes, %ls\n", type, data.view.length, (const wchar_t*)data.view.data);
    ReleaseKey(&key);
    if (rc >= 0) rc = CALL(DeleteSubKeyFn, user.key, 7)(user.key, path, length, 1, KEY_ALL_ACCESS);
  }
  ReleaseKey(&user);
  BufferFree(&data);
  return Check(rc, "registry");
}
/* [/guide:c-registry] */

/* [guide:c-xml] */
typedef struct {
  const wchar_t* data;
  uint32_t length;
} XmlText;

typedef struct {
  const void* const* table;
  int elements;
} Handler;

static void THISCALL HNothing(Handler* self) { (void)self; }
static int32_t THISCALL HStart(Handler* self, const XmlText* name) {
  ++self->elements;
  printf("<%ls>", name->data); /* names are zero-terminated too */
  return 0;
}
static int32_t THISCALL HAttribute(Handler* self, const XmlText* element, const XmlText* name, const XmlText* value) {
  (void)self, (void)element;
  printf("[%ls=%.*ls]", name->data, (int)value->length, value->data);
  return 0;
}
static int32_t THISCALL HEnd(Handler* self, const XmlText* name) {
  (void)self, (void)name;
  return 0;
}
static int32_t THISCALL HText(Handler* self, const XmlText* text) {
  (void)self;
  printf("%.*ls", (int)text->length, text->data); /* not terminated */
  return 0;
}
static const void* const kHandlerTable[5] = {(void*)HNothing, (void*)HStart, (void*)HAttribute, (void*)HEnd,
                                             (void*)HText};

typedef int32_t(THISCALL* CreateXmlWriterFn)(void* self, const ObjectReceiver* receiver, MemoryStream* out); /* 7 */
typedef int32_t(THISCALL* ParseXmlFn)(void* self, MemoryStream* in, Handler* handler, uint8_t flags);       /* 18 */
typedef int32_t(THISCALL* NameFn)(void* self, const wchar_t* name, uint32_t length);    /* writer 6, 13 */
typedef int32_t(THISCALL* PairFn)(void* self, const wchar_t* name, uint32_t nameLength, const wchar_t* value,
                                  uint32_t valueLength); /* writer 9, 12 */
typedef int32_t(THISCALL* PlainFn)(void* self);         /* writer 2, 7 */

static int Xml(void* root) {
  MemoryStream document;
  Handler handler = {kHandlerTable, 0};
  void* writer = NULL;
  ObjectReceiver receiver = ReceiveInto(&writer, 1);
  int32_t rc;
  StreamInit(&document, NULL, 0);
  rc = CALL(CreateXmlWriterFn, root, 7)(root, &receiver, &document);
  if (!Check(rc, "CreateXmlWriter")) return 0;
  rc = CALL(NameFn, writer, 6)(writer, L"list", 4);                              /* StartElement */
  if (rc >= 0) rc = CALL(PairFn, writer, 12)(writer, L"kind", 4, L"\"todo\"", 6); /* WriteAttribute */
  if (rc >= 0) rc = CALL(PairFn, writer, 9)(writer, L"item", 4, L"milk & eggs", 11); /* WriteElement */
  if (rc >= 0) rc = CALL(PlainFn, writer, 7)(writer);                             /* EndElement */
  if (rc >= 0) rc = CALL(PlainFn, writer, 2)(writer);                             /* Flush */
  CALL(DestroyFn, writer, 1)(writer, &kDefaultHeap);
  if (rc >= 0) {
    printf("%.*s\n", (int)document.length, (const char*)document.bytes);
    document.position = 0;
    rc = CALL(ParseXmlFn, root, 18)(root, &document, &handler, 0);
    printf("\n%d elements\n", handler.elements);
  }
  StreamFree(&document);
  return Check(rc, "XML");
}
/* [/guide:c-xml] */

/* [guide:c-regex] */
typedef struct {
  uint8_t matched;
  const char* begin;
  const char* end;
} Capture8;

typedef struct {
  Capture8* first;
  Capture8* last;       /* one past the last entry */
  Capture8* storageEnd; /* one past the storage */
} Captures8;

typedef int32_t(THISCALL* CreateRegexNarrowFn)(void* self, const ObjectReceiver* receiver, const char* pattern,
                                               uint32_t length, uint32_t flags); /* root slot 14 */
typedef int32_t(THISCALL* MatchFn)(void* self, const char* subject, uint32_t length, Captures8* captures); /* 3 */

static int Regex(void* root) {
  static const char pattern[] = "([0-9]+)-([0-9]+)";
  static const char subject[] = "pages 12-34";
  Capture8 groups[3];
  Captures8 captures = {groups, groups + 3, groups + 3};
  void* regex = NULL;
  ObjectReceiver receiver = ReceiveInto(&regex, 1);
  int32_t rc = CALL(CreateRegexNarrowFn, root, 14)(root, &receiver, pattern, sizeof pattern - 1, 0);
  if (!Check(rc, "CreateRegexNarrow")) return 0;
  memset(groups, 0, sizeof groups);
  rc = CALL(MatchFn, regex, 3)(regex, subject, sizeof subject - 1, &captures);
  if (rc >= 0 && groups[0].matched)
    printf("from %.*s to %.*s\n", (int)(groups[1].end - groups[1].begin), groups[1].begin,
           (int)(groups[2].end - groups[2].begin), groups[2].begin);
  CALL(DestroyFn, regex, 1)(regex, &kDefaultHeap);
  return Check(rc, "Match") && groups[0].matched;
}
/* [/guide:c-regex] */

/* [guide:c-crypto] */
typedef int32_t(THISCALL* CreateBlowfishFn)(void* self, const ObjectReceiver* receiver, const uint8_t* key,
                                            uint32_t length); /* root slots 8 and 9 */
typedef int32_t(THISCALL* ProcessFn)(void* self, OutputBuffer* out, const uint8_t* data, uint32_t length); /* 2 */
typedef int32_t(THISCALL* CreatePrivateKeyFn)(void* self, const ObjectReceiver* receiver, const uint8_t* exponent,
                                              uint32_t exponentLength, const uint8_t* modulus,
                                              uint32_t modulusLength); /* root slot 12 */
typedef int32_t(THISCALL* CreatePublicKeyFromWordFn)(void* self, const ObjectReceiver* receiver, uint32_t exponent,
                                                     const uint8_t* modulus, uint32_t modulusLength); /* 11 */
typedef int32_t(THISCALL* SignFn)(void* self, OutputBuffer* signature, const uint8_t* data, uint32_t length,
                                  uint32_t selector); /* private key slot 4 */
typedef int32_t(THISCALL* VerifyFn)(void* self, const uint8_t* signature, uint32_t signatureLength,
                                    const uint8_t* data, uint32_t length); /* public key slot 4 */

static int Crypto(void* root) {
  static const uint8_t key[] = {1, 2, 3, 4, 5, 6, 7, 8};
  static const uint8_t block[8] = {'8', ' ', 'b', 'y', 't', 'e', 's', '!'};
  static const uint8_t message[] = {'s', 'i', 'g', 'n', ' ', 'm', 'e'};
  void *cipher = NULL, *signer = NULL, *verifier = NULL;
  ObjectReceiver cipherReceiver = ReceiveInto(&cipher, 1);
  ObjectReceiver signerReceiver = ReceiveInto(&signer, 1);
  ObjectReceiver verifierReceiver = ReceiveInto(&verifier, 1);
  OutputBuffer secret = BufferOf(1), signature = BufferOf(1);
  int32_t rc = CALL(CreateBlowfishFn, root, 8)(root, &cipherReceiver, key, sizeof key); /* encryptor */
  if (rc >= 0) {
    rc = CALL(ProcessFn, cipher, 2)(cipher, &secret, block, sizeof block);
    CALL(DestroyFn, cipher, 1)(cipher, &kDefaultHeap);
  }
  if (rc >= 0) rc = CALL(CreatePrivateKeyFn, root, 12)(root, &signerReceiver, kPrivateExponent,
                                                       sizeof kPrivateExponent, kModulus, sizeof kModulus);
  if (rc >= 0) {
    rc = CALL(SignFn, signer, 4)(signer, &signature, message, sizeof message, 0 /* SHA-1 */);
    CALL(DestroyFn, signer, 1)(signer, &kDefaultHeap);
  }
  if (rc >= 0) rc = CALL(CreatePublicKeyFromWordFn, root, 11)(root, &verifierReceiver, 65537, kModulus, sizeof kModulus);
  if (rc >= 0) {
    rc = CALL(VerifyFn, verifier, 4)(verifier, (const uint8_t*)signature.view.data, signature.view.length, message,
                                     sizeof message); /* 0, or the warning 0xA00100A7 */
    CALL(DestroyFn, verifier, 1)(verifier, &kDefaultHeap);
  }
  if (Check(rc, "crypto"))
    printf("blowfish block of %u bytes; signature of %u bytes verified\n", secret.view.length, signature.view.length);
  BufferFree(&secret);
  BufferFree(&signature);
  return rc >= 0;
}
/* [/guide:c-crypto] */

int main(void) {
  Session session;
  int ok;
  if (!SessionStart(&session)) return 1;
  ok = Async(session.root) && Registry(session.root) && Xml(session.root) && Regex(session.root) &&
       Crypto(session.root);
  SessionEnd(&session);
  if (!ok) return 1;
  printf("services: done\n");
  return 0;
}
