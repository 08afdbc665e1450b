#include "sys/bas_thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "sys/posix/wait_object.h"
#include "sys/wait_handles.h"

namespace ryl::sys {
namespace {

std::atomic<uint32_t> g_nextThreadId{1};
thread_local uint32_t t_threadId = 0;

// Shared by the thread and its owner; the last of the two to let go frees
// it. The wait object comes first: its address is the thread's handle.
struct ThreadRecord {
  posix::WaitObject ended;
  std::atomic<int> holders{2};
  RylBasThread* thread = nullptr;
  uint32_t id = 0;
  uint32_t exitCode = 0;
};

void LetGo(ThreadRecord* record) noexcept {
  if (record->holders.fetch_sub(1) == 1) {
    record->~ThreadRecord();
    std::free(record);
  }
}

void* ThreadMain(void* argument) {
  auto* record = static_cast<ThreadRecord*>(argument);
  t_threadId = record->id;
  record->exitCode = RylBasThread::EnterThread(record->thread);
  posix::SignalWaitObject(&record->ended);
  LetGo(record);
  return nullptr;
}

}  // namespace

RylBasThread::~RylBasThread() { Close(); }

uint32_t RylBasThread::EnterThread(void* self) noexcept { return static_cast<RylBasThread*>(self)->Run(); }

ResultCode RylBasThread::StartThread(int32_t, void*, uint32_t, const RylChar16*) noexcept {
  if (handle_ != nullptr) return RYL_E_INVALID_STATE;
  void* memory = std::malloc(sizeof(ThreadRecord));
  if (memory == nullptr) return RYL_E_OUT_OF_MEMORY;
  auto* record = ::new (memory) ThreadRecord();
  record->ended.autoReset = false;
  record->thread = this;
  record->id = g_nextThreadId.fetch_add(1);
  threadId_ = record->id;
  handle_ = record;
  exitCodeKnown_ = false;
  pthread_t thread;
  if (pthread_create(&thread, nullptr, &ThreadMain, record) != 0) {
    handle_ = nullptr;
    threadId_ = 0;
    record->~ThreadRecord();
    std::free(record);
    return RYL_E_OUT_OF_MEMORY;
  }
  (void)pthread_detach(thread);
  return RYL_OK;
}

ResultCode RylBasThread::WaitForThreadToStop(uint32_t ms) noexcept {
  if (handle_ == nullptr) return RYL_OK;
  uint32_t index = 0;
  void* handle = handle_;
  return WaitForAnyHandle(&handle, 1, ms, &index);
}

ResultCode RylBasThread::StopThread(uint32_t ms) noexcept {
  const ResultCode waited = WaitForThreadToStop(ms);
  if (waited != RYL_OK) return waited;
  Close();
  return RYL_OK;
}

ResultCode RylBasThread::GetThreadExitCode(uint32_t* outCode) const noexcept {
  if (outCode == nullptr) return RYL_E_INVALID_ARG;
  if (handle_ == nullptr) {
    if (!exitCodeKnown_) return RYL_E_NOT_OPEN;
    *outCode = exitCode_;
    return RYL_OK;
  }
  void* handle = handle_;
  uint32_t index = 0;
  if (WaitForAnyHandle(&handle, 1, 0, &index) != RYL_OK) {
    *outCode = 259;  // still running, as the native call reports it
    return RYL_OK;
  }
  *outCode = static_cast<ThreadRecord*>(handle_)->exitCode;
  return RYL_OK;
}

void RylBasThread::Close() noexcept {
  if (handle_ == nullptr) return;
  auto* record = static_cast<ThreadRecord*>(handle_);
  uint32_t code = 0;
  if (GetThreadExitCode(&code) == RYL_OK && code != 259) {
    exitCode_ = code;
    exitCodeKnown_ = true;
  }
  handle_ = nullptr;
  LetGo(record);
}

void RylBasThread::Detach() noexcept {
  if (handle_ == nullptr) return;
  auto* record = static_cast<ThreadRecord*>(handle_);
  handle_ = nullptr;
  LetGo(record);
}

bool RylBasThread::IsCurrentThread() const noexcept { return threadId_ != 0 && threadId_ == CurrentThreadId(); }

void* RylBasThread::GetHandle() const noexcept { return handle_; }

void RylBasThread::Sleep(uint32_t ms) noexcept {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t CurrentThreadId() noexcept {
  if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
  return t_threadId;
}

}  // namespace ryl::sys
