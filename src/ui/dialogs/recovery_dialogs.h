// The dialogs through which a user starts, follows and steers a recovery: the destination
// (Recover), the progress of a run, the warning before Try To Open and the probable size of a
// lost file. The explorer window and the wizard show them; the recovery thread asks its size
// question through the window prompter, which shows the size dialog on the interface thread.
#pragma once

#include <windows.h>

#include <memory>

#include "recovery/recovery_prompter.h"

class CRecovery;
class CVolume;

namespace ui {

// The Recover dialog for a run of job from source. On OK (after the destination was accepted)
// UM_START_RECOVERY is posted to startTarget. IDOK or IDCANCEL.
INT_PTR ShowRecoverDialog(HWND parent, CRecovery& job, CVolume& source, HWND startTarget);

enum class ProgressMode { Recover = 0, TryOpen = 1 };
// The progress of a run that has been started; returns after the run's thread has ended.
INT_PTR ShowRecoveryProgress(HWND parent, CRecovery& job, ProgressMode mode);

// The warning before Try To Open, unless the user turned it off. True to go on.
bool ConfirmTryOpen(HWND parent);

// The probable-size dialog for one object; false when it could not be shown.
bool AskProbableSize(HWND parent, const SizeQuestion& question, SizeAnswer& answer);

// Answers a recovery's questions with the dialogs above, on the interface thread of owner,
// whichever thread asks.
std::unique_ptr<IRecoveryPrompter> MakeWindowPrompter(HWND owner);

}  // namespace ui
