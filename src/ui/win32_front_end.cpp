#include "ui/win32_front_end.h"

#include <windows.h>

#include <commctrl.h>
#include <htmlhelp.h>

#include <string>

#include "app/app.h"
#include "platform/system.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "ui/about_dialog.h"
#include "ui/explorer/main_frame.h"
#include "ui/framework/library.h"
#include "ui/framework/window_target.h"
#include "ui/log_window.h"
#include "ui/wizard/wizard_main.h"

namespace ui {

namespace {

constexpr char16_t kQuickStartTopic[] = u"::/files/basics.quickstart.html";

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// HTML Help lives in hhctrl.ocx, which is loaded once and kept; null where it is missing.
HtmlHelpFunction HtmlHelpEntry() {
  static HtmlHelpFunction entry = [] {
    HMODULE module = ::LoadLibraryW(L"hhctrl.ocx");
    return LibraryFunction<HtmlHelpFunction>(module, "HtmlHelpW");
  }();
  return entry;
}

}  // namespace

ModeWindow CWin32FrontEnd::CreateModeWindow(int32_t mode) {
  if (KindOfMode(mode) == ModeKind::Explorer) {
    CMainFrame* frame = CMainFrame::Open(mode);
    if (!frame) return {};
    return {frame->Target(), frame->LogTarget()};
  }
  if (KindOfMode(mode) == ModeKind::Wizard) {
    CWizardMode_Main* wizard = CWizardMode_Main::Open();
    if (!wizard) return {};
    return {wizard->Target(), wizard->Target()};
  }
  // The New Signature Wizard shows the log window until its own window exists.
  CLogWindow* window = CLogWindow::Open(mode);
  if (!window) return {};
  return {window->Target(), window->Target()};
}

void CWin32FrontEnd::ShowModeWindow(IMessageTarget* target, std::u16string_view title) {
  CWindow window(WindowOfTarget(target));
  if (!window.Handle()) return;
  window.SetText(title);
  window.Show(SW_SHOWNORMAL);
  ::UpdateWindow(window.Handle());
}

void CWin32FrontEnd::ActivateWindow(IMessageTarget* target) {
  HWND window = WindowOfTarget(target);
  if (!window) return;
  ::SetForegroundWindow(window);
  ::SetActiveWindow(window);
}

void CWin32FrontEnd::PostQuit() { ::PostQuitMessage(0); }

bool CWin32FrontEnd::AskYesNo(std::u16string_view text, std::u16string_view caption) {
  const std::u16string message(text), title(caption);
  return ::MessageBoxW(::GetActiveWindow(), platform::W(message.c_str()),
                       platform::W(title.c_str()), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CWin32FrontEnd::ShowError(std::u16string_view text, std::u16string_view caption) {
  const std::u16string message(text), title(caption);
  ::MessageBoxW(nullptr, platform::W(message.c_str()), platform::W(title.c_str()), MB_ICONERROR);
}

bool CWin32FrontEnd::ShellOpen(std::u16string_view path, std::u16string_view verb) {
  return platform::ShellOpen(path, verb);
}

bool CWin32FrontEnd::ShowHelp(HelpRequest request, std::u16string_view helpFile) {
  if (HtmlHelpFunction htmlHelp = HtmlHelpEntry()) {
    HWND shown = nullptr;
    if (request == HelpRequest::QuickStart) {
      const std::u16string topic = std::u16string(helpFile) + kQuickStartTopic;
      shown = htmlHelp(::GetDesktopWindow(), platform::W(topic.c_str()), HH_DISPLAY_TOPIC, 0);
    } else {
      const std::u16string file(helpFile);
      HH_FTS_QUERY query{};
      // The structure's own size: it holds pointers, so it is larger on 64-bit Windows.
      query.cbStruct = sizeof(query);
      query.pszSearchQuery = L"";
      query.iProximity = -1;
      shown = htmlHelp(::GetDesktopWindow(), platform::W(file.c_str()), HH_DISPLAY_SEARCH,
                       reinterpret_cast<DWORD_PTR>(&query));
    }
    if (shown) return true;
  }
  // Without HTML Help (or when it refuses), the help file itself goes to the shell.
  return platform::ShellOpen(helpFile, u"open");
}

void CWin32FrontEnd::ShowAbout() {
  INITCOMMONCONTROLSEX links{sizeof(links), ICC_LINK_CLASS};
  ::InitCommonControlsEx(&links);
  CAboutDlg dialog;
  dialog.DoModal(::GetActiveWindow());
}

void CWin32FrontEnd::ShowSplash() { splash_.Show(IDB_SPLASH); }

}  // namespace ui
