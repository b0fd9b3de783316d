// "Recovering files...": follows a run of a recovery job every 250 ms (the list position, the
// current file and its percent, the files written, incomplete and failed) and ends it. A
// Recover run stays open at its end with the result, OK and "Go to Recovered..."; a Try To Open
// run closes by itself. Abort asks the run to stop and the dialog closes once the run's thread
// has ended, so that nothing still writes when the command is over.
#pragma once

#include <windows.h>

#include <string>

#include "ui/framework/dialog.h"

class CRecovery;

class CRecoveryProgressDlg : public ui::CDialog {
 public:
  enum class Mode { Recover = 0, TryOpen = 1 };
  static constexpr UINT_PTR kTimerId = 250;
  static constexpr UINT kTimerMs = 250;

  CRecoveryProgressDlg(CRecovery& job, Mode mode);

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void ShowProgress();
  void ShowCurrentFile();
  void ShowCounts();
  void OnRunEnded();
  void Abort();
  void GoToRecovered();
  void Close(INT_PTR code);

  CRecovery& job_;
  Mode mode_;
  int listed_ = 0;
  bool stopping_ = false;  // Abort was accepted; waiting for the run's thread
  bool ended_ = false;
  bool asking_ = false;  // the abort question is open
};

// The result of a run as the dialog shows it: "Recovered 5 files, 1 incomplete, 0 failed",
// with ", 2 skipped" when files were skipped.
std::u16string RecoveryResultText(int recovered, int incomplete, int failed, int skipped);
