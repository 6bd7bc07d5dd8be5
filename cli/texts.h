// What the command line says, in English and in Japanese, as UTF-8.
#pragma once

#include "command/file_conversion.h"

#include <cstddef>
#include <string>

struct RunCounts {
  size_t files;
  size_t byOutcome[static_cast<size_t>(PathOutcome::CannotBackUp) + 1];
};

// Exit statuses; scripts rely on them.
constexpr int EXIT_ALL_WELL = 0;    // no file failed, none damaged or unsupported
constexpr int EXIT_SOME_FAILED = 1; // otherwise, a declined confirmation included
constexpr int EXIT_USAGE = 2;       // the command line was wrong, or no confirmation could be asked

bool needsAttention(PathOutcome outcome); // counts against the exit status

std::string helpText(bool japanese);
std::string versionText();
std::string unknownOptionText(bool japanese, const char *option);
std::string noPathText(bool japanese);

// "converted: PATH (12 bytes saved)" and the like; dryRun says "would".
std::string outcomeLine(bool japanese, bool dryRun, const std::string &path,
                        const PathReport &report);
// A folder that could not be read, or an entry that could not be examined.
std::string listingProblemLine(bool japanese, const std::string &path, FileProblem problem,
                               bool isFolder);
// A temporary file of an interrupted run, found in a folder and left alone.
std::string leftoverLine(bool japanese, const std::string &path);
std::string outputFailedText(bool japanese);
std::string summaryLine(bool japanese, bool dryRun, const RunCounts &counts);
std::string noFilesText(bool japanese);

std::string confirmationText(bool japanese, size_t toConvert, size_t total, bool backup);
bool isYes(const std::string &answer);
std::string cancelledText(bool japanese);
std::string noTerminalText(bool japanese, size_t toConvert);
std::string progressText(bool japanese, size_t done, size_t total);

// The labels of the dry run's preview.
std::string beforeLabel(bool japanese);
std::string afterLabel(bool japanese);
std::string markLegendText(bool japanese);
