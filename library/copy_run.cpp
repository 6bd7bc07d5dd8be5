#include "library/copy_run.h"

#include "command/temporary_name.h"
#include "library/destination_names.h"

#include <set>

namespace {

constexpr size_t DESTINATION_ROOT = 0; // the destination folder itself

enum class FolderState { Unknown, Missing, Present };

struct DestinationFolder {
  FolderState state;
  size_t copiesWritten;               // by this run
  std::vector<std::string> leftovers; // temporary files of interrupted runs
  std::set<std::string> takenNames;   // as FAT compares them
};

struct CopyRun {
  const CopyRunSettings &settings;
  const CopyRunEvents &events;
  FileList list;
  // The destination folders as paths from DESTINATION_ROOT, which is the
  // destination by its path.
  std::vector<ListedFolder> destinationFolders;
  std::vector<DestinationFolder> folderStates;
  std::vector<std::string> destinationPaths; // as shown
  std::vector<std::string> recordedPaths;    // from the destination, as the record has them
  std::vector<size_t> destinationOfFolder;   // per listed folder
  std::vector<size_t> destinationOfFile;     // per listed file
  std::vector<std::string> copyNames;        // per listed file
  std::vector<CopyReport> plans;             // per listed file
  FolderChain sourceFolders;
  FolderChain openDestinations;
  CopyRecord record; // of the copies made in the destination, this run's included
  bool recordChanged;
  bool recordNameTaken; // by a file that is no record: never replaced
  CopyRunSummary summary;
};

// The last part of a path given: the name its copy takes in the
// destination; empty for ".", ".." and a root, whose content goes into the
// destination itself.
std::string lastPart(const std::string &path) {
  size_t end = path.size();
  while (end > 0 && isPathSeparator(path[end - 1]))
    --end;
  size_t start = end;
  while (start > 0 && !isPathSeparator(path[start - 1]))
    --start;
  std::string part = path.substr(start, end - start);
#ifdef _WIN32
  if (start == 0 && part.size() >= 2 && part[1] == ':')
    part.erase(0, 2); // "C:" or "C:name"
#endif
  return part == "." || part == ".." ? std::string() : part;
}

bool stopRequested(const CopyRun &run) {
  return run.events.stopRequested != nullptr && run.events.stopRequested(run.events.context);
}

bool askStop(void *context) {
  return stopRequested(*static_cast<const CopyRun *>(context));
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
  if (chosen.changes != NAME_KEPT && run.events.renamed != nullptr)
    run.events.renamed(run.events.context, shownSource,
                       joinPath(run.destinationPaths[folder], chosen.name), chosen.changes);
  return chosen.name;
}

// The path of `name` in destination folder `folder` as the record has it.
std::string recordedPath(const CopyRun &run, size_t folder, const std::string &name) {
  if (folder == NO_PARENT)
    return std::string();
  const std::string &above = run.recordedPaths[folder];
  return above.empty() ? name : above + '/' + name;
}

size_t addDestinationFolder(CopyRun &run, size_t parent, const std::string &name) {
  run.destinationFolders.push_back(ListedFolder{parent, name});
  run.folderStates.push_back(DestinationFolder{FolderState::Unknown, 0, {}, {}});
  run.destinationPaths.push_back(
      parent == NO_PARENT ? name : joinPath(run.destinationPaths[parent], name));
  run.recordedPaths.push_back(recordedPath(run, parent, name));
  return run.destinationFolders.size() - 1;
}

// Where each listed folder and file goes.
void mapDestinations(CopyRun &run) {
  addDestinationFolder(run, NO_PARENT, run.settings.destination);
  // The record's name is never a copy's.
  run.folderStates[DESTINATION_ROOT].takenNames.insert(fatFoldedName(COPY_RECORD_NAME));
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

LeftoverFate fateOf(LeftoverAction action, bool write) {
  switch (action) {
  case LeftoverAction::Completed:
    return write ? LeftoverFate::Completed : LeftoverFate::WouldBeCompleted;
  case LeftoverAction::Removed:
    return write ? LeftoverFate::Removed : LeftoverFate::WouldBeRemoved;
  case LeftoverAction::Kept:
    break;
  }
  return LeftoverFate::Kept;
}

// The leftovers of interrupted runs in a destination folder, open as
// `handle`, are settled (in a dry run, only told) the first time the run
// comes to that folder, before its copies are examined: a copy that was
// being placed is complete then, and the rest go or stay
// (command/safe_write.h).
void settleLeftovers(CopyRun &run, size_t folder, FolderHandle handle) {
  std::vector<const char *> copyNames;
  for (size_t i = 0; i < run.copyNames.size(); ++i) {
    if (run.destinationOfFile[i] == folder)
      copyNames.push_back(run.copyNames[i].c_str());
  }
  if (folder == DESTINATION_ROOT)
    copyNames.push_back(COPY_RECORD_NAME); // the record's own, of an interrupted write
  const std::string &shownFolder = run.destinationPaths[folder];
  for (const std::string &name : run.folderStates[folder].leftovers) {
    const LeftoverResult settled =
        clearLeftover(handle, name.c_str(), copyNames.data(), copyNames.size(), run.settings.write);
    if (run.events.leftover == nullptr)
      continue;
    const Leftover leftover{joinPath(shownFolder, name), name,
                            fateOf(settled.action, run.settings.write), settled.problem,
                            settled.action == LeftoverAction::Completed
                                ? joinPath(shownFolder, settled.completedName)
                                : std::string()};
    run.events.leftover(run.events.context, leftover);
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

// A dry run shows no texts, but counts what their previews would mark.
void countPreviewMarks(void *context, FileImage before, const TagRecord &record, FileImage) {
  auto &run = *static_cast<CopyRun *>(context);
  countMarks(before, record, run.settings.rewrite, run.summary.marks);
}

// The copy of listed file i into its destination folder, open as
// `destination`; in a run that writes, the record learns a copy made.
CopyReport copyListed(CopyRun &run, size_t i, bool write, FolderHandle destination) {
  const ListedFile &file = run.list.files[i];
  const std::string recorded = recordedPath(run, run.destinationOfFile[i], run.copyNames[i]);
  const auto known = run.record.find(recorded);
  RecordedCopy made{};
  const CopyTarget target{destination, run.copyNames[i].c_str(), file.isMp3,
                          known == run.record.end() ? nullptr : &known->second,
                          write ? &made : nullptr};
  const PathSettings settings{write, false, false, run.settings.rewrite, run.settings.id3v1};
  const TagInspector inspect = run.settings.write ? nullptr : countPreviewMarks;
  CopyReport copy{PathReport{}, CopyAction::None};
  FilePlace place;
  if (!placeOfListedFile(run.list, i, run.sourceFolders, &place, &copy.report))
    return copy;
  // Without a stop to ask for, a copy is written whole rather than in blocks.
  const StopPoll stop = run.events.stopRequested == nullptr ? NEVER_STOP : StopPoll{askStop, &run};
  copy = copyFileAt(place, settings, target, inspect, &run, stop);
  if (write && copy.action == CopyAction::Write && made.hash != 0) { // 0: not known
    made.source = file.shownPath;
    run.record[recorded] = made;
    run.recordChanged = true;
  }
  return copy;
}

CopyReport failedCopy(FileProblem problem) {
  return CopyReport{failedReport(PathOutcome::CannotWrite, problem), CopyAction::None};
}

// Examines every file and what its copy finds at the destination; false
// when the run was stopped meanwhile.
bool planCopies(CopyRun &run) {
  // The record is read once the leftovers there are settled: an interrupted
  // write of it completed first.
  FolderHandle root = NO_FOLDER;
  if (findDestination(run, DESTINATION_ROOT, &root) == FileProblem::None && root != NO_FOLDER)
    run.record = readCopyRecord(root, &run.recordNameTaken);
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    if (stopRequested(run))
      return false;
    FolderHandle destination = NO_FOLDER;
    const FileProblem problem = findDestination(run, run.destinationOfFile[i], &destination);
    run.plans.push_back(problem != FileProblem::None ? failedCopy(problem)
                                                     : copyListed(run, i, false, destination));
  }
  return true;
}

void addSpaceNeeded(CopyRun &run, uint64_t blockSize) {
  CopyRunSummary &summary = run.summary;
  for (const CopyReport &plan : run.plans) {
    if (plan.action != CopyAction::Write)
      continue;
    summary.spaceNeeded += (plan.report.newSize + blockSize - 1) / blockSize * blockSize;
    summary.bytesToWrite += plan.report.newSize;
    ++summary.filesToWrite;
  }
  for (const DestinationFolder &folder : run.folderStates) {
    if (folder.state == FolderState::Missing && summary.filesToWrite > 0) {
      summary.spaceNeeded += blockSize; // a new folder takes a cluster
      ++summary.filesNeeded;
    }
  }
  // Each copy, and the record of them, with a temporary file beside it.
  if (summary.filesToWrite > 0)
    summary.filesNeeded += summary.filesToWrite + 2;
}

void countRootEntry(void *context, const char *name, EntryKind, FileProblem) {
  *static_cast<uint64_t *>(context) += fatEntriesOf(name);
}

// The entries of a FAT12 or FAT16 root folder (which holds rootEntries at
// most) that the copies would fill: those there now, the volume's label,
// and the names the run gives there.
uint64_t rootEntriesFilled(const CopyRun &run, FolderHandle root) {
  uint64_t entries = 1; // the label
  listFolder(root, countRootEntry, &entries);
  if (run.folderStates[DESTINATION_ROOT].state == FolderState::Missing)
    return entries + fatEntriesOf(lastPart(run.settings.destination));
  for (size_t i = 0; i < run.plans.size(); ++i) {
    if (run.destinationOfFile[i] == DESTINATION_ROOT && run.plans[i].action == CopyAction::Write &&
        !run.plans[i].replacesOwnCopy)
      entries += fatEntriesOf(run.copyNames[i]);
  }
  for (size_t folder = 1; folder < run.destinationFolders.size(); ++folder) {
    if (run.destinationFolders[folder].parent == DESTINATION_ROOT &&
        run.folderStates[folder].state == FolderState::Missing)
      entries += fatEntriesOf(run.destinationFolders[folder].name);
  }
  return entries;
}

// The free space where the copies go: in the destination, or where it will
// be made; and the entries a FAT12 or FAT16 root folder there would hold.
FileProblem freeSpace(CopyRun &run, DiskSpace *space) {
  FilePlace place{CURRENT_FOLDER, false, {}};
  FolderHandle folder = NO_FOLDER;
  FileProblem problem = openFolder(CURRENT_FOLDER, run.settings.destination, &folder);
  if (problem != FileProblem::None) {
    problem = placeOfPath(run.settings.destination, &place);
    folder = place.folder;
  }
  if (problem == FileProblem::None)
    problem = querySpace(folder, space);
  if (problem == FileProblem::None && space->rootEntries > 0) {
    run.summary.rootEntriesFilled = rootEntriesFilled(run, folder);
    run.summary.rootEntries = space->rootEntries;
  }
  if (folder != place.folder)
    closeFolder(folder);
  closePlace(&place);
  return problem;
}

void count(CopyRun &run, const CopyReport &copy) {
  CopyCounts &counts = run.summary.counts;
  ++counts.files;
  switch (copy.action) {
  case CopyAction::Write:
    ++(copy.report.outcome == PathOutcome::WouldConvert ? counts.converted : counts.asItIs);
    break;
  case CopyAction::UpToDate:
    ++counts.upToDate;
    break;
  case CopyAction::Taken:
    ++counts.taken;
    break;
  case CopyAction::None:
    ++counts.failed;
    break;
  case CopyAction::Stopped:
    break;
  }
}

void tellProgress(const CopyRun &run, const CopyProgress &progress) {
  if (run.events.progress != nullptr)
    run.events.progress(run.events.context, progress);
}

// Whether a copy that failed for `problem` in destination folder `folder`
// shows the disk full: no space, or (fusefat's errno for a FAT root folder
// that has no entry left) no permission to add a file where this run added
// some. A failure for the problem then follows for every later copy.
bool showsDiskFull(CopyRun &run, size_t folder, CopyReport &copy) {
  if (copy.action != CopyAction::None || copy.report.outcome != PathOutcome::CannotWrite)
    return false;
  if (copy.report.problem == FileProblem::NoPermission &&
      run.folderStates[folder].copiesWritten > 0)
    copy.report.problem = FileProblem::NoSpace;
  return copy.report.problem == FileProblem::NoSpace;
}

// The copies still to be written after file `last`.
size_t copiesAfter(const CopyRun &run, size_t last) {
  size_t left = 0;
  for (size_t i = last + 1; i < run.plans.size(); ++i)
    left += run.plans[i].action == CopyAction::Write ? 1u : 0u;
  return left;
}

// Writes the copies the plan found missing, reporting every file in order,
// until the end, a stop, or a full disk.
void writeCopies(CopyRun &run) {
  CopyProgress progress{0, run.summary.filesToWrite, 0, run.summary.bytesToWrite, nullptr};
  for (size_t i = 0; i < run.list.files.size() && !run.summary.stopped; ++i) {
    const ListedFile &file = run.list.files[i];
    if (stopRequested(run)) {
      run.summary.stopped = true;
      break;
    }
    const size_t folder = run.destinationOfFile[i];
    CopyReport copy = run.plans[i];
    progress.currentFile = &file.shownPath;
    if (copy.action == CopyAction::Write && run.settings.write) {
      tellProgress(run, progress);
      FolderHandle destination = NO_FOLDER;
      const FileProblem problem = makeDestination(run, folder, &destination);
      copy = problem != FileProblem::None ? failedCopy(problem)
                                          : copyListed(run, i, true, destination);
      run.summary.stopped = copy.action == CopyAction::Stopped;
      if (!run.summary.stopped) {
        progress.bytesDone += run.plans[i].report.newSize;
        ++progress.filesDone;
      }
      run.folderStates[folder].copiesWritten += copy.action == CopyAction::Write ? 1u : 0u;
      run.summary.diskFull = showsDiskFull(run, folder, copy);
    }
    count(run, copy);
    if (run.events.fileDone != nullptr)
      run.events.fileDone(run.events.context, i, file, copy);
    tellProgress(run, progress);
    if (run.summary.diskFull) {
      run.summary.copiesNotWritten = copiesAfter(run, i);
      break;
    }
  }
}

// The record of the copies, with those this run made, written where they
// are.
FileProblem keepRecord(CopyRun &run) {
  if (!run.settings.write || !run.recordChanged)
    return FileProblem::None;
  if (run.recordNameTaken)
    return FileProblem::AlreadyExists;
  FolderHandle root = NO_FOLDER;
  FileProblem problem =
      openListedFolder(run.destinationFolders, DESTINATION_ROOT, run.openDestinations, &root);
  if (problem == FileProblem::None)
    problem = writeCopyRecord(root, run.record);
  return problem;
}

// Sends everything to the destination's disk.
FileProblem flushDestination(const CopyRun &run) {
  FolderHandle destination = NO_FOLDER;
  FileProblem problem = openFolder(CURRENT_FOLDER, run.settings.destination, &destination);
  if (problem == FileProblem::NotFound || problem == FileProblem::NotAFolder)
    return FileProblem::None; // nothing was written
  if (problem == FileProblem::None) {
    problem = flushFileSystem(destination);
    closeFolder(destination);
  }
  return problem;
}

// Everything after the listing: the plan, the space, the copies and the
// flush.
void copyAll(CopyRun &run) {
  mapDestinations(run);
  if (!planCopies(run)) {
    run.summary.stopped = true;
    return;
  }
  DiskSpace space{};
  run.summary.destinationProblem = freeSpace(run, &space);
  if (run.summary.destinationProblem != FileProblem::None)
    return;
  run.summary.spaceFree = space.freeBytes;
  run.summary.filesFree = space.freeFiles;
  addSpaceNeeded(run, space.blockSize == 0 ? 1 : space.blockSize);
  run.summary.noSpace =
      run.summary.filesToWrite > 0 && (run.summary.spaceNeeded > run.summary.spaceFree ||
                                       run.summary.filesNeeded > run.summary.filesFree);
  if (run.summary.noSpace)
    return;
  if (run.events.planned != nullptr)
    run.events.planned(run.events.context, run.summary);
  writeCopies(run);
  run.summary.recordProblem = keepRecord(run);
  if (run.events.filesThrough != nullptr)
    run.events.filesThrough(run.events.context, run.summary);
  if (run.settings.write) {
    run.summary.flushed = true;
    run.summary.flushProblem = flushDestination(run);
  }
}

// The destination folder open, or while it is not made the folder it is to
// be made in (*exists false); NO_FOLDER when neither can be opened. The
// place holds the latter, which closePlace releases.
FolderHandle openDestinationOrParent(const char *destination, FilePlace *place, bool *exists) {
  *place = FilePlace{CURRENT_FOLDER, false, {}};
  FolderHandle folder = NO_FOLDER;
  *exists = openFolder(CURRENT_FOLDER, destination, &folder) == FileProblem::None;
  if (*exists)
    return folder;
  if (placeOfPath(destination, place) != FileProblem::None)
    return NO_FOLDER;
  if (place->folder != CURRENT_FOLDER)
    return place->folder;
  return openFolder(CURRENT_FOLDER, ".", &folder) == FileProblem::None ? folder : NO_FOLDER;
}

// With recursive, a destination inside a folder that is copied would take
// in the copies themselves on the next run (cp -r refuses it too). Returns
// that folder as it was given, or null. A destination not made yet is
// judged by the folder it is to be made in (`destination`).
const char *sourceHoldingDestination(const CopyRunSettings &settings, FolderHandle destination) {
  if (!settings.recursive)
    return nullptr;
  for (size_t i = 0; destination != NO_FOLDER && i < settings.sources.size(); ++i) {
    FolderHandle source = NO_FOLDER;
    if (openFolder(CURRENT_FOLDER, settings.sources[i], &source) != FileProblem::None)
      continue;
    const bool holds = folderIsWithin(destination, source);
    closeFolder(source);
    if (holds)
      return settings.sources[i];
  }
  return nullptr;
}

void reportListing(CopyRun &run) {
  const CopyRunEvents &events = run.events;
  for (const ListingProblem &problem : run.list.problems) {
    if (events.listingProblem != nullptr)
      events.listingProblem(events.context, problem);
  }
  for (const std::string &path : run.list.leftovers) {
    if (events.leftover != nullptr)
      events.leftover(
          events.context,
          Leftover{path, lastPart(path), LeftoverFate::InSource, FileProblem::None, {}});
  }
  run.summary.counts.files += run.list.problems.size();
  run.summary.counts.failed += run.list.problems.size();
}

} // namespace

CopyRunSummary runCopies(const CopyRunSettings &settings, const CopyRunEvents &events) {
  CopyRun run{settings, events,          {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, false,
              false,    CopyRunSummary{}};
  FilePlace parentPlace;
  bool destinationExists = false;
  const FolderHandle destination =
      openDestinationOrParent(settings.destination, &parentPlace, &destinationExists);
  run.summary.destinationInSource = sourceHoldingDestination(settings, destination);
  // Folders of the library that are the destination reached another way
  // (a bind mount of the stick inside the library) are left out.
  if (run.summary.destinationInSource == nullptr)
    collectFiles(settings.sources, settings.recursive, settings.allFiles, run.list, destination,
                 destinationExists);
  if (destination != parentPlace.folder)
    closeFolder(destination);
  closePlace(&parentPlace);
  if (run.summary.destinationInSource != nullptr)
    return run.summary;
  reportListing(run);
  run.summary.filesListed = run.list.files.size();
  if (!run.list.files.empty())
    copyAll(run);
  closeFolderChain(run.sourceFolders);
  closeFolderChain(run.openDestinations);
  return run.summary;
}
