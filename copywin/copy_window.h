// The copy window: the sources (added through the folder picker or dropped
// from Explorer), the destination (the removable drives offered first), the
// two options, 確認 (a dry run), コピー開始 and 中止, the progress and the
// results, one line per file. Every text comes from the catalogue's Japanese
// table; nothing is kept between runs of the program.
#pragma once

#include <windows.h>

INT_PTR CALLBACK copyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
