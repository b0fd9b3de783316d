// The log in the explorer window's status bar: a drop-down list whose top line is the newest
// log line, with the older lines one click away, and the "..." button beside it that saves the
// log to its file and opens it. The list is the application's log window.
//
// An analysis that logs every found file adds lines far faster than a window can take one
// message per line (under Wine each message is a round trip to the server), so the list's
// target does not post the lines: it queues them and wakes the list with one message; the list
// takes the queue in one batch a little later, with its drawing off, and keeps only the newest
// lines (the log itself keeps them all and saves them with "...").
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <string>

#include "app/message_target.h"
#include "ui/framework/subclass.h"

namespace ui {

class CLogLineQueue;

class CLogView {
 public:
  static constexpr int kComboId = 135;
  // The most lines the list holds.
  static constexpr size_t kMaximumLines = 4000;
  // How long a line may wait in the queue; while lines pour in (a batch of more than
  // kBusyBatch), a second, so that most of them are dropped from the queue instead of going
  // into the list and out again.
  static constexpr UINT kBatchDelayMs = 100;
  static constexpr UINT kBusyBatchDelayMs = 1000;
  static constexpr size_t kBusyBatch = 500;

  bool Create(HWND parent);
  HWND Combo() const { return combo_; }
  HWND Button() const { return button_; }
  // Where the log sends its lines; valid until the process ends.
  IMessageTarget* Target() const;
  // The list and the button inside the rectangle (the button square at its right end).
  void Place(const RECT& rect);
  // Queues a line (the log's own, which stays where it is while the program runs).
  void AddLine(const char16_t* line);
  // Puts the queued lines into the list now.
  void Flush();
  size_t QueuedLines() const;

 private:
  void OnWake();

  HWND combo_ = nullptr;
  HWND button_ = nullptr;
  // Made once per list and never freed: a worker may still hold it after the window is gone.
  CLogLineQueue* queue_ = nullptr;
  CControlSubclass subclass_;
  bool timerArmed_ = false;
  size_t lastBatch_ = 0;
};

}  // namespace ui
