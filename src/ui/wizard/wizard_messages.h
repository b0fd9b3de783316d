// The wizard window's own messages, between its pages and the sheet.
#pragma once

#include <windows.h>

namespace ui {

// Sent by every page when it is initialised (lParam: the page): the sheet centres itself the
// first time and takes the program's title again.
constexpr UINT UM_WIZARD_PAGE_INITIALISED = 33087;
// Lays the sheet out around its header and bottom lines.
constexpr UINT UM_WIZARD_RELAYOUT = 33088;
// Step 1 tests its Next button again (the drive list changed).
constexpr UINT UM_WIZARD_CHECK_DRIVE = 33090;
// A command for the application object (wParam).
constexpr UINT UM_APP_NOTICE = 33081;
// Posted to Step 1's drive view: refresh the drive tree.
constexpr UINT ID_REFRESH_DRIVE_TREE = 32868;

}  // namespace ui
