// The wizard's two result pages: Step 6 shows what the file-system pass found, Step 8 what the
// sector pass added, in the explorer's own view (the found folders and the file list) over the
// page's placeholder. Recover opens the Recover dialog for the selection and runs it with its
// progress dialog; Try to Open and Information act on the selection as in the explorer
// window. Leaving the page asks first when its pass found files and no recovery that wrote
// files ran here. With AutoPilot set, Step 6 goes straight on and Step 8 recovers every
// deleted and lost file of the drive into the destination folder, then goes on to the end.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/framework/container_window.h"
#include "ui/wizard/wizard_page.h"

class CVolume;
class CVolumeExploreView;
class CAutoPilotRun;
class IRecoveryPrompter;

namespace ui {

class CWizardResultPage : public CWizardPage {
 public:
  enum class Pass { FileSystem, Sectors };

  ~CWizardResultPage() override;

  // UM_START_RECOVERY: the Recover dialog accepted its destination.
  bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The drive's store is about to be cleared: the view lets go of its objects.
  void OnReset() override;

  // A recovery that wrote files ran from this page since it was made.
  bool SomethingRecovered() const { return somethingRecovered_; }

 protected:
  CWizardResultPage(Pass pass, int templateId, int headerTitleId, std::u16string section);

  void OnInit() override;
  void OnSetActive() override;
  PageTurn OnWizardNext() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void CreateView();
  void Layout();
  void Recover();
  void RunRecovery();
  void TryOpen();
  void ShowInformation();
  void StartAutoPilot();
  void PollAutoPilot();
  bool ConfirmLeave();

  const Pass pass_;
  CContainerWindow rightHost_;
  std::unique_ptr<CVolumeExploreView> view_;
  std::unique_ptr<IRecoveryPrompter> prompter_;
  std::unique_ptr<CAutoPilotRun> autoPilot_;
  bool somethingRecovered_ = false;
};

// Step 6 "View and recover after file system scan".
class CWizardMode_Step6 : public CWizardResultPage {
 public:
  CWizardMode_Step6();
};

// Step 8 "View and recover after sectors scan".
class CWizardMode_Step8 : public CWizardResultPage {
 public:
  CWizardMode_Step8();
};

}  // namespace ui
