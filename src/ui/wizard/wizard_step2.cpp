#include "ui/wizard/wizard_step2.h"

#include "resources/wizard_resources.h"
#include "signatures/file_types.h"
#include "volumes/computer.h"

namespace ui {

NameSearchChoice& WizardNameSearch() {
  static NameSearchChoice choice;
  return choice;
}

CWizardMode_Step2::CWizardMode_Step2() : CWizardPage(IDD_WIZARD_STEP2, 145, u"Wizard.Step2") {}

void CWizardMode_Step2::OnInit() {
  if (g_pComputer) {
    FileTypeDatabase& database = g_pComputer->FileTypes;
    if (!database.IsLoaded()) database.Load();
    tree_.Attach(Item(IDC_FILE_TYPE_TREE), database);
  }
  const NameSearchChoice& search = WizardNameSearch();
  ::SendDlgItemMessageW(Handle(), IDC_NAME_MASK, EM_LIMITTEXT, NameSearchChoice::kMaxMask, 0);
  SetChecked(IDC_SEARCH_BY_NAME, search.On);
  SetItemText(IDC_NAME_MASK, search.Mask);
  EnableItem(IDC_NAME_MASK, search.On);
}

void CWizardMode_Step2::OnSetActive() {
  // Another window (the settings' type page) may have changed the flags meanwhile.
  tree_.LoadTree();
  EnableBackNext(true, true);
}

void CWizardMode_Step2::OnKillActive() {
  tree_.ApplyTree();
  SaveNameSearch();
}

bool CWizardMode_Step2::OnCommand(int id, int code, HWND) {
  if (id == IDC_SEARCH_BY_NAME && code == BN_CLICKED) {
    EnableItem(IDC_NAME_MASK, IsChecked(IDC_SEARCH_BY_NAME));
    SaveNameSearch();
    return true;
  }
  if (id == IDC_NAME_MASK && code == EN_CHANGE) {
    SaveNameSearch();
    return true;
  }
  return false;
}

void CWizardMode_Step2::SaveNameSearch() const {
  NameSearchChoice& search = WizardNameSearch();
  search.On = IsChecked(IDC_SEARCH_BY_NAME);
  std::u16string mask = ItemText(IDC_NAME_MASK);
  if (mask.size() > NameSearchChoice::kMaxMask) mask.resize(NameSearchChoice::kMaxMask);
  // An empty mask matches every name.
  search.Mask = mask.empty() ? u"*" : mask;
}

}  // namespace ui
