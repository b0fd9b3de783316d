// A pane with a title line above its one client window (the legend, the data viewer).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/framework/container_window.h"

namespace ui {

class CPaneContainer : public CContainerWindow {
 public:
  static constexpr const wchar_t* kClassName = L"LumenardPaneContainer";
  static constexpr int kTitleId = 1;

  bool CreateChild(HWND parent, std::u16string_view title);
  void SetTitle(std::u16string_view title);
  // The window becomes the container's child and fills it below the title.
  void SetClient(HWND client);
  HWND Client() const { return client_; }
  HWND Title() const { return title_; }

 protected:
  void OnSize(UINT type, int width, int height) override;

 private:
  void Layout();

  HWND title_ = nullptr;
  HWND client_ = nullptr;
};

}  // namespace ui
