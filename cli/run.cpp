// The whole run: the command line, the files, one confirmation, and one
// line per file with a summary at the end.
#include "cli/cli.h"

#include "cli/console.h"
#include "cli/copy_run.h"
#include "cli/info.h"
#include "cli/options.h"
#include "cli/preview.h"
#include "cli/progress.h"
#include "cli/run_results.h"
#include "cli/texts.h"
#include "command/file_conversion.h"
#include "command/platform_files.h"
#include "library/file_list.h"

#include <cctype>
#include <string>
#include <vector>

namespace {

struct Run {
  const Catalogue *messages;
  Options options;
  ConsoleState console;
  FileList list;
  FolderChain openFolders;
  std::vector<PathReport> reports; // one per file of list.files
  RunCounts counts;
  size_t needingAttention; // files that count against the exit status
  ProgressLine progress;
  PreviewMarks marks; // what the dry run's previews marked
};

void showRunProgress(Run &run, size_t done) {
  if (progressDue(run.progress))
    showProgress(run.progress, progressText(*run.messages, done, run.list.files.size()));
}

void say(Run &run, const std::string &text) {
  sayLine(run.progress, text);
}

void reportFile(Run &run, const std::string &path, const PathReport &report) {
  ++run.counts.files;
  ++run.counts.byOutcome[static_cast<size_t>(report.outcome)];
  const bool attention = needsAttention(report);
  run.needingAttention += attention ? 1 : 0;
  if (run.options.quiet && !attention)
    return;
  say(run, outcomeLine(*run.messages, escapeControls(path), report));
}

// One listed file, looked up in its folder (opened through the folders
// above it, however deep).
PathReport convertListed(Run &run, size_t i, PathSettings settings, TagInspector inspect,
                         void *context) {
  FilePlace place;
  PathReport failure{};
  if (!placeOfListedFile(run.list, i, run.openFolders, &place, &failure))
    return failure;
  return convertFileAt(place, settings, inspect, context);
}

struct PreviewContext {
  Run *run;
  std::string text;
};

void collectPreview(void *context, FileImage before, const TagRecord &record, FileImage) {
  auto *preview = static_cast<PreviewContext *>(context);
  Run &run = *preview->run;
  preview->text = previewText(*run.messages, before, record,
                              pathSettings(run.options, false).rewrite, run.marks);
}

void reportListing(Run &run) {
  const size_t problems =
      reportListingProblems(run.list, *run.messages, run.options.quiet, run.progress);
  run.counts.files += problems;
  run.counts.byOutcome[static_cast<size_t>(PathOutcome::CannotOpen)] += problems;
  run.needingAttention += problems;
}

// "y", "yes" or "はい", in any letter case, blanks aside.
bool isYes(const std::string &answer) {
  std::string word;
  for (char c : answer) {
    if (c != ' ' && c != '\t')
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return word == "y" || word == "yes" || word == "はい";
}

int finish(Run &run) {
  clearProgress(run.progress);
  closeFolderChain(run.openFolders);
  if (run.options.dryRun && run.marks.marked && !run.options.quiet)
    writeOutput(messageLine(*run.messages, Message::MarkLegend));
  if (run.options.dryRun && run.marks.foldableMarks > 0 && !run.options.quiet)
    writeOutput(foldHintText(*run.messages, run.marks));
  if (!run.options.quiet)
    writeOutput(summaryLine(*run.messages, run.counts));
  return exitStatus(run.needingAttention, false);
}

int dryRun(Run &run) {
  const PathSettings settings = pathSettings(run.options, false);
  for (size_t i = 0; i < run.list.files.size(); ++i) {
    const std::string &path = run.list.files[i].shownPath;
    PreviewContext preview{&run, std::string()};
    const PathReport report = convertListed(run, i, settings, collectPreview, &preview);
    reportFile(run, path, report);
    if (!run.options.quiet && report.outcome == PathOutcome::WouldConvert)
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
    const bool write = !planned || run.reports[i].outcome == PathOutcome::WouldConvert;
    PathReport report = convertListed(run, i, write ? writing : examining, nullptr, nullptr);
    if (!write && report.outcome == PathOutcome::WouldConvert)
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
    if (run.reports.back().outcome == PathOutcome::WouldConvert)
      ++toConvert;
    showRunProgress(run, i + 1);
  }
  clearProgress(run.progress);
  return toConvert;
}

int confirmAndConvert(Run &run) {
  const size_t toConvert = planRun(run);
  if (toConvert > 0 && !run.console.inputIsTerminal) {
    writeError(noTerminalText(*run.messages, toConvert));
    return EXIT_USAGE;
  }
  if (toConvert > 0) {
    writeOutput(
        confirmationText(*run.messages, toConvert, run.list.files.size(), run.options.backup));
    std::string answer;
    if (!readAnswerLine(answer) || !isYes(answer)) {
      writeOutput(messageLine(*run.messages, Message::Cancelled));
      return EXIT_SOME_FAILED;
    }
  }
  run.progress = startProgress(run.progress.enabled);
  return convertFiles(run, true);
}

int runParsed(const Catalogue &messages, const ConsoleState &console, int argc, char **argv) {
  Run run{};
  run.messages = &messages;
  run.console = console;
  const ParsedCommandLine parsed = parseOptions(argc, argv, run.options);
  switch (parsed.result) {
  case ParseResult::Help:
    writeOutput(messageLine(messages, Message::Help));
    return EXIT_ALL_WELL;
  case ParseResult::Version:
    writeOutput(versionText());
    return EXIT_ALL_WELL;
  case ParseResult::UsageError:
    writeError(usageErrorText(messages, parsed));
    return EXIT_USAGE;
  case ParseResult::Run:
    break;
  }
  if (run.options.info)
    return infoRun(messages, run.options, run.console);
  installInterruptCleanup();
  if (run.options.to != nullptr)
    return copyRun(messages, run.options, run.console);
  run.progress = startProgress(run.console.errorIsTerminal && !run.options.quiet);
  collectFiles(run.options.paths, run.options.recursive, false, run.list);
  reportListing(run);
  if (run.list.files.empty()) {
    if (!run.options.quiet)
      writeOutput(messageLine(messages, Message::NoMp3Files));
    return exitStatus(run.needingAttention, false);
  }
  if (run.options.dryRun)
    return dryRun(run);
  if (run.options.yes)
    return convertFiles(run, false);
  return confirmAndConvert(run);
}

} // namespace

// The messages' language is chosen here, once, for the whole run. A report
// that could not be written fails the run, whatever it would have said.
int runCli(int argc, char **argv) {
  const ConsoleState console = openConsole();
  const Catalogue &messages = userCatalogue();
  const int status = runParsed(messages, console, argc, argv);
  if (!outputFailed())
    return status;
  writeError(errorLine(messageText(messages, Message::OutputFailed)));
  return status == EXIT_ALL_WELL ? EXIT_SOME_FAILED : status;
}
