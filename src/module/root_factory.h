// The root object: the RootFactory table, the embedded FileSystemService and
// StringService tables, and a pointer to the module object, in that order.
#pragma once

#include <atomic>
#include <cstdint>

#include "fs/file_system_service.h"
#include "module/module_object.h"
#include "ryl/root_factory.h"
#include "strings/string_service.h"

namespace ryl::module {

// The RootFactory slots. They live in a class of their own because every
// embedded table has a query slot of the same signature: one override in the
// root object would answer all three.
class RootFactoryImpl : public RootFactory {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_ROOT_FACTORY;
  static constexpr uint32_t kHighestVersion = RYL_VERSION_ROOT_FACTORY;

  void RYL_THISCALL DestroyRoot() override;
  uint32_t RYL_THISCALL AddRef() override;
  uint32_t RYL_THISCALL Release() override;
  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override;
  ResultCode RYL_THISCALL CreateArchiveFactory(const ObjectReceiver* receiver) override;
  ResultCode RYL_THISCALL GetFileSystemService(const ObjectReceiver* receiver) override;
  ResultCode RYL_THISCALL GetStringService(const ObjectReceiver* receiver) override;
  ResultCode RYL_THISCALL CreateXmlWriter(const ObjectReceiver* receiver, HostStream* output) override;
  ResultCode RYL_THISCALL CreateBlowfishEncryptor(const ObjectReceiver* receiver, const uint8_t* key,
                                                  uint32_t keyLength) override;
  ResultCode RYL_THISCALL CreateBlowfishDecryptor(const ObjectReceiver* receiver, const uint8_t* key,
                                                  uint32_t keyLength) override;
  ResultCode RYL_THISCALL CreateRsaPublicKey(const ObjectReceiver* receiver, const uint8_t* exponent,
                                             uint32_t exponentLength, const uint8_t* modulus,
                                             uint32_t modulusLength) override;
  ResultCode RYL_THISCALL CreateRsaPublicKeyFromWord(const ObjectReceiver* receiver, uint32_t exponent,
                                                     const uint8_t* modulus, uint32_t modulusLength) override;
  ResultCode RYL_THISCALL CreateRsaPrivateKey(const ObjectReceiver* receiver, const uint8_t* privateExponent,
                                              uint32_t privateExponentLength, const uint8_t* modulus,
                                              uint32_t modulusLength) override;
  ResultCode RYL_THISCALL CreateRegexWide(const ObjectReceiver* receiver, const RylChar16* pattern, uint32_t length,
                                          uint32_t options) override;
  ResultCode RYL_THISCALL CreateRegexNarrow(const ObjectReceiver* receiver, const char* pattern, uint32_t length,
                                            uint32_t options) override;
  ResultCode RYL_THISCALL CreateZipStreamWriter(const ObjectReceiver* receiver) override;
  ResultCode RYL_THISCALL GetSharedDispatcher(const ObjectReceiver* receiver) override;
  ResultCode RYL_THISCALL RunToCompletion(RylOutcome* outcome, uint32_t timeLimitMs, RylWaitable* first,
                                          RylWaitable* second) override;
  ResultCode RYL_THISCALL ParseXml(HostStream* input, RylXmlEventHandler* handler, uint8_t flags) override;
  ResultCode RYL_THISCALL OpenRegistryRoot(RylKeyHolder* holder, uint32_t rootIndex) override;
  ResultCode RYL_THISCALL CreateDispatcher(const ObjectReceiver* receiver) override;
  uint32_t RYL_THISCALL DoAddRef() override;
  uint32_t RYL_THISCALL DoRelease() override;

};

class RootObject final : public RootFactoryImpl, public fs::FileSystemServiceImpl, public strings::StringServiceImpl {
 public:
  explicit RootObject(ModuleObject* module) noexcept : module_(module) {}
  RootObject(const RootObject&) = delete;
  RootObject& operator=(const RootObject&) = delete;

  ModuleObject* module() const noexcept { return module_; }

  // SharedInstanceSlot hooks: a root on the default heap, and its end.
  static void* Build() noexcept;
  static void DestroyObject(void* object) noexcept;

  // Live roots and roots ever built, for tests that race the slot.
  static int32_t LiveCountForTesting() noexcept;
  static int32_t BuiltCountForTesting() noexcept;
  // Makes the next n builds fail as if the heap were exhausted.
  static void FailBuildsForTesting(int32_t n) noexcept;

 private:
  ModuleObject* module_;
};

}  // namespace ryl::module
