#include "ui/framework/splitter.h"

#include <windowsx.h>

#include <algorithm>

namespace ui {

bool CSplitterWindow::CreateChild(HWND parent) { return CreateChildOfClass(kClassName, parent, 0); }

void CSplitterWindow::SetPanes(HWND first, HWND second) {
  panes_[0] = first;
  panes_[1] = second;
  for (HWND pane : panes_)
    if (pane) ::SetParent(pane, Handle());
  Layout();
}

void CSplitterWindow::SetPosition(int position) {
  position_ = std::max(0, position);
  Layout();
}

void CSplitterWindow::SetSinglePane(int pane) {
  singlePane_ = pane < 0 || pane > 1 ? -1 : pane;
  Layout();
}

int CSplitterWindow::Extent() const {
  const RECT client = ClientRect();
  return vertical_ ? client.right : client.bottom;
}

int CSplitterWindow::Clamp(int position) const {
  const int extent = Extent();
  const int largest = extent - kBarWidth - kMinimumPane;
  if (largest < kMinimumPane) return std::max(0, extent / 2);
  return std::clamp(position, kMinimumPane, largest);
}

void CSplitterWindow::Layout() {
  if (!Handle()) return;
  const RECT client = ClientRect();
  const int width = client.right, height = client.bottom;
  for (int index = 0; index < 2; ++index) {
    HWND pane = panes_[index];
    if (!pane) continue;
    if (!IsPaneVisible(index)) {
      ::ShowWindow(pane, SW_HIDE);
      continue;
    }
    RECT rect{0, 0, width, height};
    if (singlePane_ == -1) {
      // The stored position is kept as given; only what is shown is held inside the window.
      const int first = std::min(position_, std::max(0, Extent() - kBarWidth));
      if (vertical_)
        rect = index == 0 ? RECT{0, 0, first, height} : RECT{first + kBarWidth, 0, width, height};
      else
        rect = index == 0 ? RECT{0, 0, width, first} : RECT{0, first + kBarWidth, width, height};
    }
    ::MoveWindow(pane, rect.left, rect.top, std::max<LONG>(0, rect.right - rect.left),
                 std::max<LONG>(0, rect.bottom - rect.top), TRUE);
    ::ShowWindow(pane, SW_SHOWNA);
  }
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void CSplitterWindow::OnSize(UINT type, int, int) {
  if (type != SIZE_MINIMIZED) Layout();
}

bool CSplitterWindow::OnBar(LPARAM point) const {
  if (singlePane_ != -1) return false;
  const int at = vertical_ ? GET_X_LPARAM(point) : GET_Y_LPARAM(point);
  return at >= position_ && at < position_ + kBarWidth;
}

bool CSplitterWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SETCURSOR: {
      POINT point;
      ::GetCursorPos(&point);
      ::ScreenToClient(Handle(), &point);
      if (reinterpret_cast<HWND>(wParam) != Handle() || !OnBar(MAKELPARAM(point.x, point.y)))
        return false;
      ::SetCursor(::LoadCursorW(nullptr, vertical_ ? IDC_SIZEWE : IDC_SIZENS));
      result = TRUE;
      return true;
    }
    case WM_LBUTTONDOWN:
      if (!OnBar(lParam)) return false;
      dragging_ = true;
      ::SetCapture(Handle());
      result = 0;
      return true;
    case WM_MOUSEMOVE:
      if (!dragging_) return false;
      position_ = Clamp(vertical_ ? GET_X_LPARAM(lParam) : GET_Y_LPARAM(lParam));
      Layout();
      result = 0;
      return true;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (!dragging_) return false;
      dragging_ = false;
      if (message == WM_LBUTTONUP) ::ReleaseCapture();
      result = 0;
      return true;
    default:
      return CContainerWindow::OnMessage(message, wParam, lParam, result);
  }
}

}  // namespace ui
