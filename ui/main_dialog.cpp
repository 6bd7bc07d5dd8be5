#include "ui/main_dialog.h"

#include "resources/resource_ids.h"
#include "ui/dialog_binding.h"
#include "ui/file_chooser.h"
#include "ui/file_drop.h"

HINSTANCE g_hInstance = nullptr;

POINT centredOrigin(const RECT &desktop, const RECT &window) {
  POINT origin;
  origin.x = desktop.right / 2 - window.right / 2;
  origin.y = desktop.bottom / 2 - window.bottom / 2;
  return origin;
}

static void centreOnDesktop(HWND window) {
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  RECT own;
  GetWindowRect(window, &own);
  const POINT origin = centredOrigin(desktop, own);
  SetWindowPos(window, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE);
}

static void setBigIcon(HWND window) {
  const HICON icon = LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_APP));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

// Only the two buttons act; the notification code is deliberately ignored,
// and IDOK/IDCANCEL (Enter and Escape) fall through so the dialog stays open.
static void runCommand(HWND window, WPARAM wParam) {
  switch (LOWORD(wParam)) {
  case IDC_BROWSE:
    browseForFile(window);
    break;
  case IDC_CONVERT:
    convertFile(window);
    break;
  default:
    break;
  }
}

// Returning 0 from WM_INITDIALOG leaves the focus where the dialog manager
// put it instead of on the first control.
INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
  case WM_INITDIALOG:
    centreOnDesktop(window);
    setBigIcon(window);
    DragAcceptFiles(window, TRUE);
    break;
  case WM_DROPFILES:
    takeDroppedFile(window, reinterpret_cast<HDROP>(wParam));
    break;
  case WM_COMMAND:
    runCommand(window, wParam);
    break;
  case WM_CLOSE:
    EndDialog(window, 0);
    break;
  default:
    break;
  }
  return 0;
}
