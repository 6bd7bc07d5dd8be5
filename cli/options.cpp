#include "cli/options.h"

#include "library/car_conversion.h"

#include <cstring>

namespace {

struct LongOption {
  const char *name;
  char shortName;
};

const LongOption LONG_OPTIONS[] = {
    {"--yes", 'y'},       {"--dry-run", 'n'},    {"--backup", 'b'},  {"--keep-time", 't'},
    {"--recursive", 'r'}, {"--quiet", 'q'},      {"--help", 'h'},    {"--version", 'V'},
    {"--all-files", 'a'}, {"--all-frames", 'F'}, {"--fold", 'f'},    {"--id3v1", '1'},
    {"--info", 'i'},      {"--json", 'j'},       {"--id3v2.3", '3'}, {"--car", 'c'},
};

// The options that have a long name only: their letters here name them
// inside the program, not on the command line.
constexpr char LONG_ONLY[] = "VaFf1ij3c";

constexpr char TO_OPTION[] = "--to";

// Applies one option by its short name; false for a letter that names none.
bool applyOption(char name, Options &options, ParseResult &result) {
  switch (name) {
  case 'y':
    options.yes = true;
    return true;
  case 'n':
    options.dryRun = true;
    return true;
  case 'b':
    options.backup = true;
    return true;
  case 't':
    options.keepTime = true;
    return true;
  case 'r':
    options.recursive = true;
    return true;
  case 'q':
    options.quiet = true;
    return true;
  case 'a':
    options.allFiles = true;
    return true;
  case 'f':
    options.fold = true;
    return true;
  case 'F':
    options.allFrames = true;
    return true;
  case '1':
    options.id3v1 = true;
    return true;
  case '3':
    options.version3 = true;
    return true;
  case 'c':
    // What a car needs, as the copy window asks for it too; each option it
    // stands for may be given as well.
    options.allFrames = options.allFrames || CAR_CONVERSION.rewrite.scope == FrameScope::AllFrames;
    options.fold = options.fold || CAR_CONVERSION.rewrite.text.foldLookAlikes;
    options.version3 = options.version3 || CAR_CONVERSION.rewrite.version == TagVersion::Version3;
    options.id3v1 = options.id3v1 || CAR_CONVERSION.id3v1;
    return true;
  case 'i':
    options.info = true;
    return true;
  case 'j':
    options.json = true;
    return true;
  case 'h':
    result = ParseResult::Help;
    return true;
  case 'V':
    if (result != ParseResult::Help)
      result = ParseResult::Version;
    return true;
  default:
    return false;
  }
}

char shortNameOf(const char *longName) {
  for (const LongOption &option : LONG_OPTIONS) {
    if (std::strcmp(option.name, longName) == 0)
      return option.shortName;
  }
  return 0;
}

} // namespace

ParsedCommandLine parseOptions(int argc, char **argv, Options &options) {
  options = Options{};
  ParsedCommandLine parsed{ParseResult::Run, UsageProblem::None, nullptr};
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char *argument = argv[i];
    if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
      options.paths.push_back(argument); // "-" alone is a name, as elsewhere
      continue;
    }
    if (std::strcmp(argument, "--") == 0) {
      optionsEnded = true;
      continue;
    }
    // --to DIR or --to=DIR.
    const size_t toLength = sizeof TO_OPTION - 1;
    if (std::strncmp(argument, TO_OPTION, toLength) == 0 &&
        (argument[toLength] == '\0' || argument[toLength] == '=')) {
      options.to = argument[toLength] == '=' ? argument + toLength + 1 : nullptr;
      if (options.to == nullptr && i + 1 < argc)
        options.to = argv[++i];
      if (options.to == nullptr || options.to[0] == '\0')
        return ParsedCommandLine{ParseResult::UsageError, UsageProblem::NoFolder, argument};
      continue;
    }
    bool known = true;
    if (argument[1] == '-') {
      const char name = shortNameOf(argument);
      known = name != 0 && applyOption(name, options, parsed.result);
    } else {
      // Short options may be joined: -yr.
      for (const char *letter = argument + 1; known && *letter != '\0'; ++letter)
        known = std::strchr(LONG_ONLY, *letter) == nullptr &&
                applyOption(*letter, options, parsed.result);
    }
    if (!known)
      return ParsedCommandLine{ParseResult::UsageError, UsageProblem::UnknownOption, argument};
  }
  if (parsed.result != ParseResult::Run)
    return parsed;
  if (options.paths.empty())
    return ParsedCommandLine{ParseResult::UsageError, UsageProblem::NoPath, nullptr};
  if (options.to != nullptr && options.backup)
    return ParsedCommandLine{ParseResult::UsageError, UsageProblem::BackupWithCopy, nullptr};
  if (options.to == nullptr && options.allFiles)
    return ParsedCommandLine{ParseResult::UsageError, UsageProblem::AllFilesAlone, nullptr};
  if (options.json && !options.info)
    return ParsedCommandLine{ParseResult::UsageError, UsageProblem::JsonAlone, nullptr};
  if (options.info &&
      (options.to != nullptr || options.backup || options.id3v1 || options.version3))
    return ParsedCommandLine{ParseResult::UsageError, UsageProblem::InfoWrites, nullptr};
  return parsed;
}

PathSettings pathSettings(const Options &options, bool write) {
  return PathSettings{
      write, options.backup, options.keepTime,
      RewriteSettings{options.allFrames ? FrameScope::AllFrames : FrameScope::TitleFrames,
                      TextSettings{options.fold},
                      options.version3 ? TagVersion::Version3 : TagVersion::AsRead},
      options.id3v1};
}
