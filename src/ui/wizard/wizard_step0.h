// The Welcome page: what the wizard does, the program's version and links to the maker's
// support and home pages. Only Next.
#pragma once

#include <string>
#include <string_view>

#include "ui/wizard/wizard_page.h"

namespace ui {

class CWizardMode_Step0 : public CWizardPage {
 public:
  CWizardMode_Step0();

 protected:
  void OnInit() override;
  void OnSetActive() override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
};

// The version line from a "FileVersion" text ("2, 0, 0, 1") and the format of language string
// 216 ("%s.%s Build %s"): the first two fields and the last; empty with fewer than three.
std::u16string WelcomeVersionText(std::u16string_view fileVersion, std::u16string_view format);

}  // namespace ui
