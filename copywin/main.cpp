// Program entry: COM for the folder picker (apartment-threaded, as shell
// dialogs need), the common controls, and the copy window as a modal dialog,
// the program's only message loop.
#include "copywin/copy_window.h"
#include "resources/resource_ids.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_COPY), nullptr, copyWindowProc, 0);
  if (SUCCEEDED(com))
    CoUninitialize();
  return 0;
}
