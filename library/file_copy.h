// One file copied to another folder, most often on a memory stick: the
// library is only read, and the copy holds the converted file or, when it
// cannot be converted, the file as it is. Built on the conversion of one open
// file (command/file_conversion.h); written by the safe write.
#pragma once

#include "command/file_conversion.h"
#include "command/platform_files.h"
#include "command/safe_write.h"
#include "library/copy_record.h"

#include <cstdint>

// Where a copy goes: a destination folder (NO_FOLDER when it is not made
// yet, so that nothing is there) and the copy's name in it. A file that is
// no MP3 (examineTag false) is copied as it is. `recorded` is what the
// record of the copies made there knows of a copy at that name (nullptr:
// nothing); `made`, when given, receives what the record is to know of the
// copy written.
struct CopyTarget {
  FolderHandle folder;
  const char *name;
  bool examineTag;
  const RecordedCopy *recorded = nullptr;
  RecordedCopy *made = nullptr;
};

enum class CopyAction {
  None,  // nothing to do there: the source could not be read or the copy failed
  Write, // a new file was written, or would be when not writing
  // A file of the copy's size and the source's time (to FAT's two seconds),
  // or one that holds exactly the copy's bytes, is there.
  UpToDate,
  Taken,   // another file has the name; it is left as it is
  Stopped, // the copy was stopped on request while it was written; nothing is left of it
};

// report.outcome tells what the conversion gives (WouldConvert: the copy is
// converted; or for a copy of the file as it is AlreadyConverted, NoTag,
// Refused, Unsupported or Damaged) or why there is no copy (a failure;
// CannotWrite and Changed for the copy's own); report.newSize is the copy's
// size.
struct CopyReport {
  PathReport report;
  CopyAction action;
  // Write: the copy takes the place of an earlier copy of this program's,
  // unchanged since it was written, whose source changed.
  bool replacesOwnCopy = false;
};

// The file at place (closed by the call when the place owns its folder),
// copied to target. settings.write false only examines; backup and keepTime
// do not apply (a copy always has the source's time). `stop` is asked
// between the blocks of the copy.
CopyReport copyFileAt(const FilePlace &place, PathSettings settings, CopyTarget target,
                      TagInspector inspect, void *context, StopPoll stop);
