#include "ui/dialogs/try_open_dlg.h"

#include "app/app.h"
#include "resources/recovery_dialogs.h"
#include "ui/dialogs/recovery_dialog_common.h"

CDlgTryOpen::CDlgTryOpen() : CDialog(IDD_TRY_OPEN) {}

bool CDlgTryOpen::OnInit() {
  ui::CenterOnOwner(Handle());
  const bool hidden = g_pApp && g_pApp->Settings.HideTryOpenWarning != 0;
  ::CheckDlgButton(Handle(), IDC_TRY_OPEN_HIDE, hidden ? BST_CHECKED : BST_UNCHECKED);
  return true;
}

void CDlgTryOpen::SaveCheckBox() {
  if (g_pApp)
    g_pApp->Settings.HideTryOpenWarning =
        ::IsDlgButtonChecked(Handle(), IDC_TRY_OPEN_HIDE) == BST_CHECKED ? 1 : 0;
}

bool CDlgTryOpen::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      SaveCheckBox();
      End(id);
      return true;
    case IDHELP:
    case CommandHelpContents:
      if (HWND parent = ::GetParent(Handle()))
        ::PostMessageW(parent, WM_COMMAND, CommandHelpContents, 0);
      return true;
    default:
      return false;
  }
}
