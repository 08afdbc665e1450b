#include "re_command.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "module_session.h"
#include "utf8_text.h"
#include "whole_file.h"

namespace rylcli {
namespace {

// A final line without its \n is still a line; the empty piece after a
// final \n is not.
std::vector<std::string_view> SplitLines(const std::string& text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::wstring WideFromUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

// One compiled pattern and the capture array its Match calls need.
template <typename Unit>
class Matcher {
 public:
  explicit Matcher(RylRegexT<Unit>* regex) : regex_(regex), entries_(regex->GetCaptureCount() + 1) {}
  ~Matcher() { regex_->Destroy(&kDefaultHeap); }
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  // *outMatched on success; the module's code otherwise.
  ResultCode Matches(const Unit* subject, size_t length, bool* outMatched) {
    // An empty line still needs a subject pointer the module may read from.
    static const Unit kEmpty[1] = {};
    RylRegexCapturesT<Unit> captures = {entries_.data(), entries_.data() + entries_.size(),
                                        entries_.data() + entries_.size()};
    entries_[0].matched = 0;
    const ResultCode result =
        regex_->Match(length == 0 ? kEmpty : subject, static_cast<uint32_t>(length), &captures);
    *outMatched = RylSucceeded(result) && entries_[0].matched != 0;
    return result;
  }

 private:
  RylRegexT<Unit>* regex_;
  std::vector<RylRegexCaptureT<Unit>> entries_;
};

// 0 some line matched, 1 none did or the module refused a line.
template <typename Unit, typename Subject>
int PrintMatching(Matcher<Unit>* matcher, const std::vector<std::string_view>& lines, Subject subjectOf) {
  bool any = false;
  for (const std::string_view& line : lines) {
    const auto subject = subjectOf(line);
    bool matched = false;
    const ResultCode result = matcher->Matches(subject.data(), subject.size(), &matched);
    if (RylFailed(result)) {
      std::fflush(stdout);
      return ReportFailure("cannot match a line", result);
    }
    if (!matched) continue;
    any = true;
    WriteOut(line);
    WriteOut("\n");
  }
  std::fflush(stdout);
  return any ? kExitOk : kExitFailed;
}

}  // namespace

int RunRe(int argc, wchar_t** argv) {
  uint32_t flags = 0;
  bool wide = false;
  int at = 0;
  for (; at < argc && argv[at][0] == L'-' && argv[at][1] != L'\0'; ++at) {
    if (std::wcscmp(argv[at], L"--") == 0) {
      ++at;
      break;
    }
    if (std::wcscmp(argv[at], L"-i") == 0) {
      flags |= RYL_REGEX_CASELESS;
    } else if (std::wcscmp(argv[at], L"-w") == 0) {
      wide = true;
    } else {
      return ReportUsage("unknown option '" + Utf8(argv[at]) + "'", "re");
    }
  }
  if (argc - at != 2) return ReportUsage(argc - at < 2 ? "missing PATTERN or FILE" : "too many arguments", "re");
  const std::wstring pattern = argv[at];
  std::string text;
  if (!ReadWholeFile(argv[at + 1], &text)) return kExitFailed;
  const std::vector<std::string_view> lines = SplitLines(text);

  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) {
    return ReportFailure("cannot start the module", started);
  }
  // Lines go out exactly as they were read: text mode would add a \r to each.
  _setmode(_fileno(stdout), _O_BINARY);
  void* object = nullptr;
  ObjectReceiver receiver = MakeReceiver(&object, 1);
  if (wide) {
    const ResultCode created =
        session.root()->CreateRegexWide(&receiver, reinterpret_cast<const RylChar16*>(pattern.data()),
                                        static_cast<uint32_t>(pattern.size()), flags);
    if (RylFailed(created)) {
      return ReportFailure("the pattern does not compile", created);
    }
    Matcher<RylChar16> matcher(static_cast<RylRegex16*>(object));
    return PrintMatching(&matcher, lines, [](std::string_view line) {
      const std::wstring units = WideFromUtf8(line);
      return std::basic_string<RylChar16>(reinterpret_cast<const RylChar16*>(units.data()), units.size());
    });
  }
  const std::string bytes = Utf8(pattern);
  const ResultCode created =
      session.root()->CreateRegexNarrow(&receiver, bytes.data(), static_cast<uint32_t>(bytes.size()), flags);
  if (RylFailed(created)) {
    return ReportFailure("the pattern does not compile", created);
  }
  Matcher<char> matcher(static_cast<RylRegex8*>(object));
  return PrintMatching(&matcher, lines, [](std::string_view line) { return line; });
}

}  // namespace rylcli
