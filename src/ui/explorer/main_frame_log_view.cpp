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

// A drop-down list grows slowly with many thousand lines; the oldest go from the list (the log
// itself keeps them all and saves them with "...").
constexpr LRESULT kMaximumLines = 5000;

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
    if (message != UM_LOG_LINE) return false;
    if (wParam) AddLine(reinterpret_cast<const char16_t*>(wParam));
    result = 0;
    return true;
  });
  // What was logged before the window existed, newest on top.
  if (g_pLog)
    for (const std::u16string& line : g_pLog->Lines()) AddLine(line.c_str());
  return true;
}

void CLogView::AddLine(const char16_t* line) {
  if (!combo_ || !line) return;
  ::SendMessageW(combo_, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(platform::W(line)));
  const LRESULT count = ::SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  if (count > kMaximumLines) ::SendMessageW(combo_, CB_DELETESTRING, count - 1, 0);
  ::SendMessageW(combo_, CB_SETCURSEL, 0, 0);
}

void CLogView::Place(const RECT& rect) {
  const int height = std::max<int>(0, rect.bottom - rect.top);
  const int buttonWidth = std::min<int>(height, std::max<int>(0, rect.right - rect.left));
  const int comboWidth = std::max<int>(0, rect.right - rect.left - buttonWidth);
  ::MoveWindow(combo_, rect.left, rect.top, comboWidth, 240, TRUE);
  ::MoveWindow(button_, rect.left + comboWidth, rect.top, buttonWidth, height, TRUE);
}

}  // namespace ui
