#include "ui/dialogs/recovery_progress_dlg.h"

#include <commctrl.h>

#include "app/app.h"
#include "app/log.h"
#include "app/settings_store.h"
#include "app/strings.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "resources/recovery_dialogs.h"
#include "ui/dialogs/recovery_dialog_common.h"
#include "volumes/volume.h"

namespace {

constexpr uint32_t kTextConfirmation = 157;
constexpr uint32_t kTextStopRecovery = 217;

}  // namespace

std::u16string RecoveryResultText(int recovered, int incomplete, int failed, int skipped) {
  std::u16string text =
      platform::Format(recovered == 1 ? u"Recovered %d file, %d incomplete, %d failed"
                                      : u"Recovered %d files, %d incomplete, %d failed",
                       recovered, incomplete, failed);
  if (skipped > 0) text += platform::Format(u", %d skipped", skipped);
  return text;
}

CRecoveryProgressDlg::CRecoveryProgressDlg(CRecovery& job, Mode mode)
    : CDialog(IDD_RECOVERY_PROGRESS), job_(job), mode_(mode) {}

bool CRecoveryProgressDlg::OnInit() {
  listed_ = static_cast<int>(job_.List.size());
  ::SetTimer(Handle(), kTimerId, kTimerMs, nullptr);
  ui::CenterOnOwner(Handle());
  ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_TOTAL_BAR, PBM_SETRANGE32, 0, listed_);
  ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_FILE_BAR, PBM_SETRANGE32, 0, 100);
  ShowProgress();
  return true;
}

void CRecoveryProgressDlg::ShowProgress() {
  try {
    const int index = job_.Index.load();
    CWindow(Item(IDC_PROGRESS_TOTAL)).SetText(platform::Format(u"%d of %d", index, listed_));
    ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_TOTAL_BAR, PBM_SETPOS, index, 0);
    ShowCounts();
  } catch (...) {
    if (g_pLog) g_pLog->LogError(u"RecoveryDlg::UpdateProgress exept1");
  }
  try {
    if (!stopping_) ShowCurrentFile();
  } catch (...) {
    if (g_pLog) g_pLog->LogError(u"RecoveryDlg::UpdateProgress exept2");
  }
}

void CRecoveryProgressDlg::ShowCurrentFile() {
  const int index = job_.Index.load();
  if (index < 0 || index >= listed_) {
    CWindow(Item(IDC_PROGRESS_FILE)).SetText(u"");
    ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_FILE_BAR, PBM_SETPOS, 100, 0);
    return;
  }
  const FoundObject* object = job_.List[static_cast<size_t>(index)];
  std::u16string name;
  int64_t size = 0;
  if (object && job_.SourceVolume) {
    // The size decision writes the size under the store's lock.
    FoundObjectStore::Guard guard = job_.SourceVolume->Store.Lock();
    if (object->Name) name = object->Name;
    size = object->Size;
  }
  CWindow(Item(IDC_PROGRESS_FILE)).SetText(platform::Format(u"%s [size: %I64d]", name, size));
  ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_FILE_BAR, PBM_SETPOS,
                        job_.CurrentItem.Percent.load(), 0);
}

void CRecoveryProgressDlg::ShowCounts() {
  CWindow(Item(IDC_PROGRESS_COUNTS))
      .SetText(platform::Format(u"Written: %d complete, %d incomplete, %d failed",
                                job_.RecoveredCount.load(), job_.IncompleteCount.load(),
                                job_.FailedCount.load()));
}

void CRecoveryProgressDlg::OnTimer(UINT_PTR id) {
  if (id != kTimerId || ended_) return;
  ShowProgress();
  // The question whether to stop stays open; its answer decides.
  if (!job_.IsRunning() && !asking_) OnRunEnded();
}

void CRecoveryProgressDlg::OnRunEnded() {
  ended_ = true;
  ::KillTimer(Handle(), kTimerId);
  job_.Wait(0);
  // A stop asked for elsewhere (the main window closing) ended the run early.
  const bool stopped = job_.Status().RecoveryContinue == 0 && job_.Index.load() < listed_;
  StopRecovery(job_);
  if (stopping_) {
    Close(IDCANCEL);
    return;
  }
  if (mode_ == Mode::TryOpen) {
    Close(0);
    return;
  }
  int skipped = 0;
  for (const RecoveryResult& result : job_.Results())
    skipped += result.Outcome == RecoveryOutcome::Skipped;
  ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_TOTAL_BAR, PBM_SETPOS, listed_, 0);
  ::SendDlgItemMessageW(Handle(), IDC_PROGRESS_FILE_BAR, PBM_SETPOS, 100, 0);
  CWindow(Item(IDC_PROGRESS_TOTAL))
      .SetText(platform::Format(u"%d of %d", job_.Index.load(), listed_));
  CWindow(Item(IDC_PROGRESS_COUNTS))
      .SetText(stopped ? u"Recovery stopped." : u"Recovery completed.");
  CWindow(Item(IDC_PROGRESS_FILE_LABEL)).SetText(u"Result:");
  CWindow(Item(IDC_PROGRESS_FILE))
      .SetText(RecoveryResultText(job_.RecoveredCount.load(), job_.IncompleteCount.load(),
                                  job_.FailedCount.load(), skipped));
  CWindow(Item(IDCANCEL)).Show(SW_HIDE);
  CWindow(Item(IDOK)).Show(SW_SHOW);
  CWindow(Item(IDC_PROGRESS_GO_TO_RECOVERED)).Show(SW_SHOW);
  ::SendMessageW(Handle(), DM_SETDEFID, IDOK, 0);
  ::SetFocus(Item(IDOK));
}

void CRecoveryProgressDlg::Abort() {
  if (stopping_ || ended_ || asking_) return;
  if (g_pApp && g_pApp->Settings.ConfirmRecoveryAbort) {
    asking_ = true;
    const int answer =
        ui::QuestionBox(Handle(), LanguageString(kTextStopRecovery),
                        LanguageString(kTextConfirmation), MB_YESNO | MB_ICONQUESTION);
    asking_ = false;
    if (answer != IDYES) return;
    // The run may have ended while the question was open: then it ends as it is.
    if (!job_.IsRunning()) {
      OnRunEnded();
      return;
    }
  }
  stopping_ = true;
  StopRecovery(job_);
  CWindow(Item(IDCANCEL)).Enable(false);
  CWindow(Item(IDC_PROGRESS_FILE)).SetText(u"Stopping after the current piece of the file...");
  // The tick closes the dialog once the run's thread has ended.
  if (!job_.IsRunning()) OnRunEnded();
}

void CRecoveryProgressDlg::GoToRecovered() {
  if (g_pApp) {
    // The run may have been given another folder than the settings held when it started.
    const std::u16string used = job_.Destination();
    if (!used.empty()) WriteSettingsText(g_pApp->Settings, kDestinationFolderField, used);
    g_pApp->ExploreDestination();
  }
  Close(0);
}

void CRecoveryProgressDlg::Close(INT_PTR code) {
  ::KillTimer(Handle(), kTimerId);
  End(code);
}

bool CRecoveryProgressDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDCANCEL:  // Abort, Escape and the close box alike
      if (ended_)
        Close(IDOK);
      else
        Abort();
      return true;
    case IDOK:
      if (!ended_) return true;  // Return while the run goes on does nothing
      StopRecovery(job_);
      Close(IDOK);
      return true;
    case IDC_PROGRESS_GO_TO_RECOVERED:
      if (ended_) GoToRecovered();
      return true;
    default:
      return false;
  }
}

bool CRecoveryProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  // The close box is not there, but Alt+F4 still sends it.
  if (message == WM_CLOSE) {
    OnCommand(IDCANCEL, 0, nullptr);
    result = TRUE;
    return true;
  }
  return false;
}
