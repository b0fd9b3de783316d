#include "ui/dialogs/drive_image_dialogs.h"

void RunCreateDriveImage(HWND, CVolume&) {}
CVolume* RunLoadDriveImage(HWND) { return nullptr; }
void RunVirtualDriveDialog(HWND, CVolume&) {}
