#include "ui/wizard/wizard_finish.h"
#include "ui/wizard/wizard_main.h"
#include "ui/wizard/wizard_result_page.h"
#include "ui/wizard/wizard_scan_page.h"
#include "ui/wizard/wizard_step0.h"
#include "ui/wizard/wizard_step1.h"
#include "ui/wizard/wizard_step2.h"
#include "ui/wizard/wizard_step3.h"
#include "ui/wizard/wizard_step4.h"

namespace ui {

WizardPageList CreateWizardPages() {
  WizardPageList pages;
  pages.push_back(std::make_unique<CWizardMode_Step0>());
  pages.push_back(std::make_unique<CWizardMode_Step1>());
  pages.push_back(std::make_unique<CWizardMode_Step2>());
  pages.push_back(std::make_unique<CWizardMode_Step3>());
  pages.push_back(std::make_unique<CWizardMode_Step4>());
  pages.push_back(std::make_unique<CWizardMode_Step5>());
  pages.push_back(std::make_unique<CWizardMode_Step6>());
  pages.push_back(std::make_unique<CWizardMode_Step7>());
  pages.push_back(std::make_unique<CWizardMode_Step8>());
  pages.push_back(std::make_unique<CWizardMode_Finish>());
  return pages;
}

}  // namespace ui
