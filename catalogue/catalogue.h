// The messages of Sorabun's programs, one table per language, as UTF-8.
// Each message is a format with named placeholders ("{path}", "{count}"...);
// a counted message has one form per plural form of its language, picked by
// the language's plural rule from the number that fills its "{count}".
// The programs pick one table at start and compose every line from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

enum class Message {
  // Usage.
  Help,
  TryHelp,
  UnknownOption, // {option}
  NoPathGiven,
  ToNeedsFolder,
  BackupWithCopy,
  AllFilesAlone,
  JsonAlone,
  InfoWrites,

  // A file's line.
  ReportLine,           // {label}: {path}
  ReportLineWithDetail, // {label}, {path}, {detail}
  LabelConverted,
  LabelWouldConvert,
  LabelAlreadyConverted,
  LabelNoTag,
  LabelRefused,
  LabelUnsupported,
  LabelDamaged,
  LabelFailed,
  LabelLeftover,
  LabelCopied,
  LabelWouldCopy,
  LabelUpToDate,
  LabelNotReplaced,
  LabelRenamed,
  LabelRemoved,
  LabelWouldRemove,
  LabelCompleted,
  LabelWouldComplete,

  // Why a tag is damaged or unsupported.
  ReasonFileTooShort,
  ReasonTagPastEndOfFile,
  ReasonBadExtendedHeaderSize,
  ReasonFramePastEndOfTag,
  ReasonUnsynchronised,
  ReasonCompressed,
  ReasonExtendedHeaderCrc,
  ReasonFrameFormatFlags,
  ReasonUnknownTextEncoding,
  ReasonTextDoesNotFit,

  // The causes a file operation gives.
  CauseNotFound,
  CauseNoPermission,
  CauseInUse,
  CauseNotRegularFile,
  CauseHardLinked,
  CauseNoSpace,
  CauseReadOnlyFileSystem,
  CauseReadOnlyFile,
  CauseNameTooLong,
  CauseOwnerNotKept,
  CauseAttributesNotKept,
  CauseAlreadyExists,
  CauseOutOfMemory,
  CauseTooManyOpenFiles,
  CauseTooManyLinks,
  CauseSizeChanged,
  CauseNotAFolder,
  CauseUntrustedLink,
  CauseAppendOnlyFolder,
  CauseUnknownLeftover,
  CauseHoldsDestination,

  // How a file failed.
  StageWithCause,      // {stage}, {cause}
  KeptAsItWas,         // {detail}
  TemporaryLeftBehind, // {detail}, {name}
  StageOpen,
  StageSize,
  StageRead,
  StageWrite,
  StageBackUp,
  StageCopy,
  StageReadFolder,
  StageExamine,
  StageRemoveLeftover,
  FailureTooLarge,
  FailureChanged,
  FailureLeftInTemporary,
  FailureBackupExists,

  // The details of a line.
  FramesLeft,     // {frames}
  DetailAndMore,  // {detail}, {more}
  VersionChanged, // {from}: the version read, "2.4"
  AddedFrames,    // {frames}
  AddedFrame,     // {frame}, {from}
  JoinedFrames,   // {frames}
  LeftOutFrames,  // {frames}
  NotAsVersion3,  // {reason}
  Version3Compressed,
  Version3FrameFlags,
  Version3EmptyFrame,
  Version3TooLarge,
  Version3NoMemory,
  ConvertedCopy, // {change}
  AsItIsAlreadyConverted,
  AsItIsNoTag,
  AsItIsRefused, // {version}
  AsItIsUnsupported,
  AsItIsDamaged,
  AsItIsBecause, // {detail}, {reason}
  TakenAtDestination,
  LeftoverOfRun,
  LeftoverOfCopy,
  LeftoverCompleted, // {temporary}
  ReplacesOwnCopy,   // {detail}
  NameForbiddenCharacter,
  NameControlCharacter,
  NameNotACharacter,
  NameTrailingDotOrSpace,
  NameReserved,
  NameShortened,
  NameNumbered,
  ListSeparator,   // between the items of a list
  ReasonSeparator, // between the reasons of a renamed line

  // A run in place.
  OutputFailed,
  NoMp3Files,
  OriginalsKept,
  CannotBeUndone,
  Cancelled,
  Progress, // {done}, {total}
  BeforeLabel,
  AfterLabel,
  DroppedLabel,
  MarkLegend,

  // A run with --to.
  DestinationUnusable,
  NoSpaceForCopies,    // {folder}, {needed}, {available}, {missing}
  SpaceToWrite,        // {folder}, {needed}, {available}
  SpaceToWriteUnknown, // {folder}, {needed}
  Removable,
  FlushFailed,
  FlushFailedBecause,  // {cause}
  DestinationInSource, // {source}
  CopyProgress,        // {done}, {total}, {bytes}, {speed}, {timeLeft}
  RecordNotWritten,    // {folder}, {cause}
  NoFilesForCopies,    // {folder}, {needed}, {available}
  RootFolderFills,     // {folder}, {entries}, {needed}

  // --info.
  TagSizes, // {size}, {padding}, {flags}
  FlagUnsynchronisation,
  FlagExtendedHeader,
  FlagCompression,
  FlagExperimental,
  FlagFooter,
  FlagsNone,
  FieldTitle,
  FieldArtist,
  FieldAlbum,
  FieldYear,
  FieldComment,
  QuotedField,      // {field}, {value}
  Id3v1Track,       // {track}
  Id3v1Genre,       // {genre}
  DiffersFromId3v2, // {fields}
  Version4Hint,
  DroppedValuesHint,
  InfoLegend,
  NothingMisread,

  // sorabun-cli.exe started from Explorer, in a console of its own.
  ExplorerUsage,
  PressEnterToClose,

  // The copy window.
  WindowTitle,
  WindowSources,
  WindowAdd,
  WindowRemove,
  WindowDestination,
  WindowBrowse,
  WindowCarConversion,
  WindowAllFiles,
  WindowCheck,
  WindowStart,
  WindowStop,
  WindowResults,
  WindowPickSources,
  WindowPickDestination,
  WindowPickerFailed, // {code}
  WindowDrive,        // {drive}, {name}, {free}
  WindowDriveUnnamed, // {drive}, {free}
  WindowNoSources,
  WindowNoDestination,
  WindowProgress, // {done}, {total}, {bytesDone}, {bytesTotal}
  WindowExamining,
  WindowCheckSummary, // {copied}, {renamed}, {upToDate}, {replaced}
  WindowNothingWritten,
  WindowStopping,
  WindowStopped,
  WindowCloseDuringCopy,
  WindowNotFlushed,
  WindowFileStopped, // {path}
};
constexpr size_t MESSAGE_COUNT = static_cast<size_t>(Message::WindowFileStopped) + 1;

// Messages with a number in "{count}", in every plural form.
enum class CountedMessage {
  FilesHeader,
  BytesSaved,
  BytesAdded,
  RenamedFrames,
  ReencodedStrings,
  SummaryConverted,
  SummaryWouldConvert,
  SummaryAlreadyConverted,
  SummaryNoTag,
  SummaryRefused,
  SummaryUnsupported,
  SummaryDamaged,
  SummaryFailed,
  SummaryCopied,    // {converted}
  SummaryWouldCopy, // {converted}
  SummaryUpToDate,
  SummaryNotReplaced,
  Confirmation, // {toConvert} of {count} files, {consequence}
  NoTerminal,
  QuestionMarks,
  DiskFull,     // {folder}
  FoldHint,     // every character that becomes '?' has a look-alike
  FoldHintSome, // {marks}: QuestionMarks; some of them have one
  MisreadWideTexts,
  MisreadDroppedValues,
  MisreadUnsynchronised,
  MisreadVersion4,
  MisreadId3v1,
};
constexpr size_t COUNTED_MESSAGE_COUNT = static_cast<size_t>(CountedMessage::MisreadId3v1) + 1;

constexpr size_t MAX_PLURAL_FORMS = 2;

struct MessageEntry {
  Message id;
  const char *format;
};

struct CountedEntry {
  CountedMessage id;
  const char *forms[MAX_PLURAL_FORMS]; // the first pluralForms of them
};

struct Catalogue {
  const char *language;
  size_t pluralForms;
  // The form for a number: 0 to pluralForms - 1.
  size_t (*selectPlural)(uint64_t count);
  const MessageEntry *messages; // MESSAGE_COUNT, in the order of Message
  const CountedEntry *counted;  // COUNTED_MESSAGE_COUNT, in the order of CountedMessage
};

const Catalogue &englishCatalogue();
const Catalogue &japaneseCatalogue();

// A placeholder's value. Values go in as they are: a brace in a file's
// name is never read as a placeholder.
struct Argument {
  const char *name;
  std::string value;
};

std::string messageText(const Catalogue &catalogue, Message message,
                        std::initializer_list<Argument> arguments = {});
// "{count}" is filled with count, whose plural form picks the format.
std::string countedText(const Catalogue &catalogue, CountedMessage message, uint64_t count,
                        std::initializer_list<Argument> arguments = {});
