// The conversion of one file for the command line, and the steps it shares
// with the Convert command. Only the tag region (the tag, and a footer's
// worth of bytes after it) is held in memory; the rest of the file is copied
// in blocks into the new file. That gives the same bytes as rewriting the
// whole file: the rewrite carries everything after the tag over unchanged and
// looks at the file's length only to test that the tag and its footer fit.
#include "command/path_conversion.h"

#include <cstdio>
#include <cstring>

const char REPLACEMENT_SUFFIX[] = ".sorabun-tmp";
const char BACKUP_SUFFIX[] = ".bak";

namespace {

constexpr uint32_t FOOTER_SIZE = 10;
// Folder walks on POSIX systems find paths longer than the dialog's 260 bytes.
constexpr size_t SIBLING_PATH_SIZE = 4096 + 16;

// What one conversion holds while it runs; convertOnePath releases it all on
// every way out.
struct Conversion {
  const char *path;
  PathSettings settings;
  FileHandle source;
  FileInfo whenOpened;
  uint8_t *before;
  uint8_t *after;
  PathReport report;
};

PathReport reportOf(PathOutcome outcome) {
  return PathReport{outcome, RewriteReason::None, 0, 0, 0, 0};
}

bool siblingPath(const char *path, const char *suffix, char (&out)[SIBLING_PATH_SIZE]) {
  int length = std::snprintf(out, sizeof out, "%s%s", path, suffix);
  return length > 0 && static_cast<size_t>(length) < sizeof out;
}

void closeRest(NewContent &content) {
  if (content.rest != nullptr && *content.rest != NO_FILE) {
    closeFile(*content.rest); // everything is read by now; a failing close loses nothing
    *content.rest = NO_FILE;
  }
}

// Writes the new content into the new file, completely and flushed; removes
// it again on failure.
bool writeReplacement(const char *path, const char *replacementPath, NewContent content,
                      const FileInfo &whenRead, PathSettings settings) {
  FileHandle file = createReplacement(replacementPath, path);
  if (file == NO_FILE)
    return false;
  bool written = writeExactly(file, content.bytes, content.length);
  if (written && content.rest != nullptr)
    written = copyFileData(*content.rest, file, content.restLength);
  if (written && settings.keepTime)
    written = setLastWriteTime(file, whenRead.lastWriteTime);
  written = written && flushFile(file);
  const bool closed = closeFile(file);
  if (!written || !closed) {
    removeFile(replacementPath);
    return false;
  }
  return true;
}

// Puts the written replacement in the original's place, keeping the original
// as a backup first when asked.
PathOutcome putInPlace(const char *path, const char *replacementPath, const char *backupPath,
                       const FileInfo &whenRead, PathSettings settings) {
  if (!unchangedSince(path, whenRead)) {
    removeFile(replacementPath);
    return PathOutcome::Changed;
  }
  if (settings.backup) {
    const BackupResult backup = makeBackup(path, backupPath);
    if (backup != BackupResult::Made) {
      removeFile(replacementPath);
      return backup == BackupResult::Exists ? PathOutcome::BackupExists : PathOutcome::CannotBackUp;
    }
  }
  bool originalLost = false;
  if (replaceFile(path, replacementPath, &originalLost))
    return PathOutcome::Converted;
  if (originalLost)
    return PathOutcome::LeftInTemporary; // the new file, and any backup, hold the content
  removeFile(replacementPath);
  if (settings.backup)
    removeFile(backupPath); // made just now: a later run must not be refused for it
  return PathOutcome::CannotWrite;
}

// The bytes the rewrite needs: the tag and the footer that may follow it, or
// the whole file when the tag claims more than the file holds.
uint32_t tagRegionLength(const uint8_t header[TAG_HEADER_SIZE], uint32_t fileLength) {
  const uint64_t tagEnd = uint64_t{TAG_HEADER_SIZE} + readSynchsafe(header + 6);
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

// Reads the tag region into conversion.before; false with the report set
// when the file has no tag or cannot be read.
bool readTagRegion(Conversion &conversion, uint32_t fileLength, uint32_t &regionLength) {
  uint8_t header[TAG_HEADER_SIZE] = {};
  const uint32_t headerLength = fileLength < TAG_HEADER_SIZE ? fileLength : TAG_HEADER_SIZE;
  if (!readExactly(conversion.source, header, headerLength)) {
    conversion.report.outcome = PathOutcome::CannotRead;
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
  conversion.report.majorVersion = header[3];
  conversion.report.revision = header[4];
  regionLength = tagRegionLength(header, fileLength);
  conversion.before = allocateZeroed(regionLength);
  conversion.after = conversion.before == nullptr ? nullptr : allocateZeroed(regionLength);
  if (conversion.after == nullptr) {
    conversion.report.outcome = PathOutcome::NoMemory;
    return false;
  }
  std::memcpy(conversion.before, header, TAG_HEADER_SIZE);
  if (!readExactly(conversion.source, conversion.before + TAG_HEADER_SIZE,
                   regionLength - TAG_HEADER_SIZE)) {
    conversion.report.outcome = PathOutcome::CannotRead;
    return false;
  }
  return true;
}

// A backup that exists refuses the file before any work is done, and a run
// that only examines says so too.
bool backupIsPossible(Conversion &conversion) {
  char backupPath[SIBLING_PATH_SIZE];
  if (!siblingPath(conversion.path, BACKUP_SUFFIX, backupPath)) {
    conversion.report.outcome = PathOutcome::CannotBackUp;
    return false;
  }
  if (pathExists(backupPath)) {
    conversion.report.outcome = PathOutcome::BackupExists;
    return false;
  }
  return true;
}

void writeConversion(Conversion &conversion, uint32_t regionLength, uint32_t newRegionLength) {
  const NewContent content{conversion.after, newRegionLength, &conversion.source,
                           conversion.whenOpened.size - regionLength};
  conversion.report.outcome =
      writeInPlace(conversion.path, content, conversion.whenOpened, conversion.settings);
}

void convertOpenFile(Conversion &conversion, TagInspector inspect, void *context) {
  if (!queryOpenFile(conversion.source, &conversion.whenOpened)) {
    conversion.report.outcome = PathOutcome::SizeUnknown;
    return;
  }
  conversion.report.size = conversion.whenOpened.size;
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
      rewriteContent(FileImage{conversion.before, regionLength}, conversion.after);
  conversion.report.outcome = outcomeOfRewrite(rewritten.kind);
  conversion.report.reason = rewritten.reason;
  if (rewritten.kind != RewriteKind::Rewritten)
    return;
  if (rewritten.length > regionLength) {
    conversion.report.outcome = PathOutcome::Damaged; // never more than the buffer holds
    return;
  }
  conversion.report.newSize = conversion.whenOpened.size - (regionLength - rewritten.length);
  if (rewritten.length == regionLength &&
      std::memcmp(conversion.before, conversion.after, regionLength) == 0) {
    conversion.report.outcome = PathOutcome::AlreadyConverted;
    return;
  }
  if (conversion.settings.backup && !backupIsPossible(conversion))
    return;
  if (inspect != nullptr)
    inspect(context, FileImage{conversion.before, regionLength},
            FileImage{conversion.after, rewritten.length});
  if (conversion.settings.write)
    writeConversion(conversion, regionLength, rewritten.length);
}

} // namespace

bool hasTagIdentifier(const uint8_t *bytes, uint64_t length) {
  return length >= 3 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3';
}

RewriteOutcome rewriteContent(FileImage input, uint8_t *output) {
  if (input.length < TAG_HEADER_SIZE)
    return RewriteOutcome{RewriteKind::Damaged, RewriteReason::FileTooShort, 0};
  return rewriteTag(input, output);
}

bool unchangedSince(const char *path, const FileInfo &whenRead) {
  FileInfo now;
  return queryPath(path, &now) && now.size == whenRead.size &&
         now.lastWriteTime == whenRead.lastWriteTime;
}

PathOutcome writeInPlace(const char *path, NewContent content, const FileInfo &whenRead,
                         PathSettings settings) {
  char replacementPath[SIBLING_PATH_SIZE];
  char backupPath[SIBLING_PATH_SIZE];
  PathOutcome outcome = PathOutcome::CannotWrite;
  if (siblingPath(path, REPLACEMENT_SUFFIX, replacementPath) &&
      siblingPath(path, BACKUP_SUFFIX, backupPath) &&
      writeReplacement(path, replacementPath, content, whenRead, settings)) {
    // Windows does not replace a file that is still open.
    closeRest(content);
    outcome = putInPlace(path, replacementPath, backupPath, whenRead, settings);
  }
  closeRest(content);
  return outcome;
}

PathReport convertOnePath(const char *path, PathSettings settings, TagInspector inspect,
                          void *context) {
  if (!pathExists(path))
    return reportOf(PathOutcome::NotFound);
  Conversion conversion{
      path, settings, NO_FILE, FileInfo{0, 0}, nullptr, nullptr, reportOf(PathOutcome::CannotOpen)};
  conversion.source = openForReading(path);
  if (conversion.source == NO_FILE)
    return conversion.report;
  convertOpenFile(conversion, inspect, context);
  if (conversion.source != NO_FILE)
    closeFile(conversion.source);
  if (conversion.after != nullptr)
    releaseBlock(conversion.after);
  if (conversion.before != nullptr)
    releaseBlock(conversion.before);
  return conversion.report;
}
