#include "app/app.h"

#include <cstring>

#include "app/log.h"
#include "app/message_target.h"
#include "app/settings_store.h"
#include "app/strings.h"
#include "platform/file.h"
#include "signatures/file_types.h"

CApp* g_pApp = nullptr;

namespace {

constexpr char16_t kHelpFileName[] = u"lumenard.chm";
constexpr char16_t kWebSite[] = u"https://www.corvane.com/lumenard/";
constexpr char16_t kSupportPage[] = u"https://www.corvane.com/lumenard/support/";
constexpr char16_t kTestimonialsPage[] = u"https://www.corvane.com/lumenard/testimonials/";

// Language strings of the exit question.
constexpr uint32_t kConfirmationCaption = 157;
constexpr uint32_t kConfirmExitText = 158;

constexpr uint32_t kWindowPlacementLength = 44;

void LogOpenFailure(std::u16string_view path) {
  if (g_pLog) g_pLog->LogError(u"Can't open \"%s\"", path);
}

}  // namespace

ModeKind KindOfMode(int32_t mode) {
  if (mode == ModeSignatureWizard) return ModeKind::SignatureWizard;
  if (mode == ModeWizard) return ModeKind::Wizard;
  return ModeKind::Explorer;
}

int ArrangementOfMode(int32_t mode) {
  if (KindOfMode(mode) != ModeKind::Explorer) return 0;
  return mode == ModeExplorerSecond || mode == ModeExplorerThird ? 2 : 1;
}

std::u16string HelpFilePathFor(std::u16string_view programPath) {
  const size_t separator = programPath.find_last_of(u"\\/");
  std::u16string path(separator == std::u16string_view::npos
                          ? std::u16string_view()
                          : programPath.substr(0, separator + 1));
  return path + kHelpFileName;
}

CApp::CApp() {
  // The record starts zero-filled, with only the length of the wizard's window placement.
  std::memcpy(Settings.WizardPlacement, &kWindowPlacementLength, sizeof(kWindowPlacementLength));
}

CApp::~CApp() = default;

void CApp::SetFrontEnd(IAppFrontEnd* frontEnd) {
  frontEnd_ = frontEnd;
  if (frontEnd_) frontEnd_->AddIdleHandler(this);
}

bool CApp::LoadSettings() { return ::LoadSettings(Settings, registryKey_); }

int CApp::Run(int32_t mode) {
  if (Settings.ShowSplash && frontEnd_) frontEnd_->ShowSplash();
  if (g_pFileTypes) g_pFileTypes->Load(registryKey_);
  return SwitchMode(mode);
}

int CApp::SwitchMode(int32_t mode) {
  if (mode == -1) return Settings.AppMode;
  if (mode == 0) mode = Settings.AppMode;
  if (!frontEnd_) return -1;

  // The old window closes inside the loop below, through its ordinary close handling.
  if (IMessageTarget* old = MainWindow())
    old->Post(kWindowCloseMessage, kModeSwitchCloseWParam, kModeSwitchCloseLParam);

  Settings.AppMode = mode;
  const ModeWindow window = frontEnd_->CreateModeWindow(mode);
  if (!window.Main) return -1;

  SetLogWindow(window.Log ? window.Log : window.Main);
  SetMainWindow(window.Main);
  frontEnd_->ShowModeWindow(window.Main, GetTitle());

  // Ends with the quit that the old window's exit posts; the loop that ran before this
  // switch then serves the new window. The first switch's loop ends the application.
  frontEnd_->RunMessageLoop();
  return -1;
}

int CApp::Exit() {
  if (Settings.ConfirmExit) {
    const bool yes = frontEnd_ && frontEnd_->AskYesNo(LanguageString(kConfirmExitText),
                                                      LanguageString(kConfirmationCaption));
    if (!yes) return 0;
  }
  SaveIfChanged(Settings, registryKey_);
  if (frontEnd_) frontEnd_->PostQuit();
  return 1;
}

int CApp::CloseForModeSwitch() {
  SaveIfChanged(Settings, registryKey_);
  if (frontEnd_) frontEnd_->PostQuit();
  return 1;
}

int CApp::OnWindowClose(uintptr_t wParam, intptr_t lParam) {
  if (wParam == kModeSwitchCloseWParam && lParam == kModeSwitchCloseLParam)
    return CloseForModeSwitch();
  return Exit();
}

int CApp::OnIdle() {
  SaveIfChanged(Settings, registryKey_);
  return 0;
}

IMessageTarget* CApp::SetMainWindow(IMessageTarget* window) {
  if (window) {
    mainWindow_ = window;
    if (frontEnd_) frontEnd_->ActivateWindow(window);
  }
  return MainWindow();
}

IMessageTarget* CApp::SetLogWindow(IMessageTarget* window) {
  if (window) logWindow_ = window;
  return LogWindow();
}

void CApp::ForgetWindow(IMessageTarget* window) {
  if (!window) return;
  IMessageTarget* expected = window;
  mainWindow_.compare_exchange_strong(expected, nullptr);
  expected = window;
  logWindow_.compare_exchange_strong(expected, nullptr);
}

bool CApp::OnCommand(uint32_t command) {
  if (!frontEnd_) return false;
  auto open = [this](std::u16string_view path) {
    if (!frontEnd_->ShellOpen(path, u"open")) LogOpenFailure(path);
  };
  switch (command) {
    case CommandHelpContents:
      open(GetHelpFilePath());
      return true;
    case CommandRecoveryGuide:
    case CommandHelpSearch: {
      const HelpRequest request =
          command == CommandRecoveryGuide ? HelpRequest::QuickStart : HelpRequest::Search;
      const std::u16string path = GetHelpFilePath();
      if (!frontEnd_->ShowHelp(request, path)) LogOpenFailure(path);
      return true;
    }
    case CommandWebSite:
      open(kWebSite);
      return true;
    case CommandSupportPage:
      open(kSupportPage);
      return true;
    case CommandTestimonialsPage:
      open(kTestimonialsPage);
      return true;
    case CommandAbout:
      frontEnd_->ShowAbout();
      return true;
    default:
      return false;
  }
}

bool CApp::ExploreDestination() {
  const std::u16string folder = ReadSettingsText(Settings, kDestinationFolderField);
  if (!frontEnd_) return false;
  if (frontEnd_->ShellOpen(folder, u"explore")) return true;
  LogOpenFailure(folder);
  return false;
}

std::u16string CApp::GetHelpFilePath() const { return HelpFilePathFor(platform::ProgramPath()); }
