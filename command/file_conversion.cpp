// The conversion of one file for the command line, and the steps it shares
// with the Convert command. Only the tag region (the tag, and a footer's
// worth of bytes after it) is held in memory; the rest of the file is copied
// in blocks into the new file. That gives the same bytes as rewriting the
// whole file: the rewrite carries everything after the tag over unchanged and
// looks at the file's length only to test that the tag and its footer fit.
#include "command/file_conversion.h"

#include "command/safe_write.h"
#include "engine/id3v1.h"

#ifdef SORABUN_FILE_FAULTS
#include "command/file_faults.h"
#endif

#include <cstdlib>
#include <cstring>

namespace {

// What one conversion holds while it runs; convertFileAt releases it all on
// every way out.
struct Conversion {
  FilePlace place;
  PathSettings settings;
  const CopyTarget *copyTo; // nullptr: the file itself is converted
  bool onlyRead;            // the tags are read for showing (--info); nothing is written
  FileHandle source;
  FileState whenOpened;
  uint8_t *before;
  uint8_t *after;
  uint32_t regionLength; // of the tag region read, and of its rewrite
  uint32_t newRegionLength;
  uint64_t keptEnd; // the file is kept up to here: its end, or an ID3v1 tag that is replaced
  bool writesId3v1; // the new content ends with newId3v1
  uint8_t newId3v1[ID3V1_TAG_SIZE];
  PathReport report;
  CopyAction action;
};

PathReport reportOf(PathOutcome outcome, FileProblem problem = FileProblem::None) {
  return PathReport{outcome, RewriteReason::None, problem, 0, 0, 0, 0, FramesLeft{}};
}

void fail(Conversion &conversion, PathOutcome outcome, FileProblem problem) {
  conversion.report.outcome = outcome;
  conversion.report.problem = problem;
}

// The bytes the rewrite needs: the tag and the footer that may follow it, or
// the whole file when the tag claims more than the file holds.
uint32_t tagRegionLength(const uint8_t header[TAG_HEADER_SIZE], uint32_t fileLength) {
  const uint64_t tagEnd = tagEndOf(header);
  const uint64_t wanted = tagEnd + FOOTER_SIZE;
  return wanted < fileLength ? static_cast<uint32_t>(wanted) : fileLength;
}

PathOutcome outcomeOfRewrite(RewriteKind kind) {
  switch (kind) {
  case RewriteKind::Refused:
    return PathOutcome::Refused;
  case RewriteKind::Unsupported:
    return PathOutcome::Unsupported;
  case RewriteKind::Damaged:
    return PathOutcome::Damaged;
  case RewriteKind::Rewritten:
    break;
  }
  return PathOutcome::Converted;
}

PathOutcome outcomeOfWrite(WriteOutcome outcome) {
  switch (outcome) {
  case WriteOutcome::Written:
    return PathOutcome::Converted;
  case WriteOutcome::Changed:
    return PathOutcome::Changed;
  case WriteOutcome::BackupExists:
    return PathOutcome::BackupExists;
  case WriteOutcome::CannotBackUp:
    return PathOutcome::CannotBackUp;
  case WriteOutcome::LeftInTemporary:
    return PathOutcome::LeftInTemporary;
  case WriteOutcome::CannotWrite:
    break;
  }
  return PathOutcome::CannotWrite;
}

// What the safe write did, with the name of a temporary file it could not
// remove again.
void reportWrite(Conversion &conversion, const WriteResult &written) {
  fail(conversion, outcomeOfWrite(written.outcome), written.problem);
  std::memcpy(conversion.report.leftBehind, written.leftBehind,
              sizeof conversion.report.leftBehind);
}

// Reads the tag region into conversion.before; false with the report set
// when the file has no tag or cannot be read.
bool readTagRegion(Conversion &conversion, uint32_t fileLength, uint32_t &regionLength) {
  uint8_t header[TAG_HEADER_SIZE] = {};
  const uint32_t headerLength = fileLength < TAG_HEADER_SIZE ? fileLength : TAG_HEADER_SIZE;
  FileProblem problem = readAt(conversion.source, 0, header, headerLength);
  if (problem != FileProblem::None) {
    fail(conversion, PathOutcome::CannotRead, problem);
    return false;
  }
  if (!hasTagIdentifier(header, headerLength)) {
    conversion.report.outcome = PathOutcome::NoTag;
    return false;
  }
  if (headerLength < TAG_HEADER_SIZE) {
    conversion.report.outcome = PathOutcome::Damaged;
    conversion.report.reason = RewriteReason::FileTooShort;
    return false;
  }
  const TagHeader tagHeader = readTagHeader(header);
  conversion.report.majorVersion = tagHeader.majorVersion;
  conversion.report.revision = tagHeader.revision;
  regionLength = tagRegionLength(header, fileLength);
  conversion.regionLength = regionLength;
  conversion.before = allocateZeroed(regionLength);
  conversion.after = conversion.before == nullptr ? nullptr : allocateZeroed(regionLength);
  if (conversion.after == nullptr) {
    conversion.report.outcome = PathOutcome::NoMemory;
    return false;
  }
  std::memcpy(conversion.before, header, TAG_HEADER_SIZE);
  problem = readAt(conversion.source, TAG_HEADER_SIZE, conversion.before + TAG_HEADER_SIZE,
                   regionLength - TAG_HEADER_SIZE);
  if (problem != FileProblem::None) {
    fail(conversion, PathOutcome::CannotRead, problem);
    return false;
  }
  return true;
}

// A backup that exists refuses the file before any work is done, and a run
// that only examines says so too.
bool backupIsPossible(Conversion &conversion) {
  FilePlace backup{conversion.place.folder, false, {}};
  if (!backupNameOf(conversion.place.name, backup.name)) {
    fail(conversion, PathOutcome::CannotBackUp, FileProblem::NameTooLong);
    return false;
  }
  FileState existing;
  // Only a name that is free makes a backup possible.
  const FileProblem problem = queryPlace(backup, &existing);
  if (problem == FileProblem::None) {
    conversion.report.outcome = PathOutcome::BackupExists;
    return false;
  }
  if (problem != FileProblem::NotFound) {
    fail(conversion, PathOutcome::CannotBackUp, problem);
    return false;
  }
  return true;
}

// The converted content: the rewritten tag region, the file after it up to
// an ID3v1 tag that is replaced, and the new ID3v1 tag. An ID3v1 tag may
// begin inside the tag region read (fewer than ten bytes after the ID3v2
// tag); the rewrite carried the bytes after the tag over as they were, so
// the rewritten region is cut by as many bytes.
NewContent convertedContent(const Conversion &conversion) {
  NewContent content{};
  const uint64_t regionLength = conversion.regionLength;
  if (conversion.keptEnd < regionLength) {
    content.pieces[0] = memoryPiece(conversion.after, conversion.newRegionLength -
                                                          (regionLength - conversion.keptEnd));
    content.count = 1;
  } else {
    content.pieces[0] = memoryPiece(conversion.after, conversion.newRegionLength);
    content.pieces[1] =
        filePiece(conversion.source, regionLength, conversion.keptEnd - regionLength);
    content.count = 2;
  }
  if (conversion.writesId3v1)
    content.pieces[content.count++] = memoryPiece(conversion.newId3v1, ID3V1_TAG_SIZE);
  return content;
}

// The ID3v1 tag at the end of the file; present only when it lies wholly
// after the ID3v2 tag and its footer.
FileProblem readExistingId3v1(const Conversion &conversion, uint8_t tag[ID3V1_TAG_SIZE],
                              bool &present) {
  present = false;
  const uint64_t fileLength = conversion.whenOpened.size;
  uint64_t tagSpanEnd = 0;
  if (conversion.before != nullptr) {
    const TagRecord record = walkTag(FileImage{conversion.before, conversion.regionLength});
    tagSpanEnd = uint64_t{record.tagEnd} + record.footer.length;
  }
  if (fileLength < tagSpanEnd + ID3V1_TAG_SIZE)
    return FileProblem::None;
  const FileProblem problem =
      readAt(conversion.source, fileLength - ID3V1_TAG_SIZE, tag, ID3V1_TAG_SIZE);
  present = problem == FileProblem::None && isId3v1Tag(tag);
  return problem;
}

// The ID3v1 tag made from the tag region read, and the one it replaces. An
// APEv2 or Lyrics3 block before that one stays where it is. False with the
// report set when the end of the file cannot be read.
bool prepareId3v1(Conversion &conversion, bool &unchanged) {
  buildId3v1TagFor(FileImage{conversion.before, conversion.regionLength},
                   conversion.settings.rewrite.text, conversion.newId3v1);
  conversion.writesId3v1 = true;
  uint8_t existing[ID3V1_TAG_SIZE];
  bool present = false;
  const FileProblem problem = readExistingId3v1(conversion, existing, present);
  if (problem != FileProblem::None) {
    fail(conversion, PathOutcome::CannotRead, problem);
    return false;
  }
  if (present)
    conversion.keptEnd = conversion.whenOpened.size - ID3V1_TAG_SIZE;
  unchanged = present && std::memcmp(existing, conversion.newId3v1, ID3V1_TAG_SIZE) == 0;
  return true;
}

void writeConversion(Conversion &conversion) {
  const WriteResult written = replaceContent(
      conversion.place, &conversion.source, conversion.whenOpened, convertedContent(conversion),
      WriteSettings{conversion.settings.backup, conversion.settings.keepTime});
  reportWrite(conversion, written);
}

void convertOpenFile(Conversion &conversion, TagInspector inspect, void *context) {
  // Only 32-bit lengths fit the tag engine.
  if (conversion.whenOpened.size > UINT32_MAX) {
    conversion.report.outcome = PathOutcome::TooLarge;
    return;
  }
  const auto fileLength = static_cast<uint32_t>(conversion.whenOpened.size);
  uint32_t regionLength = 0;
  if (!readTagRegion(conversion, fileLength, regionLength))
    return;
  const RewriteOutcome rewritten =
      rewriteContent(FileImage{conversion.before, regionLength}, conversion.after,
                     conversion.settings.rewrite, conversion.report.left);
  conversion.report.outcome = outcomeOfRewrite(rewritten.kind);
  conversion.report.reason = rewritten.reason;
  if (rewritten.kind != RewriteKind::Rewritten)
    return;
  if (rewritten.length > regionLength) {
    conversion.report.outcome = PathOutcome::Damaged; // never more than the buffer holds
    return;
  }
  conversion.regionLength = regionLength;
  conversion.newRegionLength = rewritten.length;
  conversion.keptEnd = conversion.whenOpened.size;
  bool id3v1Unchanged = true;
  if (conversion.settings.id3v1 && !prepareId3v1(conversion, id3v1Unchanged))
    return;
  conversion.report.newSize = conversion.keptEnd - regionLength + rewritten.length +
                              (conversion.writesId3v1 ? ID3V1_TAG_SIZE : 0);
  if (id3v1Unchanged && rewritten.length == regionLength &&
      std::memcmp(conversion.before, conversion.after, regionLength) == 0) {
    conversion.report.outcome = PathOutcome::AlreadyConverted;
    return;
  }
  const bool inPlace = conversion.copyTo == nullptr;
  if (inPlace && conversion.settings.backup && !backupIsPossible(conversion))
    return;
  if (inspect != nullptr)
    inspect(context, FileImage{conversion.before, regionLength},
            FileImage{conversion.after, rewritten.length});
  if (inPlace && conversion.settings.write)
    writeConversion(conversion);
}

// Opens the file, locked against a second run when it is to be written, and
// learns its state; false with the report set when it cannot.
// A copy's source is only read: other names do not matter, and no lock
// keeps others from reading it.
bool openConversion(Conversion &conversion) {
  const bool inPlace = conversion.copyTo == nullptr && !conversion.onlyRead;
  FileProblem problem =
      inPlace ? openSourceFile(&conversion.place, &conversion.source, &conversion.whenOpened)
              : openFileToRead(&conversion.place, &conversion.source, &conversion.whenOpened);
  if (problem == FileProblem::NotFound) {
    conversion.report = reportOf(PathOutcome::NotFound);
    return false;
  }
  if (problem == FileProblem::None && conversion.settings.write && inPlace)
    problem = lockForConversion(conversion.source);
  // The state again once the lock is held: a run that held it may have
  // changed the file.
  if (problem == FileProblem::None) {
    problem = queryOpenFile(conversion.source, &conversion.whenOpened);
    if (problem != FileProblem::None) {
      fail(conversion, PathOutcome::SizeUnknown, problem);
      return false;
    }
  }
  if (problem != FileProblem::None) {
    fail(conversion, PathOutcome::CannotOpen, problem);
    return false;
  }
  return true;
}

bool isCopiedAsItIs(PathOutcome outcome) {
  switch (outcome) {
  case PathOutcome::AlreadyConverted:
  case PathOutcome::NoTag:
  case PathOutcome::Refused:
  case PathOutcome::Unsupported:
  case PathOutcome::Damaged:
    return true;
  default:
    return false;
  }
}

// What a copy of `size` bytes from a source last written at sourceTime
// finds at its target.
CopyAction actionAtTarget(const CopyTarget &target, uint64_t size, int64_t sourceTime,
                          FileProblem *problem) {
  if (target.folder == NO_FOLDER)
    return CopyAction::Write;
  FileState existing;
  *problem = queryPlace(placeInFolder(target.folder, target.name), &existing);
  if (*problem == FileProblem::NotFound) {
    *problem = FileProblem::None;
    return CopyAction::Write;
  }
  if (*problem != FileProblem::None)
    return CopyAction::None;
  if (existing.size == size && sameCopyTime(existing.lastWriteTime, sourceTime))
    return CopyAction::UpToDate;
  return CopyAction::Taken;
}

// The converted file, or the file as it is, copied to the target.
void copyToTarget(Conversion &conversion) {
  const PathOutcome outcome = conversion.report.outcome;
  const bool converted = outcome == PathOutcome::Converted;
  if (!converted && !isCopiedAsItIs(outcome))
    return;
  if (!converted)
    conversion.report.newSize = conversion.whenOpened.size;
  FileProblem problem = FileProblem::None;
  const CopyTarget &target = *conversion.copyTo;
  conversion.action = actionAtTarget(target, conversion.report.newSize,
                                     conversion.whenOpened.lastWriteTime, &problem);
  if (conversion.action == CopyAction::None)
    fail(conversion, PathOutcome::CannotWrite, problem);
  if (conversion.action != CopyAction::Write || !conversion.settings.write)
    return;
  NewContent content{};
  const uint64_t size = conversion.whenOpened.size;
  if (converted) {
    content = convertedContent(conversion);
  } else {
    content.pieces[0] = filePiece(conversion.source, 0, size);
    content.count = 1;
  }
  const WriteResult written =
      writeCopy(target.folder, target.name, content, conversion.source, conversion.whenOpened);
  if (written.outcome == WriteOutcome::Written)
    return;
  conversion.action =
      written.problem == FileProblem::AlreadyExists ? CopyAction::Taken : CopyAction::None;
  if (conversion.action == CopyAction::None)
    reportWrite(conversion, written);
}

Conversion newConversion(const FilePlace &place, PathSettings settings, const CopyTarget *copyTo) {
  Conversion conversion{};
  conversion.place = place;
  conversion.settings = settings;
  conversion.copyTo = copyTo;
  conversion.source = NO_FILE;
  conversion.report = reportOf(PathOutcome::CannotOpen);
  conversion.action = CopyAction::None;
  return conversion;
}

void releaseConversion(Conversion &conversion) {
  if (conversion.source != NO_FILE)
    closeFile(conversion.source);
  if (conversion.after != nullptr)
    releaseBlock(conversion.after);
  if (conversion.before != nullptr)
    releaseBlock(conversion.before);
  closePlace(&conversion.place);
}

Conversion convertPlace(const FilePlace &place, PathSettings settings, const CopyTarget *copyTo,
                        TagInspector inspect, void *context) {
  Conversion conversion = newConversion(place, settings, copyTo);
  if (openConversion(conversion)) {
    conversion.report.size = conversion.whenOpened.size;
    if (copyTo == nullptr || copyTo->examineTag)
      convertOpenFile(conversion, inspect, context);
    else
      conversion.report.outcome = PathOutcome::NoTag; // not examined: copied as it is
    if (copyTo != nullptr)
      copyToTarget(conversion);
  }
  releaseConversion(conversion);
  return conversion;
}

// The tags of the file, shown to reader once the conversion's checks have
// examined them.
PathReport readPlace(const FilePlace &place, TagReader read, void *context) {
  Conversion conversion = newConversion(place, PathSettings{}, nullptr);
  conversion.onlyRead = true;
  if (openConversion(conversion)) {
    conversion.report.size = conversion.whenOpened.size;
    convertOpenFile(conversion, nullptr, nullptr);
    uint8_t id3v1[ID3V1_TAG_SIZE];
    bool present = false;
    const PathOutcome outcome = conversion.report.outcome;
    const bool examined = outcome == PathOutcome::Converted || isCopiedAsItIs(outcome);
    const FileProblem problem =
        examined ? readExistingId3v1(conversion, id3v1, present) : FileProblem::None;
    if (problem != FileProblem::None)
      fail(conversion, PathOutcome::CannotRead, problem);
    else if (examined)
      read(context,
           FileImage{conversion.before, conversion.before == nullptr ? 0 : conversion.regionLength},
           present ? id3v1 : nullptr);
  }
  releaseConversion(conversion);
  return conversion.report;
}

// The place of a path; false with the report set when its folder cannot be
// opened.
bool placeOfPathFor(const char *path, FilePlace *place, PathReport *report) {
  const FileProblem problem = placeOfPath(path, place);
  if (problem == FileProblem::None)
    return true;
  closePlace(place);
  *report = reportOf(
      problem == FileProblem::NotFound ? PathOutcome::NotFound : PathOutcome::CannotOpen, problem);
  return false;
}

} // namespace

uint8_t *allocateZeroed(uint32_t size) {
#ifdef SORABUN_FILE_FAULTS
  if (injectedProblem(FileStep::Allocate) != FileProblem::None)
    return nullptr;
#endif
  return static_cast<uint8_t *>(std::calloc(size == 0 ? 1 : size, 1));
}

void releaseBlock(uint8_t *block) {
  std::free(block);
}

bool hasTagIdentifier(const uint8_t *bytes, uint64_t length) {
  return length >= 3 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3';
}

RewriteOutcome rewriteContent(FileImage input, uint8_t *output) {
  FramesLeft left;
  return rewriteContent(input, output,
                        RewriteSettings{FrameScope::TitleFrames, TextSettings{false}}, left);
}

RewriteOutcome rewriteContent(FileImage input, uint8_t *output, RewriteSettings settings,
                              FramesLeft &left) {
  left = FramesLeft{};
  if (input.length < TAG_HEADER_SIZE)
    return RewriteOutcome{RewriteKind::Damaged, RewriteReason::FileTooShort, 0};
  return rewriteTag(input, output, settings, left);
}

PathReport convertFileAt(FolderHandle folder, const char *name, PathSettings settings,
                         TagInspector inspect, void *context) {
  return convertPlace(placeInFolder(folder, name), settings, nullptr, inspect, context).report;
}

PathReport convertOnePath(const char *path, PathSettings settings, TagInspector inspect,
                          void *context) {
  FilePlace place;
  PathReport report{};
  if (!placeOfPathFor(path, &place, &report))
    return report;
  return convertPlace(place, settings, nullptr, inspect, context).report;
}

PathReport readTagsAt(FolderHandle folder, const char *name, TagReader read, void *context) {
  return readPlace(placeInFolder(folder, name), read, context);
}

PathReport readTagsOfPath(const char *path, TagReader read, void *context) {
  FilePlace place;
  PathReport report{};
  if (!placeOfPathFor(path, &place, &report))
    return report;
  return readPlace(place, read, context);
}

bool sameCopyTime(int64_t copyTime, int64_t sourceTime) {
  const int64_t difference = copyTime > sourceTime ? copyTime - sourceTime : sourceTime - copyTime;
  return difference < 2 * TIME_UNITS_PER_SECOND;
}

CopyReport copyFileAt(FolderHandle folder, const char *name, PathSettings settings,
                      CopyTarget target, TagInspector inspect, void *context) {
  const Conversion done =
      convertPlace(placeInFolder(folder, name), settings, &target, inspect, context);
  return CopyReport{done.report, done.action};
}

CopyReport copyOnePath(const char *path, PathSettings settings, CopyTarget target,
                       TagInspector inspect, void *context) {
  FilePlace place;
  CopyReport copy{PathReport{}, CopyAction::None};
  if (!placeOfPathFor(path, &place, &copy.report))
    return copy;
  const Conversion done = convertPlace(place, settings, &target, inspect, context);
  return CopyReport{done.report, done.action};
}
