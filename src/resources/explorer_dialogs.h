// Dialogs of the explorer window and its drive commands: templates and control identifiers,
// shared by explorer_dialogs.rc and the code. Plain #defines so that the resource compiler
// reads them too.
#pragma once

#define IDD_VOLUME_IMAGE_CREATE 3100
#define IDD_VOLUME_VIRTUAL 3101

// Creating Drive Image.
#define IDC_IMAGE_PROGRESS 3110
#define IDC_IMAGE_ELAPSED 3111
#define IDC_IMAGE_SPEED 3112
#define IDC_IMAGE_OUTCOME 3113
#define IDC_IMAGE_KEEP 3114
#define IDC_IMAGE_TARGET 3115

// Create Virtual Drive.
#define IDC_VIRTUAL_START_UNIT 1045
#define IDC_VIRTUAL_SIZE_UNIT 1046
#define IDC_VIRTUAL_SIZE 1070
#define IDC_VIRTUAL_START 1106
#define IDC_VIRTUAL_RANGE 1109
#define IDC_VIRTUAL_DRIVE_SIZE 1111
#define IDC_VIRTUAL_ZERO 3120
#define IDC_VIRTUAL_REASON 3121

// The range control's report of a new range (wParam: start, lParam: end position).
#define UM_RANGE_CHANGED 33086

// File Information: the properties of a found object.
#define IDD_FILE_INFORMATION 348
#define IDC_INFO_ID 1094
#define IDC_INFO_PARENT_ID 1095
#define IDC_INFO_OFFSET 1096
#define IDC_INFO_STATUS 1097
#define IDC_INFO_CREATED 1098
#define IDC_INFO_MODIFIED 1099
#define IDC_INFO_ACCESSED 1100
#define IDC_INFO_SIZE_ON_DISK 1101
#define IDC_INFO_SIZE 1102
#define IDC_INFO_LOCATION 1103
#define IDC_INFO_TYPE 1104
#define IDC_INFO_NAME 1105
#define IDC_INFO_SIGNATURE 1108
