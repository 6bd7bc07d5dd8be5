// The folder picker of 追加... and 参照...: the common item dialog
// (IFileOpenDialog with FOS_PICKFOLDERS) rather than SHBrowseForFolderW's
// tree, because it is the picker Explorer users know, takes a typed or pasted
// path and the folders pinned in its navigation pane, and hands back any
// name Windows can hold as a file-system path. It needs COM, which the
// program starts (apartment-threaded) before the window opens.
#pragma once

#include <windows.h>

#include <string>

enum class PickResult { Chosen, Cancelled, Failed };

// failure: the HRESULT when the dialog could not be shown or read.
PickResult pickFolder(HWND owner, const std::wstring &title, std::wstring &path, HRESULT &failure);
