// A run with --to: the files are only read, and a converted copy of each
// goes to the destination folder, laid out as the command line names them
// (a folder becomes a folder of the same name), with names a FAT stick
// holds, written in natural order (many car units play files in the order
// they were written). First everything is examined and the space checked;
// then the copies are written, each under a temporary name and renamed when
// complete, and the destination's disk is flushed once at the end.
#include "cli/copy_run.h"

#include "cli/file_list.h"
#include "cli/preview.h"
#include "cli/progress.h"
#include "cli/run_results.h"
#include "cli/texts.h"
#include "command/destination_names.h"
#include "command/temporary_name.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr size_t DESTINATION_ROOT = 0; // the folder given with --to

enum class FolderState { Unknown, Missing, Present };

struct DestinationFolder {
  FolderState state;
  std::vector<std::string> leftovers; // temporary files of interrupted runs
  std::set<std::string> takenNames;   // as FAT compares them
};

struct CopyRun {
  const Catalogue *messages;
  Options options;
  FileList list;
  // The destination folders as paths from DESTINATION_ROOT, which is the
  // folder given with --to, by its path.
  std::vector<ListedFolder> destinationFolders;
  std::vector<DestinationFolder> folderStates;
  std::vector<std::string> destinationPaths; // as shown
  std::vector<size_t> destinationOfFolder;   // per listed folder
  std::vector<size_t> destinationOfFile;     // per listed file
  std::vector<std::string> copyNames;        // per listed file
  std::vector<CopyReport> plans;             // per listed file
  FolderChain sourceFolders;
  FolderChain openDestinations;
  CopyCounts counts;
  ProgressLine progress;
  size_t needingAttention; // files that count against the exit status
  PreviewMarks marks;      // what a dry run would mark, for its count of '?'
};

bool isSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// The last part of a path from the command line: the name its copy takes
// in the destination; empty for ".", ".." and a root, whose content goes
// into the destination itself.
std::string lastPart(const std::string &path) {
  size_t end = path.size();
  while (end > 0 && isSeparator(path[end - 1]))
    --end;
  size_t start = end;
  while (start > 0 && !isSeparator(path[start - 1]))
    --start;
  std::string part = path.substr(start, end - start);
#ifdef _WIN32
  if (start == 0 && part.size() >= 2 && part[1] == ':')
    part.erase(0, 2); // "C:" or "C:name"
#endif
  return part == "." || part == ".." ? std::string() : part;
}

void say(CopyRun &run, const std::string &text) {
  sayLine(run.progress, text);
}

// The name a copy takes in a destination folder: safe on the stick, and
// distinct (as FAT compares names) from the names taken there before.
std::string takeName(CopyRun &run, size_t folder, const std::string &sourceName,
                     const std::string &shownSource) {
  const SafeName safe = fatSafeName(sourceName);
  SafeName chosen = safe;
  std::set<std::string> &taken = run.folderStates[folder].takenNames;
  for (unsigned number = 2; !taken.insert(fatFoldedName(chosen.name)).second; ++number)
    chosen = numberedName(safe, number);
  if (chosen.changes != NAME_KEPT && !run.options.quiet)
    say(run, renamedLine(*run.messages, escapeControls(shownSource),
                         escapeControls(joinPath(run.destinationPaths[folder], chosen.name)),
                         chosen.changes));
  return chosen.name;
}

size_t addDestinationFolder(CopyRun &run, size_t parent, const std::string &name) {
  run.destinationFolders.push_back(ListedFolder{parent, name});
  run.folderStates.push_back(DestinationFolder{FolderState::Unknown, {}, {}});
  run.destinationPaths.push_back(
      parent == NO_PARENT ? name : joinPath(run.destinationPaths[parent], name));
  return run.destinationFolders.size() - 1;
}

// Where each listed folder and file goes.
void mapDestinations(CopyRun &run) {
  addDestinationFolder(run, NO_PARENT, run.options.to);
  std::vector<std::string> shownFolders;
  for (const ListedFolder &folder : run.list.folders) {
    const bool top = folder.parent == NO_PARENT;
    const std::string shown =
        top ? folder.name : joinPath(shownFolders[folder.parent], folder.name);
    shownFolders.push_back(shown);
    const std::string sourceName = top ? lastPart(folder.name) : folder.name;
    const size_t parent = top ? DESTINATION_ROOT : run.destinationOfFolder[folder.parent];
    if (sourceName.empty()) {
      run.destinationOfFolder.push_back(parent);
      continue;
    }
    const std::string name = takeName(run, parent, sourceName, shown);
    run.destinationOfFolder.push_back(addDestinationFolder(run, parent, name));
  }
  for (const ListedFile &file : run.list.files) {
    const bool top = file.folder == NO_PARENT;
    const size_t folder = top ? DESTINATION_ROOT : run.destinationOfFolder[file.folder];
    run.destinationOfFile.push_back(folder);
    run.copyNames.push_back(
        takeName(run, folder, top ? lastPart(file.name) : file.name, file.shownPath));
  }
}

void keepLeftover(void *context, const char *name, EntryKind kind, FileProblem) {
  if (kind == EntryKind::File && isTemporaryName(name))
    static_cast<std::vector<std::string> *>(context)->push_back(name);
}

// The leftovers of interrupted runs in a destination folder, open as
// `handle`, are settled (in a dry run, named) the first time the run comes to
// that folder, before its copies are examined: a copy that was being placed
// is complete then, and the rest go or stay (command/safe_write.h).
void settleLeftovers(CopyRun &run, size_t folder, FolderHandle handle) {
  std::vector<const char *> copyNames;
  for (size_t i = 0; i < run.copyNames.size(); ++i) {
    if (run.destinationOfFile[i] == folder)
      copyNames.push_back(run.copyNames[i].c_str());
  }
  const std::string &shownFolder = run.destinationPaths[folder];
  for (const std::string &name : run.folderStates[folder].leftovers) {
    const LeftoverResult settled = clearLeftover(handle, name.c_str(), copyNames.data(),
                                                 copyNames.size(), !run.options.dryRun);
    if (!run.options.quiet || settled.action == LeftoverAction::Kept)
      say(run, settledLeftoverLine(
                   *run.messages, run.options.dryRun, escapeControls(joinPath(shownFolder, name)),
                   name, escapeControls(joinPath(shownFolder, settled.completedName)), settled));
  }
}

// Opens a destination folder that exists (NO_FOLDER when it does not yet),
// settling the first time the leftovers of interrupted runs in it.
FileProblem findDestination(CopyRun &run, size_t folder, FolderHandle *handle) {
  *handle = NO_FOLDER;
  DestinationFolder &state = run.folderStates[folder];
  if (state.state == FolderState::Missing)
    return FileProblem::None;
  const FileProblem problem =
      openListedFolder(run.destinationFolders, folder, run.openDestinations, handle);
  if (problem == FileProblem::NotFound) {
    state.state = FolderState::Missing;
    *handle = NO_FOLDER;
    return FileProblem::None;
  }
  if (problem != FileProblem::None)
    return problem;
  if (state.state == FolderState::Unknown) {
    listFolder(*handle, keepLeftover, &state.leftovers);
    settleLeftovers(run, folder, *handle);
  }
  state.state = FolderState::Present;
  return FileProblem::None;
}

// Opens a destination folder, made first (with the folders above it) when
// it does not exist yet.
FileProblem makeDestination(CopyRun &run, size_t folder, FolderHandle *handle) {
  DestinationFolder &state = run.folderStates[folder];
  if (state.state != FolderState::Present) {
    const size_t parent = run.destinationFolders[folder].parent;
    FolderHandle parentHandle = CURRENT_FOLDER;
    FileProblem problem =
        parent == NO_PARENT ? FileProblem::None : makeDestination(run, parent, &parentHandle);
    if (problem == FileProblem::None)
      problem = createFolder(parentHandle, run.destinationFolders[folder].name.c_str());
    if (problem != FileProblem::None && problem != FileProblem::AlreadyExists)
      return problem;
    state.state = FolderState::Present;
  }
  return openListedFolder(run.destinationFolders, folder, run.openDestinations, handle);
}

// A dry run shows no texts, but counts what its previews would mark.
void countMarks(void *context, FileImage before, FileImage) {
  auto *run = static_cast<CopyRun *>(context);
  previewText(*run->messages, before, pathSettings(run->options, false).rewrite, run->marks);
}

CopyReport copyListed(CopyRun &run, size_t i, bool write, FolderHandle destination) {
  const ListedFile &file = run.list.files[i];
  const CopyTarget target{destination, run.copyNames[i].c_str(), file.isMp3};
  const PathSettings settings = pathSettings(run.options, write);
  const TagInspector inspect = run.options.dryRun ? countMarks : nullptr;
  if (file.folder == NO_PARENT)
    return copyOnePath(file.name.c_str(), settings, target, inspect, &run);
  FolderHandle folder = NO_FOLDER;
  const FileProblem problem =
      openListedFolder(run.list.folders, file.folder, run.sourceFolders, &folder);
  if (problem != FileProblem::None)
    return CopyReport{
        PathReport{PathOutcome::CannotOpen, RewriteReason::None, problem, 0, 0, 0, 0, FramesLeft{}},
        CopyAction::None};
  return copyFileAt(folder, file.name.c_str(), settings, target, inspect, &run);
}

CopyReport failedCopy(FileProblem problem) {
  return CopyReport{
      PathReport{PathOutcome::CannotWrite, RewriteReason::None, problem, 0, 0, 0, 0, FramesLeft{}},
      CopyAction::None};
}

// Examines every file and what its copy finds at the destination.
void planCopies(CopyRun &run) {
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    FolderHandle destination = NO_FOLDER;
    const FileProblem problem = findDestination(run, run.destinationOfFile[i], &destination);
    run.plans.push_back(problem != FileProblem::None ? failedCopy(problem)
                                                     : copyListed(run, i, false, destination));
  }
}

struct SpaceNeeded {
  uint64_t onDisk; // with every file rounded up to whole clusters
  uint64_t bytes;
  size_t files;
};

SpaceNeeded spaceNeeded(const CopyRun &run, uint64_t blockSize) {
  SpaceNeeded needed{0, 0, 0};
  for (const CopyReport &plan : run.plans) {
    if (plan.action != CopyAction::Write)
      continue;
    needed.onDisk += (plan.report.newSize + blockSize - 1) / blockSize * blockSize;
    needed.bytes += plan.report.newSize;
    ++needed.files;
  }
  for (const DestinationFolder &folder : run.folderStates) {
    if (folder.state == FolderState::Missing && needed.files > 0)
      needed.onDisk += blockSize; // a new folder takes a cluster
  }
  return needed;
}

// The free space where the copies go: in the destination, or where it will
// be made.
FileProblem freeSpace(const CopyRun &run, uint64_t *freeBytes, uint64_t *blockSize) {
  FolderHandle destination = NO_FOLDER;
  if (openFolder(CURRENT_FOLDER, run.options.to, &destination) == FileProblem::None) {
    const FileProblem problem = querySpace(destination, freeBytes, blockSize);
    closeFolder(destination);
    return problem;
  }
  FilePlace place;
  FileProblem problem = placeOfPath(run.options.to, &place);
  if (problem == FileProblem::None)
    problem = querySpace(place.folder, freeBytes, blockSize);
  closePlace(&place);
  return problem;
}

void count(CopyRun &run, const CopyReport &copy) {
  ++run.counts.files;
  switch (copy.action) {
  case CopyAction::Write:
    ++(copy.report.outcome == PathOutcome::Converted ? run.counts.converted : run.counts.asItIs);
    break;
  case CopyAction::UpToDate:
    ++run.counts.upToDate;
    break;
  case CopyAction::Taken:
    ++run.counts.taken;
    break;
  case CopyAction::None:
    ++run.counts.failed;
    break;
  }
  if (needsAttention(copy))
    ++run.needingAttention;
}

void reportCopy(CopyRun &run, size_t i, const CopyReport &copy) {
  count(run, copy);
  if (run.options.quiet && !needsAttention(copy))
    return;
  const ListedFile &file = run.list.files[i];
  say(run, copyLine(*run.messages, run.options.dryRun, escapeControls(file.shownPath), copy,
                    file.isMp3));
}

// Writes the copies the plan found missing, reporting every file in order.
void writeCopies(CopyRun &run, const SpaceNeeded &needed) {
  run.progress = startProgress(run.progress.enabled);
  uint64_t bytesDone = 0;
  size_t filesDone = 0;
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    const size_t folder = run.destinationOfFile[i];
    CopyReport copy = run.plans[i];
    if (copy.action == CopyAction::Write && !run.options.dryRun) {
      FolderHandle destination = NO_FOLDER;
      const FileProblem problem = makeDestination(run, folder, &destination);
      copy = problem != FileProblem::None ? failedCopy(problem)
                                          : copyListed(run, i, true, destination);
      bytesDone += run.plans[i].report.newSize;
      ++filesDone;
    }
    reportCopy(run, i, copy);
    if (progressDue(run.progress)) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - run.progress.started)
              .count();
      showProgress(run.progress, copyProgressText(*run.messages, filesDone, needed.files, bytesDone,
                                                  needed.bytes, seconds));
    }
  }
  clearProgress(run.progress);
}

// Sends everything to the destination's disk; false when that failed.
bool flushDestination(CopyRun &run) {
  FolderHandle destination = NO_FOLDER;
  FileProblem problem = openFolder(CURRENT_FOLDER, run.options.to, &destination);
  if (problem == FileProblem::NotFound || problem == FileProblem::NotAFolder)
    return true; // nothing was written
  if (problem == FileProblem::None) {
    problem = flushFileSystem(destination);
    closeFolder(destination);
  }
  if (problem == FileProblem::None)
    return true;
  writeError(flushFailedText(*run.messages, problem));
  return false;
}

// Returns false when the run failed as a whole: the destination could not
// be used, had no room or could not be flushed.
bool copyAll(CopyRun &run) {
  mapDestinations(run);
  planCopies(run);
  uint64_t freeBytes = 0;
  uint64_t blockSize = 0;
  const FileProblem problem = freeSpace(run, &freeBytes, &blockSize);
  if (problem != FileProblem::None) {
    writeError(destinationProblemText(*run.messages, escapeControls(run.options.to), problem));
    return false;
  }
  const SpaceNeeded needed = spaceNeeded(run, blockSize == 0 ? 1 : blockSize);
  const std::string shownDestination = escapeControls(run.options.to);
  if (needed.files > 0 && needed.onDisk > freeBytes) {
    writeError(noSpaceText(*run.messages, shownDestination, needed.onDisk, freeBytes));
    return false;
  }
  if (run.options.dryRun && !run.options.quiet)
    say(run, spaceLine(*run.messages, shownDestination, needed.onDisk, freeBytes));
  writeCopies(run, needed);
  if (run.marks.foldableMarks > 0 && !run.options.quiet)
    writeOutput(foldHintText(*run.messages, run.marks.foldableMarks));
  if (!run.options.quiet)
    writeOutput(copySummaryLine(*run.messages, run.options.dryRun, run.counts));
  if (!run.options.dryRun) {
    if (!flushDestination(run))
      return false;
    if (!run.options.quiet)
      writeOutput(messageLine(*run.messages, Message::Removable));
  }
  return true;
}

// With -r, a destination inside a folder that is copied would take in the
// copies themselves on the next run (cp -r refuses it too). Returns that
// folder as the command line names it, or null. A destination not made yet
// is judged by the folder it is to be made in.
const char *sourceHoldingDestination(const Options &options) {
  if (!options.recursive)
    return nullptr;
  FilePlace place{CURRENT_FOLDER, false, {}};
  FolderHandle destination = NO_FOLDER;
  if (openFolder(CURRENT_FOLDER, options.to, &destination) != FileProblem::None) {
    destination = NO_FOLDER;
    if (placeOfPath(options.to, &place) == FileProblem::None) {
      if (place.folder != CURRENT_FOLDER)
        destination = place.folder;
      else if (openFolder(CURRENT_FOLDER, ".", &destination) != FileProblem::None)
        destination = NO_FOLDER;
    }
  }
  const char *holder = nullptr;
  for (size_t i = 0; destination != NO_FOLDER && holder == nullptr && i < options.paths.size();
       ++i) {
    FolderHandle source = NO_FOLDER;
    if (openFolder(CURRENT_FOLDER, options.paths[i], &source) != FileProblem::None)
      continue;
    if (folderIsWithin(destination, source))
      holder = options.paths[i];
    closeFolder(source);
  }
  if (destination != place.folder)
    closeFolder(destination);
  closePlace(&place);
  return holder;
}

} // namespace

int copyRun(const Catalogue &messages, const Options &options, const ConsoleState &console) {
  if (const char *holder = sourceHoldingDestination(options)) {
    writeError(destinationInSourceText(messages, escapeControls(holder)));
    return EXIT_USAGE;
  }
  CopyRun run{};
  run.messages = &messages;
  run.options = options;
  run.progress = startProgress(console.errorIsTerminal && !options.quiet);
  collectFiles(options.paths, options.recursive, options.allFiles, run.list);
  const size_t problems = reportListingProblems(run.list, messages, options.quiet, run.progress);
  run.counts.files += problems;
  run.counts.failed += problems;
  run.needingAttention = problems;
  bool runFailed = false;
  if (run.list.files.empty()) {
    if (!options.quiet)
      writeOutput(messageLine(messages, Message::NoMp3Files));
  } else {
    runFailed = !copyAll(run);
  }
  closeFolderChain(run.sourceFolders);
  closeFolderChain(run.openDestinations);
  return exitStatus(run.needingAttention, runFailed);
}
