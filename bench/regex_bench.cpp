// Regular-expression throughput through the DLL (patterns studied for PCRE's
// JIT) against PCRE's interpreter called directly with the same options, in
// one process: every match of each pattern over a 50 MiB subject, found the
// way a host finds them all (match, then go on after the match). The goal
// is a ratio (interpreter time / DLL time) of at least 3.
//
// The subject is DNA text in 60-character lines with the variants the
// regex-redux patterns look for, and every tenth line a log line with
// words, numbers and addresses.
//
// Run under Wine with a persistent server (`wineserver -p`), from the build
// directory: cmake/wine-run.sh bench/regex_bench.exe
#include <windows.h>

#include <pcre.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_host.h"
#include "bench_timing.h"

namespace {

constexpr size_t kSubjectBytes = size_t{50} << 20;
constexpr int kRuns = 3;
// The module's compile options: multi-line, dot matches all, any newline.
constexpr int kOptions = PCRE_MULTILINE | PCRE_DOTALL | PCRE_NEWLINE_ANY;

std::string MakeSubject() {
  std::mt19937 random(4242);
  static const char* const kWords[] = {"error", "warning", "info", "disk", "user", "request", "timeout", "node"};
  std::string text;
  text.reserve(kSubjectBytes + 128);
  int line = 0;
  while (text.size() < kSubjectBytes) {
    if (++line % 10 == 0) {
      text += "2026-12-10 12:";
      text += std::to_string(random() % 60) + ":" + std::to_string(random() % 60) + " ";
      for (int w = 0; w < 6; ++w) text += std::string(kWords[random() % 8]) + (w % 2 ? "=" : " ");
      text += "10." + std::to_string(random() % 256) + "." + std::to_string(random() % 256) + ".7 id " +
              std::to_string(random()) + "\n";
      continue;
    }
    for (int i = 0; i < 60; ++i) text += "acgt"[random() % 4];
    text += '\n';
  }
  text.resize(kSubjectBytes);
  return text;
}

const char* const kPatterns[] = {
    "agggtaaa|tttaccct",
    "[cgt]gggtaaa|tttaccc[acg]",
    "a[act]ggtaaa|tttacc[agt]t",
    "ag[act]gtaaa|tttac[agt]ct",
    "agg[act]taaa|ttta[agt]cct",
    "tHa[Nt]",
    "(error|warning) (disk|node)",
    "^2026-12-10 12:(\\d+):(\\d+)",
    "\\d+\\.\\d+\\.\\d+\\.\\d+",
    "timeout",
    "[aeiou]{2}[a-z]*=",
};

// Every match of one pattern: a count and the sum of the ends, so that both
// sides can be seen to find the same matches.
struct Found {
  uint64_t count = 0;
  uint64_t ends = 0;
};

Found AllWithInterpreter(pcre* compiled, pcre_extra* extra, const std::string& subject) {
  Found found;
  int offsets[30];
  size_t position = 0;
  while (position <= subject.size()) {
    const int rc = pcre_exec(compiled, extra, subject.data() + position, static_cast<int>(subject.size() - position),
                             0, 0, offsets, 30);
    if (rc < 0) break;
    ++found.count;
    found.ends += position + static_cast<size_t>(offsets[1]);
    position += static_cast<size_t>(offsets[1] > offsets[0] ? offsets[1] : offsets[0] + 1);
  }
  return found;
}

Found AllWithModule(RylRegex8* regex, const std::string& subject) {
  Found found;
  std::vector<RylRegexCapture8> entries(regex->GetCaptureCount() + 1);
  RylRegexCaptures8 captures = {entries.data(), entries.data() + entries.size(), entries.data() + entries.size()};
  size_t position = 0;
  while (position <= subject.size()) {
    const char* base = subject.data() + position;
    if (regex->Match(base, static_cast<uint32_t>(subject.size() - position), &captures) < 0 || !entries[0].matched) {
      break;
    }
    ++found.count;
    const size_t begin = static_cast<size_t>(entries[0].begin - base);
    const size_t end = static_cast<size_t>(entries[0].end - base);
    found.ends += position + end;
    position += end > begin ? end : begin + 1;
  }
  return found;
}

}  // namespace

int main() {
  RootFactory* root = ryl::bench::StartRoot();
  if (root == nullptr) return 1;
  const std::string subject = MakeSubject();
  std::printf("subject: %zu bytes; best of %d runs per pattern\n", subject.size(), kRuns);
  double moduleTotal = 0;
  double interpreterTotal = 0;
  int failures = 0;
  for (const char* pattern : kPatterns) {
    RylRegex8* regex = nullptr;
    const ObjectReceiver receiver = ryl::bench::StoreInto(&regex);
    if (root->CreateRegexNarrow(&receiver, pattern, static_cast<uint32_t>(std::strlen(pattern)), 0) < 0 ||
        regex == nullptr) {
      std::printf("%-28s the module cannot compile it\n", pattern);
      ++failures;
      continue;
    }
    const char* error = nullptr;
    int errorOffset = 0;
    pcre* compiled = pcre_compile(pattern, kOptions, &error, &errorOffset, nullptr);
    pcre_extra* extra = pcre_study(compiled, PCRE_STUDY_EXTRA_NEEDED, &error);
    extra->flags |= PCRE_EXTRA_MATCH_LIMIT_RECURSION;
    extra->match_limit_recursion = 1500;
    std::vector<double> moduleTimes;
    std::vector<double> interpreterTimes;
    Found byModule;
    Found byInterpreter;
    for (int run = 0; run < kRuns; ++run) {
      double start = ryl::bench::Now();
      byModule = AllWithModule(regex, subject);
      moduleTimes.push_back(ryl::bench::Now() - start);
      start = ryl::bench::Now();
      byInterpreter = AllWithInterpreter(compiled, extra, subject);
      interpreterTimes.push_back(ryl::bench::Now() - start);
    }
    const double moduleBest = *std::min_element(moduleTimes.begin(), moduleTimes.end());
    const double interpreterBest = *std::min_element(interpreterTimes.begin(), interpreterTimes.end());
    moduleTotal += moduleBest;
    interpreterTotal += interpreterBest;
    const bool same = byModule.count == byInterpreter.count && byModule.ends == byInterpreter.ends;
    std::printf("%-28s %9llu matches  module %.3f s  interpreter %.3f s  ratio %5.2f%s\n", pattern,
                static_cast<unsigned long long>(byModule.count), moduleBest, interpreterBest,
                interpreterBest / moduleBest, same ? "" : "  MATCHES DIFFER");
    if (!same) ++failures;
    pcre_free_study(extra);
    pcre_free(compiled);
    regex->Destroy(nullptr);
  }
  const double ratio = interpreterTotal / moduleTotal;
  std::printf("all patterns: module %.3f s  interpreter %.3f s  ratio %.2f (goal >= 3.0)%s\n", moduleTotal,
              interpreterTotal, ratio, ratio >= 3.0 ? "" : "  BELOW GOAL");
  root->Release();
  RylModuleFinish();
  return failures == 0 && ratio >= 3.0 ? 0 : 2;
}
