// The lines the command line writes, composed from the messages of the
// catalogue chosen for the run, as UTF-8.
#pragma once

#include "catalogue/catalogue.h"
#include "cli/options.h"
#include "cli/run_results.h"
#include "command/file_conversion.h"
#include "engine/tag_layout.h"
#include "library/copy_run.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Between the values of a list, and the strings of a frame, as a line shows
// them.
constexpr char VALUE_SEPARATOR[] = " / ";
// Between the values that version 2.3 output joins, as it writes them.
constexpr char VERSION3_VALUE_SEPARATOR[] = "/";
// At the end of a text cut short.
constexpr char ELLIPSIS[] = "…";

// "12.3 MB", in the decimal units sticks are sold in.
std::string amountOfBytes(uint64_t bytes);

// A message as a line of its own.
std::string messageLine(const Catalogue &messages, Message message);
// "sorabun-cli: TEXT" as a line, for standard error.
std::string errorLine(const std::string &body);

std::string versionText();
// What was wrong with the command line, and the hint to try --help.
std::string usageErrorText(const Catalogue &messages, const ParsedCommandLine &parsed);

// "converted: PATH (12 bytes saved)", "would convert: ..." and the like.
std::string outcomeLine(const Catalogue &messages, const std::string &path,
                        const PathReport &report);
// A folder that could not be read, or an entry that could not be examined.
std::string listingProblemLine(const Catalogue &messages, const std::string &path,
                               FileProblem problem, bool isFolder);
// A temporary file of an interrupted run, found in a folder and left alone.
std::string leftoverLine(const Catalogue &messages, const std::string &path);
std::string summaryLine(const Catalogue &messages, const RunCounts &counts);

std::string confirmationText(const Catalogue &messages, size_t toConvert, size_t total,
                             bool backup);
std::string noTerminalText(const Catalogue &messages, size_t toConvert);
std::string progressText(const Catalogue &messages, size_t done, size_t total);
// How many marked characters become '?', and how many of them --fold would
// keep as look-alikes.
std::string foldHintText(const Catalogue &messages, const PreviewMarks &marks);

// Copies (--to).

// "copied: PATH (converted, 12 bytes saved)" and the like; isMp3 false for
// the files --all-files adds.
std::string copyLine(const Catalogue &messages, bool dryRun, const std::string &path,
                     const CopyReport &copy, bool isMp3);
// A copy whose name was changed to suit the stick; changes: NameChange bits.
std::string renamedLine(const Catalogue &messages, const std::string &from, const std::string &to,
                        unsigned changes);
// A temporary file of an interrupted run at the destination, shown as path
// (its name temporaryName, of the temporary names' letters alone), as its
// fate says: the copy it was to become completed, shown as completedPath;
// removed; or left for the cause given (in a dry run, what would be done).
// One found among the files given is pointed out as leftoverLine does.
std::string settledLeftoverLine(const Catalogue &messages, const std::string &path,
                                const std::string &temporaryName, const std::string &completedPath,
                                LeftoverFate fate, FileProblem problem);
// The texts of a copy run that failed as a whole or met its disk's limits,
// without a line end (the command line writes them as errorLine, a window
// as it is).
std::string destinationProblemText(const Catalogue &messages, const std::string &folder,
                                   FileProblem problem);
std::string noSpaceText(const Catalogue &messages, const std::string &folder, uint64_t needed,
                        uint64_t available);
// The destination cannot take the files and folders to make (inodes).
std::string noFilesText(const Catalogue &messages, const std::string &folder, uint64_t needed,
                        uint64_t available);
// The warning before copies go into a FAT12 or FAT16 root folder that they
// would fill past its entries.
std::string rootFolderFillsText(const Catalogue &messages, const std::string &folder,
                                uint64_t entries, uint64_t needed);
// The disk filled up: the run stopped, with notWritten copies left.
std::string diskFullText(const Catalogue &messages, const std::string &folder, size_t notWritten);
std::string spaceLine(const Catalogue &messages, const std::string &folder, uint64_t needed,
                      uint64_t available);
std::string copySummaryLine(const Catalogue &messages, bool dryRun, const CopyCounts &counts);
// The flush at the end failed: the stick must not be removed yet.
std::string flushFailedText(const Catalogue &messages, FileProblem problem);
// The record of the copies made in `folder` could not be written.
std::string recordNotWrittenText(const Catalogue &messages, const std::string &folder,
                                 FileProblem problem);
// --to names a folder inside a folder that -r copies.
std::string destinationInSourceText(const Catalogue &messages, const std::string &shownSource);
std::string copyProgressText(const Catalogue &messages, size_t done, size_t total,
                             uint64_t bytesDone, uint64_t bytesTotal, double seconds);

// --info.

// "ID3v2.3.0": a tag's version as every line names it.
std::string tagVersionName(unsigned majorVersion, unsigned revision);
// The flags' names, or "none".
std::string tagFlagsText(const Catalogue &messages, const TagHeaderFlags &flags);
// "ID3v2.3.0  size 4096  padding 1022  flags: none"; for a version 2.4 tag,
// the option that writes version 2.3.
std::string infoTagLine(const Catalogue &messages, bool marked, const std::string &version,
                        uint32_t size, uint32_t padding, const std::string &flags, bool version4);
std::string infoId3v1Line(const Catalogue &messages, const Id3v1Shown &shown);
std::string infoSummaryLine(const Catalogue &messages, const MisreadCounts &counts);
// Why a file was not converted or read, as outcomeLine gives it in
// parentheses; empty when there is nothing to say.
std::string outcomeDetail(const Catalogue &messages, const PathReport &report);
