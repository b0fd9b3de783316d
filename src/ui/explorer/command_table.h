// Every command of the explorer window: where it sits, its caption, the text the status bar
// shows while it is highlighted in a menu and its tooltip. A language file may replace the
// texts (the language string of the command's number: status text, "\n", tooltip). Commands
// whose windows the program does not have yet are listed as not available: they stay in the
// menus, disabled.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ui {

enum class CommandPlace {
  DiskMenu,
  FileMenu,
  ViewMenu,
  OptionsMenu,
  HelpMenu,
  DriveMenu,
  StatusBar,
  NoMenu
};

struct CommandInfo {
  uint32_t id;
  CommandPlace place;
  const char16_t* caption;  // as in the menu, with its accelerator text
  const char16_t* statusText;
  const char16_t* tooltip;
  bool available;
};

std::span<const CommandInfo> ExplorerCommands();
// Null for a number that is not a command of the explorer window.
const CommandInfo* FindExplorerCommand(uint32_t id);
bool IsCommandAvailable(uint32_t id);

// The texts in the interface language, falling back to the built-in English ones.
std::u16string CommandStatusText(uint32_t id);
std::u16string CommandTooltip(uint32_t id);

}  // namespace ui
