#include "library/file_list.h"

#include "command/temporary_name.h"
#include "library/copy_record.h"
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
  FolderHandle keptOut;
  bool keptOutExists;
  FolderChain chain;
};

void addFile(Walk &walk, size_t folder, const std::string &name, const std::string &shownPath,
             bool isMp3) {
  if (walk.seen.insert(shownPath).second)
    walk.list.files.push_back(ListedFile{folder, name, shownPath, isMp3});
}

// Whether the walk must leave out the open folder `folder`: the folder the
// copies go to, one that holds it, or one within it.
bool keptOut(const Walk &walk, FolderHandle folder) {
  return walk.keptOut != NO_FOLDER &&
         (folderIsWithin(walk.keptOut, folder) ||
          (walk.keptOutExists && folderIsWithin(folder, walk.keptOut)));
}

// The subfolder `name` of the listed folder `parent`, examined before it is
// walked: a problem when it cannot be entered or is kept out.
FileProblem examineSubfolder(Walk &walk, size_t parent, const std::string &name) {
  FolderHandle folder = NO_FOLDER;
  FileProblem problem = openListedFolder(walk.list.folders, parent, walk.chain, &folder);
  FolderHandle inner = NO_FOLDER;
  if (problem == FileProblem::None)
    problem = openFolder(folder, name.c_str(), &inner);
  if (problem == FileProblem::None && keptOut(walk, inner))
    problem = FileProblem::HoldsDestination;
  closeFolder(inner);
  return problem;
}

// Lists the listed folder with index `index` into the list, and its
// subfolders when the walk is recursive. Its handle is the chain's, which
// the subfolders' walks may close: it is asked for again each time.
void walkFolder(Walk &walk, size_t index, const std::string &shownPath) {
  std::vector<FolderEntry> entries;
  FolderHandle handle = NO_FOLDER;
  FileProblem listed = openListedFolder(walk.list.folders, index, walk.chain, &handle);
  if (listed == FileProblem::None)
    listed = listFolder(handle, keepEntry, &entries);
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
        const FileProblem problem = examineSubfolder(walk, index, entry.name);
        if (problem != FileProblem::None) {
          walk.list.problems.push_back(ListingProblem{path, problem, true});
          break;
        }
        walk.list.folders.push_back(ListedFolder{index, entry.name});
        walkFolder(walk, walk.list.folders.size() - 1, path);
      }
      break;
    case EntryKind::File:
      if (isTemporaryName(entry.name.c_str()))
        walk.list.leftovers.push_back(path);
      else if (isMp3Name(entry.name) || (walk.allFiles && entry.name != COPY_RECORD_NAME))
        addFile(walk, index, entry.name, path, isMp3Name(entry.name));
      break;
    }
  }
}

// Lets go of the chain's open folders nearest its start, but the first, until
// FOLDERS_OPEN_AT_MOST are open.
void letGoOfSome(FolderChain &chain) {
  for (size_t i = 1; i < chain.handles.size() && chain.open > FOLDERS_OPEN_AT_MOST; ++i) {
    if (chain.handles[i] == NO_FOLDER)
      continue;
    closeFolder(chain.handles[i]);
    chain.handles[i] = NO_FOLDER;
    --chain.open;
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
                  FileList &list, FolderHandle keptOut, bool keptOutExists) {
  Walk walk{recursive, allFiles, list, {}, keptOut, keptOutExists, {}};
  for (const char *path : paths) {
    FolderHandle folder = NO_FOLDER;
    const FileProblem problem =
        path[0] == '\0' ? FileProblem::NotFound : openFolder(CURRENT_FOLDER, path, &folder);
    closeFolder(folder);
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
    walkFolder(walk, list.folders.size() - 1, path);
  }
  closeFolderChain(walk.chain);
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
    if (chain.handles.back() != NO_FOLDER) {
      closeFolder(chain.handles.back());
      --chain.open;
    }
    chain.handles.pop_back();
    chain.indices.pop_back();
  }
  // From the innermost folder still open: those let go of are found again.
  size_t start = kept;
  while (start > 0 && chain.handles[start - 1] == NO_FOLDER)
    --start;
  for (size_t i = start; i < wanted.size(); ++i) {
    const FolderHandle parent = i == 0 ? CURRENT_FOLDER : chain.handles[i - 1];
    FolderHandle opened = NO_FOLDER;
    const FileProblem problem = openFolder(parent, folders[wanted[i]].name.c_str(), &opened);
    if (problem != FileProblem::None)
      return problem;
    if (i < chain.handles.size()) {
      chain.handles[i] = opened;
    } else {
      chain.indices.push_back(wanted[i]);
      chain.handles.push_back(opened);
    }
    ++chain.open;
    letGoOfSome(chain);
  }
  *handle = chain.handles.back();
  return FileProblem::None;
}

void closeFolderChain(FolderChain &chain) {
  for (FolderHandle handle : chain.handles)
    closeFolder(handle);
  chain.handles.clear();
  chain.indices.clear();
  chain.open = 0;
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
