// One file's conversion for callers that report rather than ask (the command
// line): the checks, the rewrite of the tag region and the safe write, with
// the outcome returned as a record; the steps of it for one open file, on
// which the copies (library/file_copy.h) and --info build; and the steps the
// Convert command shares with it.
#pragma once

#include "command/platform_files.h"
#include "command/safe_write.h"
#include "command/temporary_name.h"
#include "engine/id3v1.h"
#include "engine/rewrite_tag.h"

#include <cstdint>

enum class PathOutcome {
  Converted,        // written
  WouldConvert,     // examined only, a write would change it; for a copy, the copy is converted
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

// Whether an outcome is the conversion's verdict on the file's tag (it is
// converted or would be, or it is left as it is for what its tag is) rather
// than a failure to read or write the file.
bool tagWasExamined(PathOutcome outcome);

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
  uint64_t size;          // the file's size before
  uint64_t newSize;       // after the conversion (Converted, WouldConvert)
  FramesLeft left;        // frames an AllFrames conversion left as they are
  VersionChanges version; // what a conversion asked for version 2.3 changed, or why it did not
  // A temporary file a failed write could not remove again (empty: none).
  char leftBehind[TEMPORARY_NAME_SIZE] = {};
};

// The report of a file that failed before anything of it was known: the
// outcome and the cause the platform gave.
PathReport failedReport(PathOutcome outcome, FileProblem problem);

// The place of a path, its folder opened (closePlace releases it); false
// with the report of a file that was not found or could not be opened when
// the folder cannot be opened.
bool placeOfPathFor(const char *path, FilePlace *place, PathReport *failure);

// Shown the tag region before and after the rewrite, and the walk of the
// region before, when the rewrite changes it, before anything is written.
typedef void (*TagInspector)(void *context, FileImage before, const TagRecord &record,
                             FileImage after);

// The file at place, a link followed to its file; a place that owns its
// folder is closed on the way.
PathReport convertFileAt(const FilePlace &place, PathSettings settings, TagInspector inspect,
                         void *context);

// ---- One open file: the steps the conversion, the copies and --info share --

// What the conversion of one open file holds while it runs; releaseConversion
// releases it all.
struct FileConversion {
  FilePlace place; // a link followed: the place of the file itself
  FileHandle source;
  FileState whenOpened;
  uint8_t *before;       // the tag region as read: the tag, and a footer's worth of bytes after it
  uint8_t *after;        // its rewrite: the tag may grow (rewriteNeedsOf)
  uint8_t *scratch;      // what the rewrite of an unsynchronised tag reads, when it needs it
  uint32_t regionLength; // of the tag region read, and of its rewrite
  uint32_t newRegionLength;
  TagRecord record; // the one walk of the tag region, once read
  uint64_t keptEnd; // the file is kept up to here: its end, or an ID3v1 tag that is replaced
  bool writesId3v1; // the new content ends with newId3v1
  uint8_t newId3v1[ID3V1_TAG_SIZE];
  PathReport report;
};

// How a file is opened for its conversion.
enum class FileUse {
  Replace, // converted in place: a regular file of one name, locked against a second run
  Examine, // the same checks, without the lock, for a run that writes nothing
  Read,    // only read (the source of a copy, --info): other names do not matter, no lock
};

// Opens the file at place and learns its state (its size in
// conversion.report); false with the report set when it cannot.
bool openConversion(FileConversion &conversion, const FilePlace &place, FileUse use);
// Reads the tag region, walks it once and rewrites it with these settings,
// making the ID3v1 tag too when asked. conversion.report then says what a
// write would give: WouldConvert (with its newSize), AlreadyConverted
// (nothing to write), the tag's verdict, or why the file could not be read.
void convertOpenFile(FileConversion &conversion, RewriteSettings rewrite, bool id3v1);
// The content a WouldConvert conversion writes: the rewritten tag region,
// the rest of the file, and the new ID3v1 tag.
NewContent convertedContent(const FileConversion &conversion);
// The ID3v1 tag at the end of the file; present only when it lies wholly
// after the ID3v2 tag and its footer.
FileProblem readExistingId3v1(const FileConversion &conversion, uint8_t (&tag)[ID3V1_TAG_SIZE],
                              bool &present);
void releaseConversion(FileConversion &conversion);

// ---- The steps the Convert command shares ------------------------------------

// Zero-initialised memory for a file's content, released by releaseBlock;
// nullptr when there is none.
uint8_t *allocateZeroed(uint32_t size);
void releaseBlock(uint8_t *block);

bool hasTagIdentifier(const uint8_t *bytes, uint64_t length);

// rewriteTag for a whole file's content, a file too short for a tag header
// included, converting the title frames as the dialog always has.
RewriteOutcome rewriteContent(FileImage input, uint8_t *output);
