// Step 3, "Choose sector-by-sector scanning mode": the whole drive, or only the clusters the
// file system does not use (the sector pass reads the setting ScanMode: 0 entire, 1 free).
#pragma once

#include "ui/wizard/wizard_page.h"

namespace ui {

class CWizardMode_Step3 : public CWizardPage {
 public:
  CWizardMode_Step3();

 protected:
  void OnSetActive() override;
  bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace ui
