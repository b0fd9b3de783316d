// One of the program's local pages (media/index.html, media/legend.html) in a child window.
// Where the system has an HTML engine the page is shown in the WebBrowser control; where it has
// none (or the control shows nothing), the pane says the same thing natively: the legend as
// icons with their labels, the start page as text.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

class CHtmlPane {
 public:
  CHtmlPane();
  ~CHtmlPane();
  CHtmlPane(const CHtmlPane&) = delete;
  CHtmlPane& operator=(const CHtmlPane&) = delete;

  // page: the file name in the media folder, "index.html" or "legend.html".
  bool Create(HWND parent, std::u16string_view page);
  HWND Handle() const { return window_; }
  // True when the page is shown by the browser control, false for the native fallback.
  bool ShowsBrowser() const { return browser_ != nullptr; }

 private:
  struct Browser;
  HWND window_ = nullptr;
  std::unique_ptr<Browser> browser_;
};
