#include "ui/framework/status_bar.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/text.h"
#include "ui/framework/module.h"

namespace ui {

bool CMultiPaneStatusBarEx::Create(HWND parent, std::vector<Pane> panes) {
  panes_ = std::move(panes);
  bar_ =
      ::CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | SBARS_SIZEGRIP,
                        0, 0, 0, 0, parent, nullptr, CModule::Instance(), nullptr);
  if (!bar_) return false;
  ApplyParts();
  return true;
}

int CMultiPaneStatusBarEx::IndexOf(int id) const {
  for (size_t index = 0; index < panes_.size(); ++index)
    if (panes_[index].id == id) return static_cast<int>(index);
  return -1;
}

bool CMultiPaneStatusBarEx::SetPaneWidth(int id, int width) {
  const int index = IndexOf(id);
  if (index < 0 || width < 0) return false;
  panes_[static_cast<size_t>(index)].width = width;
  ApplyParts();
  return true;
}

int CMultiPaneStatusBarEx::PaneWidth(int id) const {
  const int index = IndexOf(id);
  return index < 0 ? -1 : panes_[static_cast<size_t>(index)].width;
}

void CMultiPaneStatusBarEx::SetPaneText(int id, std::u16string_view text) {
  const int index = IndexOf(id);
  if (index < 0 || !bar_) return;
  const std::u16string copy(text);
  ::SendMessageW(bar_, SB_SETTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(platform::W(copy.c_str())));
}

RECT CMultiPaneStatusBarEx::PaneRect(int id) const {
  RECT rect{};
  const int index = IndexOf(id);
  if (index >= 0 && bar_) ::SendMessageW(bar_, SB_GETRECT, index, reinterpret_cast<LPARAM>(&rect));
  return rect;
}

void CMultiPaneStatusBarEx::Layout() {
  if (!bar_) return;
  ::SendMessageW(bar_, WM_SIZE, 0, 0);
  ApplyParts();
}

void CMultiPaneStatusBarEx::ApplyParts() {
  if (!bar_ || panes_.empty()) return;
  RECT client{};
  ::GetClientRect(bar_, &client);
  std::vector<int> edges;
  int edge = 0;
  for (size_t index = 0; index + 1 < panes_.size(); ++index) {
    edge += panes_[index].width;
    edges.push_back(edge);
  }
  // The last pane keeps its width at least and takes what the others leave.
  const int last = std::max<int>(edge + panes_.back().width, client.right);
  edges.push_back(last);
  ::SendMessageW(bar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

int CMultiPaneStatusBarEx::Height() const {
  if (!bar_ || !::IsWindowVisible(bar_)) return 0;
  RECT rect{};
  ::GetWindowRect(bar_, &rect);
  return rect.bottom - rect.top;
}

}  // namespace ui
