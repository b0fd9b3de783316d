// The application object: the settings record, the main and log windows, the application mode,
// the mode switches with their nested message loops, and the exit. One per process, reached
// through g_pApp. The window system is reached through IAppFrontEnd only, so this file stays
// portable and the tests drive it with a fake front end.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/front_end.h"
#include "app/settings.h"
#include "volumes/analysis_status.h"

class IMessageTarget;

// Application modes: the command identifiers of the commands that switch to them, stored in
// the settings field AppMode as they are.
constexpr int32_t ModeSignatureWizard = 100;
constexpr int32_t ModeExplorer = 32839;  // explorer window, first arrangement
constexpr int32_t ModeWizard = 32840;
constexpr int32_t ModeExplorerSecond = 32841;  // explorer window, second arrangement
constexpr int32_t ModeExplorerThird = 32842;   // the same arrangement as 32841

enum class ModeKind { SignatureWizard, Wizard, Explorer };
// Any value that is neither wizard is an explorer mode (32839 in practice).
ModeKind KindOfMode(int32_t mode);
// 1 for the first explorer arrangement, 2 for the second; 0 for the wizards.
int ArrangementOfMode(int32_t mode);

// Commands that the main window and the wizard pass on to the application object.
constexpr uint32_t CommandHelpContents = 57670;
constexpr uint32_t CommandRecoveryGuide = 32817;
constexpr uint32_t CommandHelpSearch = 32818;
constexpr uint32_t CommandWebSite = 32789;
constexpr uint32_t CommandSupportPage = 32795;
constexpr uint32_t CommandTestimonialsPage = 32838;
constexpr uint32_t CommandAbout = 57664;

class CApp : public CIdleHandler {
 public:
  CApp();
  ~CApp() override;
  CApp(const CApp&) = delete;
  CApp& operator=(const CApp&) = delete;

  SettingsRecord Settings{};
  // Read by the windows, written by the analysis passes, the sector scan and the recovery.
  AnalysisStatus Status;

  // The window system; registers this object as the GUI thread's idle handler.
  void SetFrontEnd(IAppFrontEnd* frontEnd);
  IAppFrontEnd* FrontEnd() const { return frontEnd_; }

  // Loads the stored settings (or sets and stores the defaults) from the registry key.
  bool LoadSettings();

  // Shows the splash picture when the settings ask for it, loads the file-type database and
  // opens the window of the mode; returns when the outermost message loop has ended.
  int Run(int32_t mode);
  // -1 returns the stored mode and changes nothing; 0 re-opens the stored mode; any other
  // value switches to that mode. Returns -1 when the new window could not be created, and
  // otherwise -1 once the message loop it runs has received its quit message.
  int SwitchMode(int32_t mode);
  // Asks first when ConfirmExit is set; 1 when the application is quitting, 0 when the user
  // declined.
  int Exit();
  // The close of a window that a mode switch replaces: nothing quits, so nothing is asked; the
  // settings are saved and the switch's message loop ends. Always 1.
  int CloseForModeSwitch();
  // What a window's WM_CLOSE calls: CloseForModeSwitch for the close that a switch posts
  // (kModeSwitchCloseWParam, kModeSwitchCloseLParam), Exit for any other.
  int OnWindowClose(uintptr_t wParam, intptr_t lParam);
  // Saves the settings when they changed; 0.
  int OnIdle() override;

  // The current top-level window, which receives the engine's notifications; null before
  // the first window exists and after it is gone.
  IMessageTarget* MainWindow() const { return mainWindow_.load(); }
  IMessageTarget* LogWindow() const { return logWindow_.load(); }
  // A non-null window becomes the main window and is activated; returns the main window.
  IMessageTarget* SetMainWindow(IMessageTarget* window);
  // A non-null window becomes the log window; returns the log window.
  IMessageTarget* SetLogWindow(IMessageTarget* window);
  // Plain setters without activation (the command-line program and tests use them).
  void SetMainWindowTarget(IMessageTarget* target) { mainWindow_ = target; }
  void SetLogWindowTarget(IMessageTarget* target) { logWindow_ = target; }
  // A window is gone: it stops being the main or the log window.
  void ForgetWindow(IMessageTarget* window);

  // The help, web and About commands; false for a command that is not the application's.
  bool OnCommand(uint32_t command);
  // Opens DestinationFolder in the shell (the recovery result dialog and the wizard).
  bool ExploreDestination();

  // The help file "lumenard.chm" beside the running program.
  std::u16string GetHelpFilePath() const;
  // "Lumenard".
  std::u16string GetTitle() const { return u"Lumenard"; }

  // "Software\Corvane\Lumenard\2.0" under HKEY_CURRENT_USER.
  const std::u16string& GetRegistryKey() const { return registryKey_; }
  void SetRegistryKey(std::u16string key) { registryKey_ = std::move(key); }

 private:
  IAppFrontEnd* frontEnd_ = nullptr;
  // Read by worker threads that post to the windows while the GUI thread switches them.
  std::atomic<IMessageTarget*> mainWindow_{nullptr};
  std::atomic<IMessageTarget*> logWindow_{nullptr};
  std::u16string registryKey_ = u"Software\\Corvane\\Lumenard\\2.0";
  // The languages object and the OS version join this object with the interface-language work.
};

// The folder part of the program path (up to its last separator) joined with "lumenard.chm".
std::u16string HelpFilePathFor(std::u16string_view programPath);

extern CApp* g_pApp;
