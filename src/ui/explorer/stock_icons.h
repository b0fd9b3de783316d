// The shell's own small icons for the computer, drives, the Recycle Bin, folders and files, as
// every Explorer window shows them.
#pragma once

#include <windows.h>

enum class ShellIcon { Computer, FixedDrive, RemovableDrive, RecycleBin, Folder, File, ImageFile };

// A 16 x 16 icon the caller destroys; a plain application icon when the shell has none.
HICON SmallShellIcon(ShellIcon which);
