// The recovery dialogs: templates, the picture of the Recover dialog and the control
// identifiers, shared by recovery_dialogs.rc and the code. Plain #defines so that the resource
// compiler reads them too. The language files name the controls by these numbers.
#pragma once

#define IDD_PROBABLE_FILE_SIZE 106
#define IDD_ON_RECOVERY 237
#define IDD_RECOVERY_PROGRESS 239
#define IDD_TRY_OPEN 301
#define IDB_RECOVER_BANNER 276

// Recover: the destination.
#define IDC_RECOVER_DESTINATION 1032
#define IDC_RECOVER_BROWSE 1034
#define IDC_RECOVER_HEADING 1060
#define IDC_RECOVER_KEEP_STRUCTURE 1113
#define IDC_RECOVER_BANNER 3201

// Recovering files: the progress of a run.
#define IDC_PROGRESS_TOTAL_BAR 1035
#define IDC_PROGRESS_FILE_BAR 1036
#define IDC_PROGRESS_TOTAL 1038
#define IDC_PROGRESS_FILE 1039
#define IDC_PROGRESS_GO_TO_RECOVERED 1044
#define IDC_PROGRESS_COUNTS 3202
#define IDC_PROGRESS_FILE_LABEL 3203

// The warning before Try To Open.
#define IDC_TRY_OPEN_HIDE 1126

// Enter probable file size.
#define IDC_SIZE_SCOPE_THIS_TYPE 1085
#define IDC_SIZE_SCOPE_ANY_TYPE 1086
#define IDC_SIZE_DEFAULT 1087
#define IDC_SIZE_NEXT_ANY 1088
#define IDC_SIZE_UNIT 1089
#define IDC_SIZE_CUSTOM_NUMBER 1070
#define IDC_SIZE_SCOPE_THIS_FILE 1122
#define IDC_SIZE_NEXT_SAME 1123
#define IDC_SIZE_CUSTOM 1124
#define IDC_SIZE_INTRO 1228
#define IDC_SIZE_OFFSET 1229
#define IDC_SIZE_NAME 1230
#define IDC_SIZE_TYPE 1231
#define IDC_SIZE_CONDITION 1232
#define IDC_SIZE_NEXT_ANY_KB 1235
#define IDC_SIZE_NEXT_SAME_KB 1236
#define IDC_SIZE_DEFAULT_KB 1237
#define IDC_SIZE_SKIP 5
#define IDC_SIZE_HELP 57670
