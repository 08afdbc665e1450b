#include "background_writer.h"

#include <utility>

namespace rylcli {

BackgroundWriter::BackgroundWriter() {
  InitializeSRWLock(&lock_);
  InitializeConditionVariable(&work_);
  InitializeConditionVariable(&space_);
  thread_ = CreateThread(nullptr, 0, &BackgroundWriter::Main, this, 0, nullptr);
}

BackgroundWriter::~BackgroundWriter() {
  AcquireSRWLockExclusive(&lock_);
  stopping_ = true;
  WakeAllConditionVariable(&work_);
  ReleaseSRWLockExclusive(&lock_);
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

std::vector<char> BackgroundWriter::TakeBuffer() {
  AcquireSRWLockExclusive(&lock_);
  std::vector<char> buffer;
  if (!free_.empty()) {
    buffer = std::move(free_.back());
    free_.pop_back();
  }
  ReleaseSRWLockExclusive(&lock_);
  buffer.clear();
  buffer.reserve(kBufferSize);
  return buffer;
}

void BackgroundWriter::Submit(const std::shared_ptr<PendingFile>& file, std::vector<char> data, bool close) {
  AcquireSRWLockExclusive(&lock_);
  while (jobs_.size() >= kMaxJobs) SleepConditionVariableSRW(&space_, &lock_, INFINITE, 0);
  jobs_.push_back(Job{file, std::move(data), close});
  WakeAllConditionVariable(&work_);
  ReleaseSRWLockExclusive(&lock_);
}

void BackgroundWriter::Drain() {
  AcquireSRWLockExclusive(&lock_);
  while (!jobs_.empty() || busy_) SleepConditionVariableSRW(&space_, &lock_, INFINITE, 0);
  ReleaseSRWLockExclusive(&lock_);
}

DWORD WINAPI BackgroundWriter::Main(void* self) {
  static_cast<BackgroundWriter*>(self)->Run();
  return 0;
}

void BackgroundWriter::Run() {
  for (;;) {
    AcquireSRWLockExclusive(&lock_);
    while (jobs_.empty() && !stopping_) SleepConditionVariableSRW(&work_, &lock_, INFINITE, 0);
    if (jobs_.empty()) {
      ReleaseSRWLockExclusive(&lock_);
      return;
    }
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    ReleaseSRWLockExclusive(&lock_);

    PendingFile& file = *job.file;
    if (file.error == 0 && !job.data.empty() && !WriteAll(file.handle, job.data.data(), job.data.size())) {
      file.error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (job.close) {
      if (!CloseHandle(file.handle) && file.error == 0) file.error = GetLastError();
      file.handle = INVALID_HANDLE_VALUE;
      if (file.error == 0 && !file.replaces.empty() &&
          !MoveFileExW(file.path.c_str(), file.replaces.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        file.error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
      }
      // A partial or corrupt file must not pass for the entry.
      if (file.error != 0) DeleteFileW(file.path.c_str());
      file.done = true;
    }

    AcquireSRWLockExclusive(&lock_);
    busy_ = false;
    if (job.data.capacity() >= kBufferSize && free_.size() < kMaxJobs + 2) free_.push_back(std::move(job.data));
    WakeAllConditionVariable(&space_);
    ReleaseSRWLockExclusive(&lock_);
  }
}

bool BackgroundWriter::WriteAll(HANDLE handle, const char* bytes, size_t count) {
  while (count != 0) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) return false;
    bytes += written;
    count -= written;
  }
  return true;
}

}  // namespace rylcli
