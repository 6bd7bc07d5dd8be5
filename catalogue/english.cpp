// The messages in English.
#include "catalogue/tables.h"

namespace {

constexpr MessageEntry MESSAGES[] = {
    {Message::Help,
     "Usage: sorabun-cli --to DIR [options] PATH...\n"
     "       sorabun-cli [options] PATH...\n"
     "       sorabun-cli --info [--json] [-r] PATH...\n"
     "Rewrites the ID3v2 tag of MP3 files so that the title, artist and album\n"
     "(TIT2, TPE1, TALB) hold code page 932 (Shift-JIS) text, for players that\n"
     "read nothing else. PATH is a file, or a folder whose *.mp3 files (any\n"
     "letter case) are converted. Every other byte of a file is kept.\n"
     "\n"
     "With --to, the files are only read: a converted copy of each goes to DIR\n"
     "(a memory stick, say), with names a FAT or exFAT stick can hold. A folder\n"
     "becomes a folder of the same name in DIR. Files that cannot be converted\n"
     "are copied as they are. Copies already there are skipped. A copy this program\n"
     "made, unchanged since, is replaced when its file changed (DIR/.sorabun-copies\n"
     "records them); nothing else in DIR is deleted or replaced but the temporary\n"
     "files of an interrupted copy.\n"
     "\n"
     "Options:\n"
     "      --to DIR     write converted copies to DIR, leaving the files as they are\n"
     "      --all-files  with --to, copy the other files of the folders too (covers,\n"
     "                   playlists), as they are\n"
     "      --all-frames convert every text of the tag (comments, lyrics, picture\n"
     "                   descriptions, user texts...), not only title, artist and\n"
     "                   album; frames that cannot be read are left as they are\n"
     "  -y, --yes        convert without asking\n"
     "  -n, --dry-run    write nothing; show each title, artist and album before\n"
     "                   and after, with [ ] around every character that becomes\n"
     "                   '?' or a look-alike\n"
     "      --fold       write the JIS look-alike of a character code page 932 turns\n"
     "                   into '?' (the wave dash, the minus sign, the em dash...)\n"
     "  -b, --backup     keep the original as NAME.mp3.bak; a file whose backup\n"
     "                   already exists is not converted (not with --to)\n"
     "  -t, --keep-time  keep the original's modification time (copies always do)\n"
     "  -r, --recursive  convert folders with all their subfolders\n"
     "  -q, --quiet      report only the files that need attention\n"
     "      --id3v1      also write an ID3v1 tag at the end of each file (copy), in\n"
     "                   code page 932: title, artist, album, year, comment, track\n"
     "                   and genre from the ID3v2 tag; one already there is replaced\n"
     "      --id3v2.3    write the tag as version 2.3, which many car units need:\n"
     "                   every frame kept (2.4-only ones under their own names),\n"
     "                   dates and lists of people given their 2.3 frames too\n"
     "      --car        what a car needs: --all-frames --fold --id3v2.3 --id3v1\n"
     "      --info       write nothing; show each tag's version, flags, size and\n"
     "                   frames, with ! on what a Shift-JIS-only player misreads\n"
     "      --json       with --info, one JSON object per file, for scripts\n"
     "  -h, --help       show this help\n"
     "      --version    show the version\n"
     "\n"
     "Without --yes (and --to), one question is asked for the whole run. When\n"
     "standard input is not a terminal, nothing is written.\n"
     "\n"
     "Exit status:\n"
     "  0  no file failed, and none was skipped as damaged or unsupported\n"
     "  1  some file failed or was skipped as damaged or unsupported, or the\n"
     "     question was answered no\n"
     "  2  usage error, or files needed converting but standard input is not a\n"
     "     terminal and --yes was not given (nothing written)"},
    {Message::TryHelp, "Try 'sorabun-cli --help' for more information."},
    {Message::UnknownOption, "unknown option '{option}'"},
    {Message::NoPathGiven, "no file or folder given."},
    {Message::ToNeedsFolder, "--to needs the folder to copy to"},
    {Message::BackupWithCopy,
     "--backup does not go with --to: the files themselves are not changed"},
    {Message::AllFilesAlone, "--all-files goes with --to only"},
    {Message::JsonAlone, "--json goes with --info only"},
    {Message::InfoWrites,
     "--info writes nothing: it does not go with --to, --backup, --id3v1, --id3v2.3 or "
     "--car"},

    {Message::ReportLine, "{label}: {path}"},
    {Message::ReportLineWithDetail, "{label}: {path} ({detail})"},
    {Message::LabelConverted, "converted"},
    {Message::LabelWouldConvert, "would convert"},
    {Message::LabelAlreadyConverted, "already in code page 932"},
    {Message::LabelNoTag, "no ID3v2 tag"},
    {Message::LabelRefused, "refused version"},
    {Message::LabelUnsupported, "unsupported"},
    {Message::LabelDamaged, "damaged"},
    {Message::LabelFailed, "failed"},
    {Message::LabelLeftover, "leftover"},
    {Message::LabelCopied, "copied"},
    {Message::LabelWouldCopy, "would copy"},
    {Message::LabelUpToDate, "up to date"},
    {Message::LabelNotReplaced, "not replaced"},
    {Message::LabelRenamed, "renamed"},
    {Message::LabelRemoved, "removed"},
    {Message::LabelWouldRemove, "would remove"},
    {Message::LabelCompleted, "completed"},
    {Message::LabelWouldComplete, "would complete"},

    {Message::ReasonFileTooShort, "shorter than a tag header"},
    {Message::ReasonTagPastEndOfFile, "the tag runs past the end of the file"},
    {Message::ReasonBadExtendedHeaderSize, "the extended header does not fit"},
    {Message::ReasonFramePastEndOfTag, "a frame runs past the end of the tag"},
    {Message::ReasonUnsynchronised, "unsynchronised tag"},
    {Message::ReasonCompressed, "compressed tag"},
    {Message::ReasonExtendedHeaderCrc, "the tag carries a CRC"},
    {Message::ReasonFrameFormatFlags,
     "title, artist or album frame compressed, encrypted or grouped"},
    {Message::ReasonUnknownTextEncoding, "unknown text encoding"},
    {Message::ReasonTextDoesNotFit, "the converted text would be longer than the original"},

    {Message::CauseNotFound, "not found"},
    {Message::CauseNoPermission, "permission denied"},
    {Message::CauseInUse, "in use by another program"},
    {Message::CauseNotRegularFile, "not a regular file"},
    {Message::CauseHardLinked, "it has other names (hard links), which a conversion would split"},
    {Message::CauseNoSpace, "no space left on the disk"},
    {Message::CauseReadOnlyFileSystem, "read-only file system"},
    {Message::CauseReadOnlyFile, "read-only file"},
    {Message::CauseNameTooLong, "name too long"},
    {Message::CauseOwnerNotKept,
     "its owner or group cannot be kept (convert it as its owner, or as root)"},
    {Message::CauseAttributesNotKept, "its ACL or extended attributes cannot be kept"},
    {Message::CauseAlreadyExists, "the name is taken"},
    {Message::CauseOutOfMemory, "not enough memory"},
    {Message::CauseTooManyOpenFiles, "too many open files"},
    {Message::CauseTooManyLinks, "too many levels of links"},
    {Message::CauseSizeChanged, "the file changed size while it was read"},
    {Message::CauseNotAFolder, "not a folder"},
    {Message::CauseUntrustedLink,
     "a link another user made in a folder all may write (sticky): not followed"},
    {Message::CauseAppendOnlyFolder, "the folder is append-only: no file in it can be replaced"},
    {Message::CauseUnknownLeftover, "it holds no MP3, so nothing shows that this program left it"},
    {Message::CauseHoldsDestination,
     "it is the --to folder, holds it or lies in it, reached another way (a bind mount): not "
     "copied"},

    {Message::StageWithCause, "{stage}: {cause}"},
    {Message::KeptAsItWas, "{detail}; the file is as it was"},
    {Message::TemporaryLeftBehind, "{detail}; its temporary file {name} could not be removed"},
    {Message::StageOpen, "cannot be opened"},
    {Message::StageSize, "its size cannot be read"},
    {Message::StageRead, "cannot be read"},
    {Message::StageWrite, "cannot be written"},
    {Message::StageBackUp, "the backup cannot be written"},
    {Message::StageCopy, "the copy cannot be written"},
    {Message::StageReadFolder, "the folder cannot be read"},
    {Message::StageExamine, "cannot be examined"},
    {Message::StageRemoveLeftover, "not removed"},
    {Message::FailureTooLarge, "4 GB or larger"},
    {Message::FailureChanged, "changed by another program meanwhile; nothing written"},
    {Message::FailureLeftInTemporary,
     "cannot be replaced; the converted content is in a file named .sorabun-... beside it"},
    {Message::FailureBackupExists, "a backup NAME.mp3.bak already exists; the file is as it was"},

    {Message::FramesLeft, "frames left as they are: {frames}"},
    {Message::DetailAndMore, "{detail}; {more}"},
    {Message::VersionChanged, "{from} -> 2.3"},
    {Message::AddedFrames, "added: {frames}"},
    {Message::AddedFrame, "{frame} from {from}"},
    {Message::JoinedFrames, "values joined with \"/\": {frames}"},
    {Message::LeftOutFrames, "left out: {frames}"},
    {Message::NotAsVersion3, "not written as version 2.3: {reason}"},
    {Message::Version3Compressed, "a compressed frame whose size is not known"},
    {Message::Version3FrameFlags, "frame flags of no known meaning"},
    {Message::Version3EmptyFrame, "a frame that holds nothing but its data length"},
    {Message::Version3TooLarge, "the tag would be too large"},
    {Message::Version3NoMemory, "not enough memory"},
    {Message::ConvertedCopy, "converted, {change}"},
    {Message::AsItIsAlreadyConverted, "already in code page 932"},
    {Message::AsItIsNoTag, "as it is: no ID3v2 tag"},
    {Message::AsItIsRefused, "as it is: refused version {version}"},
    {Message::AsItIsUnsupported, "as it is: unsupported"},
    {Message::AsItIsDamaged, "as it is: damaged"},
    {Message::AsItIsBecause, "{detail}, {reason}"},
    {Message::TakenAtDestination,
     "another file has its name at the destination; remove it to have the copy made"},
    {Message::LeftoverOfRun,
     "a temporary file of an interrupted run, or of a run at work in this folder; not touched"},
    {Message::LeftoverOfCopy, "a temporary file of an interrupted copy"},
    {Message::LeftoverCompleted, "the copy an interrupted run left as {temporary}"},
    {Message::ReplacesOwnCopy,
     "{detail}; in place of the earlier copy, which this program made and nothing changed since"},
    {Message::NameForbiddenCharacter, "characters a FAT stick cannot hold"},
    {Message::NameControlCharacter, "control characters"},
    {Message::NameNotACharacter, "bytes that are no character"},
    {Message::NameTrailingDotOrSpace, "a trailing dot or space"},
    {Message::NameReserved, "a name Windows keeps for devices"},
    {Message::NameShortened, "shortened to 255 characters"},
    {Message::NameNumbered, "another copy has the same name"},
    {Message::ListSeparator, ", "},
    {Message::ReasonSeparator, "; "},

    {Message::OutputFailed, "the report could not be written to standard output."},
    {Message::NoMp3Files, "No MP3 files found."},
    {Message::OriginalsKept, "The originals are kept as .bak files."},
    {Message::CannotBeUndone, "This cannot be undone."},
    {Message::Cancelled, "Cancelled; nothing was written."},
    {Message::Progress, "working {done}/{total}"},
    {Message::BeforeLabel, "before:"},
    {Message::AfterLabel, "after: "},
    {Message::DroppedLabel, "dropped:"},
    {Message::MarkLegend,
     "[ ] marks characters that code page 932 cannot hold: they become '?' or a look-alike."},

    {Message::DestinationUnusable, "the destination cannot be used"},
    {Message::NoSpaceForCopies, "not enough space in {folder}: {needed} needed, {available} free, "
                                "{missing} missing. Nothing was written."},
    {Message::SpaceToWrite, "{folder}: {needed} to write, {available} free"},
    {Message::SpaceToWriteUnknown, "{folder}: {needed} to write, free space unknown"},
    {Message::Removable, "Everything is written to the disk: the stick or card can be removed."},
    {Message::FlushFailed,
     "the copies could not be flushed to the disk: do not remove the stick or card yet."},
    {Message::FlushFailedBecause,
     "the copies could not be flushed to the disk ({cause}): do not remove the stick or card yet."},
    {Message::DestinationInSource, "the --to folder lies inside {source}, which -r copies: each "
                                   "run would copy the copies again."},
    {Message::CopyProgress, "copying {done}/{total} files, {bytes}, {speed}, {timeLeft} left"},
    {Message::RecordNotWritten,
     "the record of the copies made in {folder} could not be written ({cause}): a later run "
     "will not replace these copies when their files change."},
    {Message::NoFilesForCopies,
     "not enough room in {folder}: {needed} files and folders to make, {available} more fit. "
     "Nothing was written."},
    {Message::RootFolderFills,
     "{folder} is the root folder of a FAT12 or FAT16 disk, which holds {entries} entries; "
     "the copies would take {needed}, and those past the limit will fail. A folder on the "
     "stick (--to {folder}/Music, say) holds any number."},

    {Message::TagSizes, "size {size}  padding {padding}  flags: {flags}"},
    {Message::FlagUnsynchronisation, "unsynchronisation"},
    {Message::FlagExtendedHeader, "extended header"},
    {Message::FlagCompression, "compression"},
    {Message::FlagExperimental, "experimental"},
    {Message::FlagFooter, "footer"},
    {Message::FlagsNone, "none"},
    {Message::FieldTitle, "title"},
    {Message::FieldArtist, "artist"},
    {Message::FieldAlbum, "album"},
    {Message::FieldYear, "year"},
    {Message::FieldComment, "comment"},
    {Message::QuotedField, "{field} \"{value}\""},
    {Message::Id3v1Track, "track {track}"},
    {Message::Id3v1Genre, "genre {genre}"},
    {Message::DiffersFromId3v2, "; differs from the ID3v2 tag: {fields}"},
    {Message::Version4Hint, "; --id3v2.3 writes version 2.3"},
    {Message::DroppedValuesHint, "(players show the first value only)"},
    {Message::InfoLegend,
     "! marks what a player that reads code page 932 only misreads: text in UTF-16 or UTF-8, "
     "unsynchronisation, a version 2.4 header (units that read 2.3 only; --id3v2.3 writes "
     "2.3), values after the first of a version 2.3 text frame, an ID3v1 tag that differs "
     "from the ID3v2 tag."},
    {Message::NothingMisread, "nothing that such a player misreads"},
    {Message::ExplorerUsage,
     "sorabun-cli is a program for the command prompt.\n"
     "To make copies for a car stereo on a USB stick or card, double-click\n"
     "SorabunCopy.exe in the same folder.\n"
     "\n"
     "At the command prompt (more with sorabun-cli --help):\n"
     "  sorabun-cli --to E:\\ --car -r FOLDER...\n"
     "  sorabun-cli -r FOLDER...\n"
     "MP3 files and folders dropped on this program's icon are converted in\n"
     "place (after a question)."},
    {Message::PressEnterToClose, "Press Enter to close."},
    {Message::WindowTitle, "Sorabun - copies for the car"},
    {Message::WindowSources, "Copy from (folders and files can be dropped here):"},
    {Message::WindowAdd, "&Add..."},
    {Message::WindowRemove, "&Delete"},
    {Message::WindowDestination, "Copy to:"},
    {Message::WindowBrowse, "&Browse..."},
    {Message::WindowCarConversion, "Convert for a car &navigation unit"},
    {Message::WindowAllFiles, "C&opy the other files too (cover pictures and the like)"},
    {Message::WindowCheck, "Chec&k"},
    {Message::WindowStart, "&Start copying"},
    {Message::WindowStop, "S&top"},
    {Message::WindowResults, "Results:"},
    {Message::WindowPickSources, "Choose a folder to copy"},
    {Message::WindowPickDestination, "Choose the folder to copy to"},
    {Message::WindowPickerFailed, "No folder could be chosen (error code 0x{code})."},
    {Message::WindowDrive, "{drive} {name} ({free} free)"},
    {Message::WindowDriveUnnamed, "{drive} removable disk ({free} free)"},
    {Message::WindowNoSources, "Add the folders or files to copy."},
    {Message::WindowNoDestination, "Name the folder to copy to."},
    {Message::WindowProgress, "{done} / {total} files  {bytesDone} / {bytesTotal}"},
    {Message::WindowExamining, "Examining the files..."},
    {Message::WindowCheckSummary,
     "files to copy: {copied}, renamed: {renamed}, up to date: {upToDate}, "
     "characters that become '?': {replaced}"},
    {Message::WindowNothingWritten, "Only a check: nothing was written."},
    {Message::WindowStopping, "Stopping..."},
    {Message::WindowStopped, "Stopped. The files copied so far are complete."},
    {Message::WindowCloseDuringCopy,
     "A copy is under way. Stop it and close?\nThe file being written is removed; the files "
     "copied so far stay."},
    {Message::WindowNotFlushed, "Do not remove the USB stick or card yet."},
    {Message::WindowFileStopped, "stopped: {path}"},
};

constexpr CountedEntry COUNTED[] = {
    {CountedMessage::FilesHeader, {"{count} file: ", "{count} files: "}},
    {CountedMessage::BytesSaved, {"{count} byte saved", "{count} bytes saved"}},
    {CountedMessage::BytesAdded, {"{count} byte added", "{count} bytes added"}},
    {CountedMessage::RenamedFrames, {"{count} frame renamed", "{count} frames renamed"}},
    {CountedMessage::ReencodedStrings,
     {"{count} string now in UTF-16", "{count} strings now in UTF-16"}},
    {CountedMessage::SummaryConverted, {"{count} converted", "{count} converted"}},
    {CountedMessage::SummaryWouldConvert, {"{count} would convert", "{count} would convert"}},
    {CountedMessage::SummaryAlreadyConverted,
     {"{count} already in code page 932", "{count} already in code page 932"}},
    {CountedMessage::SummaryNoTag, {"{count} without tag", "{count} without tag"}},
    {CountedMessage::SummaryRefused, {"{count} refused version", "{count} refused version"}},
    {CountedMessage::SummaryUnsupported, {"{count} unsupported", "{count} unsupported"}},
    {CountedMessage::SummaryDamaged, {"{count} damaged", "{count} damaged"}},
    {CountedMessage::SummaryFailed, {"{count} failed", "{count} failed"}},
    {CountedMessage::SummaryCopied,
     {"{count} copied ({converted} converted)", "{count} copied ({converted} converted)"}},
    {CountedMessage::SummaryWouldCopy,
     {"{count} to copy ({converted} converted)", "{count} to copy ({converted} converted)"}},
    {CountedMessage::SummaryUpToDate, {"{count} up to date", "{count} up to date"}},
    {CountedMessage::SummaryNotReplaced, {"{count} not replaced", "{count} not replaced"}},
    {CountedMessage::Confirmation,
     {"{toConvert} of {count} file will be converted. {consequence}\nContinue? [y/N] ",
      "{toConvert} of {count} files will be converted. {consequence}\nContinue? [y/N] "}},
    {CountedMessage::NoTerminal,
     {"{count} file would be converted, but standard input is not a terminal to confirm on. "
      "Nothing was written. Add --yes to convert without a question.",
      "{count} files would be converted, but standard input is not a terminal to confirm on. "
      "Nothing was written. Add --yes to convert without a question."}},
    {CountedMessage::QuestionMarks,
     {"{count} character would become '?'", "{count} characters would become '?'"}},
    {CountedMessage::DiskFull,
     {"{folder} is full: the copies stopped there, and {count} copy was not written.",
      "{folder} is full: the copies stopped there, and {count} copies were not written."}},
    {CountedMessage::FoldHint,
     {"{count} character would become '?'; --fold keeps it as a look-alike (the wave dash and "
      "the like).",
      "{count} characters would become '?'; --fold keeps them as look-alikes (the wave dash and "
      "the like)."}},
    {CountedMessage::FoldHintSome,
     {"{marks}; --fold keeps {count} of them as a look-alike (the wave dash and the like).",
      "{marks}; --fold keeps {count} of them as look-alikes (the wave dash and the like)."}},
    {CountedMessage::MisreadWideTexts,
     {"{count} frame in UTF-16 or UTF-8", "{count} frames in UTF-16 or UTF-8"}},
    {CountedMessage::MisreadDroppedValues,
     {"{count} frame with values that players drop",
      "{count} frames with values that players drop"}},
    {CountedMessage::MisreadUnsynchronised, {"{count} unsynchronised", "{count} unsynchronised"}},
    {CountedMessage::MisreadVersion4,
     {"{count} version 2.4 header", "{count} version 2.4 headers"}},
    {CountedMessage::MisreadId3v1,
     {"{count} ID3v1 tag that differs from the ID3v2 tag",
      "{count} ID3v1 tags that differ from the ID3v2 tag"}},
};

static_assert(sizeof MESSAGES / sizeof MESSAGES[0] == MESSAGE_COUNT && inEnumOrder(MESSAGES),
              "every message, in the order of Message");
static_assert(sizeof COUNTED / sizeof COUNTED[0] == COUNTED_MESSAGE_COUNT && inEnumOrder(COUNTED),
              "every counted message, in the order of CountedMessage");

// One thing, and any other number (zero included).
size_t englishPlural(uint64_t count) {
  return count == 1 ? 0 : 1;
}

const Catalogue ENGLISH = {"English", 2, englishPlural, MESSAGES, COUNTED};

} // namespace

const Catalogue &englishCatalogue() {
  return ENGLISH;
}
