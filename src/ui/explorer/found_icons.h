// The pictures of found objects in the file list and the folder tree, in the order of their
// icon numbers: 0 file, 1 deleted file, 2 and 3 folder closed and open (the root folder shows
// the open one), 4 and 5 folder holding deleted objects, 6 and 7 deleted folder (also the
// group folders under "Lost files"), 8 and 9 lost folder, 10 and 11 a file that the sector scan
// found again at its place, live and deleted. The shell's own file and folder icons, faded for
// deleted objects and marked with a dot for lost and scanned ones, as the legend shows them.
#pragma once

#include <windows.h>

#include <commctrl.h>

constexpr int kFoundIconCount = 12;

// A new 16 x 16 image list with kFoundIconCount pictures; the caller destroys it.
HIMAGELIST CreateFoundImageList();
