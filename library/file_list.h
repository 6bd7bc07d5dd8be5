// The files a run converts or copies: the files it is given (on the command
// line, or in the copy window), and the MP3 files of the folders it is
// given. Folders are walked through open
// folder handles, so that no path grows too long to use however deep a tree
// goes; every entry that cannot be examined is kept to be reported.
#pragma once

#include "command/file_conversion.h"
#include "command/platform_files.h"

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t NO_PARENT = static_cast<size_t>(-1);

// A folder met in a walk: a name in its parent, or with no parent a path
// the run was given.
struct ListedFolder {
  size_t parent;
  std::string name;
};

struct ListedFile {
  size_t folder; // NO_PARENT: name is a path the run was given
  std::string name;
  std::string shownPath; // as the user named it, joined with the folders' names
  bool isMp3;            // an MP3 by its name, or given to the run itself
};

// A folder that could not be read or an entry that could not be examined.
struct ListingProblem {
  std::string shownPath;
  FileProblem problem;
  bool isFolder;
};

struct FileList {
  std::vector<ListedFolder> folders;
  std::vector<ListedFile> files; // in command-line order, each folder's in natural order
  std::vector<ListingProblem> problems;
  std::vector<std::string> leftovers; // temporary files of interrupted runs, as shown paths
};

std::string joinPath(const std::string &folder, const std::string &name);
// Whether c separates the parts of a path: '/', and on Windows '\\' too.
bool isPathSeparator(char c);

// allFiles: the folders' other files too (isMp3 false). keptOut, when
// given, is the folder copies go to (or, while it is not made, the folder
// it is to be made in): a folder met in the walk that is it, holds it or,
// for a folder that exists, lies within it (reached through a bind mount or
// another mount of the same disk) is not walked, and is reported as
// HoldsDestination.
void collectFiles(const std::vector<const char *> &paths, bool recursive, bool allFiles,
                  FileList &list, FolderHandle keptOut = NO_FOLDER, bool keptOutExists = false);

// The folders of the last file converted, kept open for the next, which is
// most often in the same folder: the first of the chain and the innermost
// ones, FOLDERS_OPEN_AT_MOST in all, so that a tree of any depth is walked
// within the open files a process may have (a run holds two chains); one let go in between is found
// again by its name in the nearest one open, never through a link.
constexpr size_t FOLDERS_OPEN_AT_MOST = 8;
struct FolderChain {
  std::vector<size_t> indices;
  std::vector<FolderHandle> handles; // NO_FOLDER: let go, found again when needed
  size_t open = 0;
};

// Opens (or finds open in the chain) the folder with index `folder` of
// `folders`. The handle stays the chain's: it may be closed by the next
// call.
FileProblem openListedFolder(const std::vector<ListedFolder> &folders, size_t folder,
                             FolderChain &chain, FolderHandle *handle);
void closeFolderChain(FolderChain &chain);

// The place of listed file i: its name in its folder, opened through the
// chain; or a path the run was given, with its own folder opened (which
// closePlace releases). False with the report of a file that could not be
// opened when its folder cannot be.
bool placeOfListedFile(const FileList &list, size_t i, FolderChain &chain, FilePlace *place,
                       PathReport *failure);
