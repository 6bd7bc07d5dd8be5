// The main window: the modal dialog that holds the path field and the
// Browse and Convert buttons.
#pragma once

#include <windows.h>

// The module instance, saved by the program entry; the dialog loads its icon
// from it. The program's only process-wide state.
extern HINSTANCE g_hInstance;

// Top-left corner that centres a window on the desktop. Uses the right and
// bottom edges as GetWindowRect returns them and halves each separately, so
// a window still at 0,0 is centred by its width and height.
POINT centredOrigin(const RECT &desktop, const RECT &window);

INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
