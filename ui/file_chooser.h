// The Browse button: the system's Open dialog for MP3 files.
#pragma once

#include <windows.h>

// Shows the Open dialog owned by the main dialog and puts the chosen path
// into its path field; a cancel leaves the field empty. A path too long for
// the field, and any failure of the Open dialog, also empty it, with a
// warning.
void browseForFile(HWND dialog);
