#include "platform/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

bool IsTerminal(ConsoleStream stream) {
  return isatty(stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

int TerminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void UseUtf8Console() {}

}  // namespace platform
