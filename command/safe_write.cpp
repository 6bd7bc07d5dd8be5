#include "command/safe_write.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char BACKUP_SUFFIX[] = ".bak";

WriteResult result(WriteOutcome outcome, FileProblem problem = FileProblem::None) {
  return WriteResult{outcome, problem};
}

FileProblem writePieces(FileHandle file, const NewContent &content) {
  FileProblem problem = FileProblem::None;
  for (size_t i = 0; i < content.count && problem == FileProblem::None; ++i) {
    const ContentPiece &piece = content.pieces[i];
    problem = piece.bytes != nullptr ? writeAll(file, piece.bytes, piece.length)
                                     : copyRange(piece.file, piece.offset, piece.length, file);
  }
  return problem;
}

// Whether the file is still the one that was read: through the open
// handle, its size, times and link count; through its name, the same file.
bool unchangedSince(const FilePlace &place, FileHandle source, const FileState &whenRead) {
  FileState now;
  FileState named;
  return queryOpenFile(source, &now) == FileProblem::None && sameFileState(now, whenRead) &&
         queryPlace(place, &named) == FileProblem::None && named.volume == whenRead.volume &&
         named.fileIndex == whenRead.fileIndex;
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

FileProblem writeTemporaryFile(FolderHandle folder, const NewContent &content,
                               FileHandle metadataFrom, const int64_t *lastWriteTime,
                               FilePlace *temporary) {
  FileHandle file = NO_FILE;
  FileProblem problem = createTemporary(folder, temporary, &file);
  if (problem != FileProblem::None)
    return problem;
  problem = writePieces(file, content);
  if (problem == FileProblem::None && metadataFrom != NO_FILE)
    problem = carryMetadata(metadataFrom, file);
  if (problem == FileProblem::None && lastWriteTime != nullptr)
    problem = setLastWriteTime(file, *lastWriteTime);
  if (problem == FileProblem::None)
    problem = flushFile(file);
  const FileProblem closed = closeNewFile(file);
  if (problem == FileProblem::None)
    problem = closed;
  if (problem != FileProblem::None)
    removeCreatedFile(*temporary);
  return problem;
}

WriteResult writeCopy(FolderHandle folder, const char *name, const NewContent &content,
                      FileHandle source, const FileState &whenRead) {
  FilePlace temporary;
  FileHandle file = NO_FILE;
  FileProblem problem = createTemporary(folder, &temporary, &file);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  problem = lockForConversion(file);
  if (problem == FileProblem::None)
    problem = writePieces(file, content);
  if (problem == FileProblem::None)
    problem = giveCopyMode(source, file);
  if (problem == FileProblem::None)
    problem = setLastWriteTime(file, whenRead.lastWriteTime);
  if (problem == FileProblem::None)
    problem = flushCopy(file);
  FileState now{};
  const bool changed =
      problem == FileProblem::None &&
      (queryOpenFile(source, &now) != FileProblem::None || !sameFileState(now, whenRead));
  const FileProblem closed = closeNewFile(file);
  if (problem == FileProblem::None)
    problem = closed;
  if (problem == FileProblem::None && !changed)
    problem = placeCopy(temporary, name);
  if (problem == FileProblem::None && !changed)
    return result(WriteOutcome::Written);
  removeCreatedFile(temporary);
  return changed ? result(WriteOutcome::Changed) : result(WriteOutcome::CannotWrite, problem);
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
  problem = writeTemporaryFile(place.folder, content, *source,
                               settings.keepTime ? &whenRead.lastWriteTime : nullptr, &temporary);
  if (problem != FileProblem::None)
    return result(WriteOutcome::CannotWrite, problem);
  if (!unchangedSince(place, *source, whenRead)) {
    removeCreatedFile(temporary);
    return result(WriteOutcome::Changed);
  }
  if (settings.backup) {
    problem = makeBackup(place, *source, backupName);
    if (problem != FileProblem::None) {
      removeCreatedFile(temporary);
      return problem == FileProblem::AlreadyExists ? result(WriteOutcome::BackupExists)
                                                   : result(WriteOutcome::CannotBackUp, problem);
    }
  }
  bool originalLost = false;
  problem = replaceWithTemporary(place, temporary, source, &originalLost);
  if (problem == FileProblem::None)
    return result(WriteOutcome::Written);
  if (originalLost)
    return result(WriteOutcome::LeftInTemporary, problem); // the new file, and any backup, hold it
  removeCreatedFile(temporary);
  if (settings.backup) {
    // Made just now: a later run must not be refused for it.
    const FilePlace backup = placeInFolder(place.folder, backupName);
    removeCreatedFile(backup);
  }
  return result(WriteOutcome::CannotWrite, problem);
}
