// Files dragged from Explorer and dropped on the main dialog.
#pragma once

#include <windows.h>

#include <shellapi.h>

// Puts the first dropped file's path into the path field and releases the
// drop. A path the dialog cannot hand on as it is (too long, or with a
// character outside the code page) empties the field and is warned about.
void takeDroppedFile(HWND dialog, HDROP drop);
