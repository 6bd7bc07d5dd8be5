// Folders on Windows, through the ANSI functions like the rest of the file
// access.
#include "cli/file_list.h"

#include <windows.h>

PathKind pathKind(const char *path) {
  const DWORD attributes = path[0] == '\0' ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

std::string joinPath(const std::string &folder, const std::string &name) {
  // The last byte of a code page 932 character may be 0x5C, the backslash;
  // a folder name ending in such a character still needs its separator, so
  // the test looks for a separator that starts a character.
  bool endsWithSeparator = false;
  for (size_t i = 0; i < folder.size(); ++i) {
    const auto byte = static_cast<BYTE>(folder[i]);
    endsWithSeparator = (byte == '\\' || byte == '/') && i + 1 == folder.size();
    if (IsDBCSLeadByte(byte))
      ++i;
  }
  if (endsWithSeparator || (folder.size() == 2 && folder[1] == ':'))
    return folder + name;
  return folder + "\\" + name;
}

bool listFolder(const std::string &folder, std::vector<FolderEntry> &entries) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(joinPath(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..")
      continue;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Junctions and folder links are not followed, which could lead in circles.
    if (isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
      continue;
    entries.push_back(FolderEntry{name, isFolder ? PathKind::Folder : PathKind::File});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}
