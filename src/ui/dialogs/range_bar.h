// The range control of the virtual-drive dialog: the whole drive as a bar, the chosen part
// filled. A click or a drag moves the nearer end; every change is posted to the parent as
// UM_RANGE_CHANGED (wParam: start, lParam: end, in steps of kVirtualRangeUnits).
#pragma once

#include <windows.h>

// Registers the window class "LumenardRangeBar" once; true when it is registered.
bool RegisterRangeBar();

// Messages to the control: set the range without a report (wParam start, lParam end), and
// read it back (start in the low word, end in the high word of the result).
constexpr UINT kRangeBarSetRange = WM_USER + 1;
constexpr UINT kRangeBarGetRange = WM_USER + 2;
