// Enumerators of subkey or value names. A plain key's enumerator is live: it
// reads the key at each step (and keeps the key object alive). A classes-view
// key's is a snapshot of both sides' names, user side first, in byte order of
// their UTF-16 text, each name once.
#pragma once

#include <cstdint>
#include <vector>

#include "registry/key_names.h"
#include "registry/key_record.h"
#include "ryl/registry.h"

namespace ryl::registry {

class LiveEnumerator final : public RylKeyEnumerator {
 public:
  // keyControl: a use of the key object, given back when the enumerator goes.
  LiveEnumerator(RylSharedControl* control, RylSharedControl* keyControl, const RegKeyRecord* record,
                 NameKind kind) noexcept
      : control_(control), keyControl_(keyControl), record_(record), kind_(kind) {}
  ~LiveEnumerator();

  void RYL_THISCALL Destroy() override {}
  ResultCode RYL_THISCALL GetCurrent(OutputBuffer* name) override;
  ResultCode RYL_THISCALL MoveNext() override;
  ResultCode RYL_THISCALL Reset() override;

 private:
  ResultCode Read() noexcept;

  RylSharedControl* control_;
  RylSharedControl* keyControl_;
  const RegKeyRecord* record_;
  NameKind kind_;
  uint32_t index_ = 0;
  bool atEnd_ = true;
  KeyText current_;
};

class SnapshotEnumerator final : public RylKeyEnumerator {
 public:
  SnapshotEnumerator(RylSharedControl* control, std::vector<KeyText> names) noexcept
      : control_(control), names_(std::move(names)) {}

  void RYL_THISCALL Destroy() override {}
  ResultCode RYL_THISCALL GetCurrent(OutputBuffer* name) override;
  ResultCode RYL_THISCALL MoveNext() override;
  ResultCode RYL_THISCALL Reset() override;

 private:
  RylSharedControl* control_;
  std::vector<KeyText> names_;
  size_t position_ = 0;
};

// The names of both sides of a classes-view key, merged as the snapshot
// holds them.
std::vector<KeyText> ReadClassesViewNames(const RegKeyRecord& record, NameKind kind);

// Byte order of little-endian UTF-16 text; a prefix sorts first.
bool PrecedesByBytes(const KeyText& first, const KeyText& second) noexcept;

}  // namespace ryl::registry
