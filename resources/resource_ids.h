// Identifiers shared by the resource script, the dialog procedure and the
// commands. Plain #defines so that the resource compiler reads them too.
#pragma once

#define IDD_MAIN 9
#define IDC_FILE_PATH 1002
#define IDC_BROWSE 1003
#define IDC_CONVERT 1004
#define IDI_APP 103

// The copy window (SorabunCopy.exe). Its texts come from the catalogue.
#define IDD_COPY 10
#define IDC_SOURCES_LABEL 1101
#define IDC_SOURCES 1102
#define IDC_ADD 1103
#define IDC_REMOVE 1104
#define IDC_DESTINATION_LABEL 1105
#define IDC_DESTINATION 1106
#define IDC_BROWSE_DESTINATION 1107
#define IDC_CAR 1108
#define IDC_ALL_FILES 1109
#define IDC_CHECK 1110
#define IDC_START 1111
#define IDC_STOP 1112
#define IDC_PROGRESS 1113
#define IDC_PROGRESS_TEXT 1114
#define IDC_CURRENT_FILE 1115
#define IDC_RESULTS_LABEL 1116
#define IDC_RESULTS 1117
#define IDC_STATUS 1118
