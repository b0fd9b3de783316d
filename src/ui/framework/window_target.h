// The engine's message target for a window: PostMessageW and SendMessageW to its HWND.
// Targets live until the process ends, so that a worker thread that read the application's
// log window just before the window went away still posts to a valid object (the post to the
// gone window then simply fails).
#pragma once

#include <windows.h>

#include "app/message_target.h"

namespace ui {

class CWindowTarget : public IMessageTarget {
 public:
  explicit CWindowTarget(HWND window) : window_(window) {}
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  HWND Handle() const { return window_; }

 private:
  HWND window_;
};

// The target of a window, made once per window handle.
IMessageTarget* TargetForWindow(HWND window);
// The window behind a target of TargetForWindow; null for any other target.
HWND WindowOfTarget(IMessageTarget* target);

}  // namespace ui
