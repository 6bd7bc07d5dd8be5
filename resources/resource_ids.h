// Identifiers shared by the resource script, the dialog procedure and the
// commands. Plain #defines so that the resource compiler reads them too.
#pragma once

#define IDD_MAIN 9
#define IDC_FILE_PATH 1002
#define IDC_BROWSE 1003
#define IDC_CONVERT 1004
#define IDI_APP 103
