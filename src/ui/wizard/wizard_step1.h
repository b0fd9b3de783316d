// Step 1, "Select drive": the explorer's drive tree with the selected drive's facts beside
// it. Next is offered only while a ready drive is selected; Next, a double click or the drive
// menu's "Select" make it the drive the wizard analyses.
#pragma once

#include <memory>

#include "ui/framework/container_window.h"
#include "ui/wizard/wizard_page.h"

class CVolume;
class CVolumeExploreView;

namespace ui {

class CWizardMode_Step1 : public CWizardPage {
 public:
  CWizardMode_Step1();
  ~CWizardMode_Step1() override;

  bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  CVolumeExploreView* View() const { return view_.get(); }

 protected:
  void OnInit() override;
  void OnSetActive() override;
  void OnKillActive() override;
  void OnTimer(UINT_PTR id) override;
  PageTurn OnWizardNext() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void CreateView();
  void Layout();
  // The selected drive when it reports itself ready; null otherwise.
  CVolume* ReadyDrive() const;
  void UpdateButtons();
  // Makes the drive the one the wizard analyses; false when none is ready.
  bool SelectDrive();
  void ShowDriveMenu(LPARAM screenPoint);

  CContainerWindow holder_;
  CContainerWindow rightHost_;
  std::unique_ptr<CVolumeExploreView> view_;
  bool nextOffered_ = false;
};

}  // namespace ui
