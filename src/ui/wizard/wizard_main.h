// The wizard window: a modeless Wizard97 property sheet without owner that leads through the
// ten pages, from the choice of a drive to the summary of what was recovered. It is the main
// and the log window of wizard mode; the scan pages take the log while they are shown. Left
// of the pages a bar lists the steps with the current one marked; below them are a link to
// the maker's web site and the "Menu..." button.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "app/message_target.h"
#include "recovery/recovery_tally.h"
#include "ui/framework/message_loop.h"
#include "ui/wizard/wizard_left_bar.h"
#include "ui/wizard/wizard_page.h"

namespace ui {

using WizardPageList = std::vector<std::unique_ptr<CWizardPage>>;

// The ten pages in their order (wizard_pages.cpp).
WizardPageList CreateWizardPages();

class CWizardMode_Main : public CMessageFilter {
 public:
  // The sheet over the pages of CreateWizardPages, hidden; null when it could not be made.
  // The object deletes itself when its window is gone.
  static CWizardMode_Main* Open();
  // The same over the given pages, in their order.
  static CWizardMode_Main* Open(WizardPageList pages);

  HWND Handle() const { return sheet_; }
  IMessageTarget* Target() const { return target_; }

  size_t PageCount() const { return pages_.size(); }
  CWizardPage* Page(size_t index) const;
  // The page of a dialog template; null when the sheet has none.
  CWizardPage* PageOf(int templateId) const;
  CWizardPage* CurrentPage() const;
  // The position of a page in the sheet; PageCount() for none.
  size_t IndexOf(const CWizardPage* page) const;

  // PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH or 0.
  void SetWizButtons(DWORD buttons) const;
  // Shows the page of a dialog template (the jumps of the pages).
  bool GoTo(int templateId) const;
  // Both scan pages and both result pages forget the last scan.
  void ResetScanPages();
  // What the recoveries of the drive in hand wrote (the Finish page shows it).
  CRecoveryTally& Tally() { return tally_; }

  // Called by the pages.
  void OnPageInitialised(CWizardPage& page);
  void OnPageActivated(CWizardPage& page);
  // A page's Cancel or Finish: the close of the window, asked through the application.
  void RequestClose();

  bool PreTranslateMessage(MSG& message) override;

 private:
  explicit CWizardMode_Main(WizardPageList pages) : pages_(std::move(pages)) {}
  ~CWizardMode_Main() override;

  bool Create();
  static LRESULT CALLBACK SheetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
  void AddOwnControls();
  void Layout();
  void CentreOnce();
  bool IsPage(HWND window) const;
  bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnSheetCommand(int id);
  void ShowMenu();
  void OnClose(WPARAM wParam, LPARAM lParam);
  void SavePlacement() const;
  void RestorePlacement() const;
  void OnGone();

  WizardPageList pages_;
  CRecoveryTally tally_;
  HWND sheet_ = nullptr;
  IMessageTarget* target_ = nullptr;
  CWizardMode_LeftBar leftBar_;
  HWND menuButton_ = nullptr;
  HWND link_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP headerBitmap_ = nullptr;
  // Where every page goes once the bar is beside the pages (sheet client coordinates).
  RECT pagePlace_{};
  bool centred_ = false;
  bool laidOut_ = false;
  bool closing_ = false;
};

}  // namespace ui
