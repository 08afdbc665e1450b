// Asynchronous execution: outcomes and the operations behind them, the event
// loop a worker thread runs, dispatchers and their tasks.
//
// An outcome is a small tagged value: empty, a finished value, a failure with
// its result code, or a pending operation still to be run. Dispatchers and
// RootFactory::RunToCompletion take a pending outcome and drive its operation
// on an event-loop thread until it is final.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

// --- Outcomes ----------------------------------------------------------------

// The tag word: state in bits 0-7, stop level in bits 24-25; other bits are
// carried along when the tag is copied.
#define RYL_OUTCOME_EMPTY 0u
#define RYL_OUTCOME_VALUE 1u
#define RYL_OUTCOME_PENDING 2u
#define RYL_OUTCOME_ERROR 3u
// States 4 and above hold an object that destroys itself through the second
// entry of its table; such an outcome cannot be moved.
#define RYL_OUTCOME_OBJECT 4u

#define RYL_OUTCOME_STATE_MASK 0xFFu
#define RYL_OUTCOME_LEVEL_SHIFT 24
#define RYL_OUTCOME_LEVEL_MASK (3u << RYL_OUTCOME_LEVEL_SHIFT)

// Stop levels: 0 running normally; up to 2 a caller asks the work to stop
// early; 3 the work must finish at once (its outcome is being destroyed).
#define RYL_LEVEL_NORMAL 0u
#define RYL_LEVEL_STOP 2u
#define RYL_LEVEL_ABANDON 3u

struct RylOperation;

// Status form: {tag, payload}. The payload is the operation (pending), the
// result code (error) or nothing (value).
struct RylOutcome {
  uint32_t tag;
  uintptr_t payload;
};

// Value form: {tag, gap, 64-bit payload}. A value state carries the 64-bit
// value; pending and error states use the payload's first word.
struct RylOutcomeValue {
  uint32_t tag;
  uint32_t gap;
  uint64_t payload;
};

#if defined(__cplusplus) && RYL_CHECK_BOUNDARY_LAYOUT
static_assert(sizeof(RylOutcome) == 8 && offsetof(RylOutcome, payload) == 4, "status outcome");
static_assert(sizeof(RylOutcomeValue) == 16 && offsetof(RylOutcomeValue, payload) == 8, "value outcome");
#endif

#if defined(__cplusplus)

struct RylEventLoop;
struct RylTaskSink;

// Work the library drives without knowing what it is. Run and Raise write
// their answer into out: empty means "still working, I will report through
// the context"; anything else replaces this operation in the outcome. The
// level bits of a non-empty answer state the level the answer has seen.
RYL_INTERFACE RylOperation {
  virtual void RYL_THISCALL Destroy() = 0;  // never called by the library
  virtual void RYL_THISCALL Release() = 0;
  virtual void RYL_THISCALL Run(RylOutcome* out, RylTaskSink* context, RylEventLoop* loop, uint32_t level) = 0;
  // zero is always 0. At level 3 the answer must be final.
  virtual void RYL_THISCALL Raise(RylOutcome* out, uint32_t zero, uint32_t newLevel, uint32_t seenLevel) = 0;
};

// Where an operation that answered "still working" reports its next outcome,
// on the loop's thread. The outcome is moved out of *outcome.
RYL_INTERFACE RylTaskSink {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Complete(RylOutcome* outcome, RylEventLoop* loop) = 0;
};

// --- Waitables and the event loop -------------------------------------------

#define RYL_WAITABLE_KIND_HANDLE 1u

// Something the loop can wait for. A host may implement it over its own
// kernel object: Kind 1, Handle the object's handle.
RYL_INTERFACE RylWaitable {
  virtual void RYL_THISCALL Destroy() = 0;
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual ResultCode RYL_THISCALL Deliver(const ObjectReceiver* receiver) = 0;  // not used by the loop
  virtual uint32_t RYL_THISCALL Kind() = 0;
  virtual void* RYL_THISCALL Handle() = 0;
  virtual uint8_t RYL_THISCALL IsClosed() = 0;
};

RYL_INTERFACE RylWaitHandler {
  virtual void RYL_THISCALL OnSignalled(RylWaitable* waitable, RylEventLoop* loop) = 0;
};

RYL_INTERFACE RylTimerHandler {
  virtual void RYL_THISCALL OnTimer(void* context, RylEventLoop* loop) = 0;
};

RYL_INTERFACE RylWakerClient {
  virtual void RYL_THISCALL OnWake(RylEventLoop* loop) = 0;
};

// Called by the loop after every handler, timer and waker callback.
RYL_INTERFACE RylLoopNotify {
  virtual void RYL_THISCALL AfterCallback() = 0;
};

// Lets any thread have a callback run on the loop's thread. Waking a waker
// several times before the loop gets to it runs its client once.
RYL_INTERFACE RylWaker {
  virtual void RYL_THISCALL Wake() = 0;
};

// Embedded in its owner, not reference counted. Everything but Waker::Wake
// runs on the loop's thread.
RYL_INTERFACE RylEventLoop {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual ResultCode RYL_THISCALL AddWait(RylWaitable* waitable, RylWaitHandler* handler) = 0;
  virtual ResultCode RYL_THISCALL AddWaitOnce(RylWaitable* waitable, RylWaitHandler* handler) = 0;
  virtual void RYL_THISCALL RemoveWait(RylWaitable* waitable, RylWaitHandler* handler) = 0;
  // delay and due are in 100-ns units; due is a system time.
  virtual ResultCode RYL_THISCALL AddTimerIn(void* context, uint64_t delay, RylTimerHandler* handler) = 0;
  virtual ResultCode RYL_THISCALL AddTimerAt(void* context, uint64_t due, RylTimerHandler* handler) = 0;
  virtual void RYL_THISCALL RemoveTimer(void* context, RylTimerHandler* handler) = 0;
  virtual ResultCode RYL_THISCALL CreateWaker(RylWaker** outWaker, RylWakerClient* client) = 0;
  virtual void RYL_THISCALL RemoveWaker(RylWaker* waker) = 0;
};

// --- Dispatchers and tasks ---------------------------------------------------

// What Post hands the receiver: owned by the host, ended with Destroy. Wait
// blocks until the task's outcome is final and moves it out (a second Wait
// gives an empty outcome). SetLevel raises the stop level, at most to 2.
RYL_INTERFACE RylTask {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual void RYL_THISCALL Destroy() = 0;
  virtual ResultCode RYL_THISCALL Wait(RylOutcome* out) = 0;
  virtual void RYL_THISCALL SetLevel(uint32_t level) = 0;
};

// A worker thread running an event loop. Post moves a pending (or already
// final) outcome into a new task and queues it; the outcome is untouched when
// Post fails.
RYL_INTERFACE RylDispatcher {
  virtual void RYL_THISCALL Destroy() = 0;  // the release path's; hosts call Release
  virtual uint32_t RYL_THISCALL AddRef() = 0;
  virtual uint32_t RYL_THISCALL Release() = 0;
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual ResultCode RYL_THISCALL Post(RylOutcome* outcome, const ObjectReceiver* taskReceiver) = 0;
};

#endif  // __cplusplus
