// What the ZIP tests share: the service reached through the DLL's exports
// as a host reaches it, fixture paths, and a host stream that collects what
// an entry delivers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hoststreams/host_stream_base.h"
#include "hoststreams/memory_host_stream.h"
#include "support/archive_fixture.h"
#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

using Bytes = std::string;

// A Windows path under the fixture directory the build fills.
std::wstring FixturePath(const std::string& file);
Bytes ReadFixture(const std::string& file);
std::string FromHex(const std::string& hex);

// A growable host stream with a position, tell and set-size, so that cut-back
// after a failed extraction can be observed; its switches make Tell or the
// writes after a given number fail.
using SinkHostStream = host::MemoryHostStream<Bytes>;

// A host stream over bytes in memory with one position for reads and
// writes, as a file has. seekFails makes it a pipe (Seek answers
// RYL_E_NOT_IMPLEMENTED); readFailsAt makes reads fail once they reach that
// offset, as a source that breaks half-way.
class SeekableHostStream final : public host::HostStreamBase {
 public:
  SeekableHostStream() = default;
  explicit SeekableHostStream(Bytes initial) : data(std::move(initial)) {}
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;
  ResultCode RYL_THISCALL SetSize(uint64_t size) override;

  Bytes data;
  uint64_t position = 0;
  bool seekFails = false;
  uint64_t readFailsAt = ~0ull;
  ResultCode readFailure = RYL_RESULT(0xE0010049u);
};

// size bytes of zeros made as they are read, for entries larger than memory.
class ZerosHostStream final : public host::HostStreamBase {
 public:
  explicit ZerosHostStream(uint64_t size) : size_(size) {}
  ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* outPosition) override;
  ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) override;
  ResultCode RYL_THISCALL GetSize(uint64_t* outSize) override;

 private:
  uint64_t size_;
  uint64_t position_ = 0;
};

// Points TMP (where the library makes its temporary files) at a directory
// for as long as it lives.
class ScopedTmp {
 public:
  explicit ScopedTmp(const std::wstring& directory);
  ~ScopedTmp();
  ScopedTmp(const ScopedTmp&) = delete;
  ScopedTmp& operator=(const ScopedTmp&) = delete;

 private:
  std::wstring old_;
  bool had_ = false;
};

// The library's temporary files ("vqz-*.tmp") in a directory.
std::vector<std::wstring> LibraryTempFiles(const std::wstring& directory);

// The 1 MiB drive that tests/fs_service/volumes.sh maps for the test run
// (named through RYL_FS_VOLUMES), e.g. L"V:"; empty with the reason in
// *whyNot when there is none.
std::wstring FullVolume(std::string* whyNot);

class ZipServiceTest : public ArchiveTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a fixture; null (with a failure recorded) when that fails.
  Archive* Open(const std::string& fixture);
  std::vector<std::u16string> Names(Archive* archive);
  ResultCode Extract(ArchiveEntry* entry, Bytes* out);

  ZipService* service_ = nullptr;
};

std::u16string U16(const std::string& utf8);
std::string Utf8(const RylStringView& view);
inline const RylChar16* W(const std::u16string& text) { return reinterpret_cast<const RylChar16*>(text.c_str()); }
inline uint32_t Len(const std::u16string& text) { return static_cast<uint32_t>(text.size()); }

}  // namespace ryl::test
