/* Dispatchers, tasks and RunToCompletion reached the way an MSVC-built host
 * reaches them: root slots 16, 17 and 20, every library slot called by number
 * through AbiCallSlot (which checks that the callee removed exactly its
 * argument words), and the host's own operations, handlers and waitables as
 * C structs whose first field is a table of thiscall functions. The library
 * calls those from its worker thread, so they only record what they saw; the
 * checks run on the main thread once a task's Wait or Destroy has ordered
 * the two. */
#include <string.h>

#include "abi_codes.h"
#include "abi_host.h"

/* The status form of an outcome: {tag, payload}. */
typedef struct {
  uint32_t tag;
  uint32_t payload;
} Outcome;

enum { kEmpty = 0, kValue = 1, kPending = 2, kError = 3 };
#define LEVEL(level) ((uint32_t)(level) << 24)

/* Type ids and versions the library's faces answer queries for. */
enum { kTypeTaskSink = 36, kTypeEventLoop = 37, kTypeDispatcher = 44, kTypeTask = 46, kTypeWaitable = 19 };

/* Slots of the library's event loop, as an operation calls them. */
enum { kLoopQuery = 0, kLoopAddWait = 1, kLoopRemoveWait = 3, kLoopAddTimerIn = 4, kLoopRemoveTimer = 6 };

#define NO_TIME_LIMIT 0xFFFFFFFFu

/* --- A host waitable over a Windows event ---------------------------------- */

typedef struct HostWaitable HostWaitable;

typedef struct {
  void(THISCALL* destroy)(HostWaitable* self);
  void*(THISCALL* query)(HostWaitable* self, uint32_t type, uint32_t version, uint32_t* highest);
  int32_t(THISCALL* deliver)(HostWaitable* self, const AbiReceiver* receiver);
  uint32_t(THISCALL* kind)(HostWaitable* self);
  HANDLE(THISCALL* handle)(HostWaitable* self);
  uint8_t(THISCALL* isClosed)(HostWaitable* self);
} WaitableTable;

struct HostWaitable {
  const WaitableTable* table; /* first, where the library finds the slots */
  HANDLE event;
  uint8_t closed;
  int destroys; /* the library never owns a host waitable */
};

static void THISCALL WtDestroy(HostWaitable* self) { ++self->destroys; }
static void* THISCALL WtQuery(HostWaitable* self, uint32_t type, uint32_t version, uint32_t* highest) {
  if (highest != NULL) *highest = type == kTypeWaitable ? 1 : 0;
  return type == kTypeWaitable && version <= 1 ? self : NULL;
}
static int32_t THISCALL WtDeliver(HostWaitable* self, const AbiReceiver* receiver) {
  (void)self, (void)receiver;
  return (int32_t)E_NOT_IMPLEMENTED;
}
static uint32_t THISCALL WtKind(HostWaitable* self) {
  (void)self;
  return 1; /* a kernel handle */
}
static HANDLE THISCALL WtHandle(HostWaitable* self) { return self->event; }
static uint8_t THISCALL WtIsClosed(HostWaitable* self) { return self->closed; }

static const WaitableTable kWaitableTable = {WtDestroy, WtQuery, WtDeliver, WtKind, WtHandle, WtIsClosed};

/* A waitable over a new manual-reset event, signalled or not. */
static void WaitableInit(HostWaitable* waitable, BOOL signalled) {
  memset(waitable, 0, sizeof *waitable);
  waitable->table = &kWaitableTable;
  waitable->event = CreateEventW(NULL, TRUE, signalled, NULL);
  ABI_CHECK(waitable->event != NULL, "CreateEventW: error %lu", GetLastError());
}

/* --- A host operation ------------------------------------------------------ */

typedef struct Operation Operation;

typedef struct {
  void(THISCALL* onSignalled)(void* self, HostWaitable* waitable, void* loop);
} WaitHandlerTable;

typedef struct {
  void(THISCALL* onTimer)(void* self, void* context, void* loop);
} TimerHandlerTable;

typedef struct {
  const WaitHandlerTable* table;
  Operation* owner;
} WaitHandler;

typedef struct {
  const TimerHandlerTable* table;
  Operation* owner;
} TimerHandler;

typedef struct {
  void(THISCALL* destroy)(Operation* self);
  void(THISCALL* release)(Operation* self);
  void(THISCALL* run)(Operation* self, Outcome* out, void* sink, void* loop, uint32_t level);
  void(THISCALL* raise)(Operation* self, Outcome* out, uint32_t zero, uint32_t newLevel, uint32_t seenLevel);
} OperationTable;

/* What Run does before it answers: a value at once, or "still working"
 * with nothing, a timer or a wait behind it. */
typedef enum { kRunsToValue, kRunsIdle, kRunsTimer, kRunsWait } Plan;

struct Operation {
  const OperationTable* table; /* first, where the library finds the slots */
  TimerHandler timer;
  WaitHandler waiter;
  Plan plan;
  uint64_t delay;         /* of a timer, in 100-ns units */
  HostWaitable* waitable; /* of a wait */
  uint32_t stopCode;      /* the error Raise answers */
  HANDLE started;         /* set once Run has returned, when not null */
  void* sink;
  void* loop;
  /* What the library did to the operation. */
  int runs, raises, releases, destroys, timers;
  volatile LONG signals;
  uint32_t runLevel, runAnswerTag;
  uint32_t raiseZero, raiseLevel, raiseSeen;
  void* timerContext;
  void* timerLoop;
  uint32_t reportLeft; /* the report's tag after Complete took it */
  int facesAnswered;   /* the sink and the loop each answered its own type */
  /* The operation's own calls into the library: how many, how many left the
   * stack uneven, how many were refused. */
  int calls, uneven, refused;
  LARGE_INTEGER armedAt, firedAt;
};

static uint32_t OpCall(Operation* op, void* object, unsigned slot, const uint32_t* words, uint32_t count) {
  uint32_t eax = 0;
  int32_t left = 0x7FFFFFFF;
  AbiCallSlot(object, slot, words, count, &eax, &left);
  ++op->calls;
  if (left != 0) ++op->uneven;
  return eax;
}

static void THISCALL OpDestroy(Operation* self) { ++self->destroys; }
static void THISCALL OpRelease(Operation* self) { ++self->releases; }

static void THISCALL OpRun(Operation* self, Outcome* out, void* sink, void* loop, uint32_t level) {
  ++self->runs;
  self->runLevel = level;
  self->runAnswerTag = out->tag;
  self->sink = sink;
  self->loop = loop;
  uint32_t highest = 0;
  const uint32_t sinkQuery[3] = {kTypeTaskSink, 1, W(&highest)};
  if (OpCall(self, sink, 0, sinkQuery, 3) == W(sink) && highest == 1) ++self->facesAnswered;
  highest = 0;
  const uint32_t loopQuery[3] = {kTypeEventLoop, 1, W(&highest)};
  if (OpCall(self, loop, kLoopQuery, loopQuery, 3) == W(loop) && highest == 1) ++self->facesAnswered;

  QueryPerformanceCounter(&self->armedAt);
  if (self->plan == kRunsToValue) {
    out->tag = kValue;
    out->payload = 0;
  } else if (self->plan == kRunsTimer) {
    /* The context is the operation itself, so that OnTimer can show it came
     * back unchanged past the two words of the delay. */
    const uint32_t words[4] = {W(self), LO(self->delay), HI(self->delay), W(&self->timer)};
    if (OpCall(self, loop, kLoopAddTimerIn, words, 4) != 0) ++self->refused;
  } else if (self->plan == kRunsWait) {
    const uint32_t words[2] = {W(self->waitable), W(&self->waiter)};
    if (OpCall(self, loop, kLoopAddWait, words, 2) != 0) ++self->refused;
  }
  if (self->started != NULL) SetEvent(self->started);
}

/* Asked to stop: gives up what Run left registered, since the loop would
 * otherwise keep waiting (or calling back) for an operation that is gone. */
static void THISCALL OpRaise(Operation* self, Outcome* out, uint32_t zero, uint32_t newLevel, uint32_t seenLevel) {
  ++self->raises;
  self->raiseZero = zero;
  self->raiseLevel = newLevel;
  self->raiseSeen = seenLevel;
  if (self->runs > 0 && self->plan == kRunsTimer) {
    const uint32_t words[2] = {W(self), W(&self->timer)};
    OpCall(self, self->loop, kLoopRemoveTimer, words, 2);
  } else if (self->runs > 0 && self->plan == kRunsWait) {
    const uint32_t words[2] = {W(self->waitable), W(&self->waiter)};
    OpCall(self, self->loop, kLoopRemoveWait, words, 2);
  }
  out->tag = kError | LEVEL(newLevel & 3);
  out->payload = self->stopCode;
}

/* The timer the operation armed: it reports its value through the sink. */
static void THISCALL OpOnTimer(void* self, void* context, void* loop) {
  Operation* op = ((TimerHandler*)self)->owner;
  QueryPerformanceCounter(&op->firedAt);
  ++op->timers;
  op->timerContext = context;
  op->timerLoop = loop;
  Outcome report = {kValue, 0};
  const uint32_t words[2] = {W(&report), W(loop)};
  OpCall(op, op->sink, 1, words, 2);
  op->reportLeft = report.tag;
}

/* Nothing signals the operation's event while it waits; a call here means a
 * wait outlived its removal. The reset keeps such a loop from spinning. */
static void THISCALL OpOnSignalled(void* self, HostWaitable* waitable, void* loop) {
  (void)loop;
  InterlockedIncrement(&((WaitHandler*)self)->owner->signals);
  ResetEvent(waitable->event);
}

static const OperationTable kOperationTable = {OpDestroy, OpRelease, OpRun, OpRaise};
static const TimerHandlerTable kTimerTable = {OpOnTimer};
static const WaitHandlerTable kWaitTable = {OpOnSignalled};

static void OpInit(Operation* op, Plan plan) {
  memset(op, 0, sizeof *op);
  op->table = &kOperationTable;
  op->timer.table = &kTimerTable;
  op->timer.owner = op;
  op->waiter.table = &kWaitTable;
  op->waiter.owner = op;
  op->plan = plan;
  op->stopCode = E_ELEMENT_NOT_FOUND;
}

static double ElapsedMs(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

/* Run once at level 0 into an empty answer, released once, never destroyed,
 * and every call the operation made into the library was clean. */
static void CheckLifetime(const Operation* op, int calls, const char* what) {
  ABI_CHECK(op->runs == 1 && op->runLevel == 0 && op->runAnswerTag == kEmpty,
            "%s: Run once at level 0 into an empty answer (%d runs, level %u, tag 0x%08X)", what, op->runs,
            op->runLevel, op->runAnswerTag);
  ABI_CHECK(op->releases == 1 && op->destroys == 0, "%s: released once, never destroyed (%d, %d)", what,
            op->releases, op->destroys);
  ABI_CHECK(op->facesAnswered == 2, "%s: the sink answers type 36 and the loop type 37 at version 1", what);
  ABI_CHECK(op->calls == calls && op->uneven == 0 && op->refused == 0,
            "%s: %d calls into the library (wanted %d), %d left the stack uneven, %d refused", what, op->calls, calls,
            op->uneven, op->refused);
}

static void CheckStopped(const Operation* op, const char* what) {
  ABI_CHECK(op->raises == 1 && op->raiseZero == 0 && op->raiseLevel == 2 && op->raiseSeen == 0,
            "%s: Raise(out, 0, 2, 0) once (%d calls; %u, %u, %u)", what, op->raises, op->raiseZero, op->raiseLevel,
            op->raiseSeen);
}

/* --- Dispatchers and tasks ------------------------------------------------- */

static int g_delivered;

static int32_t __cdecl CountDeliver(void* object, void* context) {
  ++g_delivered;
  *(void**)context = object;
  return 0;
}

static const AbiReceiverTable kCount = {1, CountDeliver};

/* Root slot 16 or 20 with a receiver at version; the dispatcher or NULL. */
static void* TakeDispatcher(void* root, unsigned slot, uint32_t version, uint32_t* result) {
  void* dispatcher = NULL;
  AbiReceiver receiver = {&kCount, &dispatcher, version, NULL, NULL};
  const uint32_t words[1] = {W(&receiver)};
  *result = AbiCall(root, slot, words, 1, slot == 16 ? "GetSharedDispatcher" : "CreateDispatcher");
  return dispatcher;
}

/* Dispatcher slot 4 with a task receiver at version; the task or NULL. */
static void* Post(void* dispatcher, Outcome* outcome, uint32_t version, uint32_t* result) {
  void* task = NULL;
  AbiReceiver receiver = {&kCount, &task, version, NULL, NULL};
  const uint32_t words[2] = {W(outcome), W(&receiver)};
  *result = AbiCall(dispatcher, 4, words, 2, "Post");
  return task;
}

static uint32_t Wait(void* task, Outcome* out) {
  const uint32_t words[1] = {W(out)};
  return AbiCall(task, 2, words, 1, "Task Wait");
}

static void CheckDispatcherFaces(void* dispatcher) {
  uint32_t highest = 0xDEADBEEF;
  const uint32_t own[3] = {kTypeDispatcher, 1, W(&highest)};
  ABI_CHECK(AbiCall(dispatcher, 3, own, 3, "Dispatcher Query") == W(dispatcher) && highest == 1,
            "a dispatcher answers type 44 at version 1");
  highest = 0xDEADBEEF;
  const uint32_t newer[3] = {kTypeDispatcher, 2, W(&highest)};
  ABI_CHECK(AbiCall(dispatcher, 3, newer, 3, "Dispatcher Query") == 0 && highest == 1,
            "version 2 is null, highest still 1");
  highest = 0xDEADBEEF;
  const uint32_t task[3] = {kTypeTask, 1, W(&highest)};
  ABI_CHECK(AbiCall(dispatcher, 3, task, 3, "Dispatcher Query") == 0 && highest == 0, "nor is it a task");
  ABI_CHECK(AbiCall(dispatcher, 1, NULL, 0, "Dispatcher AddRef") == 2, "AddRef on a new dispatcher returns 2");
  ABI_CHECK(AbiCall(dispatcher, 2, NULL, 0, "Dispatcher Release") == 1, "Release back to the host's returns 1");
}

/* A final outcome moves into the task and out again through Wait, tag and
 * all; a second Wait finds nothing left. */
static void CheckFinalOutcome(void* dispatcher) {
  Outcome value = {kValue | 0x5A00, 0};
  const int delivered = g_delivered;
  uint32_t result = 0;
  void* task = Post(dispatcher, &value, 1, &result);
  ABI_CHECK(result == 0 && task != NULL && g_delivered == delivered + 1, "Post delivers a task: 0x%08X", result);
  ABI_CHECK(value.tag == kEmpty && value.payload == 0, "Post moves the outcome out");
  if (task == NULL) return;

  uint32_t highest = 0xDEADBEEF;
  const uint32_t own[3] = {kTypeTask, 1, W(&highest)};
  ABI_CHECK(AbiCall(task, 0, own, 3, "Task Query") == W(task) && highest == 1, "a task answers type 46 at 1");
  highest = 0xDEADBEEF;
  const uint32_t newer[3] = {kTypeTask, 2, W(&highest)};
  ABI_CHECK(AbiCall(task, 0, newer, 3, "Task Query") == 0 && highest == 1, "version 2 is null");
  highest = 0xDEADBEEF;
  const uint32_t other[3] = {kTypeDispatcher, 1, W(&highest)};
  ABI_CHECK(AbiCall(task, 0, other, 3, "Task Query") == 0 && highest == 0, "a task is not a dispatcher");

  Outcome out = {kError, E_INVALID_ARG};
  ABI_CHECK(Wait(task, &out) == 0 && out.tag == (kValue | 0x5A00), "Wait gives the value, tag 0x%08X", out.tag);
  out.tag = kValue;
  out.payload = 7;
  ABI_CHECK(Wait(task, &out) == 0 && out.tag == kEmpty && out.payload == 0,
            "a second Wait gives an empty outcome: {0x%08X, 0x%08X}", out.tag, out.payload);
  AbiCall(task, 1, NULL, 0, "Task Destroy");
}

/* A refused Post leaves the outcome with the host, its operation not run;
 * the same outcome posted properly then finishes through the operation's
 * timer and the task's sink. */
static void CheckTimerOperation(void* dispatcher) {
  Operation op;
  OpInit(&op, kRunsTimer);
  op.delay = 500000; /* 50 ms */
  Outcome pending = {kPending, W(&op)};
  const int delivered = g_delivered;
  uint32_t result = 0;
  void* task = Post(dispatcher, &pending, 2, &result);
  ABI_CHECK(result == E_INVALID_ARG && task == NULL && g_delivered == delivered,
            "a task receiver at version 2 is refused with 0xE0010002: 0x%08X", result);
  ABI_CHECK(pending.tag == kPending && pending.payload == W(&op) && op.runs == 0 && op.releases == 0,
            "and the outcome is left as it was");
  void* ignored = NULL;
  AbiReceiver receiver = {&kCount, &ignored, 1, NULL, NULL};
  const uint32_t nullOutcome[2] = {0, W(&receiver)};
  ABI_CHECK(AbiCall(dispatcher, 4, nullOutcome, 2, "Post") == E_INVALID_ARG && g_delivered == delivered,
            "Post refuses a null outcome");

  task = Post(dispatcher, &pending, 1, &result);
  ABI_CHECK(result == 0 && task != NULL && pending.tag == kEmpty, "the pending outcome is posted");
  if (task == NULL) return;
  Outcome out = {kEmpty, 0};
  ABI_CHECK(Wait(task, &out) == 0 && out.tag == kValue, "the timer's report is the task's value: 0x%08X", out.tag);
  /* Destroy returns only once the worker is out of the timer callback. */
  AbiCall(task, 1, NULL, 0, "Task Destroy");
  CheckLifetime(&op, 4, "timer operation");
  ABI_CHECK(op.raises == 0 && op.timers == 1, "never raised; the timer fired once (%d)", op.timers);
  ABI_CHECK(op.timerContext == &op && op.timerLoop == op.loop, "OnTimer gets the context and the loop it ran on");
  ABI_CHECK(op.reportLeft == kEmpty, "Complete moves the report out");
  const double waited = ElapsedMs(op.armedAt, op.firedAt);
  /* Allows a system clock that ticks every 15.6 ms. */
  ABI_CHECK(waited >= 30.0, "a 50 ms timer waited %.1f ms", waited);
}

/* An operation that waits on an event nobody signals finishes only when the
 * host raises the task's level; a host asks for at most 2, since 3 is the
 * level of a task being destroyed. */
static void CheckStoppedTask(void* dispatcher, uint32_t level) {
  HostWaitable waitable;
  WaitableInit(&waitable, FALSE);
  Operation op;
  OpInit(&op, kRunsWait);
  op.waitable = &waitable;
  op.started = CreateEventW(NULL, TRUE, FALSE, NULL);
  Outcome pending = {kPending, W(&op)};
  uint32_t result = 0;
  void* task = Post(dispatcher, &pending, 1, &result);
  ABI_CHECK(result == 0 && task != NULL, "the waiting operation is posted: 0x%08X", result);
  if (task != NULL) {
    /* Raised before it runs, the operation would be stopped without ever
     * registering its wait: this checks the path where it has. */
    ABI_CHECK(WaitForSingleObject(op.started, 5000) == WAIT_OBJECT_0, "the worker runs the operation");
    const uint32_t words[1] = {level};
    AbiCall(task, 3, words, 1, "Task SetLevel");
    Outcome out = {kEmpty, 0};
    ABI_CHECK(Wait(task, &out) == 0 && out.tag == (kError | LEVEL(2)) && out.payload == op.stopCode,
              "SetLevel(%u): Wait gives Raise's error at level 2: {0x%08X, 0x%08X}", level, out.tag, out.payload);
    AbiCall(task, 1, NULL, 0, "Task Destroy");
    CheckLifetime(&op, 4, "waiting operation");
    CheckStopped(&op, "waiting operation");
    SetEvent(waitable.event);
    Sleep(50);
    ABI_CHECK(op.signals == 0, "the wait removed in Raise is gone (%ld calls)", op.signals);
  }
  CloseHandle(op.started);
  CloseHandle(waitable.event);
}

static void CheckPrivateDispatcher(void* root) {
  uint32_t result = 0;
  const int delivered = g_delivered;
  void* dispatcher = TakeDispatcher(root, 20, 1, &result);
  ABI_CHECK(result == 0 && dispatcher != NULL && g_delivered == delivered + 1, "CreateDispatcher: 0x%08X", result);
  if (dispatcher == NULL) return;
  CheckDispatcherFaces(dispatcher);
  CheckFinalOutcome(dispatcher);
  CheckTimerOperation(dispatcher);
  CheckStoppedTask(dispatcher, 2);
  CheckStoppedTask(dispatcher, 3);
  ABI_CHECK(AbiCall(dispatcher, 2, NULL, 0, "Dispatcher Release") == 0, "the last release returns 0");
}

static void CheckSharedDispatcher(void* root) {
  uint32_t result = 0;
  void* first = TakeDispatcher(root, 16, 1, &result);
  ABI_CHECK(result == 0 && first != NULL, "GetSharedDispatcher: 0x%08X", result);
  void* second = TakeDispatcher(root, 16, 1, &result);
  ABI_CHECK(result == 0 && second == first, "a second call gives the same dispatcher");
  if (first == NULL || second != first) return;
  uint32_t highest = 0;
  const uint32_t own[3] = {kTypeDispatcher, 1, W(&highest)};
  ABI_CHECK(AbiCall(first, 3, own, 3, "Dispatcher Query") == W(first) && highest == 1, "it is a dispatcher");
  Outcome value = {kValue, 0};
  void* task = Post(first, &value, 1, &result);
  ABI_CHECK(result == 0 && task != NULL, "the shared dispatcher takes a post: 0x%08X", result);
  if (task != NULL) {
    Outcome out = {kEmpty, 0};
    ABI_CHECK(Wait(task, &out) == 0 && out.tag == kValue, "and finishes it: 0x%08X", out.tag);
    AbiCall(task, 1, NULL, 0, "Task Destroy");
  }
  ABI_CHECK(AbiCall(second, 2, NULL, 0, "Dispatcher Release") != 0, "one reference is left after the first release");
  ABI_CHECK(AbiCall(first, 2, NULL, 0, "Dispatcher Release") == 0, "the second release ends it");
}

static void CheckRefusedVersions(void* root) {
  const int delivered = g_delivered;
  uint32_t result = 0;
  ABI_CHECK(TakeDispatcher(root, 16, 2, &result) == NULL && result == E_UNSUPPORTED_VERSION,
            "GetSharedDispatcher refuses version 2: 0x%08X", result);
  ABI_CHECK(TakeDispatcher(root, 20, 2, &result) == NULL && result == E_UNSUPPORTED_VERSION,
            "CreateDispatcher refuses version 2: 0x%08X", result);
  ABI_CHECK(g_delivered == delivered, "a refused version delivers nothing");
}

/* --- RunToCompletion ------------------------------------------------------- */

static uint32_t RunToCompletion(void* root, Outcome* outcome, uint32_t limitMs, HostWaitable* first,
                                HostWaitable* second) {
  const uint32_t words[4] = {W(outcome), limitMs, W(first), W(second)};
  return AbiCall(root, 17, words, 4, "RunToCompletion");
}

static DWORD WINAPI SignalLater(LPVOID event) {
  Sleep(20);
  SetEvent((HANDLE)event);
  return 0;
}

static void CheckFinalRuns(void* root) {
  Outcome value = {kValue, 0};
  ABI_CHECK(RunToCompletion(root, &value, NO_TIME_LIMIT, NULL, NULL) == 0, "a value runs to 0");
  Outcome error = {kError | LEVEL(1), E_ELEMENT_NOT_FOUND};
  const uint32_t result = RunToCompletion(root, &error, NO_TIME_LIMIT, NULL, NULL);
  ABI_CHECK(result == E_ELEMENT_NOT_FOUND, "an error runs to its code: 0x%08X", result);
  Outcome empty = {kEmpty, 0};
  ABI_CHECK(RunToCompletion(root, &empty, NO_TIME_LIMIT, NULL, NULL) == E_UNSUPPORTED_VERSION,
            "an empty outcome is refused with 0xE0010054");
}

static void CheckPendingRuns(void* root) {
  Operation op;
  OpInit(&op, kRunsToValue);
  Outcome pending = {kPending, W(&op)};
  ABI_CHECK(RunToCompletion(root, &pending, NO_TIME_LIMIT, NULL, NULL) == 0 && pending.tag == kEmpty,
            "an operation that answers a value runs to 0, taking the outcome");
  CheckLifetime(&op, 2, "value operation");
  ABI_CHECK(op.raises == 0, "and is never raised");

  /* The limit only turns a broken sink into a failure instead of a hang. */
  OpInit(&op, kRunsTimer);
  op.delay = 200000; /* 20 ms */
  pending.tag = kPending;
  pending.payload = W(&op);
  uint32_t result = RunToCompletion(root, &pending, 5000, NULL, NULL);
  ABI_CHECK(result == 0, "an operation reporting through the sink runs to 0: 0x%08X", result);
  CheckLifetime(&op, 4, "sink operation");
  ABI_CHECK(op.timers == 1 && op.timerContext == &op && op.reportLeft == kEmpty && op.raises == 0,
            "its timer fired once with its context and Complete took the report");

  /* Its own timer is three seconds away: the run ends after 20 ms only if
   * Raise's RemoveTimer leaves the loop nothing to wait for. */
  OpInit(&op, kRunsTimer);
  op.delay = 30000000;
  pending.tag = kPending;
  pending.payload = W(&op);
  LARGE_INTEGER begin, end;
  QueryPerformanceCounter(&begin);
  result = RunToCompletion(root, &pending, 20, NULL, NULL);
  QueryPerformanceCounter(&end);
  ABI_CHECK(result == W_TIMEOUT, "20 ms limit: 0xA0010004 (got 0x%08X)", result);
  CheckLifetime(&op, 4, "timed-out operation");
  CheckStopped(&op, "timed-out operation");
  ABI_CHECK(op.timers == 0, "its own timer never fired");
  const double took = ElapsedMs(begin, end);
  ABI_CHECK(took < 1500.0, "the timed-out run returned after %.1f ms", took);
}

static void CheckWaitableRuns(void* root) {
  HostWaitable quiet, ready, later;
  WaitableInit(&quiet, FALSE);
  WaitableInit(&ready, TRUE);
  WaitableInit(&later, FALSE);

  Operation op;
  OpInit(&op, kRunsIdle);
  Outcome pending = {kPending, W(&op)};
  uint32_t result = RunToCompletion(root, &pending, 5000, &ready, &quiet);
  ABI_CHECK(result == W_FIRST_WAITABLE, "a signalled first waitable: 0xA0010193 (got 0x%08X)", result);
  CheckLifetime(&op, 2, "first-waitable operation");
  CheckStopped(&op, "first-waitable operation");

  OpInit(&op, kRunsIdle);
  pending.tag = kPending;
  pending.payload = W(&op);
  HANDLE thread = CreateThread(NULL, 0, SignalLater, later.event, 0, NULL);
  ABI_CHECK(thread != NULL, "CreateThread: error %lu", GetLastError());
  result = RunToCompletion(root, &pending, 5000, &quiet, &later);
  ABI_CHECK(result == W_SECOND_WAITABLE, "a second waitable signalled by another thread: 0xA0010194 (got 0x%08X)",
            result);
  CheckLifetime(&op, 2, "second-waitable operation");
  CheckStopped(&op, "second-waitable operation");
  if (thread != NULL) {
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
  }

  /* A closed waitable is refused before the run takes the outcome. */
  OpInit(&op, kRunsIdle);
  pending.tag = kPending;
  pending.payload = W(&op);
  quiet.closed = 1;
  result = RunToCompletion(root, &pending, 5000, NULL, &quiet);
  ABI_CHECK((int32_t)result < 0 && op.runs == 0 && pending.tag == kPending && pending.payload == W(&op),
            "a closed waitable is refused and the outcome left to the host: 0x%08X", result);
  ABI_CHECK(quiet.destroys == 0 && ready.destroys == 0 && later.destroys == 0, "host waitables are never destroyed");
  CloseHandle(quiet.event);
  CloseHandle(ready.event);
  CloseHandle(later.event);
}

/* --- Handles across many dispatchers --------------------------------------- */

static uint32_t QuietCall(void* object, unsigned slot, const uint32_t* words, uint32_t count, int* ok) {
  uint32_t eax = 0;
  int32_t left = 0x7FFFFFFF;
  AbiCallSlot(object, slot, words, count, &eax, &left);
  if (left != 0) *ok = 0;
  return eax;
}

/* One dispatcher's whole life with one operation; 1 when every step went
 * as it should. */
static int DispatcherRound(void* root) {
  int ok = 1;
  void* dispatcher = NULL;
  AbiReceiver receiver = {&kCount, &dispatcher, 1, NULL, NULL};
  const uint32_t createWords[1] = {W(&receiver)};
  if (QuietCall(root, 20, createWords, 1, &ok) != 0 || dispatcher == NULL) return 0;
  Operation op;
  OpInit(&op, kRunsToValue);
  Outcome pending = {kPending, W(&op)};
  void* task = NULL;
  AbiReceiver taskReceiver = {&kCount, &task, 1, NULL, NULL};
  const uint32_t postWords[2] = {W(&pending), W(&taskReceiver)};
  if (QuietCall(dispatcher, 4, postWords, 2, &ok) != 0 || task == NULL) ok = 0;
  if (task != NULL) {
    Outcome out = {kEmpty, 0};
    const uint32_t waitWords[1] = {W(&out)};
    if (QuietCall(task, 2, waitWords, 1, &ok) != 0 || out.tag != kValue) ok = 0;
    QuietCall(task, 1, NULL, 0, &ok);
  }
  if (QuietCall(dispatcher, 2, NULL, 0, &ok) != 0) ok = 0;
  return ok && op.runs == 1 && op.releases == 1;
}

static void CheckHandleCount(void* root) {
  ABI_CHECK(DispatcherRound(root), "a warm-up dispatcher round");
  DWORD before = 0, after = 0;
  ABI_CHECK(GetProcessHandleCount(GetCurrentProcess(), &before), "GetProcessHandleCount");
  int good = 0;
  for (int i = 0; i < 200; ++i) good += DispatcherRound(root);
  GetProcessHandleCount(GetCurrentProcess(), &after);
  ABI_CHECK(good == 200, "%d of 200 create/post/wait/destroy/release rounds went through", good);
  ABI_CHECK(after <= before + 2, "handles: %lu before 200 rounds, %lu after", before, after);
}

int main(void) {
  AbiDll dll = {0};
  if (!AbiLoad(&dll)) return 1;
  void* root = AbiStartRoot(&dll);
  if (root != NULL) {
    CheckRefusedVersions(root);
    CheckPrivateDispatcher(root);
    CheckSharedDispatcher(root);
    CheckFinalRuns(root);
    CheckPendingRuns(root);
    CheckWaitableRuns(root);
    CheckHandleCount(root);
    ABI_CHECK(AbiCall(root, 2, NULL, 0, "root Release") == 0, "the host's last release destroys the root");
  }
  ABI_CHECK(dll.finish() == 0, "RylModuleFinish succeeds");
  AbiUnload(&dll);
  return AbiReport("abi_async");
}
