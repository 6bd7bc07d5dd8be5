// One file's conversion for callers that report rather than ask (the command
// line): the checks, the rewrite of the tag region and the safe write, with
// the outcome returned as a record; and the steps the Convert command
// shares with it.
#pragma once

#include "command/platform_files.h"
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
  bool write;    // false: examine only, touch nothing
  bool backup;   // keep the original as NAME.bak, never overwriting one
  bool keepTime; // give the converted file the original's last-write time
};

struct PathReport {
  PathOutcome outcome;
  RewriteReason reason; // for Unsupported and Damaged
  FileProblem problem;  // for the failures: the cause the platform gave
  uint8_t majorVersion; // the tag's version, once its header was read
  uint8_t revision;
  uint64_t size;    // the file's size before
  uint64_t newSize; // after the conversion (Converted)
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

// The steps the Convert command shares.

bool hasTagIdentifier(const uint8_t *bytes, uint64_t length);

// rewriteTag for a file's content, a file too short for a tag header included.
RewriteOutcome rewriteContent(FileImage input, uint8_t *output);
