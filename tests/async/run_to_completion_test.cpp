// Running an outcome to its end on the calling thread: finished outcomes,
// time limits, watched waitables and what each ends with.
#include "async/run_to_completion.h"

#include <gtest/gtest.h>

#include <thread>

#include "async_test_support.h"
#include "sys/bas_thread.h"

namespace ryl::async {
namespace {

using testing::Error;
using testing::EventWaitable;
using testing::Pending;
using testing::ScriptedOperation;
using testing::TimerOperation;
using testing::Value;

TEST(RunToCompletion, FinishedAndUnsupportedOutcomesAreAnsweredWithoutALoop) {
  RylOutcome value = Value();
  EXPECT_EQ(RunToCompletion(&value, 0, nullptr, nullptr), RYL_OK);
  RylOutcome error = Error(RYL_E_BAD_FORMAT);
  EXPECT_EQ(RunToCompletion(&error, 0, nullptr, nullptr), RYL_E_BAD_FORMAT);
  RylOutcome empty{};
  EXPECT_EQ(RunToCompletion(&empty, 0, nullptr, nullptr), RYL_E_UNSUPPORTED_VERSION);
  RylOutcome object{RYL_OUTCOME_OBJECT, 0};
  EXPECT_EQ(RunToCompletion(&object, 0, nullptr, nullptr), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(RunToCompletion(nullptr, 0, nullptr, nullptr), RYL_E_INVALID_ARG);
}

TEST(RunToCompletion, AnOperationFinishingInTimeGivesItsResult) {
  TimerOperation op(5 * 10000);
  RylOutcome outcome = Pending(&op);
  EXPECT_EQ(RunToCompletion(&outcome, 5000, nullptr, nullptr), RYL_OK);
  EXPECT_EQ(outcome.tag, 0u);
  EXPECT_EQ(op.releases.load(), 1);
  ScriptedOperation failing;
  failing.onRun = [](RylOutcome* out, RylTaskSink*, RylEventLoop*, uint32_t) { *out = Error(RYL_E_NOT_FOUND); };
  RylOutcome second = Pending(&failing);
  EXPECT_EQ(RunToCompletion(&second, sys::kWaitForever, nullptr, nullptr), RYL_E_NOT_FOUND);
}

TEST(RunToCompletion, TheTimeLimitAsksTheWorkToStop) {
  TimerOperation op(10 * 1000 * 10000);  // ten seconds
  RylOutcome outcome = Pending(&op);
  EXPECT_EQ(RunToCompletion(&outcome, 20, nullptr, nullptr), RYL_W_TIMEOUT);
  EXPECT_EQ(op.releases.load(), 1);
}

TEST(RunToCompletion, WorkThatEndsWithAValueAfterTheLimitStillSucceeds) {
  ScriptedOperation wrapper;
  wrapper.onRun = [](RylOutcome*, RylTaskSink*, RylEventLoop*, uint32_t) {};
  wrapper.onRaise = [](RylOutcome* out, uint32_t level, uint32_t) { *out = Value(level); };
  RylOutcome outcome = Pending(&wrapper);
  EXPECT_EQ(RunToCompletion(&outcome, 10, nullptr, nullptr), RYL_OK);
  EXPECT_EQ(wrapper.raiseLevels, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}}));
}

TEST(RunToCompletion, EachWatchedWaitableEndsTheWaitWithItsOwnCode) {
  for (int which : {0, 1}) {
    SCOPED_TRACE(which);
    EventWaitable first, second;
    TimerOperation op(10 * 1000 * 10000);
    RylOutcome outcome = Pending(&op);
    std::thread signaller([&] {
      sys::RylBasThread::Sleep(10);
      (void)(which == 0 ? first : second).event.Set();
    });
    EXPECT_EQ(RunToCompletion(&outcome, sys::kWaitForever, &first, &second),
              which == 0 ? RYL_W_FIRST_WAITABLE : RYL_W_SECOND_WAITABLE);
    signaller.join();
    EXPECT_EQ(op.releases.load(), 1);
  }
}

TEST(RunToCompletion, AClosedWaitableIsRefusedAndTheOutcomeKept) {
  EventWaitable closed;
  closed.closed = true;
  ScriptedOperation op;
  RylOutcome outcome = Pending(&op);
  EXPECT_EQ(RunToCompletion(&outcome, 100, nullptr, &closed), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(outcome.tag, Pending(&op).tag);
  EXPECT_EQ(op.runs + op.releases, 0);
}

TEST(RunToCompletion, WorkThatNeitherFinishesNorWaitsIsStillPending) {
  ScriptedOperation idle;  // answers "still working" and registers nothing
  idle.onRaise = [](RylOutcome* out, uint32_t level, uint32_t) {
    if (level == 3) *out = Error(RYL_E_OBJECT_CLOSED, 3);
  };
  RylOutcome outcome = Pending(&idle);
  EXPECT_EQ(RunToCompletion(&outcome, sys::kWaitForever, nullptr, nullptr), RYL_E_STILL_PENDING);
  EXPECT_EQ(idle.releases, 1) << "the unfinished outcome is destroyed before returning";
}

}  // namespace
}  // namespace ryl::async
