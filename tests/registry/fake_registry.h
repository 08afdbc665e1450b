// An in-memory registry behind the native key calls, for the rules of the
// registry service on any host: a tree under "\REGISTRY" with values,
// symbolic links, keys that refuse deletion, change notification, and a log
// of every open and create (mask, root, name) so tests can see what the view
// rules asked the system for.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "registry/native_keys.h"

namespace ryl::registry::testing {

class FakeRegistry final : public NativeKeys {
 public:
  // machineName: how the system spells the machine hive in key names
  // (Windows: "MACHINE"; other systems may say "Machine").
  explicit FakeRegistry(std::u16string machineName = u"MACHINE",
                        std::u16string userSid = u"S-1-5-21-1-2-3-1001");
  ~FakeRegistry();

  struct Call {
    std::string kind;  // "open", "open-link", "create", "open-tx", "create-tx"
    uint32_t access;
    std::u16string rootPath;  // full path of the root handle, empty for none
    std::u16string name;
    int32_t status;
  };

  // Test set-up, by absolute path ("\REGISTRY\MACHINE\SOFTWARE\X").
  void AddKey(const std::u16string& path);
  void SetValue(const std::u16string& path, const std::u16string& name, uint32_t type, std::vector<uint8_t> data);
  void AddLink(const std::u16string& path, const std::u16string& target);
  void RefuseDeletion(const std::u16string& path);
  bool Exists(const std::u16string& path) const;
  std::vector<uint8_t> ValueData(const std::u16string& path, const std::u16string& name) const;
  // Answer every open of this absolute path with a status.
  void FailOpen(const std::u16string& path, int32_t status);
  // Answer the current-user open with access denied unless the access is
  // read-only.
  bool denyFullAccessToCurrentUser = false;
  // Answer short name queries with STATUS_BUFFER_TOO_SMALL instead of
  // STATUS_BUFFER_OVERFLOW.
  bool answerTooSmall = false;
  // How a notification sets and arming clears its event (platform-specific
  // in the tests).
  std::function<void(void*)> signal;
  std::function<void(void*)> reset;

  std::vector<Call> Calls() const;
  void ClearCalls();
  size_t OpenHandles() const;

  // NativeKeys
  int32_t OpenKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept override;
  int32_t OpenKeyNoFollow(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept override;
  int32_t OpenKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                            void* transaction) noexcept override;
  int32_t CreateKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept override;
  int32_t CreateKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                              void* transaction) noexcept override;
  int32_t OpenCurrentUser(uint32_t access, KeyHandle* out) noexcept override;
  int32_t QueryKey(KeyHandle key, uint32_t infoClass, void* buffer, uint32_t length,
                   uint32_t* outLength) noexcept override;
  int32_t EnumerateKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer, uint32_t length,
                       uint32_t* outLength) noexcept override;
  int32_t EnumerateValueKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer, uint32_t length,
                            uint32_t* outLength) noexcept override;
  int32_t QueryValueKey(KeyHandle key, KeyName name, uint32_t infoClass, void* buffer, uint32_t length,
                        uint32_t* outLength) noexcept override;
  int32_t SetValueKey(KeyHandle key, KeyName name, uint32_t type, const void* data, uint32_t size) noexcept override;
  int32_t DeleteValueKey(KeyHandle key, KeyName name) noexcept override;
  int32_t DeleteKey(KeyHandle key) noexcept override;
  int32_t Close(KeyHandle key) noexcept override;
  int32_t NotifyChangeKey(KeyHandle key, void* event, bool watchSubtree) noexcept override;
  ResultCode SaveKeyThroughTemporary(KeyHandle key, const char16_t* path, uint32_t pathLength) noexcept override;
  int32_t LoadKey(KeyHandle root, KeyName name, const char16_t* path, uint32_t pathLength) noexcept override;
  int32_t UnloadKey(KeyHandle root, KeyName name) noexcept override;
  int32_t RestoreKey(KeyHandle key, const char16_t* path) noexcept override;

 private:
  struct Node;
  struct Handle {
    Node* node;
    void* notifyEvent = nullptr;
    bool watchSubtree = false;
  };
  Node* Find(const std::u16string& absolute, bool followLast) const;
  Node* Make(const std::u16string& absolute);
  std::u16string PathOf(const Node* node) const;
  int32_t Open(const char* kind, KeyHandle* out, uint32_t access, KeyHandle root, KeyName name, bool create,
               bool followLast);
  std::u16string Absolute(KeyHandle root, KeyName name, int32_t* status) const;
  void Changed(Node* node);
  Node* NodeOf(KeyHandle key) const;

  mutable std::recursive_mutex lock_;
  std::unique_ptr<Node> root_;
  std::u16string machineName_;
  std::u16string userSid_;
  std::map<uintptr_t, Handle> handles_;
  uintptr_t nextHandle_ = 4;
  std::vector<Call> calls_;
  std::map<std::u16string, int32_t> failures_;
};

// Text helpers for tests.
std::u16string Upper(const std::u16string& text);

}  // namespace ryl::registry::testing
