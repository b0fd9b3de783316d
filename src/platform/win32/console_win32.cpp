#include "platform/console.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE StreamHandle(ConsoleStream stream) {
  return GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace

bool IsTerminal(ConsoleStream stream) {
  DWORD mode = 0;
  HANDLE handle = StreamHandle(stream);
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

int TerminalWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(StreamHandle(ConsoleStream::Output), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void UseUtf8Console() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace platform
