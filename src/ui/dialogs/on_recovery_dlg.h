// "Recover": the destination folder of a run and whether the folder structure is kept. OK saves
// both into the settings, checks the destination (not on the disk being recovered from, its last
// folder made) and, once it is accepted, posts UM_START_RECOVERY to the start target.
#pragma once

#include <windows.h>

#include "ui/framework/dialog.h"

class CRecovery;
class CVolume;

class COnRecoveryDlg : public ui::CDialog {
 public:
  COnRecoveryDlg(CRecovery& job, CVolume& source, HWND startTarget);
  ~COnRecoveryDlg() override;

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void LoadFromSettings();
  void SaveToSettings();
  void Browse();
  void Accept();
  void MakeHeadingFont();

  CRecovery& job_;
  CVolume& source_;
  HWND startTarget_;
  HFONT headingFont_ = nullptr;
};
