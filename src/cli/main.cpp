// lumenard-cli: the command-line front end over the recovery engine. The commands live in
// their own files and register themselves (command.h); this file only hands them the words.
#include <iostream>

#include "cli/command.h"
#include "platform/console.h"
#include "platform/text.h"

#ifdef _WIN32
// The command line arrives as UTF-16 and goes on as UTF-8, whatever the ANSI code page.
int wmain(int argc, wchar_t** argv) {
  platform::UseUtf8Console();
  CliArgs words;
  for (int i = 1; i < argc; ++i) words.push_back(platform::Utf16ToUtf8(platform::U(argv[i])));
  int code = RunCommandLine(words, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
#else
int main(int argc, char** argv) {
  CliArgs words(argv + 1, argv + argc);
  int code = RunCommandLine(words, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
#endif
