// Asynchronous work (RunToCompletion, dispatchers and tasks), the registry,
// the XML writer and parser, regular expressions, RSA and Blowfish, as a
// C++ host uses them.
#include <windows.h>

#include "../example_rsa_key.h"
#include "example_host.h"

using example::Check;
using example::MemoryStream;
using example::VectorBuffer;

// [guide:operation]
// Work the library drives: Run starts a 10 ms timer on the loop and answers
// "still working" (an empty outcome); the timer reports a value through the
// sink. The operation lives on the host's stack, so Release does nothing.
class TimerOperation final : public RylOperation, public RylTimerHandler {
 public:
  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL Release() override {}
  void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* sink, RylEventLoop* loop, uint32_t) override {
    sink_ = sink;
    loop_ = loop;
    const ResultCode rc = loop->AddTimerIn(nullptr, 10 * 10000, this);  // 100-ns units
    if (RylFailed(rc)) *out = RylOutcome{RYL_OUTCOME_ERROR, static_cast<uintptr_t>(rc)};
  }
  // Asked to stop (level 2) or to finish at once (level 3): the timer goes
  // and the answer is final.
  void RYL_THISCALL Raise(RylOutcome* out, uint32_t, uint32_t, uint32_t) override {
    loop_->RemoveTimer(nullptr, this);
    *out = RylOutcome{RYL_OUTCOME_ERROR, static_cast<uintptr_t>(RYL_E_OBJECT_CLOSED)};
  }
  void RYL_THISCALL OnTimer(void*, RylEventLoop* loop) override {
    RylOutcome value = {RYL_OUTCOME_VALUE, 0};
    sink_->Complete(&value, loop);  // the sink and loop are not used after this
  }

 private:
  RylTaskSink* sink_ = nullptr;
  RylEventLoop* loop_ = nullptr;
};
// [/guide:operation]

static bool Async(RootFactory* root) {
  // [guide:run-to-completion]
  TimerOperation first;
  RylOutcome outcome = {RYL_OUTCOME_PENDING, reinterpret_cast<uintptr_t>(static_cast<RylOperation*>(&first))};
  // On this thread, with a 5 s limit and no waitables that end it early.
  const ResultCode ran = root->RunToCompletion(&outcome, 5000, nullptr, nullptr);
  std::printf("RunToCompletion: %s\n", RylResultName(ran));
  // [/guide:run-to-completion]
  if (!Check(ran, "RunToCompletion")) return false;

  // [guide:dispatcher]
  RylDispatcher* dispatcher = nullptr;  // one reference: Release when done
  ObjectReceiver dispatcherReceiver = example::ReceiveInto(&dispatcher, RYL_VERSION_DISPATCHER);
  if (!Check(root->CreateDispatcher(&dispatcherReceiver), "CreateDispatcher")) return false;

  TimerOperation second;
  RylOutcome work = {RYL_OUTCOME_PENDING, reinterpret_cast<uintptr_t>(static_cast<RylOperation*>(&second))};
  RylTask* task = nullptr;  // the host's: Destroy when done
  ObjectReceiver taskReceiver = example::ReceiveInto(&task, RYL_VERSION_TASK);
  ResultCode rc = dispatcher->Post(&work, &taskReceiver);  // moves the outcome into the task
  if (RylSucceeded(rc)) {
    RylOutcome result = {};
    rc = task->Wait(&result);  // blocks until the outcome is final
    const uint32_t state = result.tag & RYL_OUTCOME_STATE_MASK;
    std::printf("task finished with %s\n", state == RYL_OUTCOME_VALUE ? "a value" : "an error");
    task->Destroy();
  }
  dispatcher->Release();  // the last reference ends the worker thread
  // [/guide:dispatcher]
  return Check(rc, "dispatcher");
}

static bool Registry(RootFactory* root) {
  // [guide:registry]
  RylKeyHolder user = {nullptr, nullptr};
  if (!Check(root->OpenRegistryRoot(&user, RYL_ROOT_CURRENT_USER), "OpenRegistryRoot")) return false;

  const wchar_t path[] = L"Software\\rylutil-docs-example";
  const uint32_t pathLength = sizeof path / sizeof path[0] - 1;
  const uint32_t access = KEY_ALL_ACCESS;  // native access bits, with RYL_KEY_* bits above them
  RylKeyHolder key = {nullptr, nullptr};
  ResultCode rc = user.key->CreateSubKeyPath(&key, path, pathLength, access);
  if (RylSucceeded(rc)) {
    const uint32_t count = 42;
    rc = key.key->SetValue(RYL_REG_DWORD, &count, sizeof count, L"Count", 5);
    VectorBuffer<uint8_t> data;  // bytes
    uint32_t type = 0;
    if (RylSucceeded(rc)) rc = key.key->QueryValue(&type, data.get(), L"Count", 5);
    if (RylSucceeded(rc)) {
      uint32_t read = 0;
      std::memcpy(&read, data.data(), sizeof read);
      std::printf("registry value Count: type %u, %u\n", type, read);
    }
    RylSharedRelease(&key.control);  // gives the key object back
    key.key = nullptr;
  }
  if (RylSucceeded(rc)) rc = user.key->DeleteSubKey(path, pathLength, 1, access);  // recursive
  RylSharedRelease(&user.control);
  // [/guide:registry]
  return Check(rc, "registry");
}

// [guide:xml-handler]
// ParseXml calls the handler in document order; a negative answer stops it.
class PrintingHandler final : public RylXmlEventHandler {
 public:
  int elements = 0;
  void RYL_THISCALL Reserved() override {}
  ResultCode RYL_THISCALL StartElement(const RylXmlText* name) override {
    ++elements;
    std::printf("<%s>", example::Ascii(name->data, name->length).c_str());
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Attribute(const RylXmlText*, const RylXmlText* name, const RylXmlText* value) override {
    std::printf("[%s=%s]", example::Ascii(name->data, name->length).c_str(),
                example::Ascii(value->data, value->length).c_str());
    return RYL_OK;
  }
  ResultCode RYL_THISCALL EndElement(const RylXmlText*) override { return RYL_OK; }
  ResultCode RYL_THISCALL Text(const RylXmlText* text) override {
    std::printf("%s", example::Ascii(text->data, text->length).c_str());  // may come in pieces
    return RYL_OK;
  }
};
// [/guide:xml-handler]

static bool Xml(RootFactory* root) {
  // [guide:xml]
  MemoryStream document;
  RylXmlWriter* writer = nullptr;
  ObjectReceiver receiver = example::ReceiveInto(&writer, RYL_VERSION_XML_WRITER);
  if (!Check(root->CreateXmlWriter(&receiver, &document), "CreateXmlWriter")) return false;
  ResultCode rc = writer->WriteDeclaration(L"1.0", 3);
  if (RylSucceeded(rc)) rc = writer->StartElement(L"config", 6);
  if (RylSucceeded(rc)) rc = writer->WriteAttribute(L"version", 7, L"2", 1);
  if (RylSucceeded(rc)) rc = writer->WriteElement(L"rule", 4, L"a < b & c", 9);  // escaped as it is written
  if (RylSucceeded(rc)) rc = writer->EndElement();
  if (RylSucceeded(rc)) rc = writer->Flush();
  writer->Destroy(&example::kDefaultHeap);
  if (!Check(rc, "XML writer")) return false;
  std::printf("%.*s\n", static_cast<int>(document.bytes.size()), reinterpret_cast<char*>(document.bytes.data()));

  document.position = 0;
  PrintingHandler handler;
  rc = root->ParseXml(&document, &handler, RYL_XML_PARSE_CUT_LONG_RUNS);
  std::printf("\nparsed %d elements\n", handler.elements);
  // [/guide:xml]
  return Check(rc, "ParseXml");
}

static bool Regex(RootFactory* root) {
  // [guide:regex]
  const char pattern[] = "(\\w+)@(\\w+)\\.com";
  RylRegex8* regex = nullptr;
  ObjectReceiver receiver = example::ReceiveInto(&regex, RYL_VERSION_REGEX);
  if (!Check(root->CreateRegexNarrow(&receiver, pattern, sizeof pattern - 1, RYL_REGEX_CASELESS), "CreateRegexNarrow"))
    return false;
  const char subject[] = "mail Ada@Example.com today";
  RylRegexCapture8 groups[3] = {};  // GetCaptureCount() + 1 entries: the whole match and two groups
  RylRegexCaptures8 captures = {groups, groups + 3, groups + 3};
  const ResultCode rc = regex->Match(subject, sizeof subject - 1, &captures);  // 0 whether or not it matched
  if (RylSucceeded(rc) && groups[0].matched) {
    std::printf("groups %u; user %.*s, domain %.*s\n", regex->GetCaptureCount(),
                static_cast<int>(groups[1].end - groups[1].begin), groups[1].begin,
                static_cast<int>(groups[2].end - groups[2].begin), groups[2].begin);
  }
  regex->Destroy(&example::kDefaultHeap);
  // [/guide:regex]
  return Check(rc, "Match") && groups[0].matched;
}

static bool Crypto(RootFactory* root) {
  // [guide:rsa]
  RylRsaPrivateKey* signer = nullptr;
  RylRsaPublicKey* verifier = nullptr;
  ObjectReceiver privateReceiver = example::ReceiveInto(&signer, RYL_VERSION_RSA_KEY);
  ObjectReceiver publicReceiver = example::ReceiveInto(&verifier, RYL_VERSION_RSA_KEY);
  if (!Check(root->CreateRsaPrivateKey(&privateReceiver, kPrivateExponent, sizeof kPrivateExponent, kModulus,
                                       sizeof kModulus),
             "CreateRsaPrivateKey"))
    return false;
  ResultCode rc = root->CreateRsaPublicKeyFromWord(&publicReceiver, 65537, kModulus, sizeof kModulus);
  const uint8_t message[] = "pay 10 to Ada";
  VectorBuffer<uint8_t> signature;
  if (RylSucceeded(rc)) rc = signer->Sign(signature.get(), message, sizeof message - 1, RYL_DIGEST_SHA256);
  if (RylSucceeded(rc)) {
    const ResultCode good = verifier->Verify(signature.data(), signature.size(), message, sizeof message - 1);
    const uint8_t forged[] = "pay 99 to Ada";
    const ResultCode bad = verifier->Verify(signature.data(), signature.size(), forged, sizeof forged - 1);
    std::printf("signature of %u bytes: %s, forged: %s\n", signature.size(), RylResultName(good), RylResultName(bad));
    verifier->Destroy(&example::kDefaultHeap);
  }
  signer->Destroy(&example::kDefaultHeap);
  // [/guide:rsa]
  if (!Check(rc, "RSA")) return false;

  // [guide:blowfish]
  const uint8_t key[] = "a secret key";
  RylBlowfishCipher* encryptor = nullptr;
  RylBlowfishCipher* decryptor = nullptr;
  ObjectReceiver encryptorReceiver = example::ReceiveInto(&encryptor, RYL_VERSION_BLOWFISH_CIPHER);
  ObjectReceiver decryptorReceiver = example::ReceiveInto(&decryptor, RYL_VERSION_BLOWFISH_CIPHER);
  if (!Check(root->CreateBlowfishEncryptor(&encryptorReceiver, key, sizeof key - 1), "CreateBlowfishEncryptor"))
    return false;
  rc = root->CreateBlowfishDecryptor(&decryptorReceiver, key, sizeof key - 1);
  const uint8_t plain[16] = {'t', 'w', 'o', ' ', 'b', 'l', 'o', 'c', 'k', 's', ' ', 'o', 'f', ' ', '8', '!'};
  VectorBuffer<uint8_t> secret;
  VectorBuffer<uint8_t> back;
  if (RylSucceeded(rc)) {
    rc = encryptor->Process(secret.get(), plain, sizeof plain);  // whole 8-byte blocks, each on its own
    if (RylSucceeded(rc)) rc = decryptor->Process(back.get(), secret.data(), secret.size());
    decryptor->Destroy(&example::kDefaultHeap);
  }
  encryptor->Destroy(&example::kDefaultHeap);
  if (RylSucceeded(rc))
    std::printf("blowfish round trip: %s\n", std::memcmp(back.data(), plain, sizeof plain) == 0 ? "same" : "DIFFERENT");
  // [/guide:blowfish]
  return Check(rc, "Blowfish");
}

int main() {
  example::Session session;
  if (session.root() == nullptr) return 1;
  RootFactory* root = session.root();
  if (!Async(root) || !Registry(root) || !Xml(root) || !Regex(root) || !Crypto(root)) return 1;
  std::printf("services: done\n");
  return 0;
}
