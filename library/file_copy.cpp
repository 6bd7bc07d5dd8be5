#include "library/file_copy.h"

#include <cstring>

namespace {

bool sameCopyTime(int64_t copyTime, int64_t sourceTime) {
  const int64_t difference = copyTime > sourceTime ? copyTime - sourceTime : sourceTime - copyTime;
  return difference < 2 * TIME_UNITS_PER_SECOND;
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

// The converted file, or the file as it is (one the conversion leaves as it
// is for what its tag is), copied to the target.
CopyAction copyToTarget(FileConversion &conversion, const CopyTarget &target, bool write,
                        StopPoll stop) {
  PathReport &report = conversion.report;
  const bool converted = report.outcome == PathOutcome::WouldConvert;
  if (!tagWasExamined(report.outcome))
    return CopyAction::None;
  if (!converted)
    report.newSize = conversion.whenOpened.size;
  FileProblem problem = FileProblem::None;
  const CopyAction action =
      actionAtTarget(target, report.newSize, conversion.whenOpened.lastWriteTime, &problem);
  if (action == CopyAction::None) {
    report.outcome = PathOutcome::CannotWrite;
    report.problem = problem;
  }
  if (action != CopyAction::Write || !write)
    return action;
  NewContent content{};
  if (converted) {
    content = convertedContent(conversion);
  } else {
    content.pieces[0] = filePiece(conversion.source, 0, conversion.whenOpened.size);
    content.count = 1;
  }
  const WriteResult written = writeCopy(target.folder, target.name, content, conversion.source,
                                        conversion.whenOpened, stop);
  switch (written.outcome) {
  case WriteOutcome::Written:
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
  if (openConversion(conversion, place, FileUse::Read)) {
    if (target.examineTag)
      convertOpenFile(conversion, settings.rewrite, settings.id3v1);
    else
      conversion.report.outcome = PathOutcome::NoTag; // not examined: copied as it is
    if (conversion.report.outcome == PathOutcome::WouldConvert && inspect != nullptr)
      inspect(context, FileImage{conversion.before, conversion.regionLength}, conversion.record,
              FileImage{conversion.after, conversion.newRegionLength});
    action = copyToTarget(conversion, target, settings.write, stop);
  }
  releaseConversion(conversion);
  return CopyReport{conversion.report, action};
}
