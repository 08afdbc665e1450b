// What the ZIP tests share: the service reached through the DLL's exports
// as a host reaches it, fixture paths, and a host stream that collects what
// an entry delivers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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
