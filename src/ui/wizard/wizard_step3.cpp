#include "ui/wizard/wizard_step3.h"

#include "app/app.h"
#include "resources/wizard_resources.h"

namespace ui {

namespace {

constexpr int32_t kScanEntireDrive = 0;
constexpr int32_t kScanFreeSpaceOnly = 1;

}  // namespace

CWizardMode_Step3::CWizardMode_Step3() : CWizardPage(IDD_WIZARD_STEP3, 146, u"Wizard.Step3") {}

void CWizardMode_Step3::OnSetActive() {
  const bool freeOnly = g_pApp && g_pApp->Settings.ScanMode == kScanFreeSpaceOnly;
  ::CheckRadioButton(Handle(), IDC_SCAN_ENTIRE_DRIVE, IDC_SCAN_FREE_SPACE,
                     freeOnly ? IDC_SCAN_FREE_SPACE : IDC_SCAN_ENTIRE_DRIVE);
  EnableBackNext(true, true);
}

bool CWizardMode_Step3::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED || (id != IDC_SCAN_ENTIRE_DRIVE && id != IDC_SCAN_FREE_SPACE))
    return false;
  // The clicked button decides, whatever order the buttons update their marks in.
  const bool freeOnly = id == IDC_SCAN_FREE_SPACE;
  ::CheckRadioButton(Handle(), IDC_SCAN_ENTIRE_DRIVE, IDC_SCAN_FREE_SPACE, id);
  if (g_pApp) g_pApp->Settings.ScanMode = freeOnly ? kScanFreeSpaceOnly : kScanEntireDrive;
  return true;
}

}  // namespace ui
