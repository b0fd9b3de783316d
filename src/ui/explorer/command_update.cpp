#include "ui/explorer/command_update.h"

#include "resources/resource.h"
#include "ui/explorer/command_table.h"

namespace ui {

namespace {

constexpr uint32_t kObjectCommands[] = {ID_TRY_TO_OPEN, ID_RESET_SIZE, ID_SET_NEW_SIZE,
                                        ID_FILE_INFORMATION};
constexpr uint32_t kModeCommands[] = {ID_MODE_EXPLORER, ID_MODE_WIZARD, ID_MODE_EXPLORER_SECOND,
                                      ID_MODE_EXPLORER_THIRD};

}  // namespace

void UpdateExplorerCommands(const ExplorerCommandContext& context, CCommandStates& states,
                            bool withUnavailable) {
  const bool drive = context.driveSelected;
  const bool running = context.analysisRunning;
  // A recovery reads the objects' sizes and its drive until its thread ends: nothing may
  // start another run, change those sizes, rescan, or analyse (and so clear) that drive before.
  const bool copying = context.recoveryRunning;
  const bool held = context.driveHeldByRecovery;

  states.Enable(ID_RESCAN_DRIVES, !running && !copying);
  states.Check(ID_SEARCH, context.searchBarVisible);

  if (drive) {
    states.Enable(ID_START_ANALYZING, true);
    states.Enable(ID_RECOVER, false);
    for (uint32_t command : kObjectCommands) states.Enable(command, false);
  } else if (context.objectSelected) {
    states.Enable(ID_RECOVER, !running && !copying);
    states.Enable(ID_TRY_TO_OPEN, !copying);
    states.Enable(ID_RESET_SIZE, !held);
    states.Enable(ID_SET_NEW_SIZE, !held);
    states.Enable(ID_FILE_INFORMATION, true);
  }

  states.Enable(ID_STOP_ANALYZING, running);
  // An image copy or a lost-drive search must not read a drive while an analysis reads it.
  states.Enable(ID_CREATE_DRIVE_IMAGE, drive && !running);
  states.Enable(ID_SEARCH_LOST_DRIVES, drive && !running && !held);
  states.Enable(ID_START_ANALYZING, drive && !running && !held);
  states.Enable(ID_SEARCH, !running);
  states.Enable(ID_DRIVE_SELECT, drive);
  states.Enable(ID_DRIVE_PROPERTIES, drive);

  states.Check(ID_SHOW_LEGEND, context.legendShown);
  states.Check(ID_VIEW_TOOLBAR, context.toolbarShown);
  states.Check(ID_VIEW_STATUS_BAR, context.statusBarShown);
  states.Check(ID_SHOW_LOG, context.logShown);
  for (uint32_t command : kModeCommands)
    states.Check(command, static_cast<int32_t>(command) == context.mode);

  if (!withUnavailable) return;
  for (const CommandInfo& command : ExplorerCommands())
    if (!command.available) states.Enable(command.id, false);
}

}  // namespace ui
