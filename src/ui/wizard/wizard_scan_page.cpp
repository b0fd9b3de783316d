#include "ui/wizard/wizard_scan_page.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>

#include "app/app.h"
#include "app/log.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/text.h"
#include "resources/wizard_resources.h"
#include "resources/wizard_scan.h"
#include "ui/framework/window_target.h"
#include "ui/wizard/wizard_main.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace ui {

namespace {

constexpr UINT_PTR kRefreshTimer = 200;
constexpr UINT kRefreshMs = 200;
constexpr UINT kMarqueeMs = 60;
// The string-table text a stop logs.
constexpr uint32_t kTextAborted = 57113;
constexpr uint32_t kTextConfirmation = 157;
constexpr uint32_t kTextRestartFromBeginning = 223;

bool AutoPilotOn() { return g_pApp && g_pApp->Settings.AutoPilot != 0; }

}  // namespace

CWizardScanPage::CWizardScanPage(ScanPass pass, int templateId, int headerTitleId,
                                 std::u16string section)
    : CWizardPage(templateId, headerTitleId, std::move(section)), pass_(pass) {}

CVolume* CWizardScanPage::CurrentDrive() {
  if (!g_pComputer) return nullptr;
  // The drive chosen last; a pointer only compared, never followed unless still listed.
  static CVolume* chosen = nullptr;
  CVolume* drive = g_pComputer->SelectedVolume;
  if (drive && g_pComputer->Volumes.IsListed(drive)) return chosen = drive;
  // A view's selection went to a found folder or a pseudo-node: the drive analysed last, or
  // else the one chosen last, is the one.
  drive = g_pComputer->AnalysedVolume;
  if (drive && g_pComputer->Volumes.IsListed(drive)) return drive;
  return chosen && g_pComputer->Volumes.IsListed(chosen) ? chosen : nullptr;
}

void CWizardScanPage::OnInit() {
  log_ = Item(IDC_SCAN_LOG);
  // The log of a long scan is long: no limit on its text.
  if (log_) ::SendMessageW(log_, EM_SETLIMITTEXT, 0, 0);
  ::SendMessageW(Item(IDC_SCAN_PROGRESS), PBM_SETRANGE32, 0, kScanBarMaximum);
  SetChecked(IDC_SCAN_SHOW_FILE_NAMES, g_pApp && g_pApp->Settings.LogFoundFiles != 0);
  ShowDriveName();
  Refresh();
}

void CWizardScanPage::OnReset() {
  restart_ = true;
  passEnded_ = false;
  if (!Handle()) return;
  ::SendMessageW(Item(IDC_SCAN_PROGRESS), PBM_SETRANGE32, 0, kScanBarMaximum);
  ::SendMessageW(Item(IDC_SCAN_PROGRESS), PBM_SETPOS, 0, 0);
  if (log_) ::SetWindowTextW(log_, L"");
  ShowDriveName();
}

void CWizardScanPage::OnSetActive() {
  wizardButtons_ = -1;
  if (g_pApp) g_pApp->SetLogWindow(TargetForWindow(Handle()));
  ::SetTimer(Handle(), kRefreshTimer, kRefreshMs, nullptr);
  ShowDriveName();
  CVolume* drive = CurrentDrive();
  // Another drive than the one scanned here last: its scan is a new one.
  if (drive && scanned_ && drive != scanned_) OnReset();
  if (restart_ && !Busy()) Start();
  Refresh();
}

void CWizardScanPage::OnKillActive() {
  ::KillTimer(Handle(), kRefreshTimer);
  // The wizard window takes the log lines again.
  if (g_pApp) g_pApp->SetLogWindow(Sheet().Target());
}

PageTurn CWizardScanPage::OnWizardNext() { return Busy() ? PageTurn::Stay() : PageTurn::Default(); }

PageTurn CWizardScanPage::OnWizardBack() { return Busy() ? PageTurn::Stay() : PageTurn::Default(); }

bool CWizardScanPage::Busy() const {
  if (!g_pComputer) return false;
  return ReadScanPageState(pass_, *g_pComputer->Status, CurrentDrive(), baseline_).Busy;
}

void CWizardScanPage::Start() {
  CVolume* drive = CurrentDrive();
  if (!drive || !g_pComputer || Busy()) return;
  restart_ = false;
  passEnded_ = false;
  stopped_ = false;
  scanned_ = drive;
  if (g_pApp) {
    // The requests of the explorer's Analyze command do not belong to a wizard pass.
    g_pApp->Settings.AutoSectorScan = 0;
    g_pApp->Settings.ScanBySector = 0;
  }
  baseline_ = ScanPageBaselineOf(pass_, *drive);
  if (pass_ == ScanPass::FileSystem) {
    // The pass clears the drive's store: the result pages let go of its objects first.
    for (int result : {IDD_WIZARD_STEP6, IDD_WIZARD_STEP8})
      if (CWizardPage* page = Sheet().PageOf(result)) page->OnReset();
    g_pComputer->Analysis.StartFileSystemAnalysis(*drive);
  } else {
    g_pComputer->Analysis.StartSectorScan(*drive, 0);
  }
  Refresh();
}

void CWizardScanPage::Stop() {
  CVolume* drive = CurrentDrive();
  if (!drive || !g_pComputer) return;
  stopped_ = true;
  if (g_pLog) g_pLog->LogString(kTextAborted);
  g_pComputer->Analysis.StopAnalysis(*drive);
  Refresh();
}

bool CWizardScanPage::OnSheetMessage(UINT message, WPARAM, LPARAM) {
  const UINT mine = pass_ == ScanPass::FileSystem ? UM_FS_PASS_FINISHED : UM_SECTOR_PASS_FINISHED;
  if (message != mine) return false;
  OnPassFinished();
  return true;
}

void CWizardScanPage::OnPassFinished() {
  // The pass thread posts its end just before it returns; the stop waits for it.
  if (CVolume* drive = CurrentDrive(); drive && g_pComputer)
    g_pComputer->Analysis.StopAnalysis(*drive);
  passEnded_ = true;
  Refresh();
  // AutoPilot goes on by itself, but not after the user stopped the scan.
  if (IsActive() && AutoPilotOn() && !stopped_ && !Busy())
    ::PostMessageW(Sheet().Handle(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
}

bool CWizardScanPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_SCAN_START:
      Start();
      return true;
    case IDC_SCAN_STOP:
      Stop();
      return true;
    case IDC_SCAN_SHOW_FILE_NAMES:
      if (g_pApp) g_pApp->Settings.LogFoundFiles = IsChecked(IDC_SCAN_SHOW_FILE_NAMES) ? 1 : 0;
      return true;
    default:
      return false;
  }
}

void CWizardScanPage::OnTimer(UINT_PTR id) {
  if (id != kRefreshTimer) return;
  Refresh();
}

bool CWizardScanPage::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  if (message != UM_LOG_LINE) return false;
  // The log keeps its lines for the whole run: the pointer is still good here.
  AppendLogLine(reinterpret_cast<const char16_t*>(wParam));
  result = TRUE;
  return true;
}

void CWizardScanPage::AppendLogLine(const char16_t* line) {
  if (!log_ || !line) return;
  std::u16string text(line);
  text += u"\r\n";
  const int end = ::GetWindowTextLengthW(log_);
  ::SendMessageW(log_, EM_SETSEL, end, end);
  ::SendMessageW(log_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(platform::W(text.c_str())));
  ::SendMessageW(log_, EM_SCROLLCARET, 0, 0);
}

void CWizardScanPage::ShowDriveName() {
  if (!Handle()) return;
  CVolume* drive = CurrentDrive();
  const int id = pass_ == ScanPass::FileSystem ? IDC_SCAN_DRIVE_NAME : IDC_SECTORS_DRIVE_NAME;
  SetItemText(id, drive ? drive->GetDisplayName() : std::u16string());
}

void CWizardScanPage::Refresh() {
  if (!Handle() || !g_pComputer) return;
  ShowState(ReadScanPageState(pass_, *g_pComputer->Status, CurrentDrive(), baseline_));
}

void CWizardScanPage::ShowState(const ScanPageState& state) {
  const bool all = !shownOnce_;
  const bool files = pass_ == ScanPass::FileSystem;
  if (all || state.FilesFound != shown_.FilesFound)
    SetItemText(IDC_SCAN_FILES_FOUND,
                CountText(static_cast<uint64_t>(std::max(0, state.FilesFound))));
  if (all || state.ReadErrors != shown_.ReadErrors)
    SetItemText(IDC_SCAN_READ_ERRORS, CountText(state.ReadErrors));
  if (all || state.Done != shown_.Done)
    SetItemText(files ? IDC_SCAN_CURRENT_RECORD : IDC_SCAN_CURRENT_CLUSTER, CountText(state.Done));
  if (all || state.Total != shown_.Total)
    SetItemText(files ? IDC_SCAN_TOTAL_RECORDS : IDC_SCAN_TOTAL_CLUSTERS, CountText(state.Total));
  if (!files && (all || state.FreeClusters != shown_.FreeClusters))
    SetItemText(IDC_SCAN_FREE_CLUSTERS,
                state.FreeClusters ? CountText(*state.FreeClusters) : std::u16string());
  if (all || state.StatusText != shown_.StatusText)
    SetItemText(IDC_SCAN_STATUS, LanguageString(state.StatusText));
  EnableItem(IDC_SCAN_START, state.StartEnabled);
  EnableItem(IDC_SCAN_STOP, state.StopEnabled);
  ShowBar(state);
  if (IsActive()) ShowWizardButtons(state.WizardButtonsEnabled);
  shown_ = state;
  shownOnce_ = true;
}

void CWizardScanPage::ShowBar(const ScanPageState& state) {
  HWND bar = Item(IDC_SCAN_PROGRESS);
  if (!bar) return;
  const bool marquee = state.BarMode == ScanBarMode::Marquee && state.Busy;
  if (marquee != marquee_) {
    LONG_PTR style = ::GetWindowLongPtrW(bar, GWL_STYLE);
    style = marquee ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
    ::SetWindowLongPtrW(bar, GWL_STYLE, style);
    ::SendMessageW(bar, PBM_SETMARQUEE, marquee ? TRUE : FALSE, kMarqueeMs);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, kScanBarMaximum);
    marquee_ = marquee;
  }
  if (marquee) return;
  // A pass that ran to its end fills the bar, also the file-system pass that cannot count.
  const int32_t position = passEnded_ && !state.Busy ? kScanBarMaximum : state.BarPosition;
  ::SendMessageW(bar, PBM_SETPOS, position, 0);
}

void CWizardScanPage::ShowWizardButtons(bool enabled) {
  const int buttons = enabled ? (PSWIZB_BACK | PSWIZB_NEXT) : 0;
  if (buttons == wizardButtons_) return;
  SetWizButtons(static_cast<DWORD>(buttons));
  wizardButtons_ = buttons;
}

CWizardMode_Step5::CWizardMode_Step5()
    : CWizardScanPage(ScanPass::FileSystem, IDD_WIZARD_STEP5, 148, u"Wizard.Step5") {}

PageTurn CWizardMode_Step5::OnWizardBack() {
  if (Busy()) return PageTurn::Stay();
  if (!AskYesNo(kTextRestartFromBeginning, kTextConfirmation)) return PageTurn::Stay();
  // Both scans start again from the file types on.
  Sheet().ResetScanPages();
  return PageTurn::To(IDD_WIZARD_STEP2);
}

CWizardMode_Step7::CWizardMode_Step7()
    : CWizardScanPage(ScanPass::Sectors, IDD_WIZARD_STEP7, 150, u"Wizard.Step7") {}

}  // namespace ui
