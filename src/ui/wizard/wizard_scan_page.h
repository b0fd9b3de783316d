// The wizard's two scan pages: Step 5 runs the file-system pass, Step 7 the sector pass of the
// drive chosen on Step 1. A page shows the drive's name, a progress bar, Start and Stop, the
// counters and "Status:", and a progress log of every log line while it is the active page.
// It refreshes itself every 200 ms from the shared status record (ScanPageState), enables
// Back and Next only while no pass runs, and starts its scan by itself when it is entered
// after a reset or for another drive. With AutoPilot set it goes on to the next page as soon
// as its pass has ended.
#pragma once

#include <windows.h>

#include <string>

#include "ui/wizard/wizard_page.h"
#include "volumes/scan_page_state.h"

class CVolume;

namespace ui {

class CWizardScanPage : public CWizardPage {
 public:
  // The drive the wizard works on: the one chosen on Step 1; null when none is.
  static CVolume* CurrentDrive();

  bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Its scan starts again when the page is next entered; its bar and log are emptied.
  void OnReset() override;
  bool Busy() const;

 protected:
  CWizardScanPage(ScanPass pass, int templateId, int headerTitleId, std::u16string section);

  void OnInit() override;
  void OnSetActive() override;
  void OnKillActive() override;
  PageTurn OnWizardNext() override;
  PageTurn OnWizardBack() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void Start();
  void Stop();
  void OnPassFinished();
  void Refresh();
  void ShowState(const ScanPageState& state);
  void ShowBar(const ScanPageState& state);
  void ShowWizardButtons(bool enabled);
  void AppendLogLine(const char16_t* line);
  void ShowDriveName();

  const ScanPass pass_;
  HWND log_ = nullptr;
  // Set by a reset (and before the first scan): entering the page starts its scan.
  bool restart_ = true;
  // The drive of the last scan started here, and what its counts start from.
  const CVolume* scanned_ = nullptr;
  ScanPageBaseline baseline_;
  // What the controls show, so that unchanged ones are not set again every 200 ms.
  ScanPageState shown_;
  bool shownOnce_ = false;
  int wizardButtons_ = -1;
  bool marquee_ = false;
  bool passEnded_ = false;
  // The user pressed Stop during the last scan.
  bool stopped_ = false;
};

// Step 5 "Scanning the file system...". Back asks first: going back to Step 2 starts the
// recovery from the beginning.
class CWizardMode_Step5 : public CWizardScanPage {
 public:
  CWizardMode_Step5();

 protected:
  PageTurn OnWizardBack() override;
};

// Step 7 "Scanning drive sectors...".
class CWizardMode_Step7 : public CWizardScanPage {
 public:
  CWizardMode_Step7();
};

}  // namespace ui
