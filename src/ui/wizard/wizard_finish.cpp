#include "ui/wizard/wizard_finish.h"

#include <string>

#include "app/app.h"
#include "platform/text.h"
#include "resources/wizard_resources.h"
#include "ui/wizard/wizard_main.h"
#include "ui/wizard/wizard_scan_page.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace ui {

namespace {

std::u16string Number(int64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

CWizardMode_Finish::CWizardMode_Finish() : CWizardPage(IDD_WIZARD_FINISH, 152, u"Wizard.Finish") {}

void CWizardMode_Finish::OnSetActive() {
  ShowCounts();
  SetWizButtons(PSWIZB_BACK | PSWIZB_FINISH);
}

void CWizardMode_Finish::ShowCounts() {
  CVolume* drive = CWizardScanPage::CurrentDrive();
  const int64_t found =
      drive ? int64_t{drive->FileSystemFiles.load()} + int64_t{drive->ScanFiles.load()} : 0;
  SetItemText(IDC_FINISH_FILES_FOUND, Number(found));
  // The files written, not the entries of the last list: folders, failed and skipped files
  // and an aborted run's untouched rest are no recovered files.
  CRecoveryTally& tally = Sheet().Tally();
  tally.Observe();
  SetItemText(IDC_FINISH_FILES_RECOVERED, Number(tally.Recovered()));
  const int32_t incomplete = tally.Incomplete();
  SetItemText(
      IDC_FINISH_FILES_INCOMPLETE,
      incomplete ? platform::Format(u"%d more file(s) could be recovered only in part.", incomplete)
                 : std::u16string());
}

bool CWizardMode_Finish::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_FINISH_EXPLORE:
      if (g_pApp) g_pApp->ExploreDestination();
      return true;
    case IDC_FINISH_ANOTHER_DRIVE:
      // The next drive starts with fresh scan pages and its own count of recovered files.
      Sheet().ResetScanPages();
      if (g_pComputer) Sheet().Tally().Begin(g_pComputer->MainJob);
      Sheet().GoTo(IDD_WIZARD_STEP1);
      return true;
    case IDC_FINISH_FEEDBACK:
      if (g_pApp) g_pApp->OnCommand(CommandTestimonialsPage);
      return true;
    default:
      return false;
  }
}

}  // namespace ui
