#include "ui/framework/pane_container.h"

#include <algorithm>

#include "platform/text.h"

namespace ui {

namespace {

HFONT GuiFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

// The title line: the text's height with a little room above and below.
int TitleHeight(HWND title) {
  HDC dc = ::GetDC(title);
  HGDIOBJ old = ::SelectObject(dc, GuiFont());
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(title, dc);
  return metrics.tmHeight + 6;
}

}  // namespace

bool CPaneContainer::CreateChild(HWND parent, std::u16string_view title) {
  if (!CreateChildOfClass(kClassName, parent, 0)) return false;
  const std::u16string text(title);
  title_ = ::CreateWindowExW(0, L"STATIC", platform::W(text.c_str()),
                             WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE | SS_SUNKEN, 0, 0, 0,
                             0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTitleId)),
                             nullptr, nullptr);
  if (title_) ::SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  return title_ != nullptr;
}

void CPaneContainer::SetTitle(std::u16string_view title) {
  if (title_) CWindow(title_).SetText(title);
}

void CPaneContainer::SetClient(HWND client) {
  client_ = client;
  if (client_) ::SetParent(client_, Handle());
  Layout();
}

void CPaneContainer::OnSize(UINT type, int, int) {
  if (type != SIZE_MINIMIZED) Layout();
}

void CPaneContainer::Layout() {
  if (!Handle() || !title_) return;
  const RECT client = ClientRect();
  const int titleHeight = std::min<int>(TitleHeight(title_), client.bottom);
  ::MoveWindow(title_, 0, 0, client.right, titleHeight, TRUE);
  if (client_)
    ::MoveWindow(client_, 0, titleHeight, client.right,
                 std::max<int>(0, client.bottom - titleHeight), TRUE);
}

}  // namespace ui
