// The outcome machinery: moving, destroying, raising the stop level of, and
// driving an outcome's operation. Both forms share it; only what a value
// state copies differs. Nothing here locks: the owner of an outcome
// serialises access to it.
#pragma once

#include <cstdint>

#include "ryl/async.h"

namespace ryl::async {

inline uint32_t StateOf(uint32_t tag) noexcept { return tag & RYL_OUTCOME_STATE_MASK; }
inline uint32_t LevelOf(uint32_t tag) noexcept { return (tag >> RYL_OUTCOME_LEVEL_SHIFT) & 3u; }
inline uint32_t WithLevel(uint32_t tag, uint32_t level) noexcept {
  return (tag & ~RYL_OUTCOME_LEVEL_MASK) | ((level & 3u) << RYL_OUTCOME_LEVEL_SHIFT);
}
// Levels cross the boundary as a word of which only the low byte counts.
inline uint32_t LevelArgument(uint32_t word) noexcept { return word & 0xFFu; }

template <typename Outcome>
bool IsPending(const Outcome& outcome) noexcept {
  return StateOf(outcome.tag) == RYL_OUTCOME_PENDING;
}

// The result code a finished outcome carries: 0 for a value, the code for an
// error.
template <typename Outcome>
ResultCode ResultOf(const Outcome& outcome) noexcept {
  return static_cast<ResultCode>(static_cast<uint32_t>(outcome.payload));
}

template <typename Outcome>
RylOperation* OperationOf(const Outcome& outcome) noexcept {
  return reinterpret_cast<RylOperation*>(static_cast<uintptr_t>(outcome.payload));
}

template <typename Outcome>
void MakeError(Outcome& outcome, ResultCode code, uint32_t level) noexcept {
  outcome.tag = WithLevel(RYL_OUTCOME_ERROR, level);
  outcome.payload = static_cast<uint32_t>(code);
}

template <typename Outcome>
void MakePending(Outcome& outcome, RylOperation* operation, uint32_t level) noexcept {
  outcome.tag = WithLevel(RYL_OUTCOME_PENDING, level);
  outcome.payload = reinterpret_cast<uintptr_t>(operation);
}

// Empties target (destroying what it held), then takes what source holds;
// source is always left empty. An object-holding source gives an error
// outcome RYL_E_UNSUPPORTED_VERSION at the source's level.
template <typename Outcome>
void MoveAssign(Outcome& target, Outcome& source) noexcept;

// Leaves the outcome empty. A pending outcome is first raised to level 3 and
// so driven to a final state in the calling thread.
template <typename Outcome>
void DestroyOutcome(Outcome& outcome) noexcept;

// Raises the stop level to level (never lowers it) and tells a pending
// operation through Raise until it has seen the new level or answers that it
// is still working.
template <typename Outcome>
void RaiseLevel(Outcome& outcome, uint32_t level) noexcept;

// Raise-level followed by driving, for an outcome that runs on a loop.
void RaiseLevelAndDrive(RylOutcome& slot, uint32_t level, RylTaskSink* context, RylEventLoop* loop) noexcept;

// Runs the pending operation of slot for the first time, then drives it.
void StartOutcome(RylOutcome& slot, RylTaskSink* context, RylEventLoop* loop) noexcept;

// Runs slot's operation, telling it first about a level above delivered,
// until it is final or answers that it is still working.
void DriveOutcome(RylOutcome& slot, RylTaskSink* context, RylEventLoop* loop, uint32_t delivered) noexcept;

// What an operation reported through its sink: the answer takes the slot's
// level, replaces the old operation and is driven from the level it carried.
void AcceptReport(RylOutcome& slot, RylOutcome& report, RylTaskSink* context, RylEventLoop* loop) noexcept;

}  // namespace ryl::async
