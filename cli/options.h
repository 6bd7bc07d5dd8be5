// The command line: options and the paths to convert.
#pragma once

#include "command/file_conversion.h"

#include <vector>

struct Options {
  bool yes;       // -y: no question
  bool dryRun;    // -n: show what would change, write nothing
  bool backup;    // -b: keep the original as NAME.bak
  bool keepTime;  // -t: keep the original's modification time
  bool recursive; // -r: folders with all their subfolders
  bool quiet;     // -q: only the files that need attention
  const char *to; // --to DIR: converted copies go there; nullptr: files converted in place
  bool allFiles;  // --all-files: with --to, files that are no MP3 are copied as they are
  bool allFrames; // --all-frames: every frame with text is converted, not the title frames only
  bool fold;      // --fold: look-alikes for the characters code page 932 turns into '?'
  bool id3v1;     // --id3v1: write a code page 932 ID3v1 tag at the end
  bool version3;  // --id3v2.3: write the tag as version 2.3
  bool info;      // --info: show what each tag holds, write nothing
  bool json;      // --json: with --info, one JSON object per file
  std::vector<const char *> paths;
};

enum class ParseResult { Run, Help, Version, UsageError };

enum class UsageProblem {
  None,
  UnknownOption,
  NoPath,
  NoFolder,       // --to without its folder
  BackupWithCopy, // --backup with --to: the originals are not changed
  AllFilesAlone,  // --all-files without --to
  JsonAlone,      // --json without --info
  InfoWrites,     // --info with --to, --backup, --id3v1, --id3v2.3 or --car: --info writes
                  // nothing
};

struct ParsedCommandLine {
  ParseResult result;
  UsageProblem problem;
  const char *argument; // the option that was not understood
};

ParsedCommandLine parseOptions(int argc, char **argv, Options &options);

// The settings of each file's conversion, for a run that writes or only
// examines; a copy takes the same, its conversion is the same.
PathSettings pathSettings(const Options &options, bool write);
