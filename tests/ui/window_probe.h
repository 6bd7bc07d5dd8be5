// Looking at another process's windows and files from the outside, for the
// UI driver: finding dialogs, reading texts and places, taking screenshots.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

std::wstring windowsPath(const char *path);
std::string narrow(const std::wstring &text);
std::wstring lower(std::wstring text);

PROCESS_INFORMATION startProgram(const std::wstring &program, const std::wstring &folder);

// A top-level window's title as the window system keeps it.
std::wstring windowText(HWND window);
// A control's text as the control itself answers (an edit control keeps its
// text where only WM_GETTEXT reaches it).
std::wstring controlText(HWND control);
std::wstring className(HWND window);
std::wstring comboText(HWND combo, int index);
HWND findDescendant(HWND parent, const wchar_t *className);

// A visible top-level dialog of the process with this title and owner.
HWND findProcessDialog(DWORD process, const wchar_t *title, HWND owner);
HWND waitForProcessDialog(DWORD process, const wchar_t *title, HWND owner, int milliseconds);
// Any visible top-level dialog of the process other than the main one.
HWND findOtherProcessDialog(DWORD process, HWND mainDialog);
bool waitUntilGone(HWND window, int milliseconds);

RECT windowRect(HWND window);
RECT clientRectOf(HWND child, HWND parent);
std::string describe(const RECT &rect);

// The dialog's base units, found from its client size in dialog units.
struct DialogUnits {
  bool found;
  int baseX;
  int baseY;
};
DialogUnits dialogUnits(HWND dialog, int widthUnits, int heightUnits);
RECT toPixels(const DialogUnits &units, int x, int y, int width, int height);

// Drops files on a window as Explorer does: a DROPFILES block with UTF-16
// names, placed in the program's memory, where DragQueryFile reads it (the
// handle of a fixed block is its address).
bool dropOn(HANDLE process, HWND window, const std::vector<std::wstring> &paths);

void saveScreenshot(const std::wstring &path, const RECT &area);
int countPixels(const RECT &area, bool (*matches)(BYTE red, BYTE green, BYTE blue));

std::vector<unsigned char> readWholeFile(const std::wstring &path);
void writeWholeFile(const std::wstring &path, const std::vector<unsigned char> &content);
FILETIME lastWriteTime(const std::wstring &path);
void setOldWriteTime(const std::wstring &path);
bool canOpenForWriting(const std::wstring &path);
