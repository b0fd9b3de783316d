// The log in the explorer window's status bar: a drop-down list whose top line is the newest
// log line, with the older lines one click away, and the "..." button beside it that saves the
// log to its file and opens it. The list is the application's log window: it receives the log
// lines (UM_LOG_LINE) itself.
//
// An analysis that logs every found file sends lines far faster than a list can take them one
// by one, so a line that arrives is only queued; the queue goes into the list in one batch a
// little later, with the list's drawing off, and the list keeps only the newest lines (the log
// itself keeps them all and saves them with "...").
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <string>

#include "app/message_target.h"
#include "ui/framework/subclass.h"

namespace ui {

class CLogView {
 public:
  static constexpr int kComboId = 135;
  // The most lines the list holds.
  static constexpr size_t kMaximumLines = 4000;
  // How long a line may wait in the queue.
  static constexpr UINT kBatchDelayMs = 100;

  bool Create(HWND parent);
  HWND Combo() const { return combo_; }
  HWND Button() const { return button_; }
  IMessageTarget* Target() const { return target_; }
  // The list and the button inside the rectangle (the button square at its right end).
  void Place(const RECT& rect);
  // Queues a line (the log's own, which stays where it is while the program runs).
  void AddLine(const char16_t* line);
  // Puts the queued lines into the list now.
  void Flush();
  size_t QueuedLines() const { return queue_.size(); }

 private:
  static constexpr UINT_PTR kBatchTimer = 1;

  HWND combo_ = nullptr;
  HWND button_ = nullptr;
  IMessageTarget* target_ = nullptr;
  CControlSubclass subclass_;
  // Oldest first; never longer than the list.
  std::deque<const char16_t*> queue_;
  bool timerArmed_ = false;
};

}  // namespace ui
