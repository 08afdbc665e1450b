// The formatter against memory that ends at an inaccessible page: formats
// whose terminator is the last readable byte, strings without terminators
// read with a precision that ends exactly at the page, and a fixed output
// buffer whose storage ends there. Any read or write one element too far
// faults. Windows only: the pages come from VirtualAlloc.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "format_host.h"
#include "support/result_matchers.h"

namespace ryl::test {
namespace {

// Two pages, the second without access; At(n) is the address n bytes before
// the second page.
class GuardedPage {
 public:
  GuardedPage() {
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ != nullptr) VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
  }
  ~GuardedPage() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedPage(const GuardedPage&) = delete;
  GuardedPage& operator=(const GuardedPage&) = delete;

  bool ok() const { return base_ != nullptr; }
  template <typename T>
  T* Place(const T* data, size_t count) {
    uint8_t* at = base_ + kPage - count * sizeof(T);
    std::memcpy(at, data, count * sizeof(T));
    return reinterpret_cast<T*>(at);
  }

 private:
  static constexpr size_t kPage = 4096;
  uint8_t* base_ = nullptr;
};

TEST(FormatGuardPageTest, FormatsEndingAtThePageReadNoFurther) {
  GuardedPage page;
  ASSERT_TRUE(page.ok());
  // Formats that take no argument, then one whose "*" takes an int and one
  // that takes a string.
  for (const char* format : {"%", "%5", "abc%l", "%I6", "%%", "%I64", "x%-0"}) {
    const char* placed = page.Place(format, std::strlen(format) + 1);
    EXPECT_CODE(FormatNarrow(placed).code, RYL_OK) << format;
  }
  EXPECT_CODE(FormatNarrow(page.Place("%-0.*", 6), 2).code, RYL_OK);
  EXPECT_EQ(FormatNarrow(page.Place("%.3s", 5), "xyzw").text, "xyz");
  const std::u16string wide = u"%ls%";
  const char16_t* placedWide = page.Place(wide.c_str(), wide.size() + 1);
  EXPECT_CODE(FormatWide(placedWide, u"w").code, RYL_OK);
}

TEST(FormatGuardPageTest, PrecisionStopsTheReadOfUnterminatedStrings) {
  GuardedPage narrowPage;
  GuardedPage widePage;
  ASSERT_TRUE(narrowPage.ok() && widePage.ok());
  const char* narrow = narrowPage.Place("abcdef", 6);
  const char16_t* wide = widePage.Place(u"uvwxyz", 6);
  EXPECT_EQ(FormatNarrow("%.6s|%.6ls|%.6S", narrow, wide, wide).text, "abcdef|uvwxyz|uvwxyz");
  EXPECT_EQ(FormatWide(u"%.6s|%.6hs|%.6S", wide, narrow, narrow).text, u"uvwxyz|abcdef|abcdef");
  const RylCountedString counted{6, 6, narrow};
  EXPECT_EQ(FormatNarrow("%Z|%r", &counted, narrow, 6).text, "abcdef|abcdef");
}

// An OutputBuffer whose storage ends at the inaccessible page.
struct PageEndOutput {
  OutputBuffer record;
  RylOutputBufferCallbacks table{};
  uint8_t* end;
  explicit PageEndOutput(uint8_t* pageEnd) : end(pageEnd) {
    table.version = 1;
    table.Resize = [](RylBufferView* view, uint32_t length, void* context) -> ResultCode {
      auto* self = static_cast<PageEndOutput*>(context);
      if (length > 4096) return RYL_E_OUT_OF_MEMORY;
      uint8_t* data = self->end - length;
      if (view->length != 0 && view->data != data) std::memmove(data, view->data, view->length < length ? view->length : length);
      view->data = data;
      view->length = length;
      return RYL_OK;
    };
    record = {&table, this, {nullptr, 0}};
  }
};

TEST(FormatGuardPageTest, OutputIsWrittenUpToTheGrantedEndOnly) {
  GuardedPage page;
  ASSERT_TRUE(page.ok());
  auto* pageEnd = reinterpret_cast<uint8_t*>(page.Place("", 0));
  PageEndOutput out(pageEnd);
  OutputBuffer* const target = &out.record;
  ASSERT_CODE(AppendNarrow(target, "%300d|%-40s|%.3f", 1, "x", 2.5), RYL_OK);
  EXPECT_EQ(out.record.view.length, 300u + 1 + 40 + 1 + 5);
  EXPECT_CODE(AppendNarrow(target, "%4000d", 1), RYL_E_OUT_OF_MEMORY);
}

}  // namespace
}  // namespace ryl::test
