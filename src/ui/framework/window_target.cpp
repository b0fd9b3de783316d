#include "ui/framework/window_target.h"

#include <deque>
#include <mutex>

namespace ui {

namespace {

std::mutex g_targetsLock;
// A deque keeps the addresses of its elements; a few windows per run are made.
std::deque<CWindowTarget> g_targets;

}  // namespace

void CWindowTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  ::PostMessageW(window_, message, wParam, lParam);
}

intptr_t CWindowTarget::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::SendMessageW(window_, message, wParam, lParam);
}

IMessageTarget* TargetForWindow(HWND window) {
  if (!window) return nullptr;
  std::lock_guard<std::mutex> lock(g_targetsLock);
  for (CWindowTarget& target : g_targets)
    if (target.Handle() == window) return &target;
  return &g_targets.emplace_back(window);
}

HWND WindowOfTarget(IMessageTarget* target) {
  auto* windowTarget = dynamic_cast<CWindowTarget*>(target);
  return windowTarget ? windowTarget->Handle() : nullptr;
}

}  // namespace ui
