// The wizard's scan pages (the file-system pass and the sector pass) and result pages (what
// each pass found, with Recover): templates and control identifiers, shared by wizard_scan.rc
// and the code. Plain #defines so that the resource compiler reads them too.
#pragma once

#define IDD_WIZARD_STEP5 331
#define IDD_WIZARD_STEP6 332
#define IDD_WIZARD_STEP7 336
#define IDD_WIZARD_STEP8 337

// Scan pages.
#define IDC_SCAN_PROGRESS 1035
#define IDC_SCAN_LOG 1171
#define IDC_SCAN_FILES_FOUND 1172
#define IDC_SCAN_READ_ERRORS 1173
#define IDC_SCAN_CURRENT_RECORD 1174
#define IDC_SCAN_TOTAL_RECORDS 1175
#define IDC_SCAN_START 1187
#define IDC_SCAN_STOP 1188
#define IDC_SCAN_FREE_CLUSTERS 1190
#define IDC_SCAN_TOTAL_CLUSTERS 1191
#define IDC_SCAN_CURRENT_CLUSTER 1192
#define IDC_SCAN_STATUS 1197
#define IDC_SCAN_SHOW_FILE_NAMES 1218
#define IDC_SCAN_DRIVE_NAME 1274
#define IDC_SECTORS_DRIVE_NAME 1275

// Result pages.
#define IDC_RESULT_RECOVER 1177
#define IDC_RESULT_TRY_OPEN 1178
#define IDC_RESULT_INFORMATION 1179
#define IDC_RESULT_VIEW 1220
#define IDC_RESULT_FILTERS 1276
// What AutoPilot is doing on the last result page.
#define IDC_RESULT_AUTOPILOT 3330
