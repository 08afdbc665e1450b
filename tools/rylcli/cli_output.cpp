#include "cli_output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

namespace rylcli {
namespace {

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

std::string Formatted(const char* format, va_list arguments) {
  va_list copy;
  va_copy(copy, arguments);
  char small[512];
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, arguments);
  text.resize(static_cast<size_t>(n));
  return text;
}

// Invalid UTF-8 (a name from a file read as bytes) becomes U+FFFD on the
// console, as the conversion does; nothing is dropped silently.
void WriteConsoleText(HANDLE console, std::string* carry, std::string_view piece) {
  std::string utf8 = std::move(*carry);
  carry->clear();
  utf8.append(piece.data(), piece.size());
  // A lead byte in the last three whose sequence is not complete yet.
  for (size_t back = 1; back <= 3 && back <= utf8.size(); ++back) {
    const auto c = static_cast<unsigned char>(utf8[utf8.size() - back]);
    if ((c & 0xC0) == 0x80) continue;
    const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (need > back) {
      carry->assign(utf8, utf8.size() - back, back);
      utf8.resize(utf8.size() - back);
    }
    break;
  }
  if (utf8.empty()) return;
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(units > 0 ? units : 1));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  DWORD written = 0;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(units), &written, nullptr);
}

void Write(FILE* stream, DWORD which, bool console, std::string_view utf8) {
  if (console) {
    static std::string carries[2];
    // What the C runtime buffered must come first.
    std::fflush(stream);
    WriteConsoleText(GetStdHandle(which), &carries[which == STD_OUTPUT_HANDLE ? 0 : 1], utf8);
  } else {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
  }
}

}  // namespace

bool StdoutIsConsole() {
  static const bool console = IsConsole(STD_OUTPUT_HANDLE);
  return console;
}

bool StderrIsConsole() {
  static const bool console = IsConsole(STD_ERROR_HANDLE);
  return console;
}

void WriteOut(std::string_view utf8) { Write(stdout, STD_OUTPUT_HANDLE, StdoutIsConsole(), utf8); }

void WriteErr(std::string_view utf8) {
  // Whatever went to stdout before an error is shown before it.
  std::fflush(stdout);
  Write(stderr, STD_ERROR_HANDLE, StderrIsConsole(), utf8);
}


void Out(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string text = Formatted(format, arguments);
  va_end(arguments);
  WriteOut(text);
}

void Err(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::string text = Formatted(format, arguments);
  va_end(arguments);
  WriteErr(text);
}

}  // namespace rylcli
