#include "ui/dialogs/on_recovery_dlg.h"

#include <shlobj.h>

#include "app/app.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "recovery/recovery.h"
#include "resources/recovery_dialogs.h"
#include "ui/dialogs/recovery_dialog_common.h"
#include "ui/dialogs/recovery_dialogs.h"

namespace {

constexpr int kDestinationCharacters = 4096;

}  // namespace

COnRecoveryDlg::COnRecoveryDlg(CRecovery& job, CVolume& source, HWND startTarget)
    : CDialog(IDD_ON_RECOVERY), job_(job), source_(source), startTarget_(startTarget) {}

COnRecoveryDlg::~COnRecoveryDlg() {
  if (headingFont_) ::DeleteObject(headingFont_);
}

bool COnRecoveryDlg::OnInit() {
  ui::CenterOnOwner(Handle());
  MakeHeadingFont();
  ::SendDlgItemMessageW(Handle(), IDC_RECOVER_DESTINATION, EM_LIMITTEXT, kDestinationCharacters - 1,
                        0);
  LoadFromSettings();
  return true;
}

// The heading in the dialog's font, bold and half as large again.
void COnRecoveryDlg::MakeHeadingFont() {
  HFONT font = reinterpret_cast<HFONT>(Send(WM_GETFONT));
  LOGFONTW description{};
  if (!font || !::GetObjectW(font, sizeof(description), &description)) return;
  description.lfWeight = FW_BOLD;
  description.lfHeight = description.lfHeight * 3 / 2;
  headingFont_ = ::CreateFontIndirectW(&description);
  if (headingFont_)
    ::SendDlgItemMessageW(Handle(), IDC_RECOVER_HEADING, WM_SETFONT,
                          reinterpret_cast<WPARAM>(headingFont_), TRUE);
}

void COnRecoveryDlg::LoadFromSettings() {
  if (!g_pApp) return;
  const SettingsRecord& settings = g_pApp->Settings;
  ::CheckDlgButton(Handle(), IDC_RECOVER_KEEP_STRUCTURE,
                   settings.KeepFolderStructure ? BST_CHECKED : BST_UNCHECKED);
  CWindow(Item(IDC_RECOVER_DESTINATION))
      .SetText(ReadSettingsText(settings, kDestinationFolderField));
}

void COnRecoveryDlg::SaveToSettings() {
  if (!g_pApp) return;
  SettingsRecord& settings = g_pApp->Settings;
  settings.KeepFolderStructure =
      ::IsDlgButtonChecked(Handle(), IDC_RECOVER_KEEP_STRUCTURE) == BST_CHECKED ? 1 : 0;
  WriteSettingsText(settings, kDestinationFolderField,
                    CWindow(Item(IDC_RECOVER_DESTINATION)).GetText());
}

void COnRecoveryDlg::Browse() {
  const std::u16string current = CWindow(Item(IDC_RECOVER_DESTINATION)).GetText();
  std::optional<std::u16string> chosen = ui::ChooseFolder(
      ui::QuestionOwner(Handle()), u"Select destination folder", BIF_RETURNONLYFSDIRS, current);
  if (!chosen || !g_pApp) return;
  if (chosen->back() != u'\\') *chosen += u'\\';
  WriteSettingsText(g_pApp->Settings, kDestinationFolderField, *chosen);
  LoadFromSettings();
}

void COnRecoveryDlg::Accept() {
  SaveToSettings();
  const std::u16string destination = CWindow(Item(IDC_RECOVER_DESTINATION)).GetText();
  // The check shows its refusal through the job's prompter; a job without one borrows a
  // prompter of this dialog for it.
  std::unique_ptr<IRecoveryPrompter> borrowed;
  if (!job_.Prompter() && !job_.IsRunning()) {
    borrowed = ui::MakeWindowPrompter(Handle());
    job_.SetPrompter(borrowed.get());
  }
  const int accepted = CheckDestination(job_, source_, destination, false);
  if (borrowed) job_.SetPrompter(nullptr);
  if (!accepted) {
    ::SetFocus(Item(IDC_RECOVER_DESTINATION));
    return;
  }
  if (startTarget_) ::PostMessageW(startTarget_, UM_START_RECOVERY, 0, 0);
  End(IDOK);
}

bool COnRecoveryDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
      Accept();
      return true;
    case IDCANCEL:
      End(IDCANCEL);
      return true;
    case IDC_RECOVER_BROWSE:
      Browse();
      return true;
    case IDHELP:
      if (HWND parent = ::GetParent(Handle()))
        ::PostMessageW(parent, WM_COMMAND, CommandHelpContents, 0);
      return true;
    default:
      return false;
  }
}
