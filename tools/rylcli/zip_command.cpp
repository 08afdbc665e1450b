// The zip commands: list an archive, extract it (all or named entries) into
// a directory, and test it by reading every entry to its end, which makes
// the library check each entry's CRC-32.
#include "zip_command.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <cwchar>
#include <string>
#include <unordered_set>
#include <vector>

#include "module_session.h"

namespace rylcli {
namespace {

const AllocatorRecord kDefaultHeap = {nullptr, nullptr};

// Swallows what it is given, counting it: the test command's destination.
class DiscardStream final : public HostStream {
 public:
  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Write(const void*, uint32_t count, uint32_t* outDone) override {
    written += count;
    if (outDone != nullptr) *outDone = count;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Tell(uint64_t* out) override {
    *out = written;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t* out) override {
    *out = written;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    if (size < written) written = size;
    return RYL_OK;
  }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}

  uint64_t written = 0;
};

struct Options {
  std::wstring archive;
  std::wstring directory;
  std::wstring password;
  bool hasPassword = false;
  std::vector<std::wstring> names;
};

std::wstring Text(const RylStringView& view) { return std::wstring(view.data, view.length); }

// Names and comments go out as UTF-8: the C runtime's own conversion stops
// at the first character outside the console's code page.
std::string Out(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

const char* MethodName(uint32_t method) {
  switch (method) {
    case RYL_ZIP_METHOD_STORED: return "stored";
    case RYL_ZIP_METHOD_DEFLATE: return "deflate";
    case RYL_ZIP_METHOD_BZIP2: return "bzip2";
    default: return "other";
  }
}

void PrintTime(uint64_t time) {
  FILETIME fileTime;
  fileTime.dwLowDateTime = static_cast<DWORD>(time);
  fileTime.dwHighDateTime = static_cast<DWORD>(time >> 32);
  SYSTEMTIME system;
  if (time == 0 || !FileTimeToSystemTime(&fileTime, &system)) {
    std::printf("%-19s", "-");
    return;
  }
  std::printf("%04u-%02u-%02u %02u:%02u:%02u", system.wYear, system.wMonth, system.wDay, system.wHour,
              system.wMinute, system.wSecond);
}

// An open archive and what it takes to get there; releases in reverse.
class OpenedArchive {
 public:
  ~OpenedArchive() {
    if (archive_ != nullptr) archive_->Release();
    if (service_ != nullptr) service_->Release();
    if (factory_ != nullptr) factory_->Destroy(&kDefaultHeap);
  }

  // The archive must exist: opening would otherwise create an empty file.
  bool Open(RootFactory* root, const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::fprintf(stderr, "rylcli: no archive at '%s'\n", Out(path).c_str());
      return false;
    }
    void* factory = nullptr;
    ObjectReceiver receiver = MakeReceiver(&factory, RYL_VERSION_ARCHIVE_FACTORY);
    ResultCode rc = root->CreateArchiveFactory(&receiver);
    if (RylFailed(rc)) return Fail("CreateArchiveFactory", rc);
    factory_ = static_cast<ArchiveFactory*>(factory);
    rc = factory_->CreateZipService(&service_);
    if (RylFailed(rc)) return Fail("CreateZipService", rc);
    rc = service_->OpenArchive(&archive_, path.c_str(), static_cast<uint32_t>(path.size()));
    if (RylFailed(rc)) return Fail("cannot open the archive", rc);
    return true;
  }

  Archive* archive() const { return archive_; }
  ZipService* service() const { return service_; }

 private:
  static bool Fail(const char* what, ResultCode rc) {
    std::fprintf(stderr, "rylcli: %s: %s\n", what, DescribeResult(rc));
    return false;
  }
  ArchiveFactory* factory_ = nullptr;
  ZipService* service_ = nullptr;
  Archive* archive_ = nullptr;
};

// Calls visit(entry, name) for every entry in directory order.
template <typename Visit>
ResultCode ForEachEntry(Archive* archive, Visit&& visit) {
  EntryEnumerator* enumerator = nullptr;
  ResultCode rc = archive->CreateEnumerator(&enumerator);
  if (RylFailed(rc)) return rc;
  for (;;) {
    ArchiveEntry* entry = nullptr;
    if (RylFailed(enumerator->Current(&entry))) break;
    RylStringView name = {nullptr, 0};
    entry->GetName(&name);
    visit(entry, Text(name));
    if (enumerator->MoveNext() != RYL_OK) break;
  }
  enumerator->Release();
  return RYL_OK;
}

int List(RootFactory* root, const Options& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  Archive* archive = opened.archive();
  RylStringView comment = {nullptr, 0};
  archive->GetComment(&comment);
  if (comment.length != 0) std::printf("comment: %s\n", Out(Text(comment)).c_str());
  std::printf("%12s %12s %-8s %-19s %s\n", "size", "compressed", "method", "modified", "name");
  uint64_t total = 0;
  uint32_t count = 0;
  ForEachEntry(archive, [&](ArchiveEntry* entry, const std::wstring& name) {
    const uint64_t size = entry->GetUncompressedSize();
    total += size;
    ++count;
    std::printf("%12llu %12llu %-8s ", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(entry->GetCompressedSize()), MethodName(entry->GetMethod()));
    PrintTime(entry->GetTime());
    std::printf(" %s%s", Out(name).c_str(), entry->IsEncrypted() ? " (encrypted)" : "");
    RylStringView entryComment = {nullptr, 0};
    entry->GetComment(&entryComment);
    if (entryComment.length != 0) std::printf("  [%s]", Out(Text(entryComment)).c_str());
    std::printf("\n");
  });
  std::printf("%12llu %u entries\n", static_cast<unsigned long long>(total), count);
  return 0;
}

bool EnsureDirectories(const std::wstring& path) {
  // Creates every missing directory of path, outermost first.
  for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
    const std::wstring part = at == std::wstring::npos ? path : path.substr(0, at);
    if (!part.empty() && GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CreateDirectoryW(part.c_str(), nullptr)) {
      return false;
    }
    if (at == std::wstring::npos) return true;
  }
}

// What a long extraction tells the user on stderr: at most one line a
// second, so that a quick run stays silent and a slow one never looks hung.
class Progress {
 public:
  explicit Progress(uint32_t total) : total_(total), start_(GetTickCount64()), last_(start_) {}

  void AddBytes(uint64_t count) {
    bytes_ += count;
    Tick();
  }
  void EntryDone() {
    ++entries_;
    Tick();
  }
  // Closes the report with the final figures, if a report was begun.
  void Finish() {
    if (reported_) Print();
  }

 private:
  void Tick() {
    const uint64_t now = GetTickCount64();
    if (now - last_ < 1000) return;
    last_ = now;
    reported_ = true;
    Print();
  }
  void Print() {
    std::fprintf(stderr, "progress: %u/%u entries, %.1f MiB, %.1f s\n", entries_, total_,
                 static_cast<double>(bytes_) / (1024.0 * 1024.0),
                 static_cast<double>(GetTickCount64() - start_) / 1000.0);
  }

  uint32_t total_;
  uint32_t entries_ = 0;
  uint64_t bytes_ = 0;
  uint64_t start_;
  uint64_t last_;
  bool reported_ = false;
};

// A Win32 error as the module itself reports one it has no code of its own for.
ResultCode FromWin32(DWORD error) {
  if (error == ERROR_ACCESS_DENIED) return RYL_E_ACCESS_DENIED;
  if (error == ERROR_PATH_NOT_FOUND) return RYL_E_PATH_NOT_FOUND;
  return RYL_RESULT(0xE0070000u | (error & 0xFFFFu));
}

// One extracted file as the writer thread sees it. error is set once, by
// whichever thread first sees a write fail; done turns true when the file
// has been closed (and removed again if it did not come out whole).
struct PendingFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring path;
  std::atomic<DWORD> error{0};
  std::atomic<bool> done{false};
};

// Writes extracted data on a thread of its own, so that the disk works while
// the library decodes the next piece: extraction then costs about the larger
// of the two rather than their sum. Jobs run in the order they were given,
// so files complete in directory order.
class BackgroundWriter {
 public:
  static constexpr size_t kBufferSize = 1u << 20;

  BackgroundWriter() {
    InitializeSRWLock(&lock_);
    InitializeConditionVariable(&work_);
    InitializeConditionVariable(&space_);
    thread_ = CreateThread(nullptr, 0, &BackgroundWriter::Main, this, 0, nullptr);
  }
  ~BackgroundWriter() {
    AcquireSRWLockExclusive(&lock_);
    stopping_ = true;
    WakeAllConditionVariable(&work_);
    ReleaseSRWLockExclusive(&lock_);
    if (thread_ != nullptr) {
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
    }
  }
  bool started() const { return thread_ != nullptr; }

  // An empty buffer with room for kBufferSize bytes.
  std::vector<char> TakeBuffer() {
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

  // Queues data for the file, then its closing when close is set; waits
  // while too many buffers are in flight, which bounds the memory used.
  void Submit(const std::shared_ptr<PendingFile>& file, std::vector<char> data, bool close) {
    AcquireSRWLockExclusive(&lock_);
    while (jobs_.size() >= kMaxJobs) SleepConditionVariableSRW(&space_, &lock_, INFINITE, 0);
    jobs_.push_back(Job{file, std::move(data), close});
    WakeAllConditionVariable(&work_);
    ReleaseSRWLockExclusive(&lock_);
  }

  // Waits until every queued job has run.
  void Drain() {
    AcquireSRWLockExclusive(&lock_);
    while (!jobs_.empty() || busy_) SleepConditionVariableSRW(&space_, &lock_, INFINITE, 0);
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  static constexpr size_t kMaxJobs = 16;
  struct Job {
    std::shared_ptr<PendingFile> file;
    std::vector<char> data;
    bool close;
  };

  static DWORD WINAPI Main(void* self) {
    static_cast<BackgroundWriter*>(self)->Run();
    return 0;
  }

  void Run() {
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

  static bool WriteAll(HANDLE handle, const char* bytes, size_t count) {
    while (count != 0) {
      DWORD written = 0;
      if (!WriteFile(handle, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) return false;
      bytes += written;
      count -= written;
    }
    return true;
  }

  SRWLOCK lock_;
  CONDITION_VARIABLE work_;
  CONDITION_VARIABLE space_;
  HANDLE thread_ = nullptr;
  std::deque<Job> jobs_;
  std::vector<std::vector<char>> free_;
  bool busy_ = false;
  bool stopping_ = false;
};

// An extracted entry's file, as any host would hand one to the library: the
// library only writes, tells and (after a failure) cuts back. Data is
// gathered into large buffers that the writer thread puts on disk.
class FileHostStream final : public HostStream {
 public:
  FileHostStream(std::shared_ptr<PendingFile> file, BackgroundWriter* writer, Progress* progress)
      : file_(std::move(file)), writer_(writer), progress_(progress), buffer_(writer->TakeBuffer()) {}

  // Hands the rest to the writer and has the file closed; removed there too
  // when keep is false or a write failed.
  void Finish(bool keep) {
    if (!keep && file_->error == 0) file_->error = ERROR_CANCELLED;
    writer_->Submit(file_, std::move(buffer_), true);
  }

  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override {
    if (file_->error != 0) return FromWin32(file_->error);
    const char* bytes = static_cast<const char*>(buffer);
    uint32_t left = count;
    while (left != 0) {
      const size_t room = BackgroundWriter::kBufferSize - buffer_.size();
      const size_t piece = left < room ? left : room;
      buffer_.insert(buffer_.end(), bytes, bytes + piece);
      bytes += piece;
      left -= static_cast<uint32_t>(piece);
      if (buffer_.size() == BackgroundWriter::kBufferSize) {
        writer_->Submit(file_, std::move(buffer_), false);
        buffer_ = writer_->TakeBuffer();
      }
    }
    position_ += count;
    if (outDone != nullptr) *outDone = count;
    progress_->AddBytes(count);
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Tell(uint64_t* out) override {
    *out = position_;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t* out) override {
    *out = position_;
    return RYL_OK;
  }
  // Only ever a cut back after a failure: rare, so it simply waits for the
  // writer to be idle and works on the file directly.
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    writer_->Submit(file_, std::move(buffer_), false);
    buffer_ = writer_->TakeBuffer();
    writer_->Drain();
    if (file_->error != 0) return FromWin32(file_->error);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_->handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_->handle)) {
      file_->error = GetLastError();
      return FromWin32(file_->error);
    }
    position_ = size;
    return RYL_OK;
  }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}

 private:
  std::shared_ptr<PendingFile> file_;
  BackgroundWriter* writer_;
  Progress* progress_;
  std::vector<char> buffer_;
  uint64_t position_ = 0;
};

// What the user is told about each entry, in directory order: a file's line
// waits until the writer has closed it, since only then is it known whether
// it came out whole.
class Report {
 public:
  void Line(bool error, std::string text) {
    lines_.push_back(Pending{nullptr, error, std::move(text), {}});
    PrintReady();
  }
  void File(std::shared_ptr<PendingFile> file, std::string name) {
    lines_.push_back(Pending{std::move(file), false, {}, std::move(name)});
    PrintReady();
  }
  // Prints every line that is final, in order; returns the failures seen.
  int PrintReady() {
    while (!lines_.empty() && (lines_.front().file == nullptr || lines_.front().file->done)) {
      Pending& front = lines_.front();
      if (front.file == nullptr) {
        std::fprintf(front.error ? stderr : stdout, "%s\n", front.text.c_str());
      } else if (front.file->error != 0) {
        std::fprintf(stderr, "failed: %s: %s\n", front.name.c_str(), DescribeResult(FromWin32(front.file->error)));
        ++failures_;
      } else {
        std::printf("extracted: %s\n", front.name.c_str());
      }
      lines_.pop_front();
    }
    return failures_;
  }

 private:
  struct Pending {
    std::shared_ptr<PendingFile> file;
    bool error;
    std::string text;
    std::string name;
  };
  std::deque<Pending> lines_;
  int failures_ = 0;
};

int Extract(RootFactory* root, const Options& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  std::wstring base = options.directory;
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (!EnsureDirectories(base)) {
    std::fprintf(stderr, "rylcli: cannot create '%s'\n", Out(base).c_str());
    return 1;
  }
  Archive* archive = opened.archive();
  BackgroundWriter writer;
  if (!writer.started()) {
    std::fprintf(stderr, "rylcli: cannot start the writer thread\n");
    return 1;
  }
  Report report;
  int failures = 0;
  // Directories already known to exist: asking the file system again for
  // each entry costs, under Wine, as much as writing a small entry's data.
  std::unordered_set<std::wstring> knownDirectories;
  Progress progress(options.names.empty() ? archive->GetEntryCount()
                                          : static_cast<uint32_t>(options.names.size()));
  auto fail = [&](const std::string& text) {
    report.Line(true, text);
    ++failures;
  };
  auto extractOne = [&](ArchiveEntry* entry, const std::wstring& name) {
    const std::string shown = Out(name);
    if (!IsSafeEntryName(name.c_str(), static_cast<unsigned>(name.size()))) {
      fail("refused: " + shown + " (the name leaves the target directory)");
      return;
    }
    std::wstring target = base + L"\\" + name;
    for (wchar_t& c : target) {
      if (c == L'/') c = L'\\';
    }
    if (entry->IsDirectory()) {
      if (!EnsureDirectories(target.substr(0, target.size() - 1))) {
        fail("failed: " + shown + " (cannot create the directory)");
      } else {
        report.Line(false, "created: " + shown);
      }
      return;
    }
    const std::wstring parent = target.substr(0, target.rfind(L'\\'));
    if (knownDirectories.count(parent) == 0) {
      if (!EnsureDirectories(parent)) {
        fail("failed: " + shown + " (cannot create its directory)");
        return;
      }
      knownDirectories.insert(parent);
    }
    if (options.hasPassword) {
      const ResultCode set =
          entry->SetPassword(options.password.c_str(), static_cast<int32_t>(options.password.size()), 0);
      if (RylFailed(set)) {
        fail("failed: " + shown + ": " + DescribeResult(set));
        return;
      }
    }
    auto file = std::make_shared<PendingFile>();
    file->path = target;
    file->handle = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (file->handle == INVALID_HANDLE_VALUE) {
      fail("failed: " + shown + ": " + DescribeResult(FromWin32(GetLastError())));
      return;
    }
    FileHostStream stream(file, &writer, &progress);
    const ResultCode rc = entry->ExtractTo(&stream);
    stream.Finish(!RylFailed(rc));
    if (RylFailed(rc)) {
      fail("failed: " + shown + ": " + DescribeResult(rc));
    } else {
      report.File(std::move(file), shown);
    }
  };
  if (options.names.empty()) {
    ForEachEntry(archive, [&](ArchiveEntry* entry, const std::wstring& name) {
      extractOne(entry, name);
      progress.EntryDone();
    });
  } else {
    for (const std::wstring& wanted : options.names) {
      ArchiveEntry* entry = nullptr;
      const ResultCode found = archive->FindEntry(&entry, wanted.c_str(), static_cast<uint32_t>(wanted.size()));
      if (RylFailed(found)) {
        fail("not in the archive: " + Out(wanted));
      } else {
        // The stored name, not the one given: it decides the target path.
        RylStringView name = {nullptr, 0};
        entry->GetName(&name);
        extractOne(entry, Text(name));
        entry->Release();
      }
      progress.EntryDone();
    }
  }
  writer.Drain();
  failures += report.PrintReady();
  progress.Finish();
  return failures == 0 ? 0 : 1;
}

int Test(RootFactory* root, const Options& options) {
  OpenedArchive opened;
  if (!opened.Open(root, options.archive)) return 1;
  int failures = 0;
  uint32_t tested = 0;
  ForEachEntry(opened.archive(), [&](ArchiveEntry* entry, const std::wstring& name) {
    if (entry->IsDirectory()) return;
    if (options.hasPassword) {
      const ResultCode set =
          entry->SetPassword(options.password.c_str(), static_cast<int32_t>(options.password.size()), 0);
      if (RylFailed(set)) {
        std::fprintf(stderr, "FAILED %s: %s\n", Out(name).c_str(), DescribeResult(set));
        ++failures;
        return;
      }
    }
    DiscardStream sink;
    const ResultCode rc = entry->ExtractTo(&sink);
    ++tested;
    if (RylFailed(rc)) {
      std::printf("FAILED %s: %s\n", Out(name).c_str(), DescribeResult(rc));
      ++failures;
    } else {
      std::printf("OK     %s\n", Out(name).c_str());
    }
  });
  std::printf("%u entries tested, %d failed\n", tested, failures);
  return failures == 0 ? 0 : 1;
}

void PrintUsage() {
  std::fprintf(stderr,
               "usage: rylcli zip list ARCHIVE\n"
               "       rylcli zip extract [-p PASSWORD] ARCHIVE DIRECTORY [NAME...]\n"
               "       rylcli zip test [-p PASSWORD] ARCHIVE\n");
}

}  // namespace

bool IsSafeEntryName(const wchar_t* name, unsigned length) {
  if (length == 0) return false;
  if (name[0] == L'/' || name[0] == L'\\') return false;  // absolute or UNC
  unsigned start = 0;
  for (unsigned i = 0; i <= length; ++i) {
    if (i < length && name[i] == L':') return false;  // drive letter or stream name
    if (i == length || name[i] == L'/' || name[i] == L'\\') {
      if (i - start == 2 && name[start] == L'.' && name[start + 1] == L'.') return false;
      start = i + 1;
    }
  }
  return true;
}

int RunZip(int argc, wchar_t** argv) {
  if (argc < 1) {
    PrintUsage();
    return 2;
  }
  const std::wstring command = argv[0];
  Options options;
  std::vector<std::wstring> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"-p") == 0 && i + 1 < argc) {
      options.password = argv[++i];
      options.hasPassword = true;
    } else {
      positional.emplace_back(argv[i]);
    }
  }
  const bool isExtract = command == L"extract";
  if ((command != L"list" && command != L"test" && !isExtract) || positional.empty() ||
      (isExtract && positional.size() < 2) || (!isExtract && positional.size() != 1)) {
    PrintUsage();
    return 2;
  }
  options.archive = positional[0];
  if (isExtract) {
    options.directory = positional[1];
    options.names.assign(positional.begin() + 2, positional.end());
  }
  // The module takes full paths; a relative archive path is the host's to resolve.
  wchar_t full[MAX_PATH * 4];
  if (GetFullPathNameW(options.archive.c_str(), MAX_PATH * 4, full, nullptr) != 0) options.archive = full;
  if (isExtract && GetFullPathNameW(options.directory.c_str(), MAX_PATH * 4, full, nullptr) != 0) {
    options.directory = full;
  }
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    std::fprintf(stderr, "rylcli: cannot start the module: %s\n", DescribeResult(started));
    return 1;
  }
  if (command == L"list") return List(session.root(), options);
  if (command == L"test") return Test(session.root(), options);
  return Extract(session.root(), options);
}

}  // namespace rylcli
