// One file's conversion for callers that report rather than ask (the command
// line): the checks, the rewrite of the tag region and the safe write, with
// the outcome returned as a record; and the steps the Convert command
// shares with it.
#pragma once

#include "command/platform_files.h"
#include "command/temporary_name.h"
#include "engine/rewrite_tag.h"

#include <cstdint>

enum class PathOutcome {
  Converted,        // written; or, when not writing, would be
  AlreadyConverted, // the rewrite gives the same bytes; nothing written
  NoTag,            // no "ID3" at the start
  Refused,          // the version gate said no
  Unsupported,      // reason says which feature
  Damaged,          // reason says what does not fit
  NotFound,
  CannotOpen, // problem says why: not a regular file, hard links, permission...
  SizeUnknown,
  TooLarge, // 4 GiB or more
  NoMemory,
  CannotRead,
  Changed,         // another program wrote the file while it was converted
  CannotWrite,     // problem says why; the original is as it was
  LeftInTemporary, // the original is gone; the content is under the temporary name
  BackupExists,    // refused: a backup would be overwritten
  CannotBackUp,
};

struct PathSettings {
  bool write;              // false: examine only, touch nothing
  bool backup;             // keep the original as NAME.bak, never overwriting one
  bool keepTime;           // give the converted file the original's last-write time
  RewriteSettings rewrite; // the frames converted, and how their texts are
  bool id3v1; // write an ID3v1 tag made from the converted tag at the end, or replace it
};

struct PathReport {
  PathOutcome outcome;
  RewriteReason reason; // for Unsupported and Damaged
  FileProblem problem;  // for the failures: the cause the platform gave
  uint8_t majorVersion; // the tag's version, once its header was read
  uint8_t revision;
  uint64_t size;    // the file's size before
  uint64_t newSize; // after the conversion (Converted)
  FramesLeft left;  // frames an AllFrames conversion left as they are
  // A temporary file a failed write could not remove again (empty: none).
  char leftBehind[TEMPORARY_NAME_SIZE] = {};
};

// Shown the tag region before and after the rewrite when the rewrite changes
// it, before anything is written.
typedef void (*TagInspector)(void *context, FileImage before, FileImage after);

// The file named `name` in an open folder; a link is followed to its file.
PathReport convertFileAt(FolderHandle folder, const char *name, PathSettings settings,
                         TagInspector inspect, void *context);
// The file at a path.
PathReport convertOnePath(const char *path, PathSettings settings, TagInspector inspect,
                          void *context);

// What --info reads of a file, nothing written: the tag region (length 0
// when the file has no ID3v2 tag) and the ID3v1 tag at its end (nullptr
// when there is none).
typedef void (*TagReader)(void *context, FileImage tagRegion, const uint8_t *id3v1Tag);

// The file's tags, shown to read unless the file cannot be read; the
// report tells what a conversion would give (Converted for "would convert")
// or why the file could not be read.
PathReport readTagsAt(FolderHandle folder, const char *name, TagReader read, void *context);
PathReport readTagsOfPath(const char *path, TagReader read, void *context);

// Copies: the library is only read, and a converted copy of each file (or,
// when it cannot be converted, the file as it is) goes to another folder,
// most often on a memory stick.

// Where a copy goes: a destination folder (NO_FOLDER when it is not made
// yet, so that nothing is there) and the copy's name in it. A file that is
// no MP3 (examineTag false) is copied as it is.
struct CopyTarget {
  FolderHandle folder;
  const char *name;
  bool examineTag;
};

enum class CopyAction {
  None,     // nothing to do there: the source could not be read or the copy failed
  Write,    // a new file was written, or would be when not writing
  UpToDate, // a file of the copy's size and the source's time is there already
  Taken,    // another file has the name; it is left as it is
};

// report.outcome tells what the conversion gives (Converted; or for a copy
// of the file as it is AlreadyConverted, NoTag, Refused, Unsupported or
// Damaged) or why there is no copy (a failure; CannotWrite and Changed for
// the copy's own); report.newSize is the copy's size.
struct CopyReport {
  PathReport report;
  CopyAction action;
};

// A copy is up to date when it has the source's modification time as FAT
// keeps it: to two seconds.
bool sameCopyTime(int64_t copyTime, int64_t sourceTime);

// The file `name` in an open folder, copied to target. settings.write false
// only examines; backup and keepTime do not apply (a copy always has the
// source's time).
CopyReport copyFileAt(FolderHandle folder, const char *name, PathSettings settings,
                      CopyTarget target, TagInspector inspect, void *context);
CopyReport copyOnePath(const char *path, PathSettings settings, CopyTarget target,
                       TagInspector inspect, void *context);

// The steps the Convert command shares.

// Zero-initialised memory for a file's content, released by releaseBlock;
// nullptr when there is none.
uint8_t *allocateZeroed(uint32_t size);
void releaseBlock(uint8_t *block);

bool hasTagIdentifier(const uint8_t *bytes, uint64_t length);

// rewriteTag for a file's content, a file too short for a tag header included.
RewriteOutcome rewriteContent(FileImage input, uint8_t *output);
RewriteOutcome rewriteContent(FileImage input, uint8_t *output, RewriteSettings settings,
                              FramesLeft &left);
