// The idle update of the explorer window's commands: from what is selected, whether an
// analysis runs and whether a recovery still copies, which commands are enabled and which are
// checked. Commands that are not available yet end up disabled whatever the selection.
#pragma once

#include <cstdint>

#include "ui/framework/command_states.h"

namespace ui {

struct ExplorerCommandContext {
  bool driveSelected = false;   // a drive node of the tree
  bool objectSelected = false;  // a found file or folder
  bool analysisRunning = false;
  // A recovery job's thread still runs (its progress dialog may be gone already).
  bool recoveryRunning = false;
  // The drive of the selection is the one a running recovery copies from.
  bool driveHeldByRecovery = false;
  bool searchBarVisible = false;
  bool legendShown = true;
  bool toolbarShown = true;
  bool statusBarShown = true;
  bool logShown = true;
  int32_t mode = 0;  // the application mode the window shows
};

// With neither a drive nor an object selected, the object commands keep their last state.
// withUnavailable false leaves the commands that are not available yet as the selection says
// (for a look at the rules alone).
void UpdateExplorerCommands(const ExplorerCommandContext& context, CCommandStates& states,
                            bool withUnavailable = true);

}  // namespace ui
