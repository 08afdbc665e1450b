// Everything rylcli says goes through here, as UTF-8 text. A console gets it
// as UTF-16 through WriteConsoleW, so that names in any script show as they
// are whatever the console's code page; a pipe or a file gets the UTF-8
// bytes, which is what the program at the other end can decode without
// guessing a code page.
#pragma once

#include <string>
#include <string_view>

namespace rylcli {

// printf-style, the arguments' strings UTF-8 (never %ls: the C runtime
// would convert those through the locale and stop at the first character
// outside it).
void Out(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Err(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text may arrive in pieces that split a character: on a console the
// incomplete tail waits for the next piece.
void WriteOut(std::string_view utf8);
void WriteErr(std::string_view utf8);

// Whether standard output / standard error is a console.
bool StdoutIsConsole();
bool StderrIsConsole();

}  // namespace rylcli
