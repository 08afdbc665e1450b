#include "module/root_factory.h"

#include <new>

#include "archive/archive_factory.h"
#include "archive/streaming_archive.h"
#include "async/dispatcher_factory.h"
#include "async/run_to_completion.h"
#include "core/delivery.h"
#include "crypto/blowfish_cipher.h"
#include "crypto/rsa_key.h"
#include "core/query.h"
#include "module/native_archive_files.h"
#include "module/native_registry_keys.h"
#include "regex/regex_object.h"
#include "registry/registry_key.h"
#include "sys/environment.h"
#include "xml/xml_parser.h"
#include "xml/xml_writer.h"
#include "sys/heap.h"

namespace ryl::module {
namespace {

std::atomic<int32_t> g_liveRoots{0};
std::atomic<int32_t> g_builtRoots{0};
std::atomic<int32_t> g_failBuilds{0};

RootObject* Self(RootFactoryImpl* table) noexcept { return static_cast<RootObject*>(table); }

}  // namespace

void* RootObject::Build() noexcept {
  int32_t pending = g_failBuilds.load();
  while (pending > 0) {
    if (g_failBuilds.compare_exchange_weak(pending, pending - 1)) return nullptr;
  }
  void* memory = sys::DefaultHeapAllocate(sizeof(RootObject));
  if (memory == nullptr) return nullptr;
  auto* root = ::new (memory) RootObject(&TheModule());
  g_liveRoots.fetch_add(1);
  g_builtRoots.fetch_add(1);
  // The slot stores the address of the RootFactory table, which is where the
  // object starts.
  return static_cast<RootFactory*>(root);
}

void RootObject::DestroyObject(void* object) noexcept { static_cast<RootFactory*>(object)->DestroyRoot(); }

int32_t RootObject::LiveCountForTesting() noexcept { return g_liveRoots.load(); }
int32_t RootObject::BuiltCountForTesting() noexcept { return g_builtRoots.load(); }
void RootObject::FailBuildsForTesting(int32_t n) noexcept { g_failBuilds.store(n); }

void RYL_THISCALL RootFactoryImpl::DestroyRoot() {
  RootObject* root = Self(this);
  root->~RootObject();
  sys::DefaultHeapFree(root);
  g_liveRoots.fetch_sub(1);
}

uint32_t RYL_THISCALL RootFactoryImpl::AddRef() { return DoAddRef(); }

uint32_t RYL_THISCALL RootFactoryImpl::Release() { return DoRelease(); }

void* RYL_THISCALL RootFactoryImpl::Query(uint32_t type, uint32_t version, uint32_t* outHighest) {
  return core::AnswerQuery(static_cast<RootFactory*>(this), kTypeId, kHighestVersion, type, version, outHighest);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateArchiveFactory(const ObjectReceiver* receiver) {
  return archive::DeliverArchiveFactory(receiver, &NativeArchiveFiles());
}

ResultCode RYL_THISCALL RootFactoryImpl::GetFileSystemService(const ObjectReceiver* receiver) {
  return core::DeliverEmbedded(receiver, static_cast<FileSystemService*>(Self(this)),
                         fs::FileSystemServiceImpl::kHighestVersion);
}

ResultCode RYL_THISCALL RootFactoryImpl::GetStringService(const ObjectReceiver* receiver) {
  return core::DeliverEmbedded(receiver, static_cast<StringService*>(Self(this)),
                         strings::StringServiceImpl::kHighestVersion);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateXmlWriter(const ObjectReceiver* receiver, HostStream* output) {
  return xml::CreateXmlWriter(receiver, output);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateBlowfishEncryptor(const ObjectReceiver* receiver, const uint8_t* key,
                                                                 uint32_t keyLength) {
  return crypto::CreateBlowfishCipher(receiver, key, keyLength, true);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateBlowfishDecryptor(const ObjectReceiver* receiver, const uint8_t* key,
                                                                 uint32_t keyLength) {
  return crypto::CreateBlowfishCipher(receiver, key, keyLength, false);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateRsaPublicKey(const ObjectReceiver* receiver, const uint8_t* exponent,
                                                            uint32_t exponentLength, const uint8_t* modulus,
                                                            uint32_t modulusLength) {
  return crypto::CreateRsaPublicKey(receiver, exponent, exponentLength, modulus, modulusLength);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateRsaPublicKeyFromWord(const ObjectReceiver* receiver, uint32_t exponent,
                                                                    const uint8_t* modulus, uint32_t modulusLength) {
  return crypto::CreateRsaPublicKeyFromWord(receiver, exponent, modulus, modulusLength);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateRsaPrivateKey(const ObjectReceiver* receiver,
                                                             const uint8_t* privateExponent,
                                                             uint32_t privateExponentLength, const uint8_t* modulus,
                                                             uint32_t modulusLength) {
  return crypto::CreateRsaPrivateKey(receiver, privateExponent, privateExponentLength, modulus, modulusLength);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateRegexWide(const ObjectReceiver* receiver, const RylChar16* pattern,
                                                         uint32_t length, uint32_t flags) {
  return regex::CreateRegexWide(receiver, pattern, length, flags);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateRegexNarrow(const ObjectReceiver* receiver, const char* pattern,
                                                           uint32_t length, uint32_t flags) {
  return regex::CreateRegexNarrow(receiver, pattern, length, flags);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateZipStreamWriter(const ObjectReceiver* receiver) {
  return archive::DeliverStreamingArchive(receiver, &NativeArchiveFiles());
}

ResultCode RYL_THISCALL RootFactoryImpl::GetSharedDispatcher(const ObjectReceiver* receiver) {
  return async::GetSharedDispatcher(receiver);
}

ResultCode RYL_THISCALL RootFactoryImpl::RunToCompletion(RylOutcome* outcome, uint32_t timeLimitMs,
                                                         RylWaitable* first, RylWaitable* second) {
  return async::RunToCompletion(outcome, timeLimitMs, first, second);
}

ResultCode RYL_THISCALL RootFactoryImpl::ParseXml(HostStream* input, RylXmlEventHandler* handler, uint8_t flags) {
  return xml::ParseXml(input, handler, flags);
}

ResultCode RYL_THISCALL RootFactoryImpl::OpenRegistryRoot(RylKeyHolder* holder, uint32_t rootIndex) {
  if (holder == nullptr || rootIndex >= registry::kRootCount) return RYL_E_INVALID_ARG;
  const sys::RylOsInfoData& os = sys::RylEnvironment::GetOsInfoData();
  registry::RegistryContext* context =
      registry::AcquireRegistryContext(&NativeRegistryKeys(), os.systemArchitecture, os.processArchitecture);
  return registry::OpenRegistryRoot(holder, rootIndex, context);
}

ResultCode RYL_THISCALL RootFactoryImpl::CreateDispatcher(const ObjectReceiver* receiver) {
  return async::CreateDispatcher(receiver);
}

uint32_t RYL_THISCALL RootFactoryImpl::DoAddRef() {
  // The count a host sees is not the real one; only Release's 0 means gone.
  (void)Self(this)->module()->rootSlot.AddRef();
  return 2;
}

uint32_t RYL_THISCALL RootFactoryImpl::DoRelease() {
  return Self(this)->module()->rootSlot.Release(static_cast<RootFactory*>(this), &RootObject::DestroyObject);
}

}  // namespace ryl::module
