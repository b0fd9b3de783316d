// What the application object needs from the window system. The Win32 front end (src/ui)
// implements it with real windows, message boxes and a message loop; tests implement it with
// a scripted fake, so that mode switches and the exit run the same code everywhere.
#pragma once

#include <cstdint>
#include <string_view>

class IMessageTarget;

// Called by the GUI thread's message loop whenever its queue has run empty.
class CIdleHandler {
 public:
  virtual ~CIdleHandler() = default;
  // Non-zero asks to be called again before the loop waits for the next message.
  virtual int OnIdle() = 0;
};

// The close that a mode switch posts to the old top-level window: WM_CLOSE with wParam
// 0xFFFFFFFF and lParam 1. The window handles it like any other close.
constexpr uint32_t kWindowCloseMessage = 0x0010;  // WM_CLOSE
constexpr uintptr_t kModeSwitchCloseWParam = 0xFFFFFFFF;
constexpr intptr_t kModeSwitchCloseLParam = 1;

// The top-level window of an application mode, as targets for the engine's messages.
// The targets stay valid for the whole run, also after their window is gone.
struct ModeWindow {
  IMessageTarget* Main = nullptr;  // null when the window could not be created
  IMessageTarget* Log = nullptr;   // the window that receives the log lines
};

enum class HelpRequest {
  QuickStart,  // the recovery guide topic
  Search,      // the help's full-text search
};

class IAppFrontEnd {
 public:
  virtual ~IAppFrontEnd() = default;

  // Registers the handler with the GUI thread's message loop.
  virtual void AddIdleHandler(CIdleHandler* handler) = 0;

  // Creates the top-level window of a mode, without owner and not yet visible.
  virtual ModeWindow CreateModeWindow(int32_t mode) = 0;
  // Sets the window's title and shows it normally.
  virtual void ShowModeWindow(IMessageTarget* window, std::u16string_view title) = 0;
  // Brings the window to the foreground and activates it.
  virtual void ActivateWindow(IMessageTarget* window) = 0;

  // Runs the GUI thread's message loop until it receives a quit message; may be called
  // while another loop is running (a mode switch runs one inside a command handler).
  virtual void RunMessageLoop() = 0;
  // Ends the innermost running message loop (PostQuitMessage).
  virtual void PostQuit() = 0;

  // A question owned by the active window; true only when the user answered Yes.
  virtual bool AskYesNo(std::u16string_view text, std::u16string_view caption) = 0;
  // An error message without owner.
  virtual void ShowError(std::u16string_view text, std::u16string_view caption) = 0;

  // The shell's handler for a document, a folder ("explore") or a web address.
  virtual bool ShellOpen(std::u16string_view path, std::u16string_view verb) = 0;
  // HTML Help on the help file; where it is not available, the file is opened with the shell.
  virtual bool ShowHelp(HelpRequest request, std::u16string_view helpFile) = 0;
  virtual void ShowAbout() = 0;
  // The start-up picture, on its own thread; closes by itself.
  virtual void ShowSplash() = 0;
};
