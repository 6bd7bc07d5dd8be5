#include "cli/run_results.h"

bool needsAttention(const PathReport &report) {
  const PathOutcome outcome = report.outcome;
  return !tagWasExamined(outcome) || outcome == PathOutcome::Unsupported ||
         outcome == PathOutcome::Damaged || report.version.leftOut.count > 0;
}

bool needsAttention(const CopyReport &copy) {
  return copy.action == CopyAction::Taken || copy.action == CopyAction::None ||
         (copy.action == CopyAction::Write && needsAttention(copy.report));
}

int exitStatus(size_t filesNeedingAttention, bool runFailed) {
  return filesNeedingAttention > 0 || runFailed ? EXIT_SOME_FAILED : EXIT_ALL_WELL;
}
