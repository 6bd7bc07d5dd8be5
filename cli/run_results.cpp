#include "cli/run_results.h"

bool needsAttention(PathOutcome outcome) {
  return !tagWasExamined(outcome) || outcome == PathOutcome::Unsupported ||
         outcome == PathOutcome::Damaged;
}

bool needsAttention(const CopyReport &copy) {
  return copy.action == CopyAction::Taken || copy.action == CopyAction::None ||
         (copy.action == CopyAction::Write && needsAttention(copy.report.outcome));
}

int exitStatus(size_t filesNeedingAttention, bool runFailed) {
  return filesNeedingAttention > 0 || runFailed ? EXIT_SOME_FAILED : EXIT_ALL_WELL;
}
