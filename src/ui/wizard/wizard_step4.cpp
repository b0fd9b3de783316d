#include "ui/wizard/wizard_step4.h"

#include <shlobj.h>

#include <algorithm>
#include <iterator>

#include "app/app.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "resources/wizard_resources.h"
#include "ui/wizard/wizard_scan_page.h"
#include "volumes/computer.h"

namespace ui {

namespace {

// The settings field holds 4096 characters with its terminating zero.
constexpr size_t kMaxDestination = std::size(SettingsRecord{}.DestinationFolder) - 1;

std::u16string StoredDestination() {
  if (!g_pApp) return {};
  const char16_t* folder = g_pApp->Settings.DestinationFolder;
  const char16_t* end = std::find(folder, folder + kMaxDestination, u'\0');
  return std::u16string(folder, end);
}

void StoreDestination(std::u16string_view folder) {
  if (!g_pApp) return;
  char16_t* field = g_pApp->Settings.DestinationFolder;
  const size_t length = std::min(folder.size(), kMaxDestination);
  std::fill(field, field + kMaxDestination + 1, u'\0');
  std::copy_n(folder.begin(), length, field);
}

}  // namespace

std::u16string DestinationWithSeparator(std::u16string folder) {
  if (folder.empty() || folder.back() != u'\\') folder += u'\\';
  return folder;
}

CWizardMode_Step4::CWizardMode_Step4() : CWizardPage(IDD_WIZARD_STEP4, 147, u"Wizard.Step4") {}

void CWizardMode_Step4::OnInit() {
  ::SendDlgItemMessageW(Handle(), IDC_DESTINATION_FOLDER, EM_LIMITTEXT, kMaxDestination, 0);
}

void CWizardMode_Step4::OnSetActive() {
  LoadControls();
  EnableBackNext(true, true);
}

void CWizardMode_Step4::LoadControls() {
  if (!g_pApp) return;
  SetChecked(IDC_AUTOPILOT, g_pApp->Settings.AutoPilot != 0);
  SetChecked(IDC_KEEP_FOLDER_STRUCTURE, g_pApp->Settings.KeepFolderStructure != 0);
  SetItemText(IDC_DESTINATION_FOLDER, StoredDestination());
}

void CWizardMode_Step4::SaveControls() const {
  if (!g_pApp) return;
  g_pApp->Settings.AutoPilot = IsChecked(IDC_AUTOPILOT) ? 1 : 0;
  g_pApp->Settings.KeepFolderStructure = IsChecked(IDC_KEEP_FOLDER_STRUCTURE) ? 1 : 0;
  StoreDestination(ItemText(IDC_DESTINATION_FOLDER));
}

PageTurn CWizardMode_Step4::OnWizardNext() {
  SaveControls();
  CVolume* drive = CWizardScanPage::CurrentDrive();
  if (!drive) return PageTurn::Stay();
  // The destination must be usable and must not lie on the drive being read.
  const int usable = CheckDestination(g_pComputer->MainJob, *drive, StoredDestination(), false);
  return usable ? PageTurn::Default() : PageTurn::Stay();
}

bool CWizardMode_Step4::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED && code != EN_CHANGE) return false;
  switch (id) {
    case IDC_DESTINATION_BROWSE:
      if (code == BN_CLICKED) Browse();
      return true;
    case IDC_AUTOPILOT:
    case IDC_KEEP_FOLDER_STRUCTURE:
    case IDC_DESTINATION_FOLDER:
      SaveControls();
      return true;
    default:
      return false;
  }
}

void CWizardMode_Step4::Browse() {
  BROWSEINFOW browse{};
  browse.hwndOwner = Handle();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  const bool named = ::SHGetPathFromIDListW(chosen, path) != FALSE;
  ::CoTaskMemFree(chosen);
  if (!named || !path[0]) return;
  const std::u16string folder = DestinationWithSeparator(reinterpret_cast<const char16_t*>(path));
  StoreDestination(folder);
  SetItemText(IDC_DESTINATION_FOLDER, folder);
}

}  // namespace ui
