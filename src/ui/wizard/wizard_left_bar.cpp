#include "ui/wizard/wizard_left_bar.h"

#include "platform/text.h"
#include "resources/wizard_resources.h"
#include "ui/explorer/html_pane.h"
#include "ui/framework/module.h"

namespace ui {

namespace {

// The marker before the current step in the native list.
constexpr char16_t kCurrentMarker[] = u"\x25B6 ";
constexpr char16_t kOtherIndent[] = u"    ";

}  // namespace

CWizardMode_LeftBar::CWizardMode_LeftBar() = default;
CWizardMode_LeftBar::~CWizardMode_LeftBar() = default;

bool CWizardMode_LeftBar::ShowsBrowser() const { return browser_ && browser_->ShowsBrowser(); }

bool CWizardMode_LeftBar::Create(HWND parent, std::vector<std::u16string> steps) {
  auto browser = std::make_unique<CHtmlPane>();
  if (browser->Create(parent, u"WizardBar.html") && browser->ShowsBrowser()) {
    browser_ = std::move(browser);
    window_ = browser_->Handle();
    return true;
  }
  // The pane's own fallback is a page of text; the bar wants the steps instead.
  if (browser->Handle()) ::DestroyWindow(browser->Handle());
  window_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                              WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0, 10,
                              10, parent, reinterpret_cast<HMENU>(IDC_WIZARD_LEFT_BAR),
                              CModule::Instance(), nullptr);
  if (!window_) return false;
  steps_ = std::move(steps);
  for (const std::u16string& step : steps_) {
    const std::u16string line = kOtherIndent + step;
    ::SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(platform::W(line.c_str())));
  }
  SetCurrent(0);
  return true;
}

void CWizardMode_LeftBar::SetCurrent(size_t index) {
  if (!window_ || browser_) {
    current_ = index;
    return;
  }
  const LRESULT count = ::SendMessageW(window_, LB_GETCOUNT, 0, 0);
  if (count <= 0 || index >= static_cast<size_t>(count)) return;
  auto relabel = [this](size_t item, std::u16string_view prefix) {
    if (item >= steps_.size()) return;
    const std::u16string line = std::u16string(prefix) + steps_[item];
    ::SendMessageW(window_, LB_DELETESTRING, item, 0);
    ::SendMessageW(window_, LB_INSERTSTRING, item,
                   reinterpret_cast<LPARAM>(platform::W(line.c_str())));
  };
  if (current_ < static_cast<size_t>(count)) relabel(current_, kOtherIndent);
  relabel(index, kCurrentMarker);
  current_ = index;
}

void CWizardMode_LeftBar::Move(const RECT& rect) const {
  if (window_)
    ::MoveWindow(window_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 TRUE);
}

}  // namespace ui
