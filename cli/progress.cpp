#include "cli/progress.h"

#include "cli/console.h"
#include "cli/texts.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto PROGRESS_DELAY = std::chrono::seconds(1);
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

} // namespace

ProgressLine startProgress(bool enabled) {
  return ProgressLine{enabled, Clock::now(), Clock::time_point{}, 0};
}

bool progressDue(ProgressLine &progress) {
  if (!progress.enabled)
    return false;
  const Clock::time_point now = Clock::now();
  return now - progress.started >= PROGRESS_DELAY && now - progress.lastShown >= PROGRESS_INTERVAL;
}

void showProgress(ProgressLine &progress, const std::string &text) {
  clearProgress(progress);
  writeError(text);
  progress.shownLength = text.size();
  progress.lastShown = Clock::now();
}

void clearProgress(ProgressLine &progress) {
  if (progress.shownLength == 0)
    return;
  writeError("\r" + std::string(progress.shownLength, ' ') + "\r");
  progress.shownLength = 0;
}

void sayLine(ProgressLine &progress, const std::string &text) {
  clearProgress(progress);
  writeOutput(text);
}

size_t reportListingProblems(const FileList &list, const Catalogue &messages, bool quiet,
                             ProgressLine &progress) {
  for (const ListingProblem &problem : list.problems)
    sayLine(progress, listingProblemLine(messages, escapeControls(problem.shownPath),
                                         problem.problem, problem.isFolder));
  if (!quiet) {
    for (const std::string &path : list.leftovers)
      sayLine(progress, leftoverLine(messages, escapeControls(path)));
  }
  return list.problems.size();
}
