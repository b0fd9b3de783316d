#include <signal.h>

#include <atomic>

#include "platform/interrupt.h"

namespace platform {

namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
  g_interrupted = 1;
  // A second Ctrl-C ends the program.
  ::signal(SIGINT, SIG_DFL);
}

}  // namespace

void CatchInterrupt() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
}

void ReleaseInterrupt() {
  ::signal(SIGINT, SIG_DFL);
  g_interrupted = 0;
}

bool InterruptRequested() { return g_interrupted != 0; }

}  // namespace platform
