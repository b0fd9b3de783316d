// The application object's window system on Win32: mode windows, the GUI thread's message
// loop, message boxes, the shell, HTML Help, the About box and the splash picture.
#pragma once

#include "app/front_end.h"
#include "ui/framework/message_loop.h"
#include "ui/splash_screen.h"

namespace ui {

class CWin32FrontEnd : public IAppFrontEnd {
 public:
  explicit CWin32FrontEnd(CMessageLoop& loop) : loop_(loop) {}

  void AddIdleHandler(CIdleHandler* handler) override { loop_.AddIdleHandler(handler); }
  ModeWindow CreateModeWindow(int32_t mode) override;
  void ShowModeWindow(IMessageTarget* window, std::u16string_view title) override;
  void ActivateWindow(IMessageTarget* window) override;
  void RunMessageLoop() override { loop_.Run(); }
  void PostQuit() override;
  bool AskYesNo(std::u16string_view text, std::u16string_view caption) override;
  void ShowError(std::u16string_view text, std::u16string_view caption) override;
  bool ShellOpen(std::u16string_view path, std::u16string_view verb) override;
  bool ShowHelp(HelpRequest request, std::u16string_view helpFile) override;
  void ShowAbout() override;
  void ShowSplash() override;

 private:
  CMessageLoop& loop_;
  CSplashScreen splash_;
};

}  // namespace ui
