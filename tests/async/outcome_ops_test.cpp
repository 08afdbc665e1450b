// The outcome machinery, with scripted operations: what each step calls, in
// which order, with which levels, and what it leaves in the outcome.
#include "async/outcome_ops.h"

#include <gtest/gtest.h>

#include "async_test_support.h"

namespace ryl::async {
namespace {

using testing::Error;
using testing::Level;
using testing::Pending;
using testing::ScriptedOperation;
using testing::State;
using testing::Tag;
using testing::Value;

struct HeldObject : RylOperation {  // only slot 1 matters: it destroys
  int destroyed = 0;
  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL Release() override { ++destroyed; }
  void RYL_THISCALL Run(RylOutcome*, RylTaskSink*, RylEventLoop*, uint32_t) override {}
  void RYL_THISCALL Raise(RylOutcome*, uint32_t, uint32_t, uint32_t) override {}
};

TEST(OutcomeMove, EachSourceStateAndWhatItLeavesBehind) {
  ScriptedOperation op;
  struct Row {
    const char* name;
    RylOutcome source;
    uint32_t wantTag;
    uintptr_t wantPayload;
  };
  const uint32_t extraBits = 0x00AB0000u;  // neither state nor level: travels with the tag
  const Row rows[] = {
      {"empty", RylOutcome{0, 0}, 0, 0},
      {"value copies only the tag", RylOutcome{Tag(RYL_OUTCOME_VALUE, 2) | extraBits, 0x1234},
       Tag(RYL_OUTCOME_VALUE, 2) | extraBits, 0},
      {"pending moves the operation", RylOutcome{Tag(RYL_OUTCOME_PENDING, 1), reinterpret_cast<uintptr_t>(&op)},
       Tag(RYL_OUTCOME_PENDING, 1), reinterpret_cast<uintptr_t>(&op)},
      {"error copies the code", Error(RYL_E_BAD_FORMAT, 3), Tag(RYL_OUTCOME_ERROR, 3),
       static_cast<uint32_t>(RYL_E_BAD_FORMAT)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RylOutcome target = Error(RYL_E_NOT_FOUND);
    RylOutcome source = row.source;
    MoveAssign(target, source);
    EXPECT_EQ(target.tag, row.wantTag);
    EXPECT_EQ(target.payload, row.wantPayload);
    EXPECT_EQ(source.tag, 0u);
  }
  EXPECT_EQ(op.releases, 0) << "a moved operation keeps its one reference";
}

TEST(OutcomeMove, ObjectHoldingSourceBecomesAnErrorAtItsLevelAndIsDestroyed) {
  HeldObject held;
  RylOutcome source{Tag(RYL_OUTCOME_OBJECT + 3, 2), reinterpret_cast<uintptr_t>(&held)};
  RylOutcome target{};
  MoveAssign(target, source);
  EXPECT_EQ(target.tag, Tag(RYL_OUTCOME_ERROR, 2));
  EXPECT_EQ(static_cast<uint32_t>(target.payload), 0xE0010054u);
  EXPECT_EQ(source.tag, 0u);
  EXPECT_EQ(held.destroyed, 1);
}

TEST(OutcomeMove, SelfAssignmentChangesNothing) {
  ScriptedOperation op;
  RylOutcome outcome = Pending(&op, 1);
  MoveAssign(outcome, outcome);
  EXPECT_EQ(outcome.tag, Tag(RYL_OUTCOME_PENDING, 1));
  EXPECT_EQ(op.raises + op.releases, 0);
}

TEST(OutcomeMove, ValueFormCarriesItsSixtyFourBitValue) {
  RylOutcomeValue source{Tag(RYL_OUTCOME_VALUE, 0), 0, 0x1122334455667788ull};
  RylOutcomeValue target{Tag(RYL_OUTCOME_ERROR, 0), 0, 5};
  MoveAssign(target, source);
  EXPECT_EQ(target.payload, 0x1122334455667788ull);
  EXPECT_EQ(source.tag, 0u);
}

TEST(OutcomeMove, APendingTargetIsDrivenToItsEndFirst) {
  ScriptedOperation old;
  old.onRaise = [](RylOutcome* out, uint32_t, uint32_t) { *out = Error(RYL_E_INVALID_STATE, 3); };
  RylOutcome target = Pending(&old);
  RylOutcome source = Value();
  MoveAssign(target, source);
  EXPECT_EQ(old.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{3, 0}}));
  EXPECT_EQ(old.releases, 1);
  EXPECT_EQ(State(target), RYL_OUTCOME_VALUE);
}

TEST(OutcomeDestroy, PendingIsRaisedToThreeAndEndsEmpty) {
  ScriptedOperation op;
  op.onRaise = [](RylOutcome* out, uint32_t, uint32_t) { *out = Value(3); };
  RylOutcome outcome = Pending(&op, 1);
  DestroyOutcome(outcome);
  EXPECT_EQ(outcome.tag, 0u);
  EXPECT_EQ(op.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{3, 1}}));
  EXPECT_EQ(op.zeroArgument, 0u);
  EXPECT_EQ(op.releases, 1);
  EXPECT_EQ(op.runs, 0);
}

TEST(OutcomeDestroy, AnOperationThatWillNotFinishAtThreeIsGivenUpNotSpunOn) {
  for (bool answersPending : {false, true}) {
    SCOPED_TRACE(answersPending ? "answers a new pending operation" : "answers still working");
    ScriptedOperation next;
    ScriptedOperation op;
    op.onRaise = [&](RylOutcome* out, uint32_t level, uint32_t) {
      if (answersPending) *out = Pending(&next, level);
    };
    RylOutcome outcome = Pending(&op);
    DestroyOutcome(outcome);
    EXPECT_EQ(outcome.tag, 0u);
    EXPECT_EQ(op.raises, 1);
    EXPECT_EQ(op.releases, 1);
    EXPECT_EQ(next.releases, answersPending ? 1 : 0);
  }
}

TEST(OutcomeDestroy, ObjectHoldingCallsItsDestroyEntry) {
  HeldObject held;
  RylOutcome outcome{Tag(RYL_OUTCOME_OBJECT, 0), reinterpret_cast<uintptr_t>(&held)};
  DestroyOutcome(outcome);
  EXPECT_EQ(held.destroyed, 1);
  EXPECT_EQ(outcome.tag, 0u);
}

TEST(OutcomeRaise, NotAboveTheCurrentLevelDoesNothingEvenWhenPending) {
  ScriptedOperation op;
  for (uint32_t level : {0u, 1u, 2u}) {
    RylOutcome outcome = Pending(&op, 2);
    RaiseLevel(outcome, level);
    EXPECT_EQ(outcome.tag, Tag(RYL_OUTCOME_PENDING, 2));
  }
  EXPECT_EQ(op.raises, 0);
}

TEST(OutcomeRaise, FinishedOutcomesOnlyTakeTheLevel) {
  RylOutcome outcome = Error(RYL_E_NOT_FOUND, 0);
  RaiseLevel(outcome, 2);
  EXPECT_EQ(outcome.tag, Tag(RYL_OUTCOME_ERROR, 2));
}

TEST(OutcomeRaise, FollowsReplacementsUntilOneHasSeenTheLevel) {
  ScriptedOperation third;
  ScriptedOperation second;
  ScriptedOperation first;
  first.onRaise = [&](RylOutcome* out, uint32_t, uint32_t) { *out = Pending(&second, 0); };  // has seen 0
  second.onRaise = [&](RylOutcome* out, uint32_t, uint32_t) { *out = Pending(&third, 2); };  // has seen 2
  RylOutcome outcome = Pending(&first, 0);
  RaiseLevel(outcome, 2);
  EXPECT_EQ(first.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}}));
  EXPECT_EQ(second.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}}));
  EXPECT_EQ(third.raises, 0);
  EXPECT_EQ(first.releases + second.releases, 2);
  EXPECT_EQ(OperationOf(outcome), &third);
  EXPECT_EQ(Level(outcome), 2u);
}

TEST(OutcomeRaise, StillWorkingLeavesTheOperationInPlace) {
  ScriptedOperation op;
  RylOutcome outcome = Pending(&op, 0);
  RaiseLevel(outcome, 1);
  EXPECT_EQ(op.raises, 1);
  EXPECT_EQ(op.releases, 0);
  EXPECT_EQ(outcome.tag, Tag(RYL_OUTCOME_PENDING, 1));
}

TEST(OutcomeStart, RunReturningEmptyKeepsThePendingOperation) {
  ScriptedOperation op;
  RylOutcome slot = Pending(&op, 1);
  StartOutcome(slot, nullptr, nullptr);
  EXPECT_EQ(op.runLevels, std::vector<uint32_t>{1});
  EXPECT_EQ(op.releases, 0);
  EXPECT_EQ(OperationOf(slot), &op);
}

TEST(OutcomeStart, ChainsOfOperationsRunUntilFinal) {
  ScriptedOperation second;
  ScriptedOperation first;
  first.onRun = [&](RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t level) { *out = Pending(&second, level); };
  second.onRun = [](RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) { *out = Value(); };
  RylOutcome slot = Pending(&first, 0);
  StartOutcome(slot, nullptr, nullptr);
  EXPECT_EQ(State(slot), RYL_OUTCOME_VALUE);
  EXPECT_EQ(first.releases, 1);
  EXPECT_EQ(second.releases, 1);
}

TEST(OutcomeDrive, AReplacementThatSawALowerLevelIsToldBeforeItRuns) {
  ScriptedOperation second;
  ScriptedOperation first;
  // The slot is at level 2; the replacement says it has seen only 0.
  first.onRun = [&](RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) { *out = Pending(&second, 0); };
  second.onRaise = [](RylOutcome*, uint32_t, uint32_t) {};  // still working
  RylOutcome slot = Pending(&first, 2);
  StartOutcome(slot, nullptr, nullptr);
  EXPECT_EQ(second.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}}));
  EXPECT_EQ(second.runLevels, std::vector<uint32_t>{2}) << "after Raise answers empty, Run resumes it";
  EXPECT_EQ(Level(slot), 2u);
}

TEST(OutcomeDrive, RaiseWithDrivingRunsTheOperationAgainAtTheNewLevel) {
  ScriptedOperation op;
  op.onRun = [](RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t level) {
    if (level == 2) *out = Error(RYL_E_INVALID_STATE, 2);
  };
  RylOutcome slot = Pending(&op, 0);
  StartOutcome(slot, nullptr, nullptr);
  RaiseLevelAndDrive(slot, 2, nullptr, nullptr);
  EXPECT_EQ(op.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}}));
  EXPECT_EQ(op.runLevels, (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(State(slot), RYL_OUTCOME_ERROR);
}

TEST(OutcomeReport, AReportTakesTheSlotsLevelAndIsDrivenFromTheLevelItCarried) {
  ScriptedOperation next;
  ScriptedOperation op;
  next.onRaise = [](RylOutcome* out, uint32_t level, uint32_t) { *out = Value(level); };
  RylOutcome slot = Pending(&op, 2);
  RylOutcome report = Pending(&next, 1);
  AcceptReport(slot, report, nullptr, nullptr);
  EXPECT_EQ(op.releases, 1);
  EXPECT_EQ(next.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 1}}));
  EXPECT_EQ(slot.tag, Tag(RYL_OUTCOME_VALUE, 2));
  EXPECT_EQ(report.tag, 0u);
}

TEST(OutcomeReport, AReportForFinishedWorkIsDropped) {
  ScriptedOperation late;
  late.onRaise = [](RylOutcome* out, uint32_t level, uint32_t) { *out = Value(level); };
  RylOutcome slot = Error(RYL_E_INVALID_STATE, 3);
  RylOutcome report = Pending(&late);
  AcceptReport(slot, report, nullptr, nullptr);
  EXPECT_EQ(slot.tag, Tag(RYL_OUTCOME_ERROR, 3));
  EXPECT_EQ(late.releases, 1);
  EXPECT_EQ(report.tag, 0u);
}

}  // namespace
}  // namespace ryl::async
