#include "sys/bas_thread.h"

#include "sys/native_api.h"
#include "sys/result_codes.h"

namespace ryl::sys {

RylBasThread::~RylBasThread() { Close(); }

uint32_t RylBasThread::EnterThread(void* self) noexcept { return static_cast<RylBasThread*>(self)->Run(); }

namespace {
DWORD WINAPI ThreadEntry(void* self) { return RylBasThread::EnterThread(self); }
}  // namespace

ResultCode RylBasThread::StartThread(int32_t priority, void*, uint32_t, const RylChar16*) noexcept {
  if (handle_ != nullptr) return RYL_E_INVALID_STATE;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, &ThreadEntry, this, CREATE_SUSPENDED, &id);
  if (thread == nullptr) return RylCreateErrorCodeFromWin32(3, GetLastError());
  if (priority != 0) (void)SetThreadPriority(thread, priority);
  handle_ = thread;
  threadId_ = id;
  exitCodeKnown_ = false;
  (void)ResumeThread(thread);
  return RYL_OK;
}

ResultCode RylBasThread::WaitForThreadToStop(uint32_t ms) noexcept {
  if (handle_ == nullptr) return RYL_OK;
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
  const NTSTATUS status = NtWaitForSingleObject(handle_, FALSE, ms == 0xFFFFFFFFu ? nullptr : &timeout);
  if (status == STATUS_SUCCESS) return RYL_OK;
  if (status == STATUS_TIMEOUT) return RYL_W_TIMEOUT;
  return RylResultFromNtStatus(status);
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
  DWORD code = 0;
  if (!GetExitCodeThread(handle_, &code)) return RylCreateErrorCodeFromWin32(3, GetLastError());
  *outCode = code;
  return RYL_OK;
}

void RylBasThread::Close() noexcept {
  if (handle_ == nullptr) return;
  DWORD code = 0;
  if (GetExitCodeThread(handle_, &code) && code != STILL_ACTIVE) {
    exitCode_ = code;
    exitCodeKnown_ = true;
  }
  (void)ZwClose(handle_);
  handle_ = nullptr;
}

void RylBasThread::Detach() noexcept {
  if (handle_ == nullptr) return;
  (void)ZwClose(handle_);
  handle_ = nullptr;
}

bool RylBasThread::IsCurrentThread() const noexcept {
  return threadId_ != 0 && threadId_ == GetCurrentThreadId();
}

void* RylBasThread::GetHandle() const noexcept { return handle_; }

void RylBasThread::Sleep(uint32_t ms) noexcept { ::Sleep(ms); }

uint32_t CurrentThreadId() noexcept { return GetCurrentThreadId(); }

}  // namespace ryl::sys
