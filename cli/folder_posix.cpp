// Folders on POSIX systems.
#include "cli/file_list.h"

#include <dirent.h>
#include <sys/stat.h>

PathKind pathKind(const char *path) {
  struct stat status;
  if (path[0] == '\0' || stat(path, &status) != 0)
    return PathKind::Missing;
  return S_ISDIR(status.st_mode) ? PathKind::Folder : PathKind::File;
}

std::string joinPath(const std::string &folder, const std::string &name) {
  if (!folder.empty() && folder.back() == '/')
    return folder + name;
  return folder + "/" + name;
}

bool listFolder(const std::string &folder, std::vector<FolderEntry> &entries) {
  DIR *directory = opendir(folder.c_str());
  if (directory == nullptr)
    return false;
  while (const dirent *entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    struct stat status;
    const std::string path = joinPath(folder, name);
    if (lstat(path.c_str(), &status) != 0)
      continue;
    PathKind kind = PathKind::File;
    if (S_ISDIR(status.st_mode)) {
      kind = PathKind::Folder;
    } else if (S_ISLNK(status.st_mode)) {
      // A link to a file counts as the file; a link to a folder is not followed.
      struct stat target;
      if (stat(path.c_str(), &target) != 0 || S_ISDIR(target.st_mode))
        continue;
    } else if (!S_ISREG(status.st_mode)) {
      continue;
    }
    entries.push_back(FolderEntry{name, kind});
  }
  closedir(directory);
  return true;
}
