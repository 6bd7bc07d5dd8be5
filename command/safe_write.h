// Every write the program makes, for both front ends: the write-back, its
// backup and the copies onto another disk. Each new file goes under a
// temporary name beside its destination (created exclusively, never opening
// anything already there), is completed, given its metadata and times,
// flushed, and only then given its name in one step; an interruption
// meanwhile removes it. The write-back puts it in the original's place after
// a last check that nobody else has written the file meanwhile. A failure at
// any step leaves the original as it was and nothing beside it. The
// temporary names: command/temporary_name.h.
#pragma once

#include "command/platform_files.h"
#include "command/temporary_name.h"

#include <cstddef>
#include <cstdint>

// One piece of a new file's content: bytes in memory or, when bytes is
// nullptr, `length` bytes of an open file from `offset` on.
struct ContentPiece {
  const uint8_t *bytes;
  FileHandle file;
  uint64_t offset;
  uint64_t length;
};
ContentPiece memoryPiece(const uint8_t *bytes, uint64_t length);
ContentPiece filePiece(FileHandle file, uint64_t offset, uint64_t length);

// A rewritten tag, the rest of the file, and room for a last piece (a tag at
// the end of the file).
constexpr size_t CONTENT_PIECES_AT_MOST = 3;
struct NewContent {
  ContentPiece pieces[CONTENT_PIECES_AT_MOST];
  size_t count;
};

// The original is kept as NAME.bak when asked; false when that name does
// not fit.
bool backupNameOf(const char *name, char (&backupName)[NAME_BUFFER_SIZE]);

struct WriteSettings {
  bool backup;   // keep the original as NAME.bak, never replacing one
  bool keepTime; // the new content keeps the original's last-write time
};

enum class WriteOutcome {
  // problem is None, or says why the folder could not be flushed once the
  // original was replaced (the change may then not survive a power cut)
  Written,
  Changed,         // another program changed the file; nothing written
  BackupExists,    // a backup would be replaced; nothing written
  CannotBackUp,    // problem says why; nothing written
  CannotWrite,     // problem says why; the original is as it was
  LeftInTemporary, // the original is gone; the content is under the temporary name
  Stopped,         // a copy stopped on request between two of its blocks; nothing is left
};

// Asked between the blocks of a copy whether to stop it.
struct StopPoll {
  bool (*stopRequested)(void *context); // nullptr: never stops
  void *context;
};
constexpr StopPoll NEVER_STOP{nullptr, nullptr};

struct WriteResult {
  WriteOutcome outcome;
  FileProblem problem;
  // On a failure, a temporary file this run made that could not be removed
  // again (empty when none), so that the user is told its name.
  char leftBehind[TEMPORARY_NAME_SIZE] = {};
};

// A copy on another disk: `content` written into a new file under a
// temporary name in `folder` made from `name`, held open and locked until
// it has its name (so that another run never takes it for an interrupted
// run's leftover), given the source's modification time and permissions,
// flushed where each copy must be (flushCopy), and placed as `name`, never
// replacing anything there (CannotWrite with AlreadyExists when the name
// was taken meanwhile; see placeNewFile for file systems without an
// exclusive rename), then given the source's time once more (fusefat gives
// a renamed file the time of the rename). Changed when the source, open as
// `source`, is no longer in the state whenRead once the copy is complete.
// A folder that takes new names only is refused first (AppendOnlyFolder).
// `stop` is asked between the blocks of COPY_BLOCK_SIZE bytes the content
// is written in. On failure, or when stopped, nothing is left, or
// leftBehind names what could not be removed.
//
// With `replacing`, the file at `name` is an earlier copy of this program's
// in that state (its record says so): the new copy takes its place in one
// step, unless it is no longer in that state once the new copy is complete
// (CannotWrite with AlreadyExists: another file has the name).
WriteResult writeCopy(FolderHandle folder, const char *name, const NewContent &content,
                      FileHandle source, const FileState &whenRead, StopPoll stop,
                      const FileState *replacing = nullptr);

// A small file of the program's own in `folder` (the record of the copies
// made there): the bytes written under a temporary name made from `name`,
// flushed where each copy must be, and put in the place of the file at
// `name` in one step, or given that name when there is none. A file at
// `name` that is not a regular file with one name is never replaced.
WriteResult writeOwnFile(FolderHandle folder, const char *name, const uint8_t *bytes,
                         uint64_t length);

// What becomes of a temporary file that an interrupted run left in a folder
// of copies.
enum class LeftoverAction {
  // The copy that run was placing where the file system has no exclusive
  // rename: complete, it now has the name its empty reservation held
  // (completedName).
  Completed,
  Removed, // provably this program's: gone
  Kept,    // problem says why
};

struct LeftoverResult {
  LeftoverAction action;
  FileProblem problem;
  char completedName[NAME_BUFFER_SIZE];
};

// Settles the temporary file `name` that an interrupted run left in
// `folder`: the copy it was to become is completed when its name is still
// reserved (an empty regular file whose name the temporary's is made from,
// see placeNewFile), and otherwise the file is removed when it is provably
// this program's: a regular file with one name that no running program
// holds, whose content is an MP3 (an ID3v2 tag or a frame sync at its
// start) or whose name is made from the name of a file in the folder or of
// one of copyNames (the copies a run makes there). Anything else is kept: a
// file another run holds (InUse), a device, a FIFO, a link, a file with
// other names, a user's file. act false only tells what would be done.
LeftoverResult clearLeftover(FolderHandle folder, const char *name, const char *const *copyNames,
                             size_t copyCount, bool act);

// Replaces the content of the regular file at `place`, open as *source (and
// locked by the caller) and in state whenRead when its content was read.
// A backup is made while the lock is held: a second name for the original
// where the file system has hard links, otherwise a copy written as a new
// file is, placed as NAME.bak. *source may be closed on the way (Windows
// replaces no open file); the caller closes it when it is not NO_FILE.
WriteResult replaceContent(const FilePlace &place, FileHandle *source, const FileState &whenRead,
                           const NewContent &content, WriteSettings settings);
