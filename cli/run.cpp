// The whole run: the command line, the files, one confirmation, and one
// line per file with a summary at the end.
#include "cli/cli.h"

#include "cli/console.h"
#include "cli/copy_run.h"
#include "cli/file_list.h"
#include "cli/info.h"
#include "cli/options.h"
#include "cli/preview.h"
#include "cli/progress.h"
#include "cli/texts.h"
#include "command/file_conversion.h"
#include "command/platform_files.h"

#include <string>
#include <vector>

namespace {

struct Run {
  Options options;
  ConsoleState console;
  FileList list;
  FolderChain openFolders;
  std::vector<PathReport> reports; // one per file of list.files
  RunCounts counts;
  ProgressLine progress;
  PreviewMarks marks; // what the dry run's previews marked
};

void showRunProgress(Run &run, size_t done) {
  if (progressDue(run.progress))
    showProgress(run.progress, progressText(run.console.japanese, done, run.list.files.size()));
}

void say(Run &run, const std::string &text) {
  sayLine(run.progress, text);
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
  const FileProblem problem =
      openListedFolder(run.list.folders, file.folder, run.openFolders, &folder);
  if (problem != FileProblem::None)
    return PathReport{
        PathOutcome::CannotOpen, RewriteReason::None, problem, 0, 0, 0, 0, FramesLeft{}};
  return convertFileAt(folder, file.name.c_str(), settings, inspect, context);
}

struct PreviewContext {
  Run *run;
  std::string text;
};

void collectPreview(void *context, FileImage before, FileImage) {
  auto *preview = static_cast<PreviewContext *>(context);
  Run &run = *preview->run;
  preview->text = previewText(run.console.japanese, before,
                              pathSettings(run.options, false).rewrite, run.marks);
}

void reportListing(Run &run) {
  const size_t problems =
      reportListingProblems(run.list, run.console.japanese, run.options.quiet, run.progress);
  run.counts.files += problems;
  run.counts.byOutcome[static_cast<size_t>(PathOutcome::CannotOpen)] += problems;
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
  if (run.options.dryRun && run.marks.marked && !run.options.quiet)
    writeOutput(markLegendText(run.console.japanese));
  if (run.options.dryRun && run.marks.foldableMarks > 0 && !run.options.quiet)
    writeOutput(foldHintText(run.console.japanese, run.marks.foldableMarks));
  if (!run.options.quiet)
    writeOutput(summaryLine(run.console.japanese, run.options.dryRun, run.counts));
  return exitStatus(run);
}

int dryRun(Run &run) {
  const PathSettings settings = pathSettings(run.options, false);
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    const std::string &path = run.list.files[i].shownPath;
    PreviewContext preview{&run, std::string()};
    const PathReport report = convertListed(run, i, settings, collectPreview, &preview);
    reportFile(run, path, report);
    if (!run.options.quiet && report.outcome == PathOutcome::Converted)
      say(run, preview.text);
    showRunProgress(run, i + 1);
  }
  return finish(run);
}

// Converts the files. With a plan, each file is examined again, so that the
// report tells its state after the question, but only those the plan found
// to need converting are written: one that needs it only now was changed
// meanwhile, and is left as it is.
int convertFiles(Run &run, bool planned) {
  const PathSettings writing = pathSettings(run.options, true);
  const PathSettings examining = pathSettings(run.options, false);
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    const bool write = !planned || run.reports[i].outcome == PathOutcome::Converted;
    PathReport report = convertListed(run, i, write ? writing : examining, nullptr, nullptr);
    if (!write && report.outcome == PathOutcome::Converted)
      report.outcome = PathOutcome::Changed;
    reportFile(run, run.list.files[i].shownPath, report);
    showRunProgress(run, i + 1);
  }
  return finish(run);
}

// Examines every file without writing, to say in the question how many
// files will change.
size_t planRun(Run &run) {
  const PathSettings settings = pathSettings(run.options, false);
  size_t toConvert = 0;
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    run.reports.push_back(convertListed(run, i, settings, nullptr, nullptr));
    if (run.reports.back().outcome == PathOutcome::Converted)
      ++toConvert;
    showRunProgress(run, i + 1);
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
  run.progress = startProgress(run.progress.enabled);
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
    if (parsed.problem == UsageProblem::NoPath)
      writeError(noPathText(japanese));
    else if (parsed.problem == UsageProblem::UnknownOption)
      writeError(unknownOptionText(japanese, parsed.argument));
    else
      writeError(optionProblemText(japanese, parsed.problem));
    return EXIT_USAGE;
  case ParseResult::Run:
    break;
  }
  if (run.options.info)
    return infoRun(run.options, run.console);
  installInterruptCleanup();
  if (run.options.to != nullptr)
    return copyRun(run.options, run.console);
  run.progress = startProgress(run.console.errorIsTerminal && !run.options.quiet);
  collectFiles(run.options.paths, run.options.recursive, false, run.list);
  reportListing(run);
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
