#include "ui/wizard/wizard_result_page.h"

#include <prsht.h>

#include <algorithm>

#include "app/app.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/text.h"
#include "recovery/auto_pilot_run.h"
#include "recovery/recovery.h"
#include "resources/wizard_scan.h"
#include "ui/dialogs/found_object_info_dlg.h"
#include "ui/dialogs/recovery_dialogs.h"
#include "ui/explorer/volume_explore_view.h"
#include "ui/wizard/wizard_main.h"
#include "ui/wizard/wizard_scan_page.h"
#include "volumes/computer.h"
#include "volumes/scan_page_state.h"
#include "volumes/volume.h"

namespace ui {

namespace {

constexpr int kTreeWidth = 120;
constexpr UINT_PTR kAutoPilotTimer = 332;
constexpr UINT kAutoPilotPollMs = 250;
constexpr uint32_t kTextConfirmation = 157;
constexpr uint32_t kTextLeaveFileSystemPage = 221;
constexpr uint32_t kTextLeaveSectorsPage = 222;

bool AutoPilotOn() { return g_pApp && g_pApp->Settings.AutoPilot != 0; }

// A run wrote something: a file whole or in part. A cancelled dialog, an empty selection or a
// run that failed on every file is no recovery.
bool RunWroteFiles(const CRecovery& job) {
  return job.RecoveredCount > 0 || job.IncompleteCount > 0;
}

}  // namespace

CWizardResultPage::CWizardResultPage(Pass pass, int templateId, int headerTitleId,
                                     std::u16string section)
    : CWizardPage(templateId, headerTitleId, std::move(section)), pass_(pass) {}

CWizardResultPage::~CWizardResultPage() = default;

void CWizardResultPage::OnReset() {
  if (!view_) return;
  if (CVolume* drive = CWizardScanPage::CurrentDrive()) view_->ResetVolume(*drive);
}

void CWizardResultPage::OnInit() {
  somethingRecovered_ = false;
  CreateView();
  prompter_ = MakeWindowPrompter(Handle());
}

void CWizardResultPage::CreateView() {
  // The view's tree and the host of its right panes are children of the page itself, over
  // the placeholder: what the view posts to its parent comes back to it through the page.
  if (!rightHost_.CreateChild(Handle(), WS_EX_CLIENTEDGE)) return;
  view_ = std::make_unique<CVolumeExploreView>();
  if (!view_->Create(Handle())) {
    view_.reset();
    return;
  }
  rightHost_.SetSizeHandler([this](int, int) {
    if (view_) view_->LayoutRightPane();
  });
  view_->SetRightPaneHost(rightHost_.Handle());
  Layout();
}

void CWizardResultPage::Layout() {
  HWND placeholder = Item(IDC_RESULT_VIEW);
  if (!placeholder || !view_) return;
  RECT rect;
  ::GetWindowRect(placeholder, &rect);
  ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
  ::InflateRect(&rect, -1, -1);
  // The placeholder only marks the place: a static that stayed would paint over the view.
  ::ShowWindow(placeholder, SW_HIDE);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const int tree = std::min(kTreeWidth, width);
  ::SetWindowPos(view_->Handle(), HWND_TOP, rect.left, rect.top, tree, height, 0);
  ::SetWindowPos(rightHost_.Handle(), HWND_TOP, rect.left + tree, rect.top, width - tree, height,
                 0);
}

void CWizardResultPage::OnSetActive() {
  EnableBackNext(true, true);
  if (view_) {
    view_->Refresh();
    if (CVolume* drive = CWizardScanPage::CurrentDrive()) {
      // The page opens on what the scan found, as an analysis in the explorer shows it: the
      // root folder's files, and after the sector scan the lost files.
      view_->BeginAnalysis(*drive);
      view_->RefreshFound();
    }
  }
  if (!AutoPilotOn()) return;
  if (pass_ == Pass::FileSystem)
    ::PostMessageW(Sheet().Handle(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
  else
    StartAutoPilot();
}

PageTurn CWizardResultPage::OnWizardNext() {
  return ConfirmLeave() ? PageTurn::Default() : PageTurn::Stay();
}

bool CWizardResultPage::ConfirmLeave() {
  if (autoPilot_) {
    // The run must end before the end page counts it; another drive gets a run of its own.
    if (!autoPilot_->Finished()) return false;
    autoPilot_.reset();
    return true;
  }
  if (AutoPilotOn() || somethingRecovered_) return true;
  CVolume* drive = CWizardScanPage::CurrentDrive();
  const int32_t found = !drive                      ? 0
                        : pass_ == Pass::FileSystem ? drive->FileSystemFiles.load()
                                                    : drive->ScanFiles.load();
  if (found == 0) return true;
  return AskYesNo(pass_ == Pass::FileSystem ? kTextLeaveFileSystemPage : kTextLeaveSectorsPage,
                  kTextConfirmation);
}

bool CWizardResultPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_RESULT_RECOVER:
      Recover();
      return true;
    case IDC_RESULT_TRY_OPEN:
      TryOpen();
      return true;
    case IDC_RESULT_INFORMATION:
      ShowInformation();
      return true;
    default:
      return false;
  }
}

void CWizardResultPage::Recover() {
  if (!view_ || !g_pComputer || g_pComputer->MainJob.IsRunning()) return;
  CVolume* drive = view_->CurrentVolume();
  if (!drive) drive = CWizardScanPage::CurrentDrive();
  if (!drive) return;
  // The dialog posts UM_START_RECOVERY to the wizard window, which passes it to this page.
  ShowRecoverDialog(Handle(), g_pComputer->MainJob, *drive, Sheet().Handle());
}

void CWizardResultPage::RunRecovery() {
  if (!view_ || !g_pComputer) return;
  CRecovery& job = g_pComputer->MainJob;
  job.SetPrompter(prompter_.get());
  // The end page sums up every run: the one before is banked before its counts go.
  Sheet().Tally().Observe();
  if (!BeginRecovery(job, view_->RecoverySelection())) return;
  ShowRecoveryProgress(Handle(), job, ProgressMode::Recover);
  Sheet().Tally().Observe();
  if (RunWroteFiles(job)) somethingRecovered_ = true;
  view_->InvalidateObjects();
}

void CWizardResultPage::TryOpen() {
  if (!view_ || !g_pComputer) return;
  CRecovery& job = g_pComputer->TryOpenJob;
  if (job.IsRunning() || BuildRecoveryList(job, view_->RecoverySelection()) == 0 ||
      !job.SourceVolume)
    return;
  if (!ConfirmTryOpen(Handle())) return;
  job.SetPrompter(prompter_.get());
  if (StartTryOpen(job, *job.SourceVolume))
    ShowRecoveryProgress(Handle(), job, ProgressMode::TryOpen);
}

void CWizardResultPage::ShowInformation() {
  if (!view_) return;
  FoundObject* object = view_->CurrentObject();
  CVolume* drive = view_->CurrentVolume();
  if (!object || !drive) return;
  ShowFoundObjectInformation(Handle(), *drive, *object);
}

void CWizardResultPage::StartAutoPilot() {
  CVolume* drive = CWizardScanPage::CurrentDrive();
  if (!drive || !g_pComputer || autoPilot_) return;
  CRecovery& job = g_pComputer->MainJob;
  job.SetPrompter(prompter_.get());
  Sheet().Tally().Observe();
  autoPilot_ = std::make_unique<CAutoPilotRun>(job);
  if (!autoPilot_->Start(*drive)) {
    // Nothing deleted or lost was found, or the run could not start: the end page tells.
    autoPilot_.reset();
    ::PostMessageW(Sheet().Handle(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    return;
  }
  SetWizButtons(0);
  SetItemText(IDC_RESULT_AUTOPILOT, u"AutoPilot is recovering " +
                                        CountText(static_cast<uint64_t>(autoPilot_->Listed())) +
                                        u" deleted and lost files...");
  ::SetTimer(Handle(), kAutoPilotTimer, kAutoPilotPollMs, nullptr);
}

void CWizardResultPage::PollAutoPilot() {
  if (!autoPilot_ || !autoPilot_->Finished()) return;
  ::KillTimer(Handle(), kAutoPilotTimer);
  Sheet().Tally().Observe();
  if (g_pComputer && RunWroteFiles(g_pComputer->MainJob)) somethingRecovered_ = true;
  SetItemText(IDC_RESULT_AUTOPILOT, u"AutoPilot has recovered the files.");
  EnableBackNext(true, true);
  if (IsActive()) ::PostMessageW(Sheet().Handle(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

bool CWizardResultPage::OnNotify(const NMHDR& header, LRESULT& result) {
  return view_ && view_->OnNotify(header, result);
}

void CWizardResultPage::OnTimer(UINT_PTR id) {
  if (id == kAutoPilotTimer) PollAutoPilot();
}

bool CWizardResultPage::OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == UM_START_RECOVERY) {
    RunRecovery();
    return true;
  }
  LRESULT ignored = 0;
  return view_ && view_->OnMessage(message, wParam, lParam, ignored);
}

bool CWizardResultPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message == UM_START_RECOVERY) {
    RunRecovery();
    result = TRUE;
    return true;
  }
  LRESULT handled = 0;
  if (!view_ || !view_->OnMessage(message, wParam, lParam, handled)) return false;
  result = TRUE;
  return true;
}

CWizardMode_Step6::CWizardMode_Step6()
    : CWizardResultPage(Pass::FileSystem, IDD_WIZARD_STEP6, 149, u"Wizard.Step6") {}

CWizardMode_Step8::CWizardMode_Step8()
    : CWizardResultPage(Pass::Sectors, IDD_WIZARD_STEP8, 151, u"Wizard.Step8") {}

}  // namespace ui
