// The start-up picture: a borderless window with bitmap 266 in the middle of the screen, on a
// thread of its own so that it paints while the GUI thread loads. It closes by itself after a
// few seconds or when clicked.
#pragma once

#include <windows.h>

#include <atomic>

namespace ui {

class CSplashScreen {
 public:
  static constexpr UINT kShowMilliseconds = 2500;
  static constexpr const wchar_t* kClassName = L"LumenardSplash";

  // Loads the bitmap as a DIB section and starts the thread; false when either failed.
  bool Show(int bitmapId);
  // Asks the window to close now (from any thread).
  void Close();

 private:
  void ThreadMain();

  HBITMAP bitmap_ = nullptr;
  std::atomic<HWND> window_{nullptr};
};

}  // namespace ui
