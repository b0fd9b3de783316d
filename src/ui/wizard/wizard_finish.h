// The Finish page, "Recovery completed": how many files the passes found on the drive and how
// many the recoveries wrote (whole, and in part apart), the way to the recovered files, back
// to Step 1 for another drive, and the feedback page. Finish ends the program.
#pragma once

#include "ui/wizard/wizard_page.h"

namespace ui {

class CWizardMode_Finish : public CWizardPage {
 public:
  CWizardMode_Finish();

 protected:
  void OnSetActive() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void ShowCounts();
};

}  // namespace ui
