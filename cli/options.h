// The command line: options and the paths to convert.
#pragma once

#include <vector>

struct Options {
  bool yes;       // -y: no question
  bool dryRun;    // -n: show what would change, write nothing
  bool backup;    // -b: keep the original as NAME.bak
  bool keepTime;  // -t: keep the original's modification time
  bool recursive; // -r: folders with all their subfolders
  bool quiet;     // -q: only the files that need attention
  std::vector<const char *> paths;
};

enum class ParseResult { Run, Help, Version, UsageError };

enum class UsageProblem { None, UnknownOption, NoPath };

struct ParsedCommandLine {
  ParseResult result;
  UsageProblem problem;
  const char *argument; // the option that was not understood
};

ParsedCommandLine parseOptions(int argc, char **argv, Options &options);
