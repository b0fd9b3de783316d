// The program's top-level window until the wizard and explorer windows take its place: the
// main window and the log window of every mode. It lists the log lines as they arrive and
// offers the mode commands, Save Log, the help commands and Exit.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/message_target.h"
#include "ui/framework/message_loop.h"
#include "ui/framework/window.h"

namespace ui {

class CLogWindow : public CCustomWindow, public CMessageFilter {
 public:
  static constexpr const wchar_t* kClassName = L"LumenardLogWindow";

  // Creates the window of the mode, hidden and without owner; null when it could not. The
  // object deletes itself when its window is gone.
  static CLogWindow* Open(int32_t mode);

  IMessageTarget* Target() const { return target_; }
  size_t LineCount() const { return lines_.size(); }

  bool PreTranslateMessage(MSG& message) override;

 protected:
  bool OnCreate(const CREATESTRUCTW& create) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  void OnSize(UINT type, int width, int height) override;
  void OnClose(WPARAM wParam, LPARAM lParam) override;
  void OnDestroy() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnFinalMessage() override;

 private:
  explicit CLogWindow(int32_t mode) : mode_(mode) {}
  void CreateControls();
  void ShowEarlierLines();
  void AddLine(const char16_t* line);
  void CheckModeCommand();

  int32_t mode_;
  bool created_ = false;
  IMessageTarget* target_ = nullptr;
  HWND header_ = nullptr;
  HWND list_ = nullptr;
  HACCEL accelerators_ = nullptr;
  // Lines logged before the window existed, copied; later lines point into the log, which
  // keeps them for the whole run.
  std::deque<std::u16string> earlierLines_;
  std::vector<const char16_t*> lines_;
};

// The text above the list: which mode the window stands for.
std::u16string ModeCaption(int32_t mode);

}  // namespace ui
