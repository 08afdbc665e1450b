// What the ZIP tests share: the service reached through the DLL's exports
// as a host reaches it, fixture paths, and a host stream that collects what
// an entry delivers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {

using Bytes = std::string;

// A Windows path under the fixture directory the build fills.
std::wstring FixturePath(const std::string& file);
Bytes ReadFixture(const std::string& file);
std::string FromHex(const std::string& hex);

// A growable host stream with a position, tell and set-size, so that cut-back
// after a failed extraction can be observed. Tell can be made to fail.
class SinkHostStream final : public HostStream {
 public:
  SinkHostStream() = default;
  explicit SinkHostStream(Bytes initial) : data(std::move(initial)), position(data.size()) {}

  void RYL_THISCALL Release() override {}
  uint8_t RYL_THISCALL IsOpen() override { return 1; }
  uint8_t RYL_THISCALL Reserved2() override { return 1; }
  uint8_t RYL_THISCALL Reserved3() override { return 1; }
  ResultCode RYL_THISCALL ReadAt(uint64_t, void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Read(void*, uint32_t, uint32_t*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL WriteAt(uint64_t, const void*, uint32_t, uint32_t*) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) override;
  ResultCode RYL_THISCALL Tell(uint64_t* out) override {
    if (tellFails) return RYL_E_NOT_IMPLEMENTED;
    *out = position;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL Seek(int64_t, uint32_t) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL GetSize(uint64_t* out) override {
    *out = data.size();
    return RYL_OK;
  }
  ResultCode RYL_THISCALL SetSize(uint64_t size) override {
    ++setSizeCalls;
    data.resize(static_cast<size_t>(size));
    if (position > size) position = static_cast<size_t>(size);
    return RYL_OK;
  }
  uint8_t RYL_THISCALL CanSaveState(uint32_t) override { return 0; }
  ResultCode RYL_THISCALL SaveState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL LoadState(HostStream*, RylHandleMarshaller*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL Map(uint64_t, uint32_t, HostMappedView**, uint8_t) override {
    return RYL_E_NOT_IMPLEMENTED;
  }
  void RYL_THISCALL Dispose() override {}

  Bytes data;
  size_t position = 0;
  bool tellFails = false;
  int setSizeCalls = 0;
  // Writes after this many succeed fail with writeFailure.
  int writesAllowed = -1;
  int writes = 0;
  ResultCode writeFailure = RYL_E_INVALID_STATE;
};

class ZipServiceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a fixture; null (with a failure recorded) when that fails.
  Archive* Open(const std::string& fixture);
  std::vector<std::u16string> Names(Archive* archive);
  ResultCode Extract(ArchiveEntry* entry, Bytes* out);

  DllHost dll_;
  RootFactory* root_ = nullptr;
  ArchiveFactory* factory_ = nullptr;
  ZipService* service_ = nullptr;
};

std::u16string U16(const std::string& utf8);
std::string Utf8(const RylStringView& view);
inline const RylChar16* W(const std::u16string& text) { return reinterpret_cast<const RylChar16*>(text.c_str()); }
inline uint32_t Len(const std::u16string& text) { return static_cast<uint32_t>(text.size()); }

}  // namespace ryl::test
