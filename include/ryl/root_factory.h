// The root object. Hosts obtain it from GetRylObject holding one reference,
// give that reference back with Release, and reach every service from it.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

struct HostStream;
struct RylXmlEventHandler;
struct RylOutcome;
struct RylWaitable;
struct RylKeyHolder;

// The identifier GetRylObject accepts: the versioned form with the highest
// module interface version this SDK knows.
struct RylInterfaceId {
  uint8_t bytes[16];
};

#define RYL_MODULE_INTERFACE_VERSION 10u

static const RylInterfaceId kRylRootInterfaceId = {
    {0xB8, 0x55, 0xDE, 0xB4, 0xE9, 0x71, 0x45, 0x77, 0x90, 0x46, 0x99, 0x91, 0x00, 0x00, 0x00,
     (uint8_t)RYL_MODULE_INTERFACE_VERSION}};

RYL_INTERFACE RootFactory {
  // Slot 0 belongs to the release path; hosts never call it.
  virtual void RYL_THISCALL DestroyRoot() = 0;
  virtual uint32_t RYL_THISCALL AddRef() = 0;   // always 2
  virtual uint32_t RYL_THISCALL Release() = 0;  // 0 when this release destroyed the root
  // Takes no reference. Stores the highest version when outHighest is not null.
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual ResultCode RYL_THISCALL CreateArchiveFactory(const ObjectReceiver* receiver) = 0;
  // The two embedded services: no object is created and no reference taken.
  virtual ResultCode RYL_THISCALL GetFileSystemService(const ObjectReceiver* receiver) = 0;
  virtual ResultCode RYL_THISCALL GetStringService(const ObjectReceiver* receiver) = 0;
  // A null output still gives a writer; its every write then fails with
  // RYL_E_NOT_OPEN.
  virtual ResultCode RYL_THISCALL CreateXmlWriter(const ObjectReceiver* receiver, HostStream* output) = 0;
  virtual ResultCode RYL_THISCALL CreateBlowfishEncryptor(const ObjectReceiver* receiver, const uint8_t* key,
                                                          uint32_t keyLength) = 0;
  virtual ResultCode RYL_THISCALL CreateBlowfishDecryptor(const ObjectReceiver* receiver, const uint8_t* key,
                                                          uint32_t keyLength) = 0;
  virtual ResultCode RYL_THISCALL CreateRsaPublicKey(const ObjectReceiver* receiver, const uint8_t* exponent,
                                                     uint32_t exponentLength, const uint8_t* modulus,
                                                     uint32_t modulusLength) = 0;
  virtual ResultCode RYL_THISCALL CreateRsaPublicKeyFromWord(const ObjectReceiver* receiver, uint32_t exponent,
                                                             const uint8_t* modulus, uint32_t modulusLength) = 0;
  virtual ResultCode RYL_THISCALL CreateRsaPrivateKey(const ObjectReceiver* receiver, const uint8_t* privateExponent,
                                                      uint32_t privateExponentLength, const uint8_t* modulus,
                                                      uint32_t modulusLength) = 0;
  virtual ResultCode RYL_THISCALL CreateRegexWide(const ObjectReceiver* receiver, const RylChar16* pattern,
                                                  uint32_t length, uint32_t options) = 0;
  virtual ResultCode RYL_THISCALL CreateRegexNarrow(const ObjectReceiver* receiver, const char* pattern,
                                                    uint32_t length, uint32_t options) = 0;
  virtual ResultCode RYL_THISCALL CreateZipStreamWriter(const ObjectReceiver* receiver) = 0;
  virtual ResultCode RYL_THISCALL GetSharedDispatcher(const ObjectReceiver* receiver) = 0;
  virtual ResultCode RYL_THISCALL RunToCompletion(RylOutcome* outcome, uint32_t timeLimitMs, RylWaitable* first,
                                                  RylWaitable* second) = 0;
  virtual ResultCode RYL_THISCALL ParseXml(HostStream* input, RylXmlEventHandler* handler, uint8_t flags) = 0;
  virtual ResultCode RYL_THISCALL OpenRegistryRoot(RylKeyHolder* holder, uint32_t rootIndex) = 0;
  virtual ResultCode RYL_THISCALL CreateDispatcher(const ObjectReceiver* receiver) = 0;
  // Slots 21 and 22 carry the reference policy behind AddRef and Release.
  virtual uint32_t RYL_THISCALL DoAddRef() = 0;
  virtual uint32_t RYL_THISCALL DoRelease() = 0;
};

#if defined(__cplusplus)
extern "C" {
#endif
RYL_API ResultCode RylModuleInit(void);
RYL_API ResultCode RylModuleFinish(void);
RYL_API ResultCode RYL_STDCALL GetRylObject(RylInterfaceId id, void** outObject);
#if defined(__cplusplus)
}
#endif
