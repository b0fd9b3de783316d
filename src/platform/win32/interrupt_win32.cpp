#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace platform {

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // A second Ctrl-C ends the program.
  if (g_interrupted.exchange(true)) return FALSE;
  return TRUE;
}

}  // namespace

void CatchInterrupt() {
  g_interrupted = false;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void ReleaseInterrupt() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  g_interrupted = false;
}

bool InterruptRequested() { return g_interrupted; }

}  // namespace platform
