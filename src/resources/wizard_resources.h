// The wizard window and its first and last pages (drive, file types, scan scope, AutoPilot,
// summary): templates, the header bitmap, the menu and control identifiers, shared by
// wizard.rc and the code. Plain #defines so that the resource compiler reads them too.
#pragma once

#define IDD_WIZARD_STEP0 323
#define IDD_WIZARD_STEP1 324
#define IDD_WIZARD_STEP2 327
#define IDD_WIZARD_STEP3 329
#define IDD_WIZARD_STEP4 330
#define IDD_WIZARD_FINISH 335
#define IDB_WIZARD_HEADER 325
#define IDR_WIZARD_MENU 344

// The sheet's own controls below the pages.
#define IDC_WIZARD_MENU_BUTTON 32792
#define IDC_WIZARD_MENU_BUTTON_ALT 32771
#define IDC_WIZARD_WEB_LINK 3201
#define IDC_WIZARD_LEFT_BAR 3202

// Welcome.
#define IDC_WELCOME_VERSION 1092
#define IDC_WELCOME_SUPPORT_LINK 3210
#define IDC_WELCOME_HOME_LINK 3211

// Step 1: the drive view sits over this placeholder.
#define IDC_WIZARD_VIEW_PLACEHOLDER 1220
#define IDC_WIZARD_DRIVE_LIST 1168

// Step 2.
#define IDC_FILE_TYPE_TREE 1042
#define IDC_SEARCH_BY_NAME 1217
#define IDC_NAME_MASK 316

// Step 3.
#define IDC_SCAN_ENTIRE_DRIVE 3220
#define IDC_SCAN_FREE_SPACE 3221

// Step 4.
#define IDC_AUTOPILOT 1185
#define IDC_DESTINATION_FOLDER 1032
#define IDC_DESTINATION_BROWSE 1034
#define IDC_KEEP_FOLDER_STRUCTURE 1113

// Finish.
#define IDC_FINISH_FILES_FOUND 1181
#define IDC_FINISH_FILES_RECOVERED 1180
#define IDC_FINISH_FILES_INCOMPLETE 3230
#define IDC_FINISH_EXPLORE 1223
#define IDC_FINISH_ANOTHER_DRIVE 1030
#define IDC_FINISH_FEEDBACK 1031

// Commands of menu 344; the wizard passes them on to the application.
#define ID_WIZARD_SETTINGS 32798
#define ID_WIZARD_ABOUT 57664
#define ID_WIZARD_EXPLORER_MODE 32839
