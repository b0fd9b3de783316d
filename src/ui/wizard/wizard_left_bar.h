// The bar left of the wizard's pages: the local page media/WizardBar.html in the browser
// control where the system has an HTML engine, otherwise a list of the ten steps with the
// current one marked.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CHtmlPane;

namespace ui {

class CWizardMode_LeftBar {
 public:
  CWizardMode_LeftBar();
  ~CWizardMode_LeftBar();
  CWizardMode_LeftBar(const CWizardMode_LeftBar&) = delete;
  CWizardMode_LeftBar& operator=(const CWizardMode_LeftBar&) = delete;

  // The steps' names in order; the bar is a child of parent.
  bool Create(HWND parent, std::vector<std::u16string> steps);
  HWND Handle() const { return window_; }
  bool ShowsBrowser() const;
  // Marks the step at index (the page's position in the sheet).
  void SetCurrent(size_t index);
  size_t Current() const { return current_; }
  void Move(const RECT& rect) const;

 private:
  HWND window_ = nullptr;
  std::unique_ptr<CHtmlPane> browser_;
  std::vector<std::u16string> steps_;
  size_t current_ = 0;
};

}  // namespace ui
