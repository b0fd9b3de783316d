#include "ui/wizard/wizard_step0.h"

#include <commctrl.h>

#include <vector>

#include "app/app.h"
#include "app/strings.h"
#include "platform/text.h"
#include "resources/wizard_resources.h"
#include "ui/about_dialog.h"

namespace ui {

std::u16string WelcomeVersionText(std::u16string_view fileVersion, std::u16string_view format) {
  std::vector<std::u16string> fields;
  for (size_t start = 0;;) {
    const size_t comma = fileVersion.find(u',', start);
    const size_t end = comma == std::u16string_view::npos ? fileVersion.size() : comma;
    fields.push_back(platform::Trim(fileVersion.substr(start, end - start)));
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  if (fields.size() < 3) return {};
  return platform::Format(format, fields[0], fields[1], fields.back());
}

CWizardMode_Step0::CWizardMode_Step0() : CWizardPage(IDD_WIZARD_STEP0, 142, u"Wizard.Step0") {}

void CWizardMode_Step0::OnInit() {
  SetItemText(IDC_WELCOME_VERSION, WelcomeVersionText(ProgramFileVersion(), LanguageString(216)));
}

void CWizardMode_Step0::OnSetActive() { SetWizButtons(PSWIZB_NEXT); }

bool CWizardMode_Step0::OnNotify(const NMHDR& header, LRESULT&) {
  if (header.code != NM_CLICK && header.code != NM_RETURN) return false;
  if (!g_pApp) return false;
  if (header.idFrom == IDC_WELCOME_SUPPORT_LINK) return g_pApp->OnCommand(CommandSupportPage);
  if (header.idFrom == IDC_WELCOME_HOME_LINK) return g_pApp->OnCommand(CommandWebSite);
  return false;
}

}  // namespace ui
