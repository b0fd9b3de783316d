// The drive-image commands of the windows: Create Drive Image (a save dialog, then the copy
// with its progress dialog), Load Drive Image (an open dialog) and Create Virtual Drive.
#pragma once

#include <windows.h>

class CVolume;

// The lParam of the UM_FOUND_VOLUME_ADDED these commands send to their owner: the tree selects
// the new drive (a partition found by an analysis is only added).
constexpr LPARAM kSelectAddedDrive = 1;

// Asks for the image file, copies the volume into it and, when the copy is complete (or the
// user keeps an incomplete one), loads the image as a drive.
void RunCreateDriveImage(HWND owner, CVolume& volume);
// Asks for an image file and loads it as a drive; the new drive, or null.
CVolume* RunLoadDriveImage(HWND owner);
// Asks for a range of the volume and creates a virtual drive over it.
void RunVirtualDriveDialog(HWND owner, CVolume& volume);
