// The whole run: the command line, the files, one confirmation, and one
// line per file with a summary at the end.
#include "cli/cli.h"

#include "cli/console.h"
#include "cli/file_list.h"
#include "cli/options.h"
#include "cli/preview.h"
#include "cli/texts.h"
#include "command/file_conversion.h"
#include "command/platform_files.h"

#include <chrono>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A progress line on a terminal, for runs long enough to want one.
constexpr auto PROGRESS_DELAY = std::chrono::seconds(1);
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

struct Progress {
  bool enabled;
  Clock::time_point started;
  Clock::time_point lastShown;
  size_t shownLength; // bytes of the line on the screen, 0 when none is
};

struct Run {
  Options options;
  ConsoleState console;
  FileList list;
  FolderChain openFolders;
  std::vector<PathReport> reports; // one per file of list.files
  RunCounts counts;
  Progress progress;
  bool marked; // the dry run marked some character
};

void clearProgress(Progress &progress) {
  if (progress.shownLength == 0)
    return;
  writeError("\r" + std::string(progress.shownLength, ' ') + "\r");
  progress.shownLength = 0;
}

void showProgress(Run &run, size_t done) {
  Progress &progress = run.progress;
  if (!progress.enabled)
    return;
  const Clock::time_point now = Clock::now();
  if (now - progress.started < PROGRESS_DELAY || now - progress.lastShown < PROGRESS_INTERVAL)
    return;
  const std::string text = progressText(run.console.japanese, done, run.list.files.size());
  clearProgress(progress);
  writeError(text);
  progress.shownLength = text.size();
  progress.lastShown = now;
}

void say(Run &run, const std::string &text) {
  clearProgress(run.progress);
  writeOutput(text);
}

void reportFile(Run &run, const std::string &path, const PathReport &report) {
  ++run.counts.files;
  ++run.counts.byOutcome[static_cast<size_t>(report.outcome)];
  if (run.options.quiet && !needsAttention(report.outcome))
    return;
  say(run, outcomeLine(run.console.japanese, run.options.dryRun, escapeControls(path), report));
}

// One listed file, looked up in its folder (opened through the folders
// above it, however deep).
PathReport convertListed(Run &run, size_t i, PathSettings settings, TagInspector inspect,
                         void *context) {
  const ListedFile &file = run.list.files[i];
  if (file.folder == NO_PARENT)
    return convertOnePath(file.name.c_str(), settings, inspect, context);
  FolderHandle folder = NO_FOLDER;
  const FileProblem problem = openListedFolder(run.list, file.folder, run.openFolders, &folder);
  if (problem != FileProblem::None)
    return PathReport{PathOutcome::CannotOpen, RewriteReason::None, problem, 0, 0, 0, 0};
  return convertFileAt(folder, file.name.c_str(), settings, inspect, context);
}

struct PreviewContext {
  Run *run;
  std::string text;
};

void collectPreview(void *context, FileImage before, FileImage) {
  auto *preview = static_cast<PreviewContext *>(context);
  preview->text = previewText(preview->run->console.japanese, before, preview->run->marked);
}

// Folders that could not be read and entries that could not be examined
// count as failed files; leftovers of interrupted runs are only pointed out.
void reportListingProblems(Run &run) {
  for (const ListingProblem &problem : run.list.problems) {
    ++run.counts.files;
    ++run.counts.byOutcome[static_cast<size_t>(PathOutcome::CannotOpen)];
    say(run, listingProblemLine(run.console.japanese, escapeControls(problem.shownPath),
                                problem.problem, problem.isFolder));
  }
  if (run.options.quiet)
    return;
  for (const std::string &path : run.list.leftovers)
    say(run, leftoverLine(run.console.japanese, escapeControls(path)));
}

int exitStatus(const Run &run) {
  for (size_t i = 0; i < sizeof run.counts.byOutcome / sizeof run.counts.byOutcome[0]; ++i) {
    if (run.counts.byOutcome[i] > 0 && needsAttention(static_cast<PathOutcome>(i)))
      return EXIT_SOME_FAILED;
  }
  return EXIT_ALL_WELL;
}

int finish(Run &run) {
  clearProgress(run.progress);
  closeFolderChain(run.openFolders);
  if (run.options.dryRun && run.marked && !run.options.quiet)
    writeOutput(markLegendText(run.console.japanese));
  if (!run.options.quiet)
    writeOutput(summaryLine(run.console.japanese, run.options.dryRun, run.counts));
  return exitStatus(run);
}

int dryRun(Run &run) {
  const PathSettings settings{false, run.options.backup, run.options.keepTime};
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    const std::string &path = run.list.files[i].shownPath;
    PreviewContext preview{&run, std::string()};
    const PathReport report = convertListed(run, i, settings, collectPreview, &preview);
    reportFile(run, path, report);
    if (!run.options.quiet && report.outcome == PathOutcome::Converted)
      say(run, preview.text);
    showProgress(run, i + 1);
  }
  return finish(run);
}

// Converts the files. With a plan, each file is examined again, so that the
// report tells its state after the question, but only those the plan found
// to need converting are written: one that needs it only now was changed
// meanwhile, and is left as it is.
int convertFiles(Run &run, bool planned) {
  const PathSettings writing{true, run.options.backup, run.options.keepTime};
  const PathSettings examining{false, run.options.backup, run.options.keepTime};
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    const bool write = !planned || run.reports[i].outcome == PathOutcome::Converted;
    PathReport report = convertListed(run, i, write ? writing : examining, nullptr, nullptr);
    if (!write && report.outcome == PathOutcome::Converted)
      report.outcome = PathOutcome::Changed;
    reportFile(run, run.list.files[i].shownPath, report);
    showProgress(run, i + 1);
  }
  return finish(run);
}

// Examines every file without writing, to say in the question how many
// files will change.
size_t planRun(Run &run) {
  const PathSettings settings{false, run.options.backup, run.options.keepTime};
  size_t toConvert = 0;
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    run.reports.push_back(convertListed(run, i, settings, nullptr, nullptr));
    if (run.reports.back().outcome == PathOutcome::Converted)
      ++toConvert;
    showProgress(run, i + 1);
  }
  clearProgress(run.progress);
  return toConvert;
}

int confirmAndConvert(Run &run) {
  const size_t toConvert = planRun(run);
  if (toConvert > 0 && !run.console.inputIsTerminal) {
    writeError(noTerminalText(run.console.japanese, toConvert));
    return EXIT_USAGE;
  }
  if (toConvert > 0) {
    writeOutput(confirmationText(run.console.japanese, toConvert, run.list.files.size(),
                                 run.options.backup));
    std::string answer;
    if (!readAnswerLine(answer) || !isYes(answer)) {
      writeOutput(cancelledText(run.console.japanese));
      return EXIT_SOME_FAILED;
    }
  }
  run.progress.started = Clock::now();
  return convertFiles(run, true);
}

int runParsed(const ConsoleState &console, int argc, char **argv) {
  Run run{};
  run.console = console;
  const bool japanese = run.console.japanese;
  const ParsedCommandLine parsed = parseOptions(argc, argv, run.options);
  switch (parsed.result) {
  case ParseResult::Help:
    writeOutput(helpText(japanese));
    return EXIT_ALL_WELL;
  case ParseResult::Version:
    writeOutput(versionText());
    return EXIT_ALL_WELL;
  case ParseResult::UsageError:
    writeError(parsed.problem == UsageProblem::NoPath
                   ? noPathText(japanese)
                   : unknownOptionText(japanese, parsed.argument));
    return EXIT_USAGE;
  case ParseResult::Run:
    break;
  }
  installInterruptCleanup();
  run.progress.enabled = run.console.errorIsTerminal && !run.options.quiet;
  run.progress.started = Clock::now();
  collectFiles(run.options.paths, run.options.recursive, run.list);
  reportListingProblems(run);
  if (run.list.files.empty()) {
    if (!run.options.quiet)
      writeOutput(noFilesText(japanese));
    return exitStatus(run);
  }
  if (run.options.dryRun)
    return dryRun(run);
  if (run.options.yes)
    return convertFiles(run, false);
  return confirmAndConvert(run);
}

} // namespace

// A report that could not be written fails the run, whatever it would have
// said.
int runCli(int argc, char **argv) {
  const ConsoleState console = openConsole();
  const int status = runParsed(console, argc, argv);
  if (!outputFailed())
    return status;
  writeError(outputFailedText(console.japanese));
  return status == EXIT_ALL_WELL ? EXIT_SOME_FAILED : status;
}
