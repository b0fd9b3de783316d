#include "ui/explorer/main_frame_log_view.h"

#include <algorithm>
#include <vector>

#include "app/log.h"
#include "app/messages.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "ui/framework/module.h"
#include "ui/framework/window_target.h"

namespace ui {

namespace {

HFONT GuiFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

}  // namespace

bool CLogView::Create(HWND parent) {
  HINSTANCE instance = CModule::Instance();
  combo_ = ::CreateWindowExW(
      0, L"COMBOBOX", L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_NOINTEGRALHEIGHT, 0, 0, 0, 240,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), instance, nullptr);
  button_ = ::CreateWindowExW(
      0, L"BUTTON", L"...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_LOG_SAVE_AND_SHOW)), instance, nullptr);
  if (!combo_ || !button_) return false;
  ::SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  ::SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  target_ = TargetForWindow(combo_);
  subclass_.Attach(combo_, [this](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == UM_LOG_LINE) {
      if (wParam) AddLine(reinterpret_cast<const char16_t*>(wParam));
    } else if (message == WM_TIMER && wParam == kBatchTimer) {
      Flush();
    } else if (message == WM_DESTROY) {
      ::KillTimer(combo_, kBatchTimer);
      timerArmed_ = false;
      queue_.clear();
      return false;
    } else {
      return false;
    }
    result = 0;
    return true;
  });
  // What was logged before the window existed, newest on top. Those lines are copies, so
  // they go in at once.
  if (g_pLog) {
    const std::vector<std::u16string> lines = g_pLog->Lines();
    const size_t first = lines.size() > kMaximumLines ? lines.size() - kMaximumLines : 0;
    ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
    for (size_t index = first; index < lines.size(); ++index)
      ::SendMessageW(combo_, CB_INSERTSTRING, 0,
                     reinterpret_cast<LPARAM>(platform::W(lines[index].c_str())));
    if (!lines.empty()) ::SendMessageW(combo_, CB_SETCURSEL, 0, 0);
    ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
  }
  return true;
}

void CLogView::AddLine(const char16_t* line) {
  if (!combo_ || !line) return;
  queue_.push_back(line);
  // Lines that would be pushed out of the list by the newer ones never go into it.
  if (queue_.size() > kMaximumLines) queue_.pop_front();
  if (timerArmed_) return;
  timerArmed_ = ::SetTimer(combo_, kBatchTimer, kBatchDelayMs, nullptr) != 0;
  if (!timerArmed_) Flush();
}

void CLogView::Flush() {
  if (timerArmed_) ::KillTimer(combo_, kBatchTimer);
  timerArmed_ = false;
  if (!combo_ || queue_.empty()) return;
  ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
  for (const char16_t* line : queue_)
    ::SendMessageW(combo_, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(platform::W(line)));
  queue_.clear();
  LRESULT count = ::SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  while (count > static_cast<LRESULT>(kMaximumLines) && count != CB_ERR)
    count = ::SendMessageW(combo_, CB_DELETESTRING, count - 1, 0);
  ::SendMessageW(combo_, CB_SETCURSEL, 0, 0);
  ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(combo_, nullptr, TRUE);
}

void CLogView::Place(const RECT& rect) {
  const int height = std::max<int>(0, rect.bottom - rect.top);
  const int buttonWidth = std::min<int>(height, std::max<int>(0, rect.right - rect.left));
  const int comboWidth = std::max<int>(0, rect.right - rect.left - buttonWidth);
  ::MoveWindow(combo_, rect.left, rect.top, comboWidth, 240, TRUE);
  ::MoveWindow(button_, rect.left + comboWidth, rect.top, buttonWidth, height, TRUE);
}

}  // namespace ui
