// A status bar of panes named by identifiers, with widths that may change (0 hides a pane's
// content), the last pane taking what is left, and child controls placed inside panes.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace ui {

class CMultiPaneStatusBarEx {
 public:
  struct Pane {
    int id;
    int width;
  };

  bool Create(HWND parent, std::vector<Pane> panes);
  HWND Handle() const { return bar_; }

  // Index of the pane, or -1.
  int IndexOf(int id) const;
  bool SetPaneWidth(int id, int width);
  int PaneWidth(int id) const;
  void SetPaneText(int id, std::u16string_view text);
  // The pane's rectangle in the bar's client coordinates (empty when there is none).
  RECT PaneRect(int id) const;
  // Lays out the bar for its parent's size and sets the pane edges; call on the parent's
  // WM_SIZE. The last pane is at least its width and takes the rest.
  void Layout();
  int Height() const;

 private:
  void ApplyParts();

  HWND bar_ = nullptr;
  std::vector<Pane> panes_;
};

}  // namespace ui
