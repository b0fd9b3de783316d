// Two panes side by side (vertical bar) or one above the other (horizontal bar), with a bar the
// user drags. Either pane may be hidden, and the other then takes the whole window.
#pragma once

#include <windows.h>

#include "ui/framework/container_window.h"

namespace ui {

class CSplitterWindow : public CContainerWindow {
 public:
  static constexpr const wchar_t* kClassName = L"LumenardSplitter";
  static constexpr int kBarWidth = 5;
  // The smallest size a pane keeps while the bar is dragged.
  static constexpr int kMinimumPane = 24;

  explicit CSplitterWindow(bool vertical) : vertical_(vertical) {}

  bool CreateChild(HWND parent);
  // The windows become children of the splitter.
  void SetPanes(HWND first, HWND second);
  HWND Pane(int index) const { return panes_[index == 0 ? 0 : 1]; }
  // The size of the first pane in pixels, along the bar's axis.
  void SetPosition(int position);
  int Position() const { return position_; }
  // -1 shows both panes; 0 or 1 shows only that pane.
  void SetSinglePane(int pane);
  int SinglePane() const { return singlePane_; }
  bool IsPaneVisible(int index) const { return singlePane_ == -1 || singlePane_ == index; }
  bool IsVertical() const { return vertical_; }

 protected:
  void OnSize(UINT type, int width, int height) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Layout();
  int Extent() const;
  bool OnBar(LPARAM point) const;
  int Clamp(int position) const;

  bool vertical_;
  HWND panes_[2] = {nullptr, nullptr};
  int position_ = 200;
  int singlePane_ = -1;
  bool dragging_ = false;
};

}  // namespace ui
