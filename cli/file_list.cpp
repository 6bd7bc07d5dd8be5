#include "cli/file_list.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

void collectFolder(const std::string &folder, bool recursive, FileList &list,
                   std::set<std::string> &seen) {
  std::vector<FolderEntry> entries;
  if (!listFolder(folder, entries)) {
    list.unreadable.push_back(folder);
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
  for (const FolderEntry &entry : entries) {
    const std::string path = joinPath(folder, entry.name);
    if (entry.kind == PathKind::Folder) {
      if (recursive)
        collectFolder(path, recursive, list, seen);
    } else if (entry.kind == PathKind::File && isMp3Name(entry.name) && seen.insert(path).second) {
      list.files.push_back(path);
    }
  }
}

} // namespace

bool isMp3Name(const std::string &name) {
  static const char EXTENSION[] = ".mp3";
  const size_t length = sizeof EXTENSION - 1;
  if (name.size() <= length)
    return false;
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(name[name.size() - length + i]);
    if (std::tolower(c) != EXTENSION[i])
      return false;
  }
  return true;
}

void collectFiles(const std::vector<const char *> &paths, bool recursive, FileList &list) {
  std::set<std::string> seen;
  for (const char *path : paths) {
    switch (pathKind(path)) {
    case PathKind::Missing:
      list.missing.push_back(path);
      break;
    case PathKind::Folder:
      collectFolder(path, recursive, list, seen);
      break;
    case PathKind::File:
      // A file named on the command line is converted whatever its name.
      if (seen.insert(path).second)
        list.files.push_back(path);
      break;
    }
  }
}
