// Ctrl-C for the command-line program: noticed, not obeyed at once, so that long work can end
// after its current piece.
#pragma once

namespace platform {

// From now on, Ctrl-C (SIGINT on POSIX, the console's Ctrl-C and Ctrl-Break on Windows) only
// sets a flag; a second Ctrl-C ends the program as usual.
void CatchInterrupt();
// Back to the usual behaviour; the flag is cleared.
void ReleaseInterrupt();
bool InterruptRequested();

}  // namespace platform
