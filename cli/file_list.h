// The files a run converts: the files named on the command line, and the
// MP3 files of the folders named there.
#pragma once

#include <string>
#include <vector>

enum class PathKind { Missing, File, Folder };

struct FolderEntry {
  std::string name;
  PathKind kind;
};

// Platform parts: what a path names, and a folder's entries (not "." and
// "..", nor links to folders, which could lead in circles).
PathKind pathKind(const char *path);
bool listFolder(const std::string &folder, std::vector<FolderEntry> &entries);
std::string joinPath(const std::string &folder, const std::string &name);

// True for names ending in ".mp3" in any letter case.
bool isMp3Name(const std::string &name);

struct FileList {
  std::vector<std::string> files;      // in command-line order, each folder's sorted by name
  std::vector<std::string> missing;    // named paths that do not exist
  std::vector<std::string> unreadable; // folders that could not be listed
};

void collectFiles(const std::vector<const char *> &paths, bool recursive, FileList &list);
