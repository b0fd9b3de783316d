// A child window that only holds other windows: the controls inside it notify it, and it passes
// their commands, notifications and context menus on to its parent, so that the frame hears
// them however deep the controls sit. A size handler lays out what it holds.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/framework/window.h"

namespace ui {

class CContainerWindow : public CCustomWindow {
 public:
  static constexpr const wchar_t* kClassName = L"LumenardContainer";

  // A visible child of parent, filling nothing until it is moved.
  bool CreateChild(HWND parent, DWORD exStyle = 0);
  void SetSizeHandler(std::function<void(int width, int height)> handler) {
    sizeHandler_ = std::move(handler);
  }

 protected:
  bool CreateChildOfClass(const wchar_t* className, HWND parent, DWORD exStyle);
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  void OnSize(UINT type, int width, int height) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  std::function<void(int, int)> sizeHandler_;
};

}  // namespace ui
