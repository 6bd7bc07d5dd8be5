// A run with --to: the copy run (library/copy_run.h) told as lines, with a
// progress line on a terminal and the exit status of what it found.
#include "cli/copy_run.h"

#include "cli/progress.h"
#include "cli/run_results.h"
#include "cli/texts.h"
#include "library/copy_run.h"

#include <chrono>
#include <string>

namespace {

struct CopyLines {
  const Catalogue &messages;
  const Options &options;
  ProgressLine progress;
  size_t needingAttention; // files that count against the exit status
};

CopyLines &linesOf(void *context) {
  return *static_cast<CopyLines *>(context);
}

void sayListingProblem(void *context, const ListingProblem &problem) {
  CopyLines &lines = linesOf(context);
  ++lines.needingAttention;
  sayLine(lines.progress, listingProblemLine(lines.messages, escapeControls(problem.shownPath),
                                             problem.problem, problem.isFolder));
}

void sayLeftover(void *context, const Leftover &leftover) {
  CopyLines &lines = linesOf(context);
  // Quiet runs tell only those left for a cause.
  if (lines.options.quiet && leftover.fate != LeftoverFate::Kept)
    return;
  sayLine(lines.progress, settledLeftoverLine(lines.messages, escapeControls(leftover.path),
                                              leftover.name, escapeControls(leftover.completedPath),
                                              leftover.fate, leftover.problem));
}

void sayRenamed(void *context, const std::string &from, const std::string &to, unsigned changes) {
  CopyLines &lines = linesOf(context);
  if (!lines.options.quiet)
    sayLine(lines.progress,
            renamedLine(lines.messages, escapeControls(from), escapeControls(to), changes));
}

void sayPlanned(void *context, const CopyRunSummary &summary) {
  CopyLines &lines = linesOf(context);
  if (lines.options.dryRun && !lines.options.quiet)
    sayLine(lines.progress, spaceLine(lines.messages, escapeControls(lines.options.to),
                                      summary.spaceNeeded, summary.spaceFree));
  if (summary.rootEntries > 0 && summary.rootEntriesFilled > summary.rootEntries) {
    clearProgress(lines.progress);
    writeError(errorLine(rootFolderFillsText(lines.messages, escapeControls(lines.options.to),
                                             summary.rootEntries, summary.rootEntriesFilled)));
  }
  lines.progress = startProgress(lines.progress.enabled); // the rate counts from the first copy
}

void sayFileDone(void *context, size_t, const ListedFile &file, const CopyReport &copy) {
  CopyLines &lines = linesOf(context);
  const bool attention = needsAttention(copy);
  lines.needingAttention += attention ? 1 : 0;
  if (lines.options.quiet && !attention)
    return;
  sayLine(lines.progress, copyLine(lines.messages, lines.options.dryRun,
                                   escapeControls(file.shownPath), copy, file.isMp3));
}

void showCopyProgress(void *context, const CopyProgress &progress) {
  CopyLines &lines = linesOf(context);
  if (!progressDue(lines.progress))
    return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - lines.progress.started)
          .count();
  showProgress(lines.progress,
               copyProgressText(lines.messages, progress.filesDone, progress.filesTotal,
                                progress.bytesDone, progress.bytesTotal, seconds));
}

void sayFilesThrough(void *context, const CopyRunSummary &summary) {
  CopyLines &lines = linesOf(context);
  clearProgress(lines.progress);
  if (lines.options.quiet)
    return;
  if (summary.marks.foldableMarks > 0)
    writeOutput(foldHintText(lines.messages, summary.marks));
  writeOutput(copySummaryLine(lines.messages, lines.options.dryRun, summary.counts));
}

// What the run found as a whole, once it returned; false when it failed as
// a whole: the destination could not be used, had no room or could not be
// flushed.
bool sayEnd(CopyLines &lines, const CopyRunSummary &summary) {
  const Catalogue &messages = lines.messages;
  const std::string shownDestination = escapeControls(lines.options.to);
  if (summary.filesListed == 0) {
    if (!lines.options.quiet)
      writeOutput(messageLine(messages, Message::NoMp3Files));
    return true;
  }
  if (summary.destinationProblem != FileProblem::None) {
    writeError(
        errorLine(destinationProblemText(messages, shownDestination, summary.destinationProblem)));
    return false;
  }
  if (summary.noSpace) {
    writeError(errorLine(
        summary.spaceNeeded > summary.spaceFree
            ? noSpaceText(messages, shownDestination, summary.spaceNeeded, summary.spaceFree)
            : noFilesText(messages, shownDestination, summary.filesNeeded, summary.filesFree)));
    return false;
  }
  if (summary.diskFull)
    writeError(errorLine(diskFullText(messages, shownDestination, summary.copiesNotWritten)));
  if (summary.recordProblem != FileProblem::None)
    writeError(errorLine(recordNotWrittenText(messages, shownDestination, summary.recordProblem)));
  if (!summary.flushed)
    return true;
  if (summary.flushProblem != FileProblem::None) {
    writeError(errorLine(flushFailedText(messages, summary.flushProblem)));
    return false;
  }
  if (!lines.options.quiet)
    writeOutput(messageLine(messages, Message::Removable));
  return true;
}

} // namespace

int copyRun(const Catalogue &messages, const Options &options, const ConsoleState &console) {
  CopyLines lines{messages, options, startProgress(console.errorIsTerminal && !options.quiet), 0};
  CopyRunSettings settings{};
  settings.sources = options.paths;
  settings.destination = options.to;
  settings.recursive = options.recursive;
  settings.allFiles = options.allFiles;
  settings.write = !options.dryRun;
  settings.rewrite = pathSettings(options, false).rewrite;
  settings.id3v1 = options.id3v1;
  CopyRunEvents events{};
  events.context = &lines;
  events.listingProblem = sayListingProblem;
  events.leftover = sayLeftover;
  events.renamed = sayRenamed;
  events.planned = sayPlanned;
  events.fileDone = sayFileDone;
  events.progress = showCopyProgress;
  events.filesThrough = sayFilesThrough;
  // No stop is asked: an interruption ends the program, removing the copy
  // under way.
  const CopyRunSummary summary = runCopies(settings, events);
  if (summary.destinationInSource != nullptr) {
    writeError(
        errorLine(destinationInSourceText(messages, escapeControls(summary.destinationInSource))));
    return EXIT_USAGE;
  }
  const bool runFailed = !sayEnd(lines, summary);
  return exitStatus(lines.needingAttention, runFailed);
}
