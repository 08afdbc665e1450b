// The parts selector as the security operations apply it, and the access
// rights each part needs.
#pragma once

#include <cstdint>

namespace ryl::security {

// Whether the system is Windows Vista or later, as these operations see it.
bool IsVistaOrHigher() noexcept;

// Makes IsVistaOrHigher answer `answer` (0 or 1) until it is called again
// with -1, which restores the system's own answer. For tests only.
void SetVistaAnswerForTesting(int answer) noexcept;

// The parts with the mandatory-label bit removed before Windows Vista, which
// knows no labels, and bits beyond the five parts dropped.
uint32_t EffectiveParts(uint32_t parts) noexcept;

// Read control, plus system security when the system list is read (the
// system hands the list only to a handle opened with that right).
uint32_t AccessForReading(uint32_t parts) noexcept;

// Write owner for the owner, group or label; write DAC for the
// discretionary list; system security for the system list.
uint32_t AccessForWriting(uint32_t parts) noexcept;

}  // namespace ryl::security
