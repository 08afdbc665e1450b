// What every view the library hands out records about itself, so that the
// public view object can report it without knowing the kind of view.
#pragma once

#include <cstdint>

#include "core/query.h"
#include "ryl/streams.h"

namespace ryl::streams {

class MappedViewBase : public MappedView {
 public:
  static constexpr uint32_t kTypeId = RYL_TYPE_MAPPED_VIEW;
  static constexpr uint32_t kHighestVersion = 1;

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) override {
    return core::AnswerQuery(static_cast<MappedView*>(this), kTypeId, kHighestVersion, type, version, outHighest);
  }

  // The first byte of the requested range.
  void* address() const noexcept { return address_; }
  uint64_t offset() const noexcept { return offset_; }
  uint32_t length() const noexcept { return length_; }
  bool reaches_end() const noexcept { return reachesEnd_; }
  bool read_only() const noexcept { return readOnly_; }

 protected:
  void* address_ = nullptr;
  uint64_t offset_ = 0;
  uint32_t length_ = 0;
  bool reachesEnd_ = false;
  bool readOnly_ = true;
};

}  // namespace ryl::streams
