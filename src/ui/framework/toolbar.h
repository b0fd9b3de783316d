// A toolbar of command buttons with pictures from the program's icons, each in two image lists:
// the icons themselves and their grey copies for disabled buttons. Buttons may show their text
// beside the picture; tooltips are asked of the parent (TTN_GETDISPINFOW).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace ui {

struct ToolBarButton {
  int command = 0;  // 0 for a separator
  int iconId = 0;
  std::u16string text;  // empty: the picture alone
};

class CToolBar {
 public:
  static constexpr int kImageSize = 24;

  CToolBar() = default;
  ~CToolBar();
  CToolBar(const CToolBar&) = delete;
  CToolBar& operator=(const CToolBar&) = delete;

  // A child of parent (a rebar) named by its window text.
  bool Create(HWND parent, std::u16string_view name, const std::vector<ToolBarButton>& buttons);
  HWND Handle() const { return toolbar_; }
  // The size the toolbar needs for all its buttons.
  SIZE IdealSize() const;
  HIMAGELIST Images() const { return images_; }
  HIMAGELIST DisabledImages() const { return disabledImages_; }

 private:
  int AddIcon(int iconId);

  HWND toolbar_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HIMAGELIST disabledImages_ = nullptr;
  std::vector<std::u16string> texts_;
};

}  // namespace ui
