// The program module: its instance handle and the message loop of the GUI thread.
#pragma once

#include <windows.h>

namespace ui {

class CMessageLoop;

class CModule {
 public:
  static void Init(HINSTANCE instance);
  static void Term();
  static HINSTANCE Instance();

  // The GUI thread's loop; null on other threads and before it is registered.
  static bool AddMessageLoop(CMessageLoop* loop);
  static void RemoveMessageLoop();
  static CMessageLoop* MessageLoop();
};

}  // namespace ui
