// Writes extracted data on a thread of its own, so that the disk works while
// the library decodes the next piece: extraction then costs about the larger
// of the two rather than their sum. Jobs run in the order they were given,
// so files complete in directory order.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <vector>

#include "pending_file.h"

namespace rylcli {

class BackgroundWriter {
 public:
  static constexpr size_t kBufferSize = 1u << 20;

  BackgroundWriter();
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  bool started() const { return thread_ != nullptr; }

  // An empty buffer with room for kBufferSize bytes.
  std::vector<char> TakeBuffer();

  // Queues data for the file, then its closing when close is set; waits
  // while too many buffers are in flight, which bounds the memory used.
  void Submit(const std::shared_ptr<PendingFile>& file, std::vector<char> data, bool close);

  // Waits until every queued job has run.
  void Drain();

 private:
  static constexpr size_t kMaxJobs = 16;
  struct Job {
    std::shared_ptr<PendingFile> file;
    std::vector<char> data;
    bool close;
  };

  static DWORD WINAPI Main(void* self);
  void Run();
  static bool WriteAll(HANDLE handle, const char* bytes, size_t count);

  SRWLOCK lock_;
  CONDITION_VARIABLE work_;
  CONDITION_VARIABLE space_;
  HANDLE thread_ = nullptr;
  std::deque<Job> jobs_;
  std::vector<std::vector<char>> free_;
  bool busy_ = false;
  bool stopping_ = false;
};

}  // namespace rylcli
