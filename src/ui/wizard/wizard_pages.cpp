#include "ui/wizard/wizard_main.h"
#include "ui/wizard/wizard_result_page.h"
#include "ui/wizard/wizard_scan_page.h"
#include "ui/wizard/wizard_step0.h"
#include "ui/wizard/wizard_step1.h"

namespace ui {

WizardPageList CreateWizardPages() {
  WizardPageList pages;
  pages.push_back(std::make_unique<CWizardMode_Step0>());
  pages.push_back(std::make_unique<CWizardMode_Step1>());
  pages.push_back(std::make_unique<CWizardMode_Step5>());
  pages.push_back(std::make_unique<CWizardMode_Step6>());
  pages.push_back(std::make_unique<CWizardMode_Step7>());
  pages.push_back(std::make_unique<CWizardMode_Step8>());
  return pages;
}

}  // namespace ui
