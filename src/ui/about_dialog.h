// The About box: the product name, its line, the version of the program file and links to the
// maker's web and support pages.
#pragma once

#include <string>
#include <string_view>

#include "ui/framework/dialog.h"

namespace ui {

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
};

// "Version %s.%s Build %s" from the first two and the last comma-separated fields of the
// version resource's "FileVersion" text ("2, 0, 0, 1" gives "Version 2.0 Build 1"); empty when
// the text has fewer than three fields.
std::u16string VersionTextOf(std::u16string_view fileVersion);
// The "FileVersion" text of the running program's version resource.
std::u16string ProgramFileVersion();

}  // namespace ui
