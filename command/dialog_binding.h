// The main dialog's Convert command: reads the path field and converts the
// file, with message boxes owned by the dialog as the UserPrompt.
#pragma once

#include <windows.h>

void convertFile(HWND dialog);
