#include "library/file_list.h"

#include "command/temporary_name.h"
#include "library/destination_names.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

#ifdef _WIN32
constexpr char SEPARATOR = '\\';
#else
constexpr char SEPARATOR = '/';
#endif

// True for names ending in ".mp3" in any letter case.
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

struct FolderEntry {
  std::string name;
  EntryKind kind;
  FileProblem problem;
};

void keepEntry(void *context, const char *name, EntryKind kind, FileProblem problem) {
  static_cast<std::vector<FolderEntry> *>(context)->push_back(FolderEntry{name, kind, problem});
}

struct Walk {
  bool recursive;
  bool allFiles;
  FileList &list;
  std::set<std::string> seen;
};

void addFile(Walk &walk, size_t folder, const std::string &name, const std::string &shownPath,
             bool isMp3) {
  if (walk.seen.insert(shownPath).second)
    walk.list.files.push_back(ListedFile{folder, name, shownPath, isMp3});
}

// Lists the open folder with index `index` into the list, and its
// subfolders when the walk is recursive.
void walkFolder(Walk &walk, size_t index, FolderHandle handle, const std::string &shownPath) {
  std::vector<FolderEntry> entries;
  const FileProblem listed = listFolder(handle, keepEntry, &entries);
  if (listed != FileProblem::None) {
    walk.list.problems.push_back(ListingProblem{shownPath, listed, true});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry &a, const FolderEntry &b) { return naturalLess(a.name, b.name); });
  for (const FolderEntry &entry : entries) {
    const std::string path = joinPath(shownPath, entry.name);
    switch (entry.kind) {
    case EntryKind::Unexaminable:
      walk.list.problems.push_back(ListingProblem{path, entry.problem, false});
      break;
    case EntryKind::LinkToFolder:
      break; // not followed: it could lead in circles or out of the tree
    case EntryKind::Folder:
      if (walk.recursive) {
        FolderHandle inner = NO_FOLDER;
        const FileProblem opened = openFolder(handle, entry.name.c_str(), &inner);
        if (opened != FileProblem::None) {
          walk.list.problems.push_back(ListingProblem{path, opened, true});
          break;
        }
        walk.list.folders.push_back(ListedFolder{index, entry.name});
        walkFolder(walk, walk.list.folders.size() - 1, inner, path);
        closeFolder(inner);
      }
      break;
    case EntryKind::File:
      if (isTemporaryName(entry.name.c_str()))
        walk.list.leftovers.push_back(path);
      else if (isMp3Name(entry.name) || walk.allFiles)
        addFile(walk, index, entry.name, path, isMp3Name(entry.name));
      break;
    }
  }
}

} // namespace

bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::string joinPath(const std::string &folder, const std::string &name) {
  const bool separated = !folder.empty() && isPathSeparator(folder.back());
#ifdef _WIN32
  if (separated || (folder.size() == 2 && folder[1] == ':'))
    return folder + name;
#else
  if (separated)
    return folder + name;
#endif
  return folder + SEPARATOR + name;
}

void collectFiles(const std::vector<const char *> &paths, bool recursive, bool allFiles,
                  FileList &list) {
  Walk walk{recursive, allFiles, list, {}};
  for (const char *path : paths) {
    FolderHandle folder = NO_FOLDER;
    const FileProblem problem =
        path[0] == '\0' ? FileProblem::NotFound : openFolder(CURRENT_FOLDER, path, &folder);
    // Anything that is not a folder is taken as a file, converted whatever
    // its name (a link that is not followed too); the conversion tells what
    // it is when it is not one.
    if (problem == FileProblem::NotFound || problem == FileProblem::NotAFolder ||
        problem == FileProblem::UntrustedLink) {
      addFile(walk, NO_PARENT, path, path, true);
      continue;
    }
    if (problem != FileProblem::None) {
      list.problems.push_back(ListingProblem{path, problem, true});
      continue;
    }
    list.folders.push_back(ListedFolder{NO_PARENT, path});
    walkFolder(walk, list.folders.size() - 1, folder, path);
    closeFolder(folder);
  }
}

FileProblem openListedFolder(const std::vector<ListedFolder> &folders, size_t folder,
                             FolderChain &chain, FolderHandle *handle) {
  std::vector<size_t> wanted; // the folder and its parents, innermost first
  for (size_t index = folder; index != NO_PARENT; index = folders[index].parent)
    wanted.push_back(index);
  std::reverse(wanted.begin(), wanted.end());
  size_t kept = 0;
  while (kept < chain.indices.size() && kept < wanted.size() && chain.indices[kept] == wanted[kept])
    ++kept;
  while (chain.indices.size() > kept) {
    closeFolder(chain.handles.back());
    chain.handles.pop_back();
    chain.indices.pop_back();
  }
  for (size_t i = kept; i < wanted.size(); ++i) {
    const FolderHandle parent = i == 0 ? CURRENT_FOLDER : chain.handles.back();
    FolderHandle opened = NO_FOLDER;
    const FileProblem problem = openFolder(parent, folders[wanted[i]].name.c_str(), &opened);
    if (problem != FileProblem::None)
      return problem;
    chain.indices.push_back(wanted[i]);
    chain.handles.push_back(opened);
  }
  *handle = chain.handles.back();
  return FileProblem::None;
}

void closeFolderChain(FolderChain &chain) {
  for (FolderHandle handle : chain.handles)
    closeFolder(handle);
  chain.handles.clear();
  chain.indices.clear();
}

bool placeOfListedFile(const FileList &list, size_t i, FolderChain &chain, FilePlace *place,
                       PathReport *failure) {
  const ListedFile &file = list.files[i];
  if (file.folder == NO_PARENT)
    return placeOfPathFor(file.name.c_str(), place, failure);
  FolderHandle folder = NO_FOLDER;
  const FileProblem problem = openListedFolder(list.folders, file.folder, chain, &folder);
  if (problem != FileProblem::None) {
    *failure = failedReport(PathOutcome::CannotOpen, problem);
    return false;
  }
  *place = placeInFolder(folder, file.name.c_str());
  return true;
}
