// The terminal that the command-line program writes to.
#pragma once

namespace platform {

enum class ConsoleStream { Output, Error };

// True when the stream goes to an interactive terminal, not to a file or a pipe.
bool IsTerminal(ConsoleStream stream);

// Columns of the terminal behind standard output; 0 when unknown or not a terminal.
int TerminalWidth();

// Makes the terminal show the program's UTF-8 output as text (the console code page on
// Windows); POSIX terminals take UTF-8 as it is.
void UseUtf8Console();

}  // namespace platform
