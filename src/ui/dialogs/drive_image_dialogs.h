// The drive-image commands of the windows: Create Drive Image (a save dialog, then the copy
// with its progress dialog), Load Drive Image (an open dialog) and Create Virtual Drive.
#pragma once

#include <windows.h>

class CVolume;

// Asks for the image file, copies the volume into it and, when the copy is complete (or the
// user keeps an incomplete one), loads the image as a drive.
void RunCreateDriveImage(HWND owner, CVolume& volume);
// Asks for an image file and loads it as a drive; the new drive, or null.
CVolume* RunLoadDriveImage(HWND owner);
// Asks for a range of the volume and creates a virtual drive over it.
void RunVirtualDriveDialog(HWND owner, CVolume& volume);
