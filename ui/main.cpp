// Program entry: the modal main dialog is the program's only message loop.
#include "resources/resource_ids.h"
#include "ui/main_dialog.h"

#include <windows.h>

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  g_hInstance = instance;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
  return 0;
}
