// "Warning!" before Try To Open: opening a damaged file may show garbage or hang the program
// that opens it. Its check box turns the warning off (HideTryOpenWarning).
#pragma once

#include "ui/framework/dialog.h"

class CDlgTryOpen : public ui::CDialog {
 public:
  CDlgTryOpen();

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void SaveCheckBox();
};
