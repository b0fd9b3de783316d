// The enabled and checked states of commands, decided in one place (the idle handler) and
// applied to every place that shows the commands: menus, the menu bar and toolbars. Only what
// changed since the last apply is sent to the controls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

namespace ui {

class CCommandStates {
 public:
  struct State {
    bool enabled = true;
    bool checked = false;
  };

  void Enable(uint32_t command, bool enabled) { states_[command].enabled = enabled; }
  void Check(uint32_t command, bool checked) { states_[command].checked = checked; }
  // A command that was never set is enabled and unchecked.
  bool IsEnabled(uint32_t command) const;
  bool IsChecked(uint32_t command) const;
  State Get(uint32_t command) const;

  // Menus are updated in full (a popup is built anew from its resource when it opens);
  // radio checks are left to the caller.
  void ApplyToMenu(HMENU menu) const;
  void AddToolBar(HWND toolbar) { toolbars_.push_back(toolbar); }
  // Toolbars get only the states that changed since the last call.
  void ApplyToToolBars();

 private:
  std::map<uint32_t, State> states_;
  std::map<uint32_t, State> applied_;
  std::vector<HWND> toolbars_;
};

}  // namespace ui
