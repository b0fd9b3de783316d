#include "ui/framework/command_states.h"

#include <commctrl.h>

namespace ui {

bool CCommandStates::IsEnabled(uint32_t command) const { return Get(command).enabled; }
bool CCommandStates::IsChecked(uint32_t command) const { return Get(command).checked; }

CCommandStates::State CCommandStates::Get(uint32_t command) const {
  auto it = states_.find(command);
  return it == states_.end() ? State{} : it->second;
}

void CCommandStates::ApplyToMenu(HMENU menu) const {
  if (!menu) return;
  const int count = ::GetMenuItemCount(menu);
  for (int index = 0; index < count; ++index) {
    if (HMENU popup = ::GetSubMenu(menu, index)) {
      ApplyToMenu(popup);
      continue;
    }
    const UINT id = ::GetMenuItemID(menu, index);
    if (id == static_cast<UINT>(-1) || id == 0) continue;
    auto it = states_.find(id);
    if (it == states_.end()) continue;
    ::EnableMenuItem(menu, index, MF_BYPOSITION | (it->second.enabled ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(menu, index, MF_BYPOSITION | (it->second.checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

void CCommandStates::ApplyToToolBars() {
  for (const auto& [command, state] : states_) {
    auto it = applied_.find(command);
    if (it != applied_.end() && it->second.enabled == state.enabled &&
        it->second.checked == state.checked)
      continue;
    for (HWND toolbar : toolbars_) {
      // Commands that are not on this toolbar are refused by it; nothing to tell apart.
      ::SendMessageW(toolbar, TB_ENABLEBUTTON, command, MAKELPARAM(state.enabled, 0));
      ::SendMessageW(toolbar, TB_CHECKBUTTON, command, MAKELPARAM(state.checked, 0));
    }
    applied_[command] = state;
  }
}

}  // namespace ui
