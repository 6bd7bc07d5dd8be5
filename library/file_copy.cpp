#include "library/file_copy.h"

#include "command/file_content.h"

#include <cstring>

namespace {

bool sameCopyTime(int64_t copyTime, int64_t sourceTime) {
  const int64_t difference = copyTime > sourceTime ? copyTime - sourceTime : sourceTime - copyTime;
  return difference < 2 * TIME_UNITS_PER_SECOND;
}

// Whether the file open as `file`, in `state`, is the copy the record
// knows at its name, as it was written.
bool unchangedOwnCopy(const RecordedCopy *recorded, FileHandle file, const FileState &state) {
  uint64_t hash = 0;
  return recorded != nullptr && recorded->size == state.size &&
         recorded->lastWriteTime == state.lastWriteTime &&
         hashFile(file, state.size, &hash) == FileProblem::None && hash == recorded->hash;
}

// What a copy of `content` (`size` bytes) from a source last written at
// sourceTime finds at its target. An earlier copy of this program's that is
// to be replaced gives Write with *replaces, its state in *replacing.
CopyAction actionAtTarget(const CopyTarget &target, const NewContent &content, uint64_t size,
                          int64_t sourceTime, FileState *replacing, bool *replaces,
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
  // Only a regular file is opened, to be read: one holding exactly the
  // copy's bytes is up to date whatever its time (another run made it a
  // moment ago), and one the record knows unchanged is replaced.
  FileHandle file = NO_FILE;
  FileState opened{};
  if (openEntry(target.folder, target.name, &file, &opened) != FileProblem::None)
    return CopyAction::Taken;
  CopyAction action = CopyAction::Taken;
  bool same = false;
  if (opened.size == size && holdsContent(file, content, &same) == FileProblem::None && same) {
    action = CopyAction::UpToDate;
  } else if (unchangedOwnCopy(target.recorded, file, opened)) {
    action = CopyAction::Write;
    *replacing = opened;
    *replaces = true;
  }
  closeFile(file);
  return action;
}

// What the record is to know of the copy just written at the target.
void noteCopyMade(const CopyTarget &target, const NewContent &content) {
  FileState placed{};
  uint64_t hash = 0;
  if (target.made == nullptr ||
      queryPlace(placeInFolder(target.folder, target.name), &placed) != FileProblem::None ||
      hashContent(content, &hash) != FileProblem::None)
    return;
  target.made->size = placed.size;
  target.made->lastWriteTime = placed.lastWriteTime;
  target.made->hash = hash;
}

// The converted file, or the file as it is (one the conversion leaves as it
// is for what its tag is), copied to the target.
CopyAction copyToTarget(FileConversion &conversion, const CopyTarget &target, bool write,
                        StopPoll stop, bool *replaces) {
  PathReport &report = conversion.report;
  const bool converted = report.outcome == PathOutcome::WouldConvert;
  if (!tagWasExamined(report.outcome))
    return CopyAction::None;
  if (!converted)
    report.newSize = conversion.whenOpened.size;
  NewContent content{};
  if (converted) {
    content = convertedContent(conversion);
  } else {
    content.pieces[0] = filePiece(conversion.source, 0, conversion.whenOpened.size);
    content.count = 1;
  }
  FileProblem problem = FileProblem::None;
  FileState replacing{};
  const CopyAction action =
      actionAtTarget(target, content, report.newSize, conversion.whenOpened.lastWriteTime,
                     &replacing, replaces, &problem);
  if (action == CopyAction::None) {
    report.outcome = PathOutcome::CannotWrite;
    report.problem = problem;
  }
  if (action != CopyAction::Write || !write)
    return action;
  const WriteResult written =
      writeCopy(target.folder, target.name, content, conversion.source, conversion.whenOpened, stop,
                *replaces ? &replacing : nullptr);
  switch (written.outcome) {
  case WriteOutcome::Written:
    noteCopyMade(target, content);
    return CopyAction::Write;
  case WriteOutcome::Stopped:
    return CopyAction::Stopped;
  default:
    break;
  }
  if (written.problem == FileProblem::AlreadyExists)
    return CopyAction::Taken;
  report.outcome =
      written.outcome == WriteOutcome::Changed ? PathOutcome::Changed : PathOutcome::CannotWrite;
  report.problem = written.problem;
  std::memcpy(report.leftBehind, written.leftBehind, sizeof report.leftBehind);
  return CopyAction::None;
}

} // namespace

CopyReport copyFileAt(const FilePlace &place, PathSettings settings, CopyTarget target,
                      TagInspector inspect, void *context, StopPoll stop) {
  FileConversion conversion{};
  CopyAction action = CopyAction::None;
  bool replaces = false;
  if (openConversion(conversion, place, FileUse::Read)) {
    if (target.examineTag)
      convertOpenFile(conversion, settings.rewrite, settings.id3v1);
    else
      conversion.report.outcome = PathOutcome::NoTag; // not examined: copied as it is
    if (conversion.report.outcome == PathOutcome::WouldConvert && inspect != nullptr)
      inspect(context, FileImage{conversion.before, conversion.regionLength}, conversion.record,
              FileImage{conversion.after, conversion.newRegionLength});
    action = copyToTarget(conversion, target, settings.write, stop, &replaces);
  }
  releaseConversion(conversion);
  return CopyReport{conversion.report, action, replaces && action == CopyAction::Write};
}
