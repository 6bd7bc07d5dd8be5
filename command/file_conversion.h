// One file's conversion for callers that report rather than ask (the command
// line): the checks, the rewrite of the tag region and a write that never
// leaves the user without a whole file, with the outcome returned as a record.
// The checks and the write are the Convert command's own.
#pragma once

#include "command/file_access.h"
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
  CannotOpen, // a folder, a file held by another program, no permission
  SizeUnknown,
  TooLarge, // 4 GiB or more
  NoMemory,
  CannotRead,
  Changed,         // another program wrote the file while it was converted
  CannotWrite,     // the original is as it was
  LeftInTemporary, // the original is gone; the content is under the temporary name
  BackupExists,    // refused: a backup would be overwritten
  CannotBackUp,
};

struct PathSettings {
  bool write;    // false: examine only, touch nothing
  bool backup;   // keep the original as PATH.bak, never overwriting one
  bool keepTime; // give the converted file the original's last-write time
};

struct PathReport {
  PathOutcome outcome;
  RewriteReason reason; // for Unsupported and Damaged
  uint8_t majorVersion; // the tag's version, once its header was read
  uint8_t revision;
  uint64_t size;    // the file's size before
  uint64_t newSize; // after the conversion (Converted)
};

// Shown the tag region before and after the rewrite when the rewrite changes
// it, before anything is written.
typedef void (*TagInspector)(void *context, FileImage before, FileImage after);

// The new content is written beside the original under this suffix and only
// then put in its place; a backup takes the other.
extern const char REPLACEMENT_SUFFIX[];
extern const char BACKUP_SUFFIX[];

PathReport convertOnePath(const char *path, PathSettings settings, TagInspector inspect,
                          void *context);

// The steps the Convert command shares.

bool hasTagIdentifier(const uint8_t *bytes, uint64_t length);

// rewriteTag for a file's content, a file too short for a tag header included.
RewriteOutcome rewriteContent(FileImage input, uint8_t *output);

// Another program may have written the file since it was read; writing now
// would throw that change away.
bool unchangedSince(const char *path, const FileInfo &whenRead);

// The content that is to replace a file: its first bytes in memory, then,
// when rest is given, the remaining bytes of that open file, which
// writeInPlace closes before it replaces the original.
struct NewContent {
  const uint8_t *bytes;
  uint32_t length;
  FileHandle *rest;
  uint64_t restLength;
};

// Writes the new content beside the original, completely and flushed, and
// only then puts it in the original's place (keeping the original as a backup
// first when asked). Returns Converted once it is in place; otherwise
// Changed, BackupExists, CannotBackUp or CannotWrite with the original as it
// was and nothing left beside it, or LeftInTemporary.
PathOutcome writeInPlace(const char *path, NewContent content, const FileInfo &whenRead,
                         PathSettings settings);
