// What the command line says, in English and in Japanese, as UTF-8.
#pragma once

#include "cli/options.h"
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
// --to without a folder, --backup with --to, --all-files without --to.
std::string optionProblemText(bool japanese, UsageProblem problem);

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
// How many marked characters become '?' where --fold would keep look-alikes.
std::string foldHintText(bool japanese, size_t count);

// Copies (--to).

struct CopyCounts {
  size_t files;
  size_t converted; // copies written converted
  size_t asItIs;    // copies written as the files are
  size_t upToDate;
  size_t taken;  // not replaced: another file has the name
  size_t failed; // failures, and entries that could not be examined
};

// "copied: PATH (converted, 12 bytes saved)" and the like; isMp3 false for
// the files --all-files adds.
std::string copyLine(bool japanese, bool dryRun, const std::string &path, const CopyReport &copy,
                     bool isMp3);
// A copy whose name was changed to suit the stick; changes: NameChange bits.
std::string renamedLine(bool japanese, const std::string &from, const std::string &to,
                        unsigned changes);
// A temporary file of an interrupted run at the destination: removed (or,
// in a dry run, to be), or left for the cause given.
std::string leftoverRemovedLine(bool japanese, bool dryRun, const std::string &path,
                                FileProblem problem);
std::string destinationProblemText(bool japanese, const std::string &folder, FileProblem problem);
std::string noSpaceText(bool japanese, const std::string &folder, uint64_t needed,
                        uint64_t available);
std::string spaceLine(bool japanese, const std::string &folder, uint64_t needed,
                      uint64_t available);
std::string copySummaryLine(bool japanese, bool dryRun, const CopyCounts &counts);
// The last line: everything is on the disk, the stick can be removed; or
// the flush failed.
std::string removableText(bool japanese);
std::string flushFailedText(bool japanese, FileProblem problem);
// --to names a folder inside a folder that -r copies.
std::string destinationInSourceText(bool japanese, const std::string &shownSource);
std::string copyProgressText(bool japanese, size_t done, size_t total, uint64_t bytesDone,
                             uint64_t bytesTotal, double seconds);

// --info.

// What a player that reads nothing but code page 932 misreads, counted per
// kind over a run.
struct MisreadCounts {
  size_t files;
  size_t failed;
  size_t wideTexts;      // frames whose text is in UTF-16 or UTF-8
  size_t unsynchronised; // tags or frames stored unsynchronised
  size_t version4;       // version 2.4 headers, for units that read version 2.3 only
  size_t id3v1Disagrees; // ID3v1 tags that disagree with the ID3v2 tag
};

// The flags of a tag header, as bits.
constexpr unsigned TAG_FLAG_BIT_UNSYNCHRONISATION = 1;
constexpr unsigned TAG_FLAG_BIT_EXTENDED_HEADER = 2;
constexpr unsigned TAG_FLAG_BIT_COMPRESSION = 4; // version 2
constexpr unsigned TAG_FLAG_BIT_EXPERIMENTAL = 8;
constexpr unsigned TAG_FLAG_BIT_FOOTER = 16;
// The flags' names, or "none".
std::string tagFlagsText(bool japanese, unsigned flags);

// "ID3v2.3.0  size 4096  padding 1022  flags: none".
std::string infoTagLine(bool japanese, bool marked, const std::string &version, uint32_t size,
                        uint32_t padding, const std::string &flags);
// The ID3v1 tag's fields, not escaped; differences: Id3v1Field bits of the
// fields that disagree with the ID3v2 tag.
struct Id3v1Shown {
  std::string title, artist, album, year, comment, genre;
  unsigned track; // 0: none
  unsigned differences;
};
std::string infoId3v1Line(bool japanese, const Id3v1Shown &shown);
std::string infoLegendText(bool japanese);
std::string infoSummaryLine(bool japanese, const MisreadCounts &counts);
// Why a file was not converted or read, as outcomeLine gives it in
// parentheses; empty when there is nothing to say.
std::string outcomeDetail(bool japanese, const PathReport &report);
