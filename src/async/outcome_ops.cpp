#include "async/outcome_ops.h"

#include <type_traits>

namespace ryl::async {
namespace {

// An object held by an outcome in state 4 or above: the second entry of its
// table destroys it.
RYL_INTERFACE HeldObject {
  virtual void RYL_THISCALL Unused() = 0;
  virtual void RYL_THISCALL Destroy() = 0;
};

template <typename Outcome>
void Clear(Outcome& outcome) noexcept {
  outcome.tag = 0;
  outcome.payload = 0;
}

// The operation's answer: out is a status outcome for the status form and a
// value outcome for the value form.
template <typename Outcome>
RylOutcome* AnswerSlot(Outcome& answer) noexcept {
  return reinterpret_cast<RylOutcome*>(&answer);
}

// Replaces slot's operation with a non-empty answer: the answer takes the
// slot's level, the old operation is released. Returns the level the answer
// carried (what its operation has seen).
template <typename Outcome>
uint32_t TakeAnswer(Outcome& slot, Outcome& answer) noexcept {
  const uint32_t seen = LevelOf(answer.tag);
  answer.tag = WithLevel(answer.tag, LevelOf(slot.tag));
  OperationOf(slot)->Release();
  Clear(slot);
  MoveAssign(slot, answer);
  return seen;
}

}  // namespace

template <typename Outcome>
void MoveAssign(Outcome& target, Outcome& source) noexcept {
  if (&target == &source) return;
  DestroyOutcome(target);
  const uint32_t state = StateOf(source.tag);
  switch (state) {
    case RYL_OUTCOME_EMPTY:
      return;
    case RYL_OUTCOME_VALUE:
      target.tag = source.tag;
      // The status form carries no value: only its tag word is copied.
      if constexpr (std::is_same_v<Outcome, RylOutcomeValue>) target.payload = source.payload;
      Clear(source);
      return;
    case RYL_OUTCOME_PENDING:
      target.tag = source.tag;
      target.payload = source.payload;
      Clear(source);
      return;
    case RYL_OUTCOME_ERROR:
      target.tag = source.tag;
      target.payload = source.payload;
      Clear(source);
      return;
    default:
      MakeError(target, RYL_E_UNSUPPORTED_VERSION, LevelOf(source.tag));
      DestroyOutcome(source);
      return;
  }
}

template <typename Outcome>
void DestroyOutcome(Outcome& outcome) noexcept {
  for (;;) {
    const uint32_t state = StateOf(outcome.tag);
    if (state >= RYL_OUTCOME_OBJECT) {
      reinterpret_cast<HeldObject*>(static_cast<uintptr_t>(outcome.payload))->Destroy();
      Clear(outcome);
      return;
    }
    if (state != RYL_OUTCOME_PENDING) {
      Clear(outcome);
      return;
    }
    RaiseLevel(outcome, RYL_LEVEL_ABANDON);
    if (IsPending(outcome) && LevelOf(outcome.tag) == RYL_LEVEL_ABANDON) {
      // The operation broke its contract: at level 3 it must give a final
      // answer at once. Waiting for one could spin for ever, so the outcome
      // is given up as failed.
      OperationOf(outcome)->Release();
      MakeError(outcome, RYL_E_INVALID_STATE, RYL_LEVEL_ABANDON);
    }
  }
}

template <typename Outcome>
void RaiseLevel(Outcome& outcome, uint32_t level) noexcept {
  level &= 3u;
  uint32_t seen = LevelOf(outcome.tag);
  if (seen >= level) return;
  outcome.tag = WithLevel(outcome.tag, level);
  while (IsPending(outcome)) {
    Outcome answer{};
    OperationOf(outcome)->Raise(AnswerSlot(answer), 0, level, seen);
    if (StateOf(answer.tag) == RYL_OUTCOME_EMPTY) return;
    seen = TakeAnswer(outcome, answer);
    if (seen >= LevelOf(outcome.tag)) return;
  }
}

void RaiseLevelAndDrive(RylOutcome& slot, uint32_t level, RylTaskSink* context, RylEventLoop* loop) noexcept {
  const uint32_t seen = LevelOf(slot.tag);
  if (seen >= (level & 3u)) return;
  slot.tag = WithLevel(slot.tag, level);
  DriveOutcome(slot, context, loop, seen);
}

void StartOutcome(RylOutcome& slot, RylTaskSink* context, RylEventLoop* loop) noexcept {
  if (!IsPending(slot)) return;
  RylOutcome answer{};
  OperationOf(slot)->Run(&answer, context, loop, LevelOf(slot.tag));
  if (StateOf(answer.tag) == RYL_OUTCOME_EMPTY) return;
  const uint32_t delivered = TakeAnswer(slot, answer);
  DriveOutcome(slot, context, loop, delivered);
}

void DriveOutcome(RylOutcome& slot, RylTaskSink* context, RylEventLoop* loop, uint32_t delivered) noexcept {
  while (IsPending(slot)) {
    while (delivered < LevelOf(slot.tag)) {
      RylOutcome answer{};
      OperationOf(slot)->Raise(&answer, 0, LevelOf(slot.tag), delivered);
      if (StateOf(answer.tag) == RYL_OUTCOME_EMPTY) break;
      delivered = TakeAnswer(slot, answer);
      if (!IsPending(slot)) return;
    }
    RylOutcome answer{};
    OperationOf(slot)->Run(&answer, context, loop, LevelOf(slot.tag));
    if (StateOf(answer.tag) == RYL_OUTCOME_EMPTY) return;
    delivered = TakeAnswer(slot, answer);
  }
}

void AcceptReport(RylOutcome& slot, RylOutcome& report, RylTaskSink* context, RylEventLoop* loop) noexcept {
  if (!IsPending(slot)) {
    // A report for work that is already final (given up at level 3, say)
    // has nothing left to replace.
    DestroyOutcome(report);
    return;
  }
  const uint32_t carried = LevelOf(report.tag);
  report.tag = WithLevel(report.tag, LevelOf(slot.tag));
  OperationOf(slot)->Release();
  Clear(slot);
  MoveAssign(slot, report);
  DriveOutcome(slot, context, loop, carried);
}

template void MoveAssign<RylOutcome>(RylOutcome&, RylOutcome&) noexcept;
template void MoveAssign<RylOutcomeValue>(RylOutcomeValue&, RylOutcomeValue&) noexcept;
template void DestroyOutcome<RylOutcome>(RylOutcome&) noexcept;
template void DestroyOutcome<RylOutcomeValue>(RylOutcomeValue&) noexcept;
template void RaiseLevel<RylOutcome>(RylOutcome&, uint32_t) noexcept;
template void RaiseLevel<RylOutcomeValue>(RylOutcomeValue&, uint32_t) noexcept;

}  // namespace ryl::async
