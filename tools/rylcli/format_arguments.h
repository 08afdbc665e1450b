// The command-line arguments of rylcli fmt turned into what the module's
// formatter reads through its va_list: each ARG converted as the directive
// it lands on asks, in the order the formatter takes them.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace rylcli {

class FormatArgumentList {
 public:
  // Reads format as the module's UTF-16 formatter does and converts args
  // to match. False with *error set when an ARG does not convert, is
  // missing or left over, or a directive takes what a command line cannot
  // give (%p, %n's kin %Z and %r).
  bool Build(const std::wstring& format, const std::vector<std::wstring>& args, std::string* error);

  // Valid while this object lives and is not built again.
  va_list get();

 private:
  bool Take(const std::vector<std::wstring>& args, std::string* error, const std::wstring** out);
  void PushWord(uint32_t word) { words_.push_back(word); }

  std::vector<uint32_t> words_;
  std::deque<std::wstring> wide_;
  std::deque<std::string> narrow_;
  size_t next_ = 0;
};

}  // namespace rylcli
