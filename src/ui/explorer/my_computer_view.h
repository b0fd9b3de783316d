// The right pane of the "My Computer" node: the start page.
#pragma once

#include <windows.h>

#include "ui/explorer/html_pane.h"

class CMyComputerView {
 public:
  bool Create(HWND parent) { return page_.Create(parent, u"index.html"); }
  HWND Handle() const { return page_.Handle(); }
  bool ShowsBrowser() const { return page_.ShowsBrowser(); }

 private:
  CHtmlPane page_;
};
