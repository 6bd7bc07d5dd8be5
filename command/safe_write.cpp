#include "command/safe_write.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char BACKUP_SUFFIX[] = ".bak";

WriteResult result(WriteOutcome outcome, FileProblem problem = FileProblem::None) {
  return WriteResult{outcome, problem};
}

// Removes a temporary file this run made; leftBehind gets its name when it
// cannot be removed.
void removeTemporary(const FilePlace &temporary, char (&leftBehind)[TEMPORARY_NAME_SIZE]) {
  if (!removeCreatedFile(temporary))
    std::memcpy(leftBehind, temporary.name, sizeof leftBehind);
}

// A failure's result, once the temporary file is removed again.
WriteResult failure(const FilePlace &temporary, WriteOutcome outcome,
                    FileProblem problem = FileProblem::None) {
  WriteResult failed = result(outcome, problem);
  removeTemporary(temporary, failed.leftBehind);
  return failed;
}

// Writes the pieces in order: each whole, or in blocks of COPY_BLOCK_SIZE
// bytes when `stop` may be asked between them. A stop gives Other, with
// *stopped set.
FileProblem writePieces(FileHandle file, const NewContent &content, StopPoll stop, bool *stopped) {
  FileProblem problem = FileProblem::None;
  bool first = true;
  for (size_t i = 0; i < content.count && problem == FileProblem::None; ++i) {
    const ContentPiece &piece = content.pieces[i];
    const uint64_t block = stop.stopRequested == nullptr ? piece.length : COPY_BLOCK_SIZE;
    uint64_t done = 0;
    do {
      if (!first && stop.stopRequested != nullptr && stop.stopRequested(stop.context)) {
        *stopped = true;
        return FileProblem::Other;
      }
      first = false;
      const uint64_t left = piece.length - done;
      const uint64_t length = left < block ? left : block;
      problem = piece.bytes != nullptr ? writeAll(file, piece.bytes + done, length)
                                       : copyRange(piece.file, piece.offset + done, length, file);
      done += length;
    } while (problem == FileProblem::None && done < piece.length);
  }
  return problem;
}

// What a new file is for, which decides how it is finished.
enum class NewFileKind {
  Replacement, // takes the original's place: its metadata, its time when asked
  Backup,      // the original's content beside it: its metadata and time
  Copy,        // on another disk: a plain copy's permissions, the source's time, locked
  Own,         // the program's own file: this user's alone, locked
};

// Writes `content` into a new file under a temporary name in `folder`
// (made from forName when given), gives it what `kind` asks of `source`
// (the file it stands for) and the last-write time *lastWriteTime when
// given, and flushes it; *temporary then names it. A copy or the program's
// own file stays open (and locked) in *kept, so that no later run takes it for an interrupted run's
// leftover before it has its name; anything else is closed. On failure, or
// when `stop` stopped it (*stopped), nothing is left, or *leftBehind names
// what could not be removed.
FileProblem writeTemporary(FolderHandle folder, const char *forName, const NewContent &content,
                           NewFileKind kind, FileHandle source, const int64_t *lastWriteTime,
                           StopPoll stop, FilePlace *temporary, FileHandle *kept, bool *stopped,
                           char (&leftBehind)[TEMPORARY_NAME_SIZE]) {
  FileHandle file = NO_FILE;
  FileProblem problem = createTemporary(folder, forName, temporary, &file);
  if (problem != FileProblem::None)
    return problem;
  const bool held = kind == NewFileKind::Copy || kind == NewFileKind::Own;
  if (held)
    problem = lockForConversion(file);
  if (problem == FileProblem::None)
    problem = writePieces(file, content, stop, stopped);
  if (problem == FileProblem::None && kind == NewFileKind::Copy)
    problem = giveCopyMode(source, file);
  else if (problem == FileProblem::None && kind != NewFileKind::Own)
    problem = carryMetadata(source, file);
  if (problem == FileProblem::None && lastWriteTime != nullptr)
    problem = setLastWriteTime(file, *lastWriteTime);
  if (problem == FileProblem::None)
    problem = held ? flushCopy(file) : flushFile(file);
  if (problem == FileProblem::None && held) {
    *kept = file;
    return FileProblem::None;
  }
  const FileProblem closed = closeNewFile(file);
  if (problem == FileProblem::None)
    problem = closed;
  if (problem != FileProblem::None)
    removeTemporary(*temporary, leftBehind);
  return problem;
}

// Whether the file open as `source` is still in the state whenRead.
bool sourceUnchanged(FileHandle source, const FileState &whenRead) {
  FileState now;
  return queryOpenFile(source, &now) == FileProblem::None && sameFileState(now, whenRead);
}

// Whether the file is still the one that was read: through the open
// handle, its size, times and link count; through its name, the same file.
bool unchangedSince(const FilePlace &place, FileHandle source, const FileState &whenRead) {
  FileState named;
  return sourceUnchanged(source, whenRead) && queryPlace(place, &named) == FileProblem::None &&
         named.volume == whenRead.volume && named.fileIndex == whenRead.fileIndex;
}

// A name just given in `folder` reaches the disk, or goes again.
FileProblem flushNewName(FolderHandle folder, const char *name) {
  const FileProblem problem = flushFolder(folder);
  if (problem != FileProblem::None)
    removeCreatedFile(placeInFolder(folder, name));
  return problem;
}

// Keeps the content of the file at place, open as `source` (and locked) in
// state whenRead, as backupName beside it, never replacing anything
// (AlreadyExists when the name is taken). A second name for the file costs
// nothing and keeps everything about it; without one, a copy with the
// original's metadata and time. On failure nothing is left, or
// leftBehind names the temporary file that could not be removed.
FileProblem makeBackup(const FilePlace &place, FileHandle source, const FileState &whenRead,
                       const char *backupName, char (&leftBehind)[TEMPORARY_NAME_SIZE]) {
  bool linked = false;
  FileProblem problem = linkBeside(place, backupName, &linked);
  if (problem != FileProblem::None)
    return problem;
  if (!linked) {
    NewContent content{};
    content.pieces[0] = filePiece(source, 0, whenRead.size);
    content.count = 1;
    FilePlace temporary;
    bool stopped = false;
    problem = writeTemporary(place.folder, nullptr, content, NewFileKind::Backup, source,
                             &whenRead.lastWriteTime, NEVER_STOP, &temporary, nullptr, &stopped,
                             leftBehind);
    if (problem != FileProblem::None)
      return problem;
    problem = placeNewFile(temporary, NO_FILE, backupName);
    if (problem != FileProblem::None) {
      removeTemporary(temporary, leftBehind);
      return problem;
    }
  }
  return flushNewName(place.folder, backupName);
}

// The names of the files in a folder, temporary files left out.
void keepFileName(void *context, const char *name, EntryKind kind, FileProblem) {
  if (kind == EntryKind::File && !isTemporaryName(name))
    static_cast<std::vector<std::string> *>(context)->push_back(name);
}

// Whether the file begins as an MP3 does: with an ID3v2 tag, or with the
// sync of an MPEG audio frame.
bool beginsAsMp3(FileHandle file, const FileState &state) {
  uint8_t start[3] = {};
  if (state.size < sizeof start || readAt(file, 0, start, sizeof start) != FileProblem::None)
    return false;
  return (start[0] == 'I' && start[1] == 'D' && start[2] == '3') ||
         (start[0] == 0xFF && (start[1] & 0xE0) == 0xE0);
}

} // namespace

LeftoverResult clearLeftover(FolderHandle folder, const char *name, const char *const *copyNames,
                             size_t copyCount, bool act) {
  LeftoverResult settled{LeftoverAction::Kept, FileProblem::None, {}};
  FileHandle file = NO_FILE;
  FileState state{};
  settled.problem = openLeftover(folder, name, &file, &state);
  if (settled.problem != FileProblem::None)
    return settled;
  // The names it may be tied to: the folder's files (a listing that fails
  // only ties it to fewer) and the copies a run makes there.
  std::vector<std::string> names;
  listFolder(folder, keepFileName, &names);
  names.insert(names.end(), copyNames, copyNames + copyCount);
  bool tied = false;
  FileHandle reserved = NO_FILE;
  for (const std::string &other : names) {
    if (reserved != NO_FILE || !isTemporaryNameFor(name, other.c_str()))
      continue;
    tied = true;
    // Where an empty file has that name, nobody holding it, the copy's name
    // was reserved before the rename that the interruption prevented.
    FileState reservedState{};
    if (openLeftover(folder, other.c_str(), &reserved, &reservedState) != FileProblem::None)
      reserved = NO_FILE;
    else if (reservedState.size != 0 || !copyFileName(other.c_str(), settled.completedName)) {
      closeFile(reserved);
      reserved = NO_FILE;
    }
  }
  if (reserved != NO_FILE) {
    settled.action = LeftoverAction::Completed;
    if (act)
      settled.problem = placeLeftover(folder, name, &file, settled.completedName, &reserved);
    if (act && settled.problem == FileProblem::None)
      settled.problem = setLastWriteTime(file, state.lastWriteTime); // see writeCopy
  } else if (tied || beginsAsMp3(file, state)) {
    settled.action = LeftoverAction::Removed;
    if (act)
      settled.problem = removeLeftover(folder, name, file);
  } else {
    settled.problem = FileProblem::UnknownLeftover;
  }
  if (settled.problem != FileProblem::None)
    settled.action = LeftoverAction::Kept;
  if (reserved != NO_FILE)
    closeFile(reserved);
  if (file != NO_FILE)
    closeFile(file);
  return settled;
}

bool backupNameOf(const char *name, char (&backupName)[NAME_BUFFER_SIZE]) {
  const int length = std::snprintf(backupName, sizeof backupName, "%s%s", name, BACKUP_SUFFIX);
  return length > 0 && static_cast<size_t>(length) < sizeof backupName;
}

ContentPiece memoryPiece(const uint8_t *bytes, uint64_t length) {
  return ContentPiece{bytes, NO_FILE, 0, length};
}

ContentPiece filePiece(FileHandle file, uint64_t offset, uint64_t length) {
  return ContentPiece{nullptr, file, offset, length};
}

namespace {

// Puts the complete temporary file, held as `file`, at `name`: never
// replacing anything there, or with `replacing` in the place of the file
// there while that is still in that state.
FileProblem placeCopy(const FilePlace &temporary, FileHandle file, const char *name,
                      const FileState *replacing) {
  if (replacing == nullptr)
    return placeNewFile(temporary, file, name);
  FileHandle existing = NO_FILE;
  FileState now{};
  FileProblem problem = openEntry(temporary.folder, name, &existing, &now);
  if (problem == FileProblem::None) {
    closeFile(existing); // Windows renames over no file held open
    if (!sameFileState(now, *replacing))
      problem = FileProblem::AlreadyExists; // changed since: another file now
  }
  return problem == FileProblem::None ? placeOverOwnFile(temporary, file, name) : problem;
}

} // namespace

WriteResult writeCopy(FolderHandle folder, const char *name, const NewContent &content,
                      FileHandle source, const FileState &whenRead, StopPoll stop,
                      const FileState *replacing) {
  FileProblem problem = checkFolderAllowsChanges(folder);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  FilePlace temporary;
  FileHandle file = NO_FILE;
  WriteResult written = result(WriteOutcome::Written);
  bool stopped = false;
  problem =
      writeTemporary(folder, name, content, NewFileKind::Copy, source, &whenRead.lastWriteTime,
                     stop, &temporary, &file, &stopped, written.leftBehind);
  if (problem != FileProblem::None) {
    written.outcome = stopped ? WriteOutcome::Stopped : WriteOutcome::CannotWrite;
    written.problem = stopped ? FileProblem::None : problem;
    return written;
  }
  if (!sourceUnchanged(source, whenRead)) {
    closeNewFile(file);
    return failure(temporary, WriteOutcome::Changed);
  }
  problem = placeCopy(temporary, file, name, replacing);
  if (problem != FileProblem::None) {
    closeNewFile(file);
    return failure(temporary, WriteOutcome::CannotWrite, problem);
  }
  // fusefat gives a file the time of its rename: the source's time again,
  // so that the next run finds the copy up to date.
  problem = setLastWriteTime(file, whenRead.lastWriteTime);
  // Named, and no longer held: the close may still report a write that
  // failed, and the copy then goes again while it is this run's.
  FileState placed{};
  const bool known = queryOpenFile(file, &placed) == FileProblem::None;
  const FileProblem closed = closeNewFile(file);
  if (problem == FileProblem::None)
    problem = closed;
  if (problem == FileProblem::None)
    return written;
  const FilePlace copy = placeInFolder(folder, name);
  FileState named{};
  if (known && queryPlace(copy, &named) == FileProblem::None && named.volume == placed.volume &&
      named.fileIndex == placed.fileIndex)
    removeCreatedFile(copy);
  return result(WriteOutcome::CannotWrite, problem);
}

WriteResult writeOwnFile(FolderHandle folder, const char *name, const uint8_t *bytes,
                         uint64_t length) {
  FileProblem problem = checkFolderAllowsChanges(folder);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  NewContent content{};
  content.pieces[0] = memoryPiece(bytes, length);
  content.count = 1;
  FilePlace temporary;
  FileHandle file = NO_FILE;
  WriteResult written = result(WriteOutcome::Written);
  bool stopped = false;
  problem = writeTemporary(folder, name, content, NewFileKind::Own, NO_FILE, nullptr, NEVER_STOP,
                           &temporary, &file, &stopped, written.leftBehind);
  if (problem != FileProblem::None) {
    written.outcome = WriteOutcome::CannotWrite;
    written.problem = problem;
    return written;
  }
  FileHandle existing = NO_FILE;
  FileState state{};
  problem = openEntry(folder, name, &existing, &state);
  if (problem == FileProblem::None) {
    closeFile(existing);
    problem =
        state.linkCount > 1 ? FileProblem::HardLinked : placeOverOwnFile(temporary, file, name);
  } else if (problem == FileProblem::NotFound) {
    problem = placeNewFile(temporary, file, name);
  }
  const FileProblem closed = closeNewFile(file);
  if (problem != FileProblem::None) {
    WriteResult failed = result(WriteOutcome::CannotWrite, problem);
    removeTemporary(temporary, failed.leftBehind);
    return failed;
  }
  return result(closed == FileProblem::None ? WriteOutcome::Written : WriteOutcome::CannotWrite,
                closed);
}

WriteResult replaceContent(const FilePlace &place, FileHandle *source, const FileState &whenRead,
                           const NewContent &content, WriteSettings settings) {
  FileProblem problem = checkReplaceable(place, *source);
  if (problem == FileProblem::None)
    problem = checkFolderAllowsChanges(place.folder);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  char backupName[NAME_BUFFER_SIZE];
  if (settings.backup && !backupNameOf(place.name, backupName))
    return result(WriteOutcome::CannotBackUp, FileProblem::NameTooLong);
  FilePlace temporary;
  WriteResult failed = result(WriteOutcome::CannotWrite);
  bool stopped = false;
  problem = writeTemporary(place.folder, nullptr, content, NewFileKind::Replacement, *source,
                           settings.keepTime ? &whenRead.lastWriteTime : nullptr, NEVER_STOP,
                           &temporary, nullptr, &stopped, failed.leftBehind);
  if (problem != FileProblem::None) {
    failed.problem = problem;
    return failed;
  }
  if (!unchangedSince(place, *source, whenRead))
    return failure(temporary, WriteOutcome::Changed);
  if (settings.backup) {
    char backupLeft[TEMPORARY_NAME_SIZE] = {};
    problem = makeBackup(place, *source, whenRead, backupName, backupLeft);
    if (problem != FileProblem::None) {
      failed = problem == FileProblem::AlreadyExists
                   ? failure(temporary, WriteOutcome::BackupExists)
                   : failure(temporary, WriteOutcome::CannotBackUp, problem);
      if (failed.leftBehind[0] == '\0')
        std::memcpy(failed.leftBehind, backupLeft, sizeof backupLeft);
      return failed;
    }
  }
  bool originalLost = false;
  problem = replaceWithTemporary(place, temporary, source, &originalLost);
  if (problem == FileProblem::None) {
    // The replacement is made and cannot be taken back; a folder that does
    // not reach the disk is told with it.
    return result(WriteOutcome::Written, flushFolder(place.folder));
  }
  if (originalLost)
    return result(WriteOutcome::LeftInTemporary, problem); // the new file, and any backup, hold it
  if (settings.backup) {
    // Made just now: a later run must not be refused for it.
    removeCreatedFile(placeInFolder(place.folder, backupName));
  }
  return failure(temporary, WriteOutcome::CannotWrite, problem);
}
