// The record of the copies this program made in a destination folder, kept
// in that folder as COPY_RECORD_NAME (written by the safe write), so that a
// later run knows a copy as its own: a copy that is as the record shows it
// (size, time, hash of its content) may be replaced by a new conversion
// when its source changed; any other file at a copy's name is left alone.
// A record that is missing or damaged knows no copy.
//
// Its text, UTF-8 with LF line ends: the first line "sorabun copies 1 UNITS"
// (the version, and the units per second of the times: those of the system
// that wrote it); then one line per copy, "HASH SIZE TIME NAME<TAB>SOURCE",
// HASH 16 hex digits, SIZE and TIME decimal, NAME the copy's path from the
// destination folder with '/' between folders, SOURCE the path of the file
// it was made from as the run was given it, both with '\\', tab, LF, CR and
// other control bytes escaped as \\\\, \\t, \\n, \\r and \\xHH; last
// "end COUNT", the number of copies.
#pragma once

#include "command/platform_files.h"

#include <cstdint>
#include <map>
#include <string>

// Not a temporary file's name (command/temporary_name.h), nor one a copy
// takes: a walk never copies it.
constexpr char COPY_RECORD_NAME[] = ".sorabun-copies";

struct RecordedCopy {
  uint64_t size;
  int64_t lastWriteTime; // FileState's units
  uint64_t hash;         // command/file_content.h
  std::string source;
};

// By the copy's path from the destination folder.
using CopyRecord = std::map<std::string, RecordedCopy>;

std::string copyRecordText(const CopyRecord &record);
// False, with the record empty, when the text is not a whole record of
// this version and these time units.
bool parseCopyRecord(const std::string &text, CopyRecord *record);

// The record in `folder`; empty when there is none or it cannot be read.
// nameTaken receives whether something that is not a record of this
// program holds the record's name (a file of the user's, a folder, a file
// of several links, one that cannot be read): it is never replaced. A
// record of another version or of other time units is one of this
// program's, replaced like a damaged one.
CopyRecord readCopyRecord(FolderHandle folder, bool *nameTaken);
FileProblem writeCopyRecord(FolderHandle folder, const CopyRecord &record);
