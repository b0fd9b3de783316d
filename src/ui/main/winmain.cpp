// The process entry of lumenard.exe: COM and the common controls, the application and computer
// objects, the settings, the administrator check, the command line, and the first window.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/app.h"
#include "app/command_line.h"
#include "app/log.h"
#include "app/strings.h"
#include "platform/system.h"
#include "platform/text.h"
#include "signatures/signature_file.h"
#include "ui/framework/message_loop.h"
#include "ui/framework/module.h"
#include "ui/signature_message_box.h"
#include "ui/win32_front_end.h"
#include "volumes/computer.h"

namespace {

// Language strings of the administrator message.
constexpr uint32_t kAdministratorText = 153;
constexpr uint32_t kAdministratorCaption = 154;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // A failure of COM is ignored: only the shell and the help use it.
  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_COOL_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  ui::CModule::Init(instance);
  // The application and computer objects, the loop and the front end live until the process
  // ends: worker threads may still reach them while it exits.
  auto* loop = new ui::CMessageLoop();
  ui::CModule::AddMessageLoop(loop);
  auto* frontEnd = new ui::CWin32FrontEnd(*loop);

  g_pApp = new CApp();
  g_pApp->SetFrontEnd(frontEnd);
  g_pApp->LoadSettings();
  g_pApp->SetRegistryKey(u"Software\\Corvane\\Lumenard\\2.0");
  CreateLocalComputer();
  g_pLog->ConfigureLogFile(g_pApp->Settings);

  if (!platform::IsUserAdmin()) {
    frontEnd->ShowError(LanguageString(kAdministratorText), LanguageString(kAdministratorCaption));
    return 0;
  }

  const StartupRequest request = ParseCommandLine(platform::U(::GetCommandLineW()));
  if (request.action == StartupRequest::Action::ImportSignatureFile) {
    ui::CSignatureMessageBox messages;
    return ImportSignatureFileFromCommandLine(request.signatureFile, messages);
  }

  g_pApp->Run(request.mode);

  ui::CModule::RemoveMessageLoop();
  ui::CModule::Term();
  ::CoUninitialize();
  return 0;
}
