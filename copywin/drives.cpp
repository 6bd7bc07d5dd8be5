#include "copywin/drives.h"

#include "cli/texts.h"
#include "command/wide_text.h"

#include <windows.h>

std::vector<RemovableDrive> removableDrives(const Catalogue &messages) {
  std::vector<RemovableDrive> drives;
  wchar_t roots[512] = {};
  const DWORD length = GetLogicalDriveStringsW(512, roots);
  if (length == 0 || length >= 512)
    return drives;
  // An empty card reader would ask for a disk: no dialog, only a failure.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  for (const wchar_t *root = roots; *root != L'\0'; root += wcslen(root) + 1) {
    if (GetDriveTypeW(root) != DRIVE_REMOVABLE)
      continue;
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExW(root, &freeBytes, nullptr, nullptr))
      continue; // no medium
    wchar_t name[MAX_PATH + 1] = {};
    GetVolumeInformationW(root, name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    const std::string shownRoot = utf8FromWide(root, wcslen(root));
    const std::string free = amountOfBytes(freeBytes.QuadPart);
    const std::string label = name[0] == L'\0'
                                  ? messageText(messages, Message::WindowDriveUnnamed,
                                                {{"drive", shownRoot}, {"free", free}})
                                  : messageText(messages, Message::WindowDrive,
                                                {{"drive", shownRoot},
                                                 {"name", utf8FromWide(name, wcslen(name))},
                                                 {"free", free}});
    drives.push_back(RemovableDrive{root, wideFromUtf8(label.data(), label.size())});
  }
  SetErrorMode(oldMode);
  return drives;
}
