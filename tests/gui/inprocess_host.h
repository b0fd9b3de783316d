// What the window tests that host the program's windows in their own process share: pumping
// the interface thread's messages, waiting for a condition, finding the dialogs a thread
// opened and pressing their buttons, reading tree items and list rows, and screenshots.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <functional>
#include <string>
#include <vector>

#include "screenshot.h"
#include "ui/framework/module.h"

namespace inprocess_testing {

constexpr DWORD kWaitTimeoutMs = 30000;

// The calling thread as the program's start leaves its interface thread: the window framework
// knows the module its classes and resources are in, the common controls are registered and
// the thread is in a single-threaded COM apartment (the shell's file dialogs need it).
inline void PrepareInterfaceThread() {
  ui::CModule::Init(GetModuleHandleW(nullptr));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

// Dispatches what reaches the calling thread's queue for the milliseconds (at least once), so
// that the hosted windows paint and handle what was posted to them.
inline void Pump(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  MSG message;
  while (true) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (GetTickCount64() >= end) return;
    Sleep(10);
  }
}

// Polls the condition until it holds; false after the time-out. Called from the thread that
// plays the user, it does not pump the interface thread's messages.
inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kWaitTimeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
  return true;
}

// WM_GETTEXT with a time-out: it works across threads as well, and a busy window does not
// hang the test.
inline std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                      nullptr);
  return buffer;
}

inline bool IsDialog(HWND window) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return lstrcmpW(className, L"#32770") == 0;
}

// The first visible top-level window of the thread that matches; null when none.
inline HWND FindThreadWindow(DWORD thread, const std::function<bool(HWND)>& matches) {
  struct Search {
    const std::function<bool(HWND)>* matches;
    HWND found;
  } search{&matches, nullptr};
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        if (!IsWindowVisible(window) || !(*search->matches)(window)) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A button's click as it reaches the dialog.
inline void Press(HWND dialog, int button) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

inline std::wstring ListItemText(HWND list, int row, int column) {
  wchar_t text[1024] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

inline std::wstring TreeItemText(HWND tree, HTREEITEM item) {
  wchar_t text[1024] = {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = 1024;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

// The window as the screen shows it after settleMs, as name.bmp in $LUMENARD_ARTIFACTS;
// nothing when that is not set.
inline void Screenshot(HWND window, const wchar_t* name, DWORD settleMs = 0) {
  const std::wstring folder = gui_testing::ArtifactsFolder();
  if (folder.empty() || !window) return;
  Sleep(settleMs);
  RECT rect;
  GetWindowRect(window, &rect);
  HDC screen = GetDC(nullptr);
  gui_testing::Capture capture;
  if (!gui_testing::CaptureArea(screen, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, capture))
    gui_testing::WriteBmp(folder + L"\\" + name + L".bmp", capture);
  ReleaseDC(nullptr, screen);
}

// The failures the user's thread collected, as failures of the running test.
inline void ExpectNoFailures(const std::vector<std::string>& failures) {
  for (const std::string& failure : failures) ADD_FAILURE() << failure;
}

}  // namespace inprocess_testing
