#include "ui/framework/container_window.h"

namespace ui {

bool CContainerWindow::CreateChild(HWND parent, DWORD exStyle) {
  return CreateChildOfClass(kClassName, parent, exStyle);
}

bool CContainerWindow::CreateChildOfClass(const wchar_t* className, HWND parent, DWORD exStyle) {
  if (!Register({className, CS_HREDRAW | CS_VREDRAW, 0, COLOR_BTNFACE + 1})) return false;
  return Create(className, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, exStyle,
                {0, 0, 0, 0}, parent, nullptr);
}

bool CContainerWindow::OnCommand(int id, int code, HWND control) {
  HWND parent = ::GetParent(Handle());
  if (!parent) return false;
  ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  return true;
}

bool CContainerWindow::OnNotify(const NMHDR& header, LRESULT& result) {
  HWND parent = ::GetParent(Handle());
  if (!parent) return false;
  result = ::SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  return true;
}

void CContainerWindow::OnSize(UINT type, int width, int height) {
  if (type != SIZE_MINIMIZED && sizeHandler_) sizeHandler_(width, height);
}

bool CContainerWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  // Owner-drawn controls, context menus and the program's own notifications are the parent's
  // business as well.
  const bool forwarded = message == WM_CONTEXTMENU || message == WM_DRAWITEM ||
                         message == WM_MEASUREITEM || message == WM_INITMENUPOPUP ||
                         message == WM_MENUSELECT || message == WM_EXITMENULOOP ||
                         (message >= WM_APP && message <= 0xBFFF);
  if (!forwarded) return false;
  HWND parent = ::GetParent(Handle());
  if (!parent) return false;
  result = ::SendMessageW(parent, message, wParam, lParam);
  return true;
}

}  // namespace ui
