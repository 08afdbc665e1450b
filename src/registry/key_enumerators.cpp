#include "registry/key_enumerators.h"

#include <algorithm>

#include "core/entry_guard.h"
#include "core/output_writer.h"
#include "registry/registry_key.h"
#include "registry/scoped_key.h"
#include "registry/shared_block.h"

namespace ryl::registry {

LiveEnumerator::~LiveEnumerator() { ReleaseUse(keyControl_); }

ResultCode LiveEnumerator::Read() noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    RegistryContext& context = record_->context();
    KeyHandle handle = nullptr;
    bool owned = false;
    ResultCode result = context.ResolveRoot(record_->handle(), &handle, &owned);
    if (result < 0) return result;
    ScopedKey key(context);
    key.Reset(handle, owned);
    KeyText name;
    result = ReadNameAt(context.keys(), handle, kind_, index_, &name);
    if (result == RYL_S_NO_MORE_ITEMS) {
      atEnd_ = true;
      return result;
    }
    if (result < 0) return result;
    current_ = std::move(name);
    atEnd_ = false;
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL LiveEnumerator::GetCurrent(OutputBuffer* name) {
  if (atEnd_) return RYL_E_NO_MORE_ITEMS;
  return core::WriteOutput(name, current_.data(), static_cast<uint32_t>(current_.size()));
}

ResultCode RYL_THISCALL LiveEnumerator::MoveNext() {
  if (atEnd_) return RYL_S_NO_MORE_ITEMS;
  ++index_;
  return Read();
}

ResultCode RYL_THISCALL LiveEnumerator::Reset() {
  index_ = 0;
  return Read();
}

ResultCode RYL_THISCALL SnapshotEnumerator::GetCurrent(OutputBuffer* name) {
  if (position_ >= names_.size()) return RYL_E_NO_MORE_ITEMS;
  const KeyText& current = names_[position_];
  return core::WriteOutput(name, current.data(), static_cast<uint32_t>(current.size()));
}

ResultCode RYL_THISCALL SnapshotEnumerator::MoveNext() {
  if (position_ >= names_.size()) return RYL_S_NO_MORE_ITEMS;
  ++position_;
  return position_ < names_.size() ? RYL_OK : RYL_S_NO_MORE_ITEMS;
}

ResultCode RYL_THISCALL SnapshotEnumerator::Reset() {
  position_ = 0;
  return names_.empty() ? RYL_S_NO_MORE_ITEMS : RYL_OK;
}

bool PrecedesByBytes(const KeyText& first, const KeyText& second) noexcept {
  const size_t common = std::min(first.size(), second.size());
  for (size_t i = 0; i < common; ++i) {
    const char16_t a = first[i];
    const char16_t b = second[i];
    if (a == b) continue;
    // Little-endian: the low byte comes first in memory.
    if ((a & 0xFF) != (b & 0xFF)) return (a & 0xFF) < (b & 0xFF);
    return (a >> 8) < (b >> 8);
  }
  return first.size() < second.size();
}

std::vector<KeyText> ReadClassesViewNames(const RegKeyRecord& record, NameKind kind) {
  RegistryContext& context = record.context();
  ClassesPath side;
  if (record.isRoot(kClassesRoot)) {
    side.path = u"SOFTWARE\\CLASSES";
    side.isMachine = true;
  } else if (context.GetClassesRelativePath(record.handle(), &side) < 0) {
    return {};
  }
  ScopedKey own(context);
  KeyHandle handle = nullptr;
  bool owned = false;
  if (context.ResolveRoot(record.handle(), &handle, &owned) < 0) return {};
  own.Reset(handle, owned);
  ScopedKey counterpart(context);
  KeyHandle other = nullptr;
  const uint32_t access = kind == NameKind::kSubKey ? kKeyEnumerateSubKeys : kKeyQueryValue;
  if (context.OpenKey(side.isMachine ? kCurrentUser : kLocalMachine, &other, side.path.data(),
                      static_cast<uint32_t>(side.path.size()), true, access, nullptr) >= 0) {
    counterpart.Reset(other, true);
  }
  const KeyHandle user = side.isMachine ? counterpart.get() : handle;
  const KeyHandle machine = side.isMachine ? handle : counterpart.get();

  std::vector<KeyText> names;
  // A side stops at its end or its first failure; a failure on the user
  // side leaves the machine side unread. What was read is kept.
  auto readSide = [&](KeyHandle key) -> bool {
    if (key == nullptr) return true;
    for (uint32_t index = 0;; ++index) {
      KeyText name;
      const ResultCode result = ReadNameAt(context.keys(), key, kind, index, &name);
      if (result == RYL_S_NO_MORE_ITEMS) return true;
      if (result < 0) return false;
      const auto at = std::lower_bound(names.begin(), names.end(), name, &PrecedesByBytes);
      if (at == names.end() || *at != name) names.insert(at, std::move(name));
    }
  };
  if (readSide(user)) readSide(machine);
  return names;
}

ResultCode RYL_THISCALL RegistryKey::EnumerateValues(RylEnumeratorHolder* out) {
  return EnumerateNames(out, NameKind::kValue);
}

ResultCode RYL_THISCALL RegistryKey::EnumerateSubKeys(RylEnumeratorHolder* out) {
  return EnumerateNames(out, NameKind::kSubKey);
}

ResultCode RegistryKey::EnumerateNames(RylEnumeratorHolder* out, NameKind kind) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() -> ResultCode {
    RylSharedControl* block = nullptr;
    RylKeyEnumerator* enumerator = nullptr;
    if (record_.isClassesView()) {
      auto* snapshot = SharedBlock<SnapshotEnumerator>::Create(ReadClassesViewNames(record_, kind));
      if (snapshot == nullptr) return RYL_E_OUT_OF_MEMORY;
      block = snapshot;
      enumerator = snapshot->object();
    } else {
      AddUse(control_);
      auto* live = SharedBlock<LiveEnumerator>::Create(control_, &record_, kind);
      if (live == nullptr) {
        ReleaseUse(control_);
        return RYL_E_OUT_OF_MEMORY;
      }
      block = live;
      enumerator = live->object();
    }
    const ResultCode first = enumerator->Reset();
    if (first != RYL_OK && first != RYL_S_NO_MORE_ITEMS && first != RYL_E_NO_MORE_ITEMS) {
      ReleaseUse(block);
      return first;
    }
    FillHolder(out, enumerator, block);
    return RYL_OK;
  });
}

}  // namespace ryl::registry
