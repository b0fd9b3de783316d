// Identifiers of the program's resources and commands, shared by lumenard.rc and the code.
// Plain #defines so that the resource compiler reads them too.
#pragma once

// Version of the program file (the About box reads it back from the version resource).
#define LUMENARD_FILE_VERSION 2, 0, 0, 1
#define LUMENARD_FILE_VERSION_TEXT "2, 0, 0, 1"
#define LUMENARD_PRODUCT_VERSION_TEXT "2.0"

// Icons, bitmaps, dialogs, menus.
#define IDD_ABOUTBOX 100
#define IDR_MAINFRAME 128
#define IDB_SPLASH 266
#define IDR_LOG_WINDOW_MENU 901

// Controls of the About box.
#define IDC_ABOUT_PRODUCT 2001
#define IDC_ABOUT_TAGLINE 2002
#define IDC_ABOUT_VERSION 2003
#define IDC_ABOUT_WEB_LINK 2004
#define IDC_ABOUT_SUPPORT_LINK 2005
#define IDC_ABOUT_ICON 2006

// Commands.
#define ID_LOG_SAVE_AND_SHOW 134
#define ID_HELP_RECOVERY_GUIDE 32817
#define ID_HELP_SEARCH 32818
#define ID_HELP_WEB_SITE 32789
#define ID_HELP_SUPPORT 32795
#define ID_HELP_TESTIMONIALS 32838
#define ID_MODE_EXPLORER 32839
#define ID_MODE_WIZARD 32840
#define ID_MODE_EXPLORER_SECOND 32841
#define ID_MODE_EXPLORER_THIRD 32842
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_HELP_CONTENTS 57670
