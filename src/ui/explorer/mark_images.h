// The check boxes of the folder tree, drawn by the system as its buttons are.
#pragma once

#include <windows.h>

#include <commctrl.h>

// The tree's state images: 0 none, 1 unchecked, 2 checked, 3 partly checked.
HIMAGELIST CreateMarkStateImages();
