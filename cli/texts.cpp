#include "cli/texts.h"

#include "cli/console.h"
#include "engine/id3v1.h"
#include "library/destination_names.h"

#include <cinttypes>
#include <cstdio>
#include <utility>

// SORABUN_COMMIT: the commit this build was made from, or "" (made by the
// build; cmake/commit_id.cmake).
#include "sorabun_commit.h"

#ifndef SORABUN_VERSION
#define SORABUN_VERSION "0"
#endif

namespace {

const char PROGRAM_PREFIX[] = "sorabun-cli: ";

std::string reasonText(const Catalogue &messages, RewriteReason reason) {
  switch (reason) {
  case RewriteReason::FileTooShort:
    return messageText(messages, Message::ReasonFileTooShort);
  case RewriteReason::TagPastEndOfFile:
    return messageText(messages, Message::ReasonTagPastEndOfFile);
  case RewriteReason::BadExtendedHeaderSize:
    return messageText(messages, Message::ReasonBadExtendedHeaderSize);
  case RewriteReason::FramePastEndOfTag:
    return messageText(messages, Message::ReasonFramePastEndOfTag);
  case RewriteReason::Unsynchronised:
    return messageText(messages, Message::ReasonUnsynchronised);
  case RewriteReason::Compressed:
    return messageText(messages, Message::ReasonCompressed);
  case RewriteReason::ExtendedHeaderCrc:
    return messageText(messages, Message::ReasonExtendedHeaderCrc);
  case RewriteReason::FrameFormatFlags:
    return messageText(messages, Message::ReasonFrameFormatFlags);
  case RewriteReason::UnknownTextEncoding:
    return messageText(messages, Message::ReasonUnknownTextEncoding);
  case RewriteReason::TextDoesNotFit:
    return messageText(messages, Message::ReasonTextDoesNotFit);
  case RewriteReason::None:
    break;
  }
  return "";
}

// The cause of a file problem as a report line names it (the dialog words
// its own); empty when none is known.
std::string reportCause(const Catalogue &messages, FileProblem problem) {
  switch (problem) {
  case FileProblem::NotFound:
    return messageText(messages, Message::CauseNotFound);
  case FileProblem::NoPermission:
    return messageText(messages, Message::CauseNoPermission);
  case FileProblem::InUse:
    return messageText(messages, Message::CauseInUse);
  case FileProblem::NotRegularFile:
    return messageText(messages, Message::CauseNotRegularFile);
  case FileProblem::HardLinked:
    return messageText(messages, Message::CauseHardLinked);
  case FileProblem::NoSpace:
    return messageText(messages, Message::CauseNoSpace);
  case FileProblem::ReadOnlyFileSystem:
    return messageText(messages, Message::CauseReadOnlyFileSystem);
  case FileProblem::ReadOnlyFile:
    return messageText(messages, Message::CauseReadOnlyFile);
  case FileProblem::NameTooLong:
    return messageText(messages, Message::CauseNameTooLong);
  case FileProblem::OwnerNotKept:
    return messageText(messages, Message::CauseOwnerNotKept);
  case FileProblem::AttributesNotKept:
    return messageText(messages, Message::CauseAttributesNotKept);
  case FileProblem::AlreadyExists:
    return messageText(messages, Message::CauseAlreadyExists);
  case FileProblem::OutOfMemory:
    return messageText(messages, Message::CauseOutOfMemory);
  case FileProblem::TooManyOpenFiles:
    return messageText(messages, Message::CauseTooManyOpenFiles);
  case FileProblem::TooManyLinks:
    return messageText(messages, Message::CauseTooManyLinks);
  case FileProblem::SizeChanged:
    return messageText(messages, Message::CauseSizeChanged);
  case FileProblem::NotAFolder:
    return messageText(messages, Message::CauseNotAFolder);
  case FileProblem::UntrustedLink:
    return messageText(messages, Message::CauseUntrustedLink);
  case FileProblem::AppendOnlyFolder:
    return messageText(messages, Message::CauseAppendOnlyFolder);
  case FileProblem::UnknownLeftover:
    return messageText(messages, Message::CauseUnknownLeftover);
  case FileProblem::HoldsDestination:
    return messageText(messages, Message::CauseHoldsDestination);
  case FileProblem::None:
  case FileProblem::Other:
    break;
  }
  return "";
}

// "LABEL: PATH (DETAIL)", without the parentheses when there is no detail.
std::string withDetail(const Catalogue &messages, const std::string &label, const std::string &path,
                       const std::string &detail) {
  if (detail.empty())
    return messageText(messages, Message::ReportLine, {{"label", label}, {"path", path}}) + "\n";
  return messageText(messages, Message::ReportLineWithDetail,
                     {{"label", label}, {"path", path}, {"detail", detail}}) +
         "\n";
}

std::string withDetail(const Catalogue &messages, Message label, const std::string &path,
                       const std::string &detail) {
  return withDetail(messages, messageText(messages, label), path, detail);
}

// "STAGE: CAUSE; the file is as it was", each part where it applies.
std::string failureDetail(const Catalogue &messages, Message stage, FileProblem problem,
                          bool keptAsItWas) {
  const std::string cause = reportCause(messages, problem);
  // These causes say all: the file is not one to convert.
  const bool causeAlone =
      problem == FileProblem::NotRegularFile || problem == FileProblem::HardLinked ||
      problem == FileProblem::UntrustedLink || problem == FileProblem::HoldsDestination;
  std::string detail = causeAlone ? cause : messageText(messages, stage);
  if (!causeAlone && !cause.empty())
    detail = messageText(messages, Message::StageWithCause, {{"stage", detail}, {"cause", cause}});
  if (keptAsItWas)
    detail = messageText(messages, Message::KeptAsItWas, {{"detail", detail}});
  return detail;
}

// A failure's detail, and the temporary file it left behind.
std::string withLeftBehind(const Catalogue &messages, const std::string &detail,
                           const PathReport &report) {
  if (report.leftBehind[0] == '\0')
    return detail;
  return messageText(messages, Message::TemporaryLeftBehind,
                     {{"detail", detail}, {"name", report.leftBehind}});
}

std::string failureText(const Catalogue &messages, const PathReport &report) {
  const FileProblem problem = report.problem;
  switch (report.outcome) {
  case PathOutcome::NotFound:
    return messageText(messages, Message::CauseNotFound);
  case PathOutcome::CannotOpen:
    return failureDetail(messages, Message::StageOpen, problem, false);
  case PathOutcome::SizeUnknown:
    return failureDetail(messages, Message::StageSize, problem, false);
  case PathOutcome::TooLarge:
    return messageText(messages, Message::FailureTooLarge);
  case PathOutcome::NoMemory:
    return messageText(messages, Message::CauseOutOfMemory);
  case PathOutcome::CannotRead:
    return failureDetail(messages, Message::StageRead, problem, false);
  case PathOutcome::Changed:
    return messageText(messages, Message::FailureChanged);
  case PathOutcome::CannotWrite:
    return failureDetail(messages, Message::StageWrite, problem, true);
  case PathOutcome::LeftInTemporary:
    return messageText(messages, Message::FailureLeftInTemporary);
  case PathOutcome::BackupExists:
    return messageText(messages, Message::FailureBackupExists);
  case PathOutcome::CannotBackUp:
    return failureDetail(messages, Message::StageBackUp, problem, true);
  default:
    break;
  }
  return "";
}

std::string versionName(const PathReport &report) {
  return tagVersionName(report.majorVersion, report.revision);
}

// The change in size: an ID3v1 tag added can make a file larger.
std::string savedBytes(const Catalogue &messages, const PathReport &report) {
  if (report.newSize > report.size)
    return countedText(messages, CountedMessage::BytesAdded, report.newSize - report.size);
  return countedText(messages, CountedMessage::BytesSaved, report.size - report.newSize);
}

// The frames --all-frames left as they are: "left as they are: COMM, APIC".
std::string framesLeftText(const Catalogue &messages, const PathReport &report) {
  const FramesLeft &left = report.left;
  if (left.count == 0)
    return "";
  std::string names;
  for (uint32_t i = 0; i < left.named; ++i)
    names += (i == 0 ? "" : ", ") + std::string(left.identifiers[i]);
  if (left.count > left.named)
    names += ", ...";
  return messageText(messages, Message::FramesLeft, {{"frames", names}});
}

// Appends an item to a list of the language.
void appendItem(const Catalogue &messages, const std::string &item, std::string &list) {
  if (!list.empty())
    list += messageText(messages, Message::ListSeparator);
  list += item;
}

// A detail, and more after it.
std::string withMore(const Catalogue &messages, const std::string &detail,
                     const std::string &more) {
  if (more.empty() || detail.empty())
    return detail + more;
  return messageText(messages, Message::DetailAndMore, {{"detail", detail}, {"more", more}});
}

// A detail, and the frames left after it.
std::string withFramesLeft(const Catalogue &messages, const std::string &detail,
                           const PathReport &report) {
  return withMore(messages, detail, framesLeftText(messages, report));
}

// The frames of one kind of change that version 2.3 output made, as their
// line names them ("TYER from TDRC"), and ", ..." for those not named.
std::string changedFrames(const Catalogue &messages, const VersionChanges &version,
                          FrameChange change) {
  std::string names;
  uint32_t named = 0;
  for (uint32_t i = 0; i < version.named; ++i) {
    const NamedFrameChange &frame = version.changes[i];
    if (frame.change != change)
      continue;
    ++named;
    appendItem(messages,
               change == FrameChange::Added
                   ? messageText(messages, Message::AddedFrame,
                                 {{"frame", frame.result}, {"from", frame.identifier}})
                   : std::string(frame.result),
               names);
  }
  if (version.counts[static_cast<size_t>(change)] > named)
    names += ", ...";
  return names;
}

// Why a tag asked to become version 2.3 got the ordinary conversion; empty
// when it did not, or when the file's outcome says why.
std::string obstacleText(const Catalogue &messages, Version3Obstacle obstacle) {
  switch (obstacle) {
  case Version3Obstacle::CompressedWithoutSize:
    return messageText(messages, Message::Version3Compressed);
  case Version3Obstacle::FrameFlagsUnknown:
    return messageText(messages, Message::Version3FrameFlags);
  case Version3Obstacle::EmptyFrame:
    return messageText(messages, Message::Version3EmptyFrame);
  case Version3Obstacle::TagTooLarge:
    return messageText(messages, Message::Version3TooLarge);
  case Version3Obstacle::BuffersTooSmall:
    return messageText(messages, Message::Version3NoMemory);
  case Version3Obstacle::None:
  case Version3Obstacle::TagNotRewritten:
    break;
  }
  return "";
}

// The change in size and, for version 2.3 output, the change of version and
// what it did to the frames: "2.4 -> 2.3, 40 bytes added; added: TYER from
// TDRC; values joined with "/": TPE1; left out: XYZ".
std::string conversionDetail(const Catalogue &messages, const PathReport &report) {
  const VersionChanges &version = report.version;
  std::string detail;
  if (version.converted && version.majorVersionRead != 3)
    detail = messageText(messages, Message::VersionChanged,
                         {{"from", "2." + std::to_string(version.majorVersionRead)}});
  appendItem(messages, savedBytes(messages, report), detail);
  const std::pair<FrameChange, CountedMessage> counted[] = {
      {FrameChange::Renamed, CountedMessage::RenamedFrames},
      {FrameChange::Reencoded, CountedMessage::ReencodedStrings},
  };
  for (const auto &kind : counted) {
    const uint32_t count = version.counts[static_cast<size_t>(kind.first)];
    if (version.converted && count > 0)
      appendItem(messages, countedText(messages, kind.second, count), detail);
  }
  const std::pair<FrameChange, Message> named[] = {
      {FrameChange::Added, Message::AddedFrames},
      {FrameChange::Joined, Message::JoinedFrames},
  };
  for (const auto &kind : named) {
    if (version.converted && version.counts[static_cast<size_t>(kind.first)] > 0)
      detail = withMore(messages, detail,
                        messageText(messages, kind.second,
                                    {{"frames", changedFrames(messages, version, kind.first)}}));
  }
  if (version.leftOut.count > 0) {
    std::string names;
    for (uint32_t i = 0; i < version.leftOut.named; ++i)
      appendItem(messages, version.leftOut.identifiers[i], names);
    if (version.leftOut.count > version.leftOut.named)
      names += ", ...";
    detail = withMore(messages, detail,
                      messageText(messages, Message::LeftOutFrames, {{"frames", names}}));
  }
  const std::string obstacle = obstacleText(messages, version.obstacle);
  if (!obstacle.empty())
    detail = withMore(messages, detail,
                      messageText(messages, Message::NotAsVersion3, {{"reason", obstacle}}));
  return withFramesLeft(messages, detail, report);
}

// Counted in the summary in this order (a run converts, or tells what it
// would convert); failures are one count.
struct SummaryItem {
  PathOutcome outcome;
  CountedMessage label;
};

const SummaryItem SUMMARY_ITEMS[] = {
    {PathOutcome::Converted, CountedMessage::SummaryConverted},
    {PathOutcome::WouldConvert, CountedMessage::SummaryWouldConvert},
    {PathOutcome::AlreadyConverted, CountedMessage::SummaryAlreadyConverted},
    {PathOutcome::NoTag, CountedMessage::SummaryNoTag},
    {PathOutcome::Refused, CountedMessage::SummaryRefused},
    {PathOutcome::Unsupported, CountedMessage::SummaryUnsupported},
    {PathOutcome::Damaged, CountedMessage::SummaryDamaged},
};

// What a copy written as the file is says about the file.
std::string asItIsDetail(const Catalogue &messages, const PathReport &report, bool isMp3) {
  switch (report.outcome) {
  case PathOutcome::AlreadyConverted:
    return messageText(messages, Message::AsItIsAlreadyConverted);
  case PathOutcome::NoTag:
    return isMp3 ? messageText(messages, Message::AsItIsNoTag) : "";
  case PathOutcome::Refused:
    return messageText(messages, Message::AsItIsRefused, {{"version", versionName(report)}});
  case PathOutcome::Unsupported:
    return messageText(messages, Message::AsItIsBecause,
                       {{"detail", messageText(messages, Message::AsItIsUnsupported)},
                        {"reason", reasonText(messages, report.reason)}});
  case PathOutcome::Damaged:
    return messageText(messages, Message::AsItIsBecause,
                       {{"detail", messageText(messages, Message::AsItIsDamaged)},
                        {"reason", reasonText(messages, report.reason)}});
  default:
    return messageText(messages, Message::AsItIsDamaged);
  }
}

// Each change a name had, by its bit.
const std::pair<NameChange, Message> NAME_CHANGES[] = {
    {NAME_FORBIDDEN_CHARACTER, Message::NameForbiddenCharacter},
    {NAME_CONTROL_CHARACTER, Message::NameControlCharacter},
    {NAME_NOT_A_CHARACTER, Message::NameNotACharacter},
    {NAME_TRAILING_DOT_OR_SPACE, Message::NameTrailingDotOrSpace},
    {NAME_RESERVED, Message::NameReserved},
    {NAME_SHORTENED, Message::NameShortened},
    {NAME_NUMBERED, Message::NameNumbered},
};

// The header flags, by their fields.
const std::pair<bool TagHeaderFlags::*, Message> TAG_FLAG_NAMES[] = {
    {&TagHeaderFlags::unsynchronisation, Message::FlagUnsynchronisation},
    {&TagHeaderFlags::extendedHeader, Message::FlagExtendedHeader},
    {&TagHeaderFlags::compression, Message::FlagCompression},
    {&TagHeaderFlags::experimental, Message::FlagExperimental},
    {&TagHeaderFlags::footer, Message::FlagFooter},
};

// The ID3v1 fields that --info compares with the ID3v2 tag.
struct Id3v1FieldShown {
  Id3v1Field bit;
  Message label;
  std::string Id3v1Shown::*value;
};

const Id3v1FieldShown ID3V1_FIELDS[] = {
    {ID3V1_TITLE, Message::FieldTitle, &Id3v1Shown::title},
    {ID3V1_ARTIST, Message::FieldArtist, &Id3v1Shown::artist},
    {ID3V1_ALBUM, Message::FieldAlbum, &Id3v1Shown::album},
    {ID3V1_YEAR, Message::FieldYear, &Id3v1Shown::year},
};

void appendId3v1Field(const Catalogue &messages, Message label, const std::string &value,
                      std::string &line) {
  appendItem(
      messages,
      messageText(messages, Message::QuotedField,
                  {{"field", messageText(messages, label)}, {"value", escapeControls(value)}}),
      line);
}

} // namespace

std::string amountOfBytes(uint64_t bytes) {
  char amount[32];
  const double value = static_cast<double>(bytes);
  if (bytes < uint64_t{1000} * 1000)
    std::snprintf(amount, sizeof amount, "%.0f kB", value / 1e3);
  else if (bytes < uint64_t{1000} * 1000 * 1000)
    std::snprintf(amount, sizeof amount, "%.1f MB", value / 1e6);
  else
    std::snprintf(amount, sizeof amount, "%.2f GB", value / 1e9);
  return amount;
}

std::string messageLine(const Catalogue &messages, Message message) {
  return messageText(messages, message) + "\n";
}

std::string errorLine(const std::string &body) {
  return PROGRAM_PREFIX + body + "\n";
}

std::string versionText() {
  const std::string commit = SORABUN_COMMIT;
  return std::string("sorabun-cli ") + SORABUN_VERSION +
         (commit.empty() ? "" : " (commit " + commit + ")") + "\n";
}

std::string usageErrorText(const Catalogue &messages, const ParsedCommandLine &parsed) {
  std::string problem;
  switch (parsed.problem) {
  case UsageProblem::UnknownOption:
    problem = messageText(messages, Message::UnknownOption, {{"option", parsed.argument}});
    break;
  case UsageProblem::NoPath:
    problem = messageText(messages, Message::NoPathGiven);
    break;
  case UsageProblem::NoFolder:
    problem = messageText(messages, Message::ToNeedsFolder);
    break;
  case UsageProblem::BackupWithCopy:
    problem = messageText(messages, Message::BackupWithCopy);
    break;
  case UsageProblem::AllFilesAlone:
    problem = messageText(messages, Message::AllFilesAlone);
    break;
  case UsageProblem::JsonAlone:
    problem = messageText(messages, Message::JsonAlone);
    break;
  case UsageProblem::InfoWrites:
    problem = messageText(messages, Message::InfoWrites);
    break;
  case UsageProblem::None:
    break;
  }
  return errorLine(problem) + messageLine(messages, Message::TryHelp);
}

std::string outcomeLine(const Catalogue &messages, const std::string &path,
                        const PathReport &report) {
  switch (report.outcome) {
  case PathOutcome::Converted:
  case PathOutcome::WouldConvert:
    return withDetail(messages,
                      report.outcome == PathOutcome::Converted ? Message::LabelConverted
                                                               : Message::LabelWouldConvert,
                      path, conversionDetail(messages, report));
  case PathOutcome::AlreadyConverted:
    return withDetail(messages, Message::LabelAlreadyConverted, path,
                      withFramesLeft(messages, "", report));
  case PathOutcome::NoTag:
    return withDetail(messages, Message::LabelNoTag, path, "");
  case PathOutcome::Refused:
    return withDetail(messages, Message::LabelRefused, path, versionName(report));
  case PathOutcome::Unsupported:
    return withDetail(messages, Message::LabelUnsupported, path,
                      reasonText(messages, report.reason));
  case PathOutcome::Damaged:
    return withDetail(messages, Message::LabelDamaged, path, reasonText(messages, report.reason));
  default:
    return withDetail(messages, Message::LabelFailed, path,
                      withLeftBehind(messages, failureText(messages, report), report));
  }
}

std::string listingProblemLine(const Catalogue &messages, const std::string &path,
                               FileProblem problem, bool isFolder) {
  return withDetail(messages, Message::LabelFailed, path,
                    failureDetail(messages,
                                  isFolder ? Message::StageReadFolder : Message::StageExamine,
                                  problem, false));
}

std::string leftoverLine(const Catalogue &messages, const std::string &path) {
  return withDetail(messages, Message::LabelLeftover, path,
                    messageText(messages, Message::LeftoverOfRun));
}

std::string summaryLine(const Catalogue &messages, const RunCounts &counts) {
  std::string items;
  size_t failed = 0;
  for (size_t count : counts.byOutcome)
    failed += count;
  for (const SummaryItem &item : SUMMARY_ITEMS) {
    const size_t count = counts.byOutcome[static_cast<size_t>(item.outcome)];
    failed -= count;
    if (count > 0)
      appendItem(messages, countedText(messages, item.label, count), items);
  }
  if (failed > 0 || items.empty())
    appendItem(messages, countedText(messages, CountedMessage::SummaryFailed, failed), items);
  return countedText(messages, CountedMessage::FilesHeader, counts.files) + items + "\n";
}

std::string confirmationText(const Catalogue &messages, size_t toConvert, size_t total,
                             bool backup) {
  return countedText(messages, CountedMessage::Confirmation, total,
                     {{"toConvert", std::to_string(toConvert)},
                      {"consequence", messageText(messages, backup ? Message::OriginalsKept
                                                                   : Message::CannotBeUndone)}});
}

std::string noTerminalText(const Catalogue &messages, size_t toConvert) {
  return errorLine(countedText(messages, CountedMessage::NoTerminal, toConvert));
}

std::string progressText(const Catalogue &messages, size_t done, size_t total) {
  return messageText(messages, Message::Progress,
                     {{"done", std::to_string(done)}, {"total", std::to_string(total)}});
}

std::string foldHintText(const Catalogue &messages, const PreviewMarks &marks) {
  // The characters are named, not shown: on Windows a redirected report is
  // written in code page 932, which has none of them.
  if (marks.foldableMarks >= marks.questionMarks)
    return countedText(messages, CountedMessage::FoldHint, marks.foldableMarks) + "\n";
  return countedText(messages, CountedMessage::FoldHintSome, marks.foldableMarks,
                     {{"marks", countedText(messages, CountedMessage::QuestionMarks,
                                            marks.questionMarks)}}) +
         "\n";
}

std::string copyLine(const Catalogue &messages, bool dryRun, const std::string &path,
                     const CopyReport &copy, bool isMp3) {
  const PathReport &report = copy.report;
  switch (copy.action) {
  case CopyAction::Write: {
    const Message label = dryRun ? Message::LabelWouldCopy : Message::LabelCopied;
    std::string detail = report.outcome == PathOutcome::WouldConvert
                             ? messageText(messages, Message::ConvertedCopy,
                                           {{"change", conversionDetail(messages, report)}})
                             : asItIsDetail(messages, report, isMp3);
    if (copy.replacesOwnCopy)
      detail = messageText(messages, Message::ReplacesOwnCopy, {{"detail", detail}});
    return withDetail(messages, label, path, detail);
  }
  case CopyAction::UpToDate:
    return withDetail(messages, Message::LabelUpToDate, path, "");
  case CopyAction::Taken:
    return withDetail(messages, Message::LabelNotReplaced, path,
                      messageText(messages, Message::TakenAtDestination));
  case CopyAction::None:
  case CopyAction::Stopped: // never asked: the command line ends on an interruption
    break;
  }
  if (report.outcome == PathOutcome::CannotWrite)
    return withDetail(
        messages, Message::LabelFailed, path,
        withLeftBehind(messages, failureDetail(messages, Message::StageCopy, report.problem, false),
                       report));
  return outcomeLine(messages, path, report);
}

std::string renamedLine(const Catalogue &messages, const std::string &from, const std::string &to,
                        unsigned changes) {
  std::string reasons;
  for (const auto &change : NAME_CHANGES) {
    if ((changes & change.first) == 0)
      continue;
    reasons += reasons.empty() ? "" : messageText(messages, Message::ReasonSeparator);
    reasons += messageText(messages, change.second);
  }
  return withDetail(messages, Message::LabelRenamed, from + " -> " + to, reasons);
}

std::string settledLeftoverLine(const Catalogue &messages, const std::string &path,
                                const std::string &temporaryName, const std::string &completedPath,
                                LeftoverFate fate, FileProblem problem) {
  switch (fate) {
  case LeftoverFate::Completed:
  case LeftoverFate::WouldBeCompleted:
    return withDetail(
        messages,
        fate == LeftoverFate::Completed ? Message::LabelCompleted : Message::LabelWouldComplete,
        completedPath,
        messageText(messages, Message::LeftoverCompleted, {{"temporary", temporaryName}}));
  case LeftoverFate::Removed:
  case LeftoverFate::WouldBeRemoved:
    return withDetail(
        messages, fate == LeftoverFate::Removed ? Message::LabelRemoved : Message::LabelWouldRemove,
        path, messageText(messages, Message::LeftoverOfCopy));
  case LeftoverFate::InSource:
    return leftoverLine(messages, path);
  case LeftoverFate::Kept:
    break;
  }
  return withDetail(messages, Message::LabelLeftover, path,
                    failureDetail(messages, Message::StageRemoveLeftover, problem, false));
}

std::string destinationProblemText(const Catalogue &messages, const std::string &folder,
                                   FileProblem problem) {
  std::string text =
      withDetail(messages, Message::DestinationUnusable, folder, reportCause(messages, problem));
  text.pop_back(); // the line's end
  return text;
}

std::string noSpaceText(const Catalogue &messages, const std::string &folder, uint64_t needed,
                        uint64_t available) {
  return messageText(messages, Message::NoSpaceForCopies,
                     {{"folder", folder},
                      {"needed", amountOfBytes(needed)},
                      {"available", amountOfBytes(available)},
                      {"missing", amountOfBytes(needed - available)}});
}

std::string noFilesText(const Catalogue &messages, const std::string &folder, uint64_t needed,
                        uint64_t available) {
  return messageText(messages, Message::NoFilesForCopies,
                     {{"folder", folder},
                      {"needed", std::to_string(needed)},
                      {"available", std::to_string(available)}});
}

std::string rootFolderFillsText(const Catalogue &messages, const std::string &folder,
                                uint64_t entries, uint64_t needed) {
  return messageText(messages, Message::RootFolderFills,
                     {{"folder", folder},
                      {"entries", std::to_string(entries)},
                      {"needed", std::to_string(needed)}});
}

std::string diskFullText(const Catalogue &messages, const std::string &folder, size_t notWritten) {
  return countedText(messages, CountedMessage::DiskFull, notWritten, {{"folder", folder}});
}

std::string spaceLine(const Catalogue &messages, const std::string &folder, uint64_t needed,
                      uint64_t available) {
  if (available == SPACE_UNKNOWN)
    return messageText(messages, Message::SpaceToWriteUnknown,
                       {{"folder", folder}, {"needed", amountOfBytes(needed)}}) +
           "\n";
  return messageText(messages, Message::SpaceToWrite,
                     {{"folder", folder},
                      {"needed", amountOfBytes(needed)},
                      {"available", amountOfBytes(available)}}) +
         "\n";
}

std::string copySummaryLine(const Catalogue &messages, bool dryRun, const CopyCounts &counts) {
  std::string items = countedText(
      messages, dryRun ? CountedMessage::SummaryWouldCopy : CountedMessage::SummaryCopied,
      counts.converted + counts.asItIs, {{"converted", std::to_string(counts.converted)}});
  const std::pair<size_t, CountedMessage> others[] = {
      {counts.upToDate, CountedMessage::SummaryUpToDate},
      {counts.taken, CountedMessage::SummaryNotReplaced},
      {counts.failed, CountedMessage::SummaryFailed},
  };
  for (const auto &other : others) {
    if (other.first > 0)
      appendItem(messages, countedText(messages, other.second, other.first), items);
  }
  return countedText(messages, CountedMessage::FilesHeader, counts.files) + items + "\n";
}

std::string recordNotWrittenText(const Catalogue &messages, const std::string &folder,
                                 FileProblem problem) {
  return messageText(messages, Message::RecordNotWritten,
                     {{"folder", folder}, {"cause", reportCause(messages, problem)}});
}

std::string flushFailedText(const Catalogue &messages, FileProblem problem) {
  const std::string cause = reportCause(messages, problem);
  if (cause.empty())
    return messageText(messages, Message::FlushFailed);
  return messageText(messages, Message::FlushFailedBecause, {{"cause", cause}});
}

std::string destinationInSourceText(const Catalogue &messages, const std::string &shownSource) {
  return messageText(messages, Message::DestinationInSource, {{"source", shownSource}});
}

std::string copyProgressText(const Catalogue &messages, size_t done, size_t total,
                             uint64_t bytesDone, uint64_t bytesTotal, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(bytesDone) / seconds : 0;
  char timeLeft[32] = "?";
  if (rate > 0) {
    const auto left = static_cast<uint64_t>(static_cast<double>(bytesTotal - bytesDone) / rate);
    std::snprintf(timeLeft, sizeof timeLeft, "%" PRIu64 ":%02" PRIu64, left / 60, left % 60);
  }
  return messageText(messages, Message::CopyProgress,
                     {{"done", std::to_string(done)},
                      {"total", std::to_string(total)},
                      {"bytes", amountOfBytes(bytesDone) + " / " + amountOfBytes(bytesTotal)},
                      {"speed", amountOfBytes(static_cast<uint64_t>(rate)) + "/s"},
                      {"timeLeft", timeLeft}});
}

std::string tagVersionName(unsigned majorVersion, unsigned revision) {
  return "ID3v2." + std::to_string(majorVersion) + "." + std::to_string(revision);
}

std::string tagFlagsText(const Catalogue &messages, const TagHeaderFlags &flags) {
  std::string names;
  for (const auto &flag : TAG_FLAG_NAMES) {
    if (flags.*flag.first)
      appendItem(messages, messageText(messages, flag.second), names);
  }
  return names.empty() ? messageText(messages, Message::FlagsNone) : names;
}

std::string infoTagLine(const Catalogue &messages, bool marked, const std::string &version,
                        uint32_t size, uint32_t padding, const std::string &flags, bool version4) {
  return (marked ? "! " : "  ") + version + "  " +
         messageText(messages, Message::TagSizes,
                     {{"size", std::to_string(size)},
                      {"padding", std::to_string(padding)},
                      {"flags", flags}}) +
         (version4 ? messageText(messages, Message::Version4Hint) : "") + "\n";
}

std::string infoId3v1Line(const Catalogue &messages, const Id3v1Shown &shown) {
  std::string fields;
  for (const Id3v1FieldShown &field : ID3V1_FIELDS)
    appendId3v1Field(messages, field.label, shown.*field.value, fields);
  appendId3v1Field(messages, Message::FieldComment, shown.comment, fields);
  if (shown.track != 0)
    appendItem(messages,
               messageText(messages, Message::Id3v1Track, {{"track", std::to_string(shown.track)}}),
               fields);
  if (!shown.genre.empty())
    appendItem(messages, messageText(messages, Message::Id3v1Genre, {{"genre", shown.genre}}),
               fields);
  std::string line = (shown.differences != 0 ? "! ID3v1  " : "  ID3v1  ") + fields;
  if (shown.differences != 0) {
    std::string differing;
    for (const Id3v1FieldShown &field : ID3V1_FIELDS) {
      if ((shown.differences & field.bit) != 0)
        appendItem(messages, messageText(messages, field.label), differing);
    }
    line += messageText(messages, Message::DiffersFromId3v2, {{"fields", differing}});
  }
  return line + "\n";
}

std::string infoSummaryLine(const Catalogue &messages, const MisreadCounts &counts) {
  const std::pair<size_t, CountedMessage> kinds[] = {
      {counts.wideTexts, CountedMessage::MisreadWideTexts},
      {counts.droppedValues, CountedMessage::MisreadDroppedValues},
      {counts.unsynchronised, CountedMessage::MisreadUnsynchronised},
      {counts.version4, CountedMessage::MisreadVersion4},
      {counts.id3v1Disagrees, CountedMessage::MisreadId3v1},
      {counts.failed, CountedMessage::SummaryFailed},
  };
  std::string items;
  for (const auto &kind : kinds) {
    if (kind.first > 0)
      appendItem(messages, countedText(messages, kind.second, kind.first), items);
  }
  if (items.empty())
    items = messageText(messages, Message::NothingMisread);
  return countedText(messages, CountedMessage::FilesHeader, counts.files) + items + "\n";
}

std::string outcomeDetail(const Catalogue &messages, const PathReport &report) {
  switch (report.outcome) {
  case PathOutcome::Converted:
  case PathOutcome::WouldConvert:
  case PathOutcome::AlreadyConverted:
  case PathOutcome::NoTag:
    return "";
  case PathOutcome::Refused:
    return versionName(report);
  case PathOutcome::Unsupported:
  case PathOutcome::Damaged:
    return reasonText(messages, report.reason);
  default:
    return failureText(messages, report);
  }
}
