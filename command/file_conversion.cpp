// The conversion of one file for the command line, and the steps it shares
// with the copies, --info and the Convert command. Only the tag region (the
// tag, and a footer's worth of bytes after it) is held in memory; the rest of
// the file is copied in blocks into the new file. That gives the same bytes as
// rewriting the whole file: the rewrite carries everything after the tag over
// unchanged and looks at the file's length only to test that the tag and its
// footer fit. The tag region is walked once, when it is read; the rewrite,
// the ID3v1 tag and whoever inspects the region start from that walk.
#include "command/file_conversion.h"

#ifdef SORABUN_FILE_FAULTS
#include "command/file_faults.h"
#endif

#include <cstdlib>
#include <cstring>

namespace {

void fail(FileConversion &conversion, PathOutcome outcome, FileProblem problem) {
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
  return PathOutcome::WouldConvert;
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
  case WriteOutcome::Stopped:
    break;
  }
  return PathOutcome::CannotWrite;
}

// Reads the tag region into conversion.before and walks it; false with the
// report set when the file has no tag or cannot be read.
bool readTagRegion(FileConversion &conversion, uint32_t fileLength) {
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
  const uint32_t regionLength = tagRegionLength(header, fileLength);
  conversion.regionLength = regionLength;
  conversion.before = allocateZeroed(regionLength);
  if (conversion.before == nullptr) {
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
  conversion.record = walkTag(FileImage{conversion.before, regionLength});
  return true;
}

// The buffers the rewrite of the walked region needs: version 2.3 output
// may be longer than the region, and reads an unsynchronised tag from a
// scratch copy. False with the report set when there is no memory for them.
bool allocateRewrite(FileConversion &conversion, RewriteSettings rewrite, RewriteBuffers &buffers) {
  const RewriteNeeds needs = rewriteNeedsOf(FileImage{conversion.before, conversion.regionLength},
                                            conversion.record, rewrite);
  // Only 32-bit lengths fit the tag engine; a smaller buffer gives the
  // ordinary conversion, which never grows.
  const uint32_t capacity = needs.outputLength > UINT32_MAX
                                ? conversion.regionLength
                                : static_cast<uint32_t>(needs.outputLength);
  conversion.after = allocateZeroed(capacity);
  if (needs.scratchLength > 0 && conversion.after != nullptr)
    conversion.scratch = allocateZeroed(needs.scratchLength);
  if (conversion.after == nullptr || (needs.scratchLength > 0 && conversion.scratch == nullptr)) {
    conversion.report.outcome = PathOutcome::NoMemory;
    return false;
  }
  buffers = RewriteBuffers{conversion.after, capacity, conversion.scratch, needs.scratchLength};
  return true;
}

// A backup that exists refuses the file before any work is done, and a run
// that only examines says so too.
bool backupIsPossible(FileConversion &conversion) {
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

// The ID3v1 tag made from the tag region read, and the one it replaces. An
// APEv2 or Lyrics3 block before that one stays where it is. A tag written
// as version 2.3 gives it from what it became (values joined, dates in
// TYER), so that both tags agree. False with the report set when the end
// of the file cannot be read.
bool prepareId3v1(FileConversion &conversion, TextSettings text, bool &unchanged) {
  if (conversion.report.version.converted) {
    const FileImage written{conversion.after, conversion.newRegionLength};
    buildId3v1TagFor(written, walkTag(written), text, conversion.newId3v1);
  } else {
    buildId3v1TagFor(FileImage{conversion.before, conversion.regionLength}, conversion.record, text,
                     conversion.newId3v1);
  }
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

void writeConversion(FileConversion &conversion, const PathSettings &settings) {
  const WriteResult written = replaceContent(conversion.place, &conversion.source,
                                             conversion.whenOpened, convertedContent(conversion),
                                             WriteSettings{settings.backup, settings.keepTime});
  fail(conversion, outcomeOfWrite(written.outcome), written.problem);
  // The name of a temporary file the write could not remove again.
  std::memcpy(conversion.report.leftBehind, written.leftBehind,
              sizeof conversion.report.leftBehind);
}

} // namespace

bool tagWasExamined(PathOutcome outcome) {
  switch (outcome) {
  case PathOutcome::Converted:
  case PathOutcome::WouldConvert:
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

PathReport failedReport(PathOutcome outcome, FileProblem problem) {
  return PathReport{outcome, RewriteReason::None, problem, 0, 0, 0, 0, FramesLeft{}, {}};
}

bool placeOfPathFor(const char *path, FilePlace *place, PathReport *failure) {
  const FileProblem problem = placeOfPath(path, place);
  if (problem == FileProblem::None)
    return true;
  closePlace(place);
  *failure = failedReport(
      problem == FileProblem::NotFound ? PathOutcome::NotFound : PathOutcome::CannotOpen, problem);
  return false;
}

// Opens the file, locked against a second run when it is to be replaced,
// and learns its state. A copy's source is only read: other names do not
// matter, and no lock keeps others from reading it.
bool openConversion(FileConversion &conversion, const FilePlace &place, FileUse use) {
  conversion.place = place;
  conversion.source = NO_FILE;
  conversion.before = nullptr;
  conversion.after = nullptr;
  conversion.scratch = nullptr;
  conversion.writesId3v1 = false;
  conversion.report = failedReport(PathOutcome::CannotOpen, FileProblem::None);
  FileProblem problem =
      use == FileUse::Read
          ? openFileToRead(&conversion.place, &conversion.source, &conversion.whenOpened)
          : openSourceFile(&conversion.place, &conversion.source, &conversion.whenOpened);
  if (problem == FileProblem::NotFound) {
    conversion.report = failedReport(PathOutcome::NotFound, FileProblem::None);
    return false;
  }
  if (problem == FileProblem::None && use == FileUse::Replace)
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
  conversion.report.size = conversion.whenOpened.size;
  return true;
}

void convertOpenFile(FileConversion &conversion, RewriteSettings rewrite, bool id3v1) {
  // Only 32-bit lengths fit the tag engine.
  if (conversion.whenOpened.size > UINT32_MAX) {
    conversion.report.outcome = PathOutcome::TooLarge;
    return;
  }
  const auto fileLength = static_cast<uint32_t>(conversion.whenOpened.size);
  if (!readTagRegion(conversion, fileLength))
    return;
  const uint32_t regionLength = conversion.regionLength;
  RewriteBuffers buffers{};
  if (!allocateRewrite(conversion, rewrite, buffers))
    return;
  RewriteReport rewriteReport{};
  const RewriteOutcome rewritten = rewriteTag(FileImage{conversion.before, regionLength},
                                              conversion.record, buffers, rewrite, rewriteReport);
  conversion.report.left = rewriteReport.left;
  conversion.report.version = rewriteReport.version;
  conversion.report.outcome = outcomeOfRewrite(rewritten.kind);
  conversion.report.reason = rewritten.reason;
  if (rewritten.kind != RewriteKind::Rewritten)
    return;
  if (rewritten.length > buffers.outputCapacity) {
    conversion.report.outcome = PathOutcome::Damaged; // never more than the buffer holds
    return;
  }
  conversion.newRegionLength = rewritten.length;
  conversion.keptEnd = conversion.whenOpened.size;
  bool id3v1Unchanged = true;
  if (id3v1 && !prepareId3v1(conversion, rewrite.text, id3v1Unchanged))
    return;
  conversion.report.newSize = conversion.keptEnd - regionLength + rewritten.length +
                              (conversion.writesId3v1 ? ID3V1_TAG_SIZE : 0);
  if (id3v1Unchanged && rewritten.length == regionLength &&
      std::memcmp(conversion.before, conversion.after, regionLength) == 0)
    conversion.report.outcome = PathOutcome::AlreadyConverted;
}

// An ID3v1 tag may begin inside the tag region read (fewer than ten bytes
// after the ID3v2 tag); the rewrite carried the bytes after the tag over as
// they were, so the rewritten region is cut by as many bytes.
NewContent convertedContent(const FileConversion &conversion) {
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

FileProblem readExistingId3v1(const FileConversion &conversion, uint8_t (&tag)[ID3V1_TAG_SIZE],
                              bool &present) {
  present = false;
  const uint64_t fileLength = conversion.whenOpened.size;
  const uint64_t tagSpanEnd = conversion.before == nullptr ? 0
                                                           : uint64_t{conversion.record.tagEnd} +
                                                                 conversion.record.footer.length;
  if (fileLength < tagSpanEnd + ID3V1_TAG_SIZE)
    return FileProblem::None;
  const FileProblem problem =
      readAt(conversion.source, fileLength - ID3V1_TAG_SIZE, tag, ID3V1_TAG_SIZE);
  present = problem == FileProblem::None && isId3v1Tag(tag);
  return problem;
}

void releaseConversion(FileConversion &conversion) {
  if (conversion.source != NO_FILE)
    closeFile(conversion.source);
  if (conversion.scratch != nullptr)
    releaseBlock(conversion.scratch);
  if (conversion.after != nullptr)
    releaseBlock(conversion.after);
  if (conversion.before != nullptr)
    releaseBlock(conversion.before);
  conversion.source = NO_FILE;
  conversion.scratch = nullptr;
  conversion.after = nullptr;
  conversion.before = nullptr;
  closePlace(&conversion.place);
}

PathReport convertFileAt(const FilePlace &place, PathSettings settings, TagInspector inspect,
                         void *context) {
  FileConversion conversion;
  if (openConversion(conversion, place, settings.write ? FileUse::Replace : FileUse::Examine)) {
    convertOpenFile(conversion, settings.rewrite, settings.id3v1);
    if (conversion.report.outcome == PathOutcome::WouldConvert &&
        (!settings.backup || backupIsPossible(conversion))) {
      if (inspect != nullptr)
        inspect(context, FileImage{conversion.before, conversion.regionLength}, conversion.record,
                FileImage{conversion.after, conversion.newRegionLength});
      if (settings.write)
        writeConversion(conversion, settings);
    }
  }
  releaseConversion(conversion);
  return conversion.report;
}

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
  if (input.length < TAG_HEADER_SIZE)
    return RewriteOutcome{RewriteKind::Damaged, RewriteReason::FileTooShort, 0};
  FramesLeft left;
  return rewriteTag(input, output, RewriteSettings{FrameScope::TitleFrames, TextSettings{false}},
                    left);
}
