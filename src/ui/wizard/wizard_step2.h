// Step 2, "Select File Types": the tree of file types the sector pass searches, and the name
// search (a check box and a mask, hidden in the page's template for now).
#pragma once

#include <string>

#include "ui/wizard/search_file_type_tree_view.h"
#include "ui/wizard/wizard_page.h"

namespace ui {

// The name search of the page, kept for the search filter of the found objects. The mask
// holds at most 255 characters, what the filter's record keeps with its terminating zero.
struct NameSearchChoice {
  static constexpr size_t kMaxMask = 255;
  bool On = false;
  std::u16string Mask = u"*";
};
NameSearchChoice& WizardNameSearch();

class CWizardMode_Step2 : public CWizardPage {
 public:
  CWizardMode_Step2();
  const CSearchFileTypeTreeView& TreeView() const { return tree_; }

 protected:
  void OnInit() override;
  void OnSetActive() override;
  void OnKillActive() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void SaveNameSearch() const;

  CSearchFileTypeTreeView tree_;
};

}  // namespace ui
