// The log in the explorer window's status bar: a drop-down list whose top line is the newest
// log line, with the older lines one click away, and the "..." button beside it that saves the
// log to its file and opens it. The list is the application's log window: it receives the log
// lines (UM_LOG_LINE) itself.
#pragma once

#include <windows.h>

#include <string>

#include "app/message_target.h"
#include "ui/framework/subclass.h"

namespace ui {

class CLogView {
 public:
  static constexpr int kComboId = 135;

  bool Create(HWND parent);
  HWND Combo() const { return combo_; }
  HWND Button() const { return button_; }
  IMessageTarget* Target() const { return target_; }
  // The list and the button inside the rectangle (the button square at its right end).
  void Place(const RECT& rect);
  void AddLine(const char16_t* line);

 private:
  HWND combo_ = nullptr;
  HWND button_ = nullptr;
  IMessageTarget* target_ = nullptr;
  CControlSubclass subclass_;
};

}  // namespace ui
