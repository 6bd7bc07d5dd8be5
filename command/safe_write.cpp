#include "command/safe_write.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char BACKUP_SUFFIX[] = ".bak";

WriteResult result(WriteOutcome outcome, FileProblem problem = FileProblem::None) {
  return WriteResult{outcome, problem};
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
};

// Writes `content` into a new file under a temporary name in `folder`,
// gives it what `kind` asks of `source` (the file it stands for) and the
// last-write time *lastWriteTime when given, flushes and closes it;
// *temporary then names it. On failure, or when `stop` stopped it
// (*stopped), nothing is left.
FileProblem writeTemporary(FolderHandle folder, const NewContent &content, NewFileKind kind,
                           FileHandle source, const int64_t *lastWriteTime, StopPoll stop,
                           FilePlace *temporary, bool *stopped) {
  FileHandle file = NO_FILE;
  FileProblem problem = createTemporary(folder, temporary, &file);
  if (problem != FileProblem::None)
    return problem;
  // A copy is locked while it is written, so that a later run does not take
  // it for an interrupted run's leftover.
  if (kind == NewFileKind::Copy)
    problem = lockForConversion(file);
  if (problem == FileProblem::None)
    problem = writePieces(file, content, stop, stopped);
  if (problem == FileProblem::None)
    problem = kind == NewFileKind::Copy ? giveCopyMode(source, file) : carryMetadata(source, file);
  if (problem == FileProblem::None && lastWriteTime != nullptr)
    problem = setLastWriteTime(file, *lastWriteTime);
  if (problem == FileProblem::None)
    problem = kind == NewFileKind::Copy ? flushCopy(file) : flushFile(file);
  const FileProblem closed = closeNewFile(file);
  if (problem == FileProblem::None)
    problem = closed;
  if (problem != FileProblem::None)
    removeCreatedFile(*temporary);
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
// original's metadata and time. On failure nothing is left.
FileProblem makeBackup(const FilePlace &place, FileHandle source, const FileState &whenRead,
                       const char *backupName) {
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
    problem = writeTemporary(place.folder, content, NewFileKind::Backup, source,
                             &whenRead.lastWriteTime, NEVER_STOP, &temporary, &stopped);
    if (problem != FileProblem::None)
      return problem;
    problem = placeNewFile(temporary, backupName);
    if (problem != FileProblem::None) {
      removeCreatedFile(temporary);
      return problem;
    }
  }
  return flushNewName(place.folder, backupName);
}

} // namespace

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

WriteResult writeCopy(FolderHandle folder, const char *name, const NewContent &content,
                      FileHandle source, const FileState &whenRead, StopPoll stop) {
  FilePlace temporary;
  bool stopped = false;
  FileProblem problem = writeTemporary(folder, content, NewFileKind::Copy, source,
                                       &whenRead.lastWriteTime, stop, &temporary, &stopped);
  if (stopped)
    return result(WriteOutcome::Stopped);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  if (!sourceUnchanged(source, whenRead)) {
    removeCreatedFile(temporary);
    return result(WriteOutcome::Changed);
  }
  problem = placeNewFile(temporary, name);
  if (problem == FileProblem::None)
    return result(WriteOutcome::Written);
  removeCreatedFile(temporary);
  return result(WriteOutcome::CannotWrite, problem);
}

WriteResult replaceContent(const FilePlace &place, FileHandle *source, const FileState &whenRead,
                           const NewContent &content, WriteSettings settings) {
  FileProblem problem = checkReplaceable(place, *source);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  char backupName[NAME_BUFFER_SIZE];
  if (settings.backup && !backupNameOf(place.name, backupName))
    return result(WriteOutcome::CannotBackUp, FileProblem::NameTooLong);
  FilePlace temporary;
  bool stopped = false;
  problem = writeTemporary(place.folder, content, NewFileKind::Replacement, *source,
                           settings.keepTime ? &whenRead.lastWriteTime : nullptr, NEVER_STOP,
                           &temporary, &stopped);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  if (!unchangedSince(place, *source, whenRead)) {
    removeCreatedFile(temporary);
    return result(WriteOutcome::Changed);
  }
  if (settings.backup) {
    problem = makeBackup(place, *source, whenRead, backupName);
    if (problem != FileProblem::None) {
      removeCreatedFile(temporary);
      return problem == FileProblem::AlreadyExists ? result(WriteOutcome::BackupExists)
                                                   : result(WriteOutcome::CannotBackUp, problem);
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
  removeCreatedFile(temporary);
  if (settings.backup) {
    // Made just now: a later run must not be refused for it.
    removeCreatedFile(placeInFolder(place.folder, backupName));
  }
  return result(WriteOutcome::CannotWrite, problem);
}
