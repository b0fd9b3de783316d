#include "ui/wizard/wizard_main.h"
#include "ui/wizard/wizard_step0.h"

namespace ui {

WizardPageList CreateWizardPages() {
  WizardPageList pages;
  pages.push_back(std::make_unique<CWizardMode_Step0>());
  return pages;
}

}  // namespace ui
