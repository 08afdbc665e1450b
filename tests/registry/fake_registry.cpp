#include "fake_registry.h"

#include <cstring>

namespace ryl::registry::testing {

std::u16string Upper(const std::u16string& text) {
  std::u16string upper = text;
  for (char16_t& unit : upper) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - 32);
  }
  return upper;
}

namespace {
constexpr int32_t kNameNotFound = static_cast<int32_t>(0xC0000034u);
constexpr int32_t kPathNotFound = static_cast<int32_t>(0xC000003Au);
constexpr int32_t kSyntaxBad = static_cast<int32_t>(0xC000003Bu);
constexpr int32_t kInvalidHandle = static_cast<int32_t>(0xC0000008u);
constexpr int32_t kAccessDenied = static_cast<int32_t>(0xC0000022u);
constexpr int32_t kCannotDelete = static_cast<int32_t>(0xC0000121u);
constexpr int32_t kNotImplemented = static_cast<int32_t>(0xC0000002u);
constexpr int32_t kPending = 0x103;
constexpr uint64_t kWriteTime = 0x01D7000000000000ull;

std::vector<std::u16string> Split(const std::u16string& path) {
  std::vector<std::u16string> parts;
  size_t from = 0;
  while (from <= path.size()) {
    const size_t cut = path.find(u'\\', from);
    const size_t end = cut == std::u16string::npos ? path.size() : cut;
    if (end > from) parts.push_back(path.substr(from, end - from));
    if (cut == std::u16string::npos) break;
    from = cut + 1;
  }
  return parts;
}

void Put32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, 4); }

}  // namespace

struct FakeRegistry::Node {
  std::u16string name;
  Node* parent = nullptr;
  std::map<std::u16string, std::unique_ptr<Node>> children;  // by upper-cased name
  struct Value {
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  std::map<std::u16string, Value> values;
  std::u16string linkTarget;
  bool undeletable = false;
};

FakeRegistry::FakeRegistry(std::u16string machineName, std::u16string userSid)
    : root_(std::make_unique<Node>()), machineName_(std::move(machineName)), userSid_(std::move(userSid)) {
  root_->name = u"REGISTRY";
  Make(u"\\REGISTRY\\" + machineName_ + u"\\SOFTWARE\\Classes");
  Make(u"\\REGISTRY\\USER\\" + userSid_ + u"\\Software\\Classes");
  Make(u"\\REGISTRY\\USER\\" + userSid_ + u"_Classes");
}

FakeRegistry::~FakeRegistry() = default;

FakeRegistry::Node* FakeRegistry::Find(const std::u16string& absolute, bool followLast) const {
  std::vector<std::u16string> parts = Split(absolute);
  if (parts.empty() || Upper(parts[0]) != u"REGISTRY") return nullptr;
  Node* node = root_.get();
  for (size_t i = 1; i < parts.size(); ++i) {
    const auto found = node->children.find(Upper(parts[i]));
    if (found == node->children.end()) return nullptr;
    node = found->second.get();
    const bool last = i + 1 == parts.size();
    if (!node->linkTarget.empty() && (!last || followLast)) {
      node = Find(node->linkTarget, true);
      if (node == nullptr) return nullptr;
    }
  }
  return node;
}

FakeRegistry::Node* FakeRegistry::Make(const std::u16string& absolute) {
  std::vector<std::u16string> parts = Split(absolute);
  Node* node = root_.get();
  for (size_t i = 1; i < parts.size(); ++i) {
    auto& child = node->children[Upper(parts[i])];
    if (child == nullptr) {
      child = std::make_unique<Node>();
      child->name = parts[i];
      child->parent = node;
    }
    node = child.get();
  }
  return node;
}

std::u16string FakeRegistry::PathOf(const Node* node) const {
  std::u16string path;
  for (; node != nullptr; node = node->parent) path = u"\\" + node->name + path;
  return path;
}

void FakeRegistry::AddKey(const std::u16string& path) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Make(path);
}

void FakeRegistry::SetValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                            std::vector<uint8_t> data) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = Make(path);
  node->values[Upper(name)] = Node::Value{name, type, std::move(data)};
  Changed(node);
}

void FakeRegistry::AddLink(const std::u16string& path, const std::u16string& target) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Make(path)->linkTarget = target;
}

void FakeRegistry::RefuseDeletion(const std::u16string& path) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Make(path)->undeletable = true;
}

bool FakeRegistry::Exists(const std::u16string& path) const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return Find(path, false) != nullptr;
}

std::vector<uint8_t> FakeRegistry::ValueData(const std::u16string& path, const std::u16string& name) const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = Find(path, true);
  if (node == nullptr) return {};
  const auto found = node->values.find(Upper(name));
  return found == node->values.end() ? std::vector<uint8_t>{} : found->second.data;
}

void FakeRegistry::FailOpen(const std::u16string& path, int32_t status) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  failures_[Upper(path)] = status;
}

std::vector<FakeRegistry::Call> FakeRegistry::Calls() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return calls_;
}

void FakeRegistry::ClearCalls() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  calls_.clear();
}

size_t FakeRegistry::OpenHandles() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return handles_.size();
}

FakeRegistry::Node* FakeRegistry::NodeOf(KeyHandle key) const {
  const auto found = handles_.find(reinterpret_cast<uintptr_t>(key));
  return found == handles_.end() ? nullptr : found->second.node;
}

std::u16string FakeRegistry::Absolute(KeyHandle root, KeyName name, int32_t* status) const {
  const std::u16string text(name.text == nullptr ? u"" : name.text, name.length);
  *status = 0;
  if (root == nullptr) {
    if (text.empty() || text[0] != u'\\') *status = kSyntaxBad;
    return text;
  }
  Node* node = NodeOf(root);
  if (node == nullptr) {
    *status = kInvalidHandle;
    return {};
  }
  return text.empty() ? PathOf(node) : PathOf(node) + u"\\" + text;
}

int32_t FakeRegistry::Open(const char* kind, KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                           bool create, bool followLast) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  int32_t status = 0;
  Node* rootNode = root == nullptr ? nullptr : NodeOf(root);
  Call call{kind, access, rootNode == nullptr ? u"" : PathOf(rootNode),
            std::u16string(name.text == nullptr ? u"" : name.text, name.length), 0};
  const std::u16string absolute = Absolute(root, name, &status);
  if (status == 0) {
    const auto failure = failures_.find(Upper(absolute));
    if (failure != failures_.end()) status = failure->second;
  }
  Node* node = nullptr;
  if (status == 0 && absolute.find(u'\0') == std::u16string::npos) {
    node = Find(absolute, followLast);
    if (node == nullptr && create) {
      const size_t cut = absolute.rfind(u'\\');
      Node* parent = cut == std::u16string::npos ? nullptr : Find(absolute.substr(0, cut), true);
      if (parent == nullptr) {
        status = kPathNotFound;
      } else {
        node = Make(PathOf(parent) + absolute.substr(cut));
        Changed(parent);
      }
    } else if (node == nullptr) {
      status = kNameNotFound;
    }
  } else if (status == 0) {
    // A name holding a zero unit: only a create makes it, as a literal.
    if (create) {
      const size_t cut = absolute.rfind(u'\\');
      Node* parent = Find(absolute.substr(0, cut), true);
      if (parent == nullptr) {
        status = kPathNotFound;
      } else {
        auto& child = parent->children[Upper(absolute.substr(cut + 1))];
        if (child == nullptr) {
          child = std::make_unique<Node>();
          child->name = absolute.substr(cut + 1);
          child->parent = parent;
        }
        node = child.get();
      }
    } else {
      status = kNameNotFound;
    }
  }
  if (status == 0) {
    const uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = Handle{node};
    *out = reinterpret_cast<KeyHandle>(handle);
  }
  call.status = status;
  calls_.push_back(call);
  return status;
}

int32_t FakeRegistry::OpenKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept {
  return Open("open", out, access, root, name, false, true);
}
int32_t FakeRegistry::OpenKeyNoFollow(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept {
  return Open("open-link", out, access, root, name, false, false);
}
int32_t FakeRegistry::OpenKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                                        void*) noexcept {
  return Open("open-tx", out, access, root, name, false, true);
}
int32_t FakeRegistry::CreateKey(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name) noexcept {
  return Open("create", out, access, root, name, true, true);
}
int32_t FakeRegistry::CreateKeyTransacted(KeyHandle* out, uint32_t access, KeyHandle root, KeyName name,
                                          void*) noexcept {
  return Open("create-tx", out, access, root, name, true, true);
}

int32_t FakeRegistry::OpenCurrentUser(uint32_t access, KeyHandle* out) noexcept {
  if (denyFullAccessToCurrentUser && access != 0x20019) return kAccessDenied;
  const std::u16string path = u"\\REGISTRY\\USER\\" + userSid_;
  return Open("current-user", out, access, nullptr, KeyName{path.data(), static_cast<uint32_t>(path.size())}, false,
              true);
}

int32_t FakeRegistry::QueryKey(KeyHandle key, uint32_t infoClass, void* buffer, uint32_t length,
                               uint32_t* outLength) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (infoClass == kKeyNameInformation) {
    const std::u16string path = PathOf(node);
    const uint32_t need = 4 + static_cast<uint32_t>(path.size() * 2);
    *outLength = need;
    if (length < need) {
      if (length >= 4) Put32(bytes, static_cast<uint32_t>(path.size() * 2));
      return answerTooSmall ? kStatusBufferTooSmall : kStatusBufferOverflow;
    }
    Put32(bytes, static_cast<uint32_t>(path.size() * 2));
    std::memcpy(bytes + 4, path.data(), path.size() * 2);
    return 0;
  }
  if (infoClass == kKeyFullInformation) {
    *outLength = kKeyFullHeader;
    if (length < kKeyFullHeader) return kStatusBufferTooSmall;
    std::memset(bytes, 0, kKeyFullHeader);
    std::memcpy(bytes, &kWriteTime, 8);
    Put32(bytes + 12, kKeyFullHeader);
    uint32_t longestName = 0, longestValueName = 0, longestData = 0;
    for (const auto& [upper, child] : node->children) longestName = std::max<uint32_t>(longestName, child->name.size() * 2);
    for (const auto& [upper, value] : node->values) {
      longestValueName = std::max<uint32_t>(longestValueName, value.name.size() * 2);
      longestData = std::max<uint32_t>(longestData, value.data.size());
    }
    Put32(bytes + 20, static_cast<uint32_t>(node->children.size()));
    Put32(bytes + 24, longestName);
    Put32(bytes + 32, static_cast<uint32_t>(node->values.size()));
    Put32(bytes + 36, longestValueName);
    Put32(bytes + 40, longestData);
    return 0;
  }
  return kNotImplemented;
}

int32_t FakeRegistry::EnumerateKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer, uint32_t length,
                                   uint32_t* outLength) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  if (infoClass != kKeyNodeInformation) return kNotImplemented;
  if (index >= node->children.size()) return kStatusNoMoreEntries;
  auto it = node->children.begin();
  std::advance(it, index);
  const std::u16string& name = it->second->name;
  const uint32_t need = kKeyNodeHeader + static_cast<uint32_t>(name.size() * 2);
  *outLength = need;
  if (length < need) return kStatusBufferOverflow;
  auto* bytes = static_cast<uint8_t*>(buffer);
  std::memset(bytes, 0, kKeyNodeHeader);
  Put32(bytes + 12, 0xFFFFFFFFu);
  Put32(bytes + 20, static_cast<uint32_t>(name.size() * 2));
  std::memcpy(bytes + kKeyNodeHeader, name.data(), name.size() * 2);
  return 0;
}

int32_t FakeRegistry::EnumerateValueKey(KeyHandle key, uint32_t index, uint32_t infoClass, void* buffer,
                                        uint32_t length, uint32_t* outLength) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  if (infoClass != kKeyValueFullInformation) return kNotImplemented;
  if (index >= node->values.size()) return kStatusNoMoreEntries;
  auto it = node->values.begin();
  std::advance(it, index);
  const auto& value = it->second;
  const uint32_t nameBytes = static_cast<uint32_t>(value.name.size() * 2);
  const uint32_t need = kKeyValueFullHeader + nameBytes + static_cast<uint32_t>(value.data.size());
  *outLength = need;
  if (length < need) return kStatusBufferOverflow;
  auto* bytes = static_cast<uint8_t*>(buffer);
  Put32(bytes, 0);
  Put32(bytes + 4, value.type);
  Put32(bytes + 8, kKeyValueFullHeader + nameBytes);
  Put32(bytes + 12, static_cast<uint32_t>(value.data.size()));
  Put32(bytes + 16, nameBytes);
  std::memcpy(bytes + kKeyValueFullHeader, value.name.data(), nameBytes);
  if (!value.data.empty()) std::memcpy(bytes + kKeyValueFullHeader + nameBytes, value.data.data(), value.data.size());
  return 0;
}

int32_t FakeRegistry::QueryValueKey(KeyHandle key, KeyName name, uint32_t infoClass, void* buffer, uint32_t length,
                                    uint32_t* outLength) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  if (infoClass != kKeyValuePartialInformation) return kNotImplemented;
  const auto found = node->values.find(Upper(std::u16string(name.text == nullptr ? u"" : name.text, name.length)));
  if (found == node->values.end()) return kNameNotFound;
  const auto& value = found->second;
  const uint32_t need = kKeyValuePartialHeader + static_cast<uint32_t>(value.data.size());
  *outLength = need;
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (length < kKeyValuePartialHeader) return kStatusBufferTooSmall;
  Put32(bytes, 0);
  Put32(bytes + 4, value.type);
  Put32(bytes + 8, static_cast<uint32_t>(value.data.size()));
  if (length < need) return kStatusBufferOverflow;
  if (!value.data.empty()) std::memcpy(bytes + kKeyValuePartialHeader, value.data.data(), value.data.size());
  return 0;
}

int32_t FakeRegistry::SetValueKey(KeyHandle key, KeyName name, uint32_t type, const void* data,
                                  uint32_t size) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  const std::u16string text(name.text == nullptr ? u"" : name.text, name.length);
  const auto* bytes = static_cast<const uint8_t*>(data);
  node->values[Upper(text)] = Node::Value{text, type, std::vector<uint8_t>(bytes, bytes + size)};
  Changed(node);
  return 0;
}

int32_t FakeRegistry::DeleteValueKey(KeyHandle key, KeyName name) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  if (node->values.erase(Upper(std::u16string(name.text == nullptr ? u"" : name.text, name.length))) == 0) {
    return kNameNotFound;
  }
  Changed(node);
  return 0;
}

int32_t FakeRegistry::DeleteKey(KeyHandle key) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  Node* node = NodeOf(key);
  if (node == nullptr) return kInvalidHandle;
  if (node->undeletable) return kAccessDenied;
  if (!node->children.empty() || node->parent == nullptr) return kCannotDelete;
  Node* parent = node->parent;
  // Handles on the key stay valid and see a key no longer in the tree: keep
  // its memory until they are closed, as the system does.
  for (auto& [handle, record] : handles_) {
    if (record.node == node) record.node = nullptr;
  }
  parent->children.erase(Upper(node->name));
  Changed(parent);
  return 0;
}

int32_t FakeRegistry::Close(KeyHandle key) noexcept {
  void* event = nullptr;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    const auto found = handles_.find(reinterpret_cast<uintptr_t>(key));
    if (found == handles_.end()) return kInvalidHandle;
    event = found->second.notifyEvent;
    handles_.erase(found);
  }
  // Closing a key ends its pending notification, which sets the event.
  if (event != nullptr && signal) signal(event);
  return 0;
}

int32_t FakeRegistry::NotifyChangeKey(KeyHandle key, void* event, bool watchSubtree) noexcept {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  const auto found = handles_.find(reinterpret_cast<uintptr_t>(key));
  if (found == handles_.end() || found->second.node == nullptr) return kInvalidHandle;
  // As the system does, arming clears the event first.
  if (reset) reset(event);
  found->second.notifyEvent = event;
  found->second.watchSubtree = watchSubtree;
  return kPending;
}

void FakeRegistry::Changed(Node* node) {
  for (auto& [handle, record] : handles_) {
    if (record.notifyEvent == nullptr || record.node == nullptr) continue;
    bool hit = record.node == node;
    if (!hit && record.watchSubtree) {
      for (Node* up = node; up != nullptr && !hit; up = up->parent) hit = up == record.node;
    }
    if (!hit) continue;
    void* event = record.notifyEvent;
    record.notifyEvent = nullptr;
    if (signal) signal(event);
  }
}

ResultCode FakeRegistry::SaveKeyThroughTemporary(KeyHandle, const char16_t*, uint32_t) noexcept {
  return RYL_E_NOT_IMPLEMENTED;
}
int32_t FakeRegistry::LoadKey(KeyHandle, KeyName, const char16_t*, uint32_t) noexcept { return kNotImplemented; }
int32_t FakeRegistry::UnloadKey(KeyHandle, KeyName) noexcept { return kNotImplemented; }
int32_t FakeRegistry::RestoreKey(KeyHandle, const char16_t*) noexcept { return kNotImplemented; }

}  // namespace ryl::registry::testing
