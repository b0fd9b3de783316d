// Step 4, "Let the computer do all the work for you!": AutoPilot (scan and recover every
// deleted and lost file without questions), the destination folder with Browse, and whether
// the folder structure is kept. Next stores them and checks the destination.
#pragma once

#include <string>

#include "ui/wizard/wizard_page.h"

namespace ui {

class CWizardMode_Step4 : public CWizardPage {
 public:
  CWizardMode_Step4();

 protected:
  void OnInit() override;
  void OnSetActive() override;
  PageTurn OnWizardNext() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void LoadControls();
  void SaveControls() const;
  void Browse();
};

// A folder for DestinationFolder: with a backslash at its end.
std::u16string DestinationWithSeparator(std::u16string folder);

}  // namespace ui
