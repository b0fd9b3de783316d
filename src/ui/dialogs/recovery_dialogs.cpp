#include "ui/dialogs/recovery_dialogs.h"

// Not built yet: the dialogs of a recovery come next.
namespace ui {

INT_PTR ShowRecoverDialog(HWND, CRecovery&, CVolume&, HWND) { return IDCANCEL; }
INT_PTR ShowRecoveryProgress(HWND, CRecovery&, ProgressMode) { return IDCANCEL; }
bool ConfirmTryOpen(HWND) { return false; }
bool AskProbableSize(HWND, const SizeQuestion&, SizeAnswer&) { return false; }
std::unique_ptr<IRecoveryPrompter> MakeWindowPrompter(HWND) { return nullptr; }

}  // namespace ui
