// Writing results into a host's OutputBuffer: set the length with Resize,
// then copy. A failing Resize is returned unchanged and nothing is copied.
// Callers whose input may live in the output's own storage copy it first:
// Resize may move the storage.
#pragma once

#include <cstdint>
#include <cstring>

#include "ryl/records.h"

namespace ryl::core {

[[nodiscard]] inline ResultCode ResizeOutput(OutputBuffer* out, uint32_t length) noexcept {
  if (out == nullptr || out->callbacks == nullptr || out->callbacks->Resize == nullptr) return RYL_E_INVALID_ARG;
  return out->callbacks->Resize(&out->view, length, out->context);
}

// Replaces the contents with count elements.
template <typename Element>
[[nodiscard]] ResultCode WriteOutput(OutputBuffer* out, const Element* data, uint32_t count) noexcept {
  const ResultCode resized = ResizeOutput(out, count);
  if (resized < 0) return resized;
  if (count != 0) std::memmove(out->view.data, data, size_t{count} * sizeof(Element));
  return RYL_OK;
}

// Appends count elements after what the buffer holds.
template <typename Element>
[[nodiscard]] ResultCode AppendOutput(OutputBuffer* out, const Element* data, uint32_t count) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  const uint32_t old = out->view.length;
  if (count > UINT32_MAX - old) return RYL_E_OUT_OF_MEMORY;
  const ResultCode resized = ResizeOutput(out, old + count);
  if (resized < 0) return resized;
  if (count != 0) std::memmove(static_cast<Element*>(out->view.data) + old, data, size_t{count} * sizeof(Element));
  return RYL_OK;
}

// The version-2 entries exist only when the table says so.
inline bool HasVersion2Entries(const OutputBuffer* out) noexcept {
  return out != nullptr && out->callbacks != nullptr && out->callbacks->version >= 2;
}

}  // namespace ryl::core
