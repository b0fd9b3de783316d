#include "ui/dialogs/recovery_dialogs.h"

#include "app/app.h"
#include "platform/system.h"
#include "recovery/recovery.h"
#include "ui/dialogs/on_recovery_dlg.h"
#include "ui/dialogs/probable_file_size_dlg.h"
#include "ui/dialogs/recovery_progress_dlg.h"
#include "ui/dialogs/try_open_dlg.h"
#include "ui/dialogs/window_recovery_prompter.h"

namespace ui {

INT_PTR ShowRecoverDialog(HWND parent, CRecovery& job, CVolume& source, HWND startTarget) {
  COnRecoveryDlg dialog(job, source, startTarget);
  const INT_PTR result = dialog.DoModal(parent);
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR ShowRecoveryProgress(HWND parent, CRecovery& job, ProgressMode mode) {
  CRecoveryProgressDlg dialog(job, mode == ProgressMode::TryOpen
                                       ? CRecoveryProgressDlg::Mode::TryOpen
                                       : CRecoveryProgressDlg::Mode::Recover);
  INT_PTR result = dialog.DoModal(parent);
  if (result == -1) {
    // Without its dialog the run still must not outlive the command: it is stopped and waited
    // for here.
    StopRecovery(job);
    job.Wait(platform::Event::kInfinite);
  }
  // The run is over: the next one may ask its questions again.
  ResumeQuestions(job.Prompter());
  return result;
}

bool ConfirmTryOpen(HWND parent) {
  if (g_pApp && g_pApp->Settings.HideTryOpenWarning) return true;
  CDlgTryOpen dialog;
  return dialog.DoModal(parent) == IDOK;
}

bool AskProbableSize(HWND parent, const SizeQuestion& question, SizeAnswer& answer) {
  CProbableFileSizeDlg dialog(question);
  if (dialog.DoModal(parent) == -1) return false;
  answer = dialog.Answer();
  return true;
}

std::unique_ptr<IRecoveryPrompter> MakeWindowPrompter(HWND owner) {
  return std::make_unique<CWindowRecoveryPrompter>(owner);
}

}  // namespace ui
