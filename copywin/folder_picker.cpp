#include "copywin/folder_picker.h"

#include <shobjidl.h>

PickResult pickFolder(HWND owner, const std::wstring &title, std::wstring &path, HRESULT &failure) {
  IFileOpenDialog *dialog = nullptr;
  failure = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IFileOpenDialog, reinterpret_cast<void **>(&dialog));
  if (FAILED(failure))
    return PickResult::Failed;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title.c_str());
  PickResult result = PickResult::Failed;
  failure = dialog->Show(owner);
  if (failure == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
    result = PickResult::Cancelled;
    failure = S_OK;
  } else if (SUCCEEDED(failure)) {
    IShellItem *item = nullptr;
    failure = dialog->GetResult(&item);
    wchar_t *name = nullptr;
    if (SUCCEEDED(failure))
      failure = item->GetDisplayName(SIGDN_FILESYSPATH, &name);
    if (SUCCEEDED(failure)) {
      path = name;
      CoTaskMemFree(name);
      result = PickResult::Chosen;
    }
    if (item != nullptr)
      item->Release();
  }
  dialog->Release();
  return result;
}
