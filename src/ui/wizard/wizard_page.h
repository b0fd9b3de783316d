// The base of every page of the wizard window: a Wizard97 page made from a dialog template,
// with its header title, its language section, and the hooks the sheet calls. A page object
// lives as long as the sheet that holds it; its window exists from its first showing on.
#pragma once

#include <windows.h>

#include <prsht.h>

#include <string>
#include <string_view>

namespace ui {

class CWizardMode_Main;

// Applies a language section to the controls of a window. The interface-language module sets
// it; until then the pages keep the English texts of their templates.
using LanguageSectionHook = void (*)(HWND window, std::u16string_view section);
void SetLanguageSectionHook(LanguageSectionHook hook);
LanguageSectionHook GetLanguageSectionHook();

// What OnWizardNext and OnWizardBack answer: the default neighbour, stay, or a jump to the
// page of a dialog template.
struct PageTurn {
  static PageTurn Default() { return {0}; }
  static PageTurn Stay() { return {-1}; }
  static PageTurn To(int templateId) { return {templateId}; }
  int Result;  // the PSN_WIZNEXT / PSN_WIZBACK result
};

class CWizardPage {
 public:
  CWizardPage(int templateId, int headerTitleId, std::u16string languageSection);
  virtual ~CWizardPage() = default;
  CWizardPage(const CWizardPage&) = delete;
  CWizardPage& operator=(const CWizardPage&) = delete;

  HWND Handle() const { return page_; }
  int TemplateId() const { return templateId_; }
  int HeaderTitleId() const { return headerTitleId_; }
  const std::u16string& LanguageSection() const { return languageSection_; }
  const std::u16string& HeaderTitle() const { return headerTitle_; }

  // Called by the sheet as it is built; null when the page could not be made.
  HPROPSHEETPAGE CreatePage(CWizardMode_Main& sheet);
  CWizardMode_Main& Sheet() const { return *sheet_; }

  // Messages of the engine that the sheet passes on: the end of a pass (32875, 32876), a found
  // object (33268) and a found volume (33270) to every page, the start of a recovery (33073)
  // and a device change (33274) to the current page.
  // True when the page handled it.
  virtual bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) { return false; }
  // The scan pages forget the last scan (both at once, before the drive's store is cleared);
  // the result pages forget the objects they show.
  virtual void OnReset() {}

 protected:
  // WM_INITDIALOG, after the language section was applied and the sheet was told (33087).
  virtual void OnInit() {}
  // The page is shown; the default enables Back and Next.
  virtual void OnSetActive();
  virtual void OnKillActive() {}
  virtual PageTurn OnWizardNext() { return PageTurn::Default(); }
  virtual PageTurn OnWizardBack() { return PageTurn::Default(); }
  // False keeps the wizard open.
  virtual bool OnWizardFinish() { return true; }
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  virtual bool OnNotify(const NMHDR& header, LRESULT& result) { return false; }
  virtual void OnTimer(UINT_PTR id) {}
  virtual void OnSize(int width, int height) {}
  virtual void OnDestroy() {}
  // Every other message; true when handled, with the dialog procedure's result.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    return false;
  }

  // The wizard buttons: PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH, or 0 for none.
  void SetWizButtons(DWORD buttons) const;
  void EnableBackNext(bool back, bool next) const;
  bool IsActive() const;

  HWND Item(int id) const { return ::GetDlgItem(page_, id); }
  void SetItemText(int id, std::u16string_view text) const;
  std::u16string ItemText(int id) const;
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked) const;
  void EnableItem(int id, bool enable) const;
  // A Yes/No question owned by the sheet; true for Yes.
  bool AskYesNo(uint32_t textId, uint32_t captionId) const;

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool DispatchSheetNotify(const NMHDR& header);
  void SetResult(LONG_PTR result) const;

  int templateId_;
  int headerTitleId_;
  std::u16string languageSection_;
  std::u16string headerTitle_;
  CWizardMode_Main* sheet_ = nullptr;
  HWND page_ = nullptr;
};

}  // namespace ui
