#include "copywin/copy_worker.h"

#include "cli/console.h"
#include "cli/texts.h"
#include "library/car_conversion.h"

#include <atomic>

struct CopyJob {
  HWND window;
  const Catalogue *messages;
  CopyRequest request;
  std::vector<const char *> sourcePointers;
  std::atomic<bool> stop;
  HANDLE thread;
  CRITICAL_SECTION lock; // guards pending and notified
  CopyUpdate pending;
  bool notified; // a WM_COPY_UPDATE is waiting to be taken
  CopyOutcome outcome;
};

namespace {

CopyJob &jobOf(void *context) {
  return *static_cast<CopyJob *>(context);
}

// Changes the pending update under the lock, and tells the window once.
template <typename Change> void update(CopyJob &job, Change change) {
  EnterCriticalSection(&job.lock);
  change(job.pending);
  const bool notify = !job.notified;
  job.notified = true;
  LeaveCriticalSection(&job.lock);
  if (notify)
    PostMessageW(job.window, WM_COPY_UPDATE, 0, 0);
}

void addLine(CopyJob &job, std::string line) {
  while (!line.empty() && line.back() == '\n')
    line.pop_back();
  update(job, [&line](CopyUpdate &pending) { pending.lines.push_back(std::move(line)); });
}

void onListingProblem(void *context, const ListingProblem &problem) {
  CopyJob &job = jobOf(context);
  addLine(job,
          listingProblemLine(*job.messages, escapeControlsKeepingBackslashes(problem.shownPath),
                             problem.problem, problem.isFolder));
}

void onLeftover(void *context, const Leftover &leftover) {
  CopyJob &job = jobOf(context);
  addLine(job, settledLeftoverLine(*job.messages, escapeControlsKeepingBackslashes(leftover.path),
                                   leftover.name,
                                   escapeControlsKeepingBackslashes(leftover.completedPath),
                                   leftover.fate, leftover.problem));
}

void onRenamed(void *context, const std::string &from, const std::string &to, unsigned changes) {
  CopyJob &job = jobOf(context);
  ++job.outcome.renamed;
  addLine(job, renamedLine(*job.messages, escapeControlsKeepingBackslashes(from),
                           escapeControlsKeepingBackslashes(to), changes));
}

void onPlanned(void *context, const CopyRunSummary &) {
  update(jobOf(context), [](CopyUpdate &pending) { pending.planned = true; });
}

void onFileDone(void *context, size_t, const ListedFile &file, const CopyReport &copy) {
  CopyJob &job = jobOf(context);
  const std::string path = escapeControlsKeepingBackslashes(file.shownPath);
  if (copy.action == CopyAction::Stopped)
    addLine(job, messageText(*job.messages, Message::WindowFileStopped, {{"path", path}}));
  else
    addLine(job, copyLine(*job.messages, !job.request.write, path, copy, file.isMp3));
}

void onProgress(void *context, const CopyProgress &progress) {
  update(jobOf(context), [&progress](CopyUpdate &pending) {
    pending.filesDone = progress.filesDone;
    pending.filesTotal = progress.filesTotal;
    pending.bytesDone = progress.bytesDone;
    pending.bytesTotal = progress.bytesTotal;
    if (progress.currentFile != nullptr)
      pending.currentFile = escapeControlsKeepingBackslashes(*progress.currentFile);
  });
}

void onFilesThrough(void *context, const CopyRunSummary &summary) {
  CopyJob &job = jobOf(context);
  addLine(job, copySummaryLine(*job.messages, !job.request.write, summary.counts));
}

bool onStopRequested(void *context) {
  return jobOf(context).stop.load();
}

DWORD WINAPI runJob(void *context) {
  CopyJob &job = jobOf(context);
  CopyRunSettings settings{};
  settings.sources = job.sourcePointers;
  settings.destination = job.request.destination.c_str();
  settings.recursive = true; // a folder is copied with its subfolders, as Explorer copies it
  settings.allFiles = job.request.allFiles;
  settings.write = job.request.write;
  // Without the car's conversion, what sorabun-cli --to converts by default.
  settings.rewrite = job.request.carConversion
                         ? CAR_CONVERSION.rewrite
                         : RewriteSettings{FrameScope::TitleFrames, TextSettings{false}};
  settings.id3v1 = job.request.carConversion && CAR_CONVERSION.id3v1;
  CopyRunEvents events{};
  events.context = &job;
  events.listingProblem = onListingProblem;
  events.leftover = onLeftover;
  events.renamed = onRenamed;
  events.planned = onPlanned;
  events.fileDone = onFileDone;
  events.progress = onProgress;
  events.filesThrough = onFilesThrough;
  events.stopRequested = onStopRequested;
  job.outcome.summary = runCopies(settings, events);
  job.outcome.shownDestination = escapeControlsKeepingBackslashes(job.request.destination);
  job.outcome.destinationInSource = job.outcome.summary.destinationInSource != nullptr;
  if (job.outcome.destinationInSource)
    job.outcome.shownSource =
        escapeControlsKeepingBackslashes(job.outcome.summary.destinationInSource);
  job.outcome.summary.destinationInSource = nullptr; // it points into the request
  PostMessageW(job.window, WM_COPY_DONE, 0, 0);
  return 0;
}

} // namespace

CopyJob *startCopy(HWND window, const Catalogue &messages, const CopyRequest &request) {
  auto *job = new CopyJob{};
  job->window = window;
  job->messages = &messages;
  job->request = request;
  for (const std::string &source : job->request.sources)
    job->sourcePointers.push_back(source.c_str());
  InitializeCriticalSection(&job->lock);
  job->thread = CreateThread(nullptr, 0, runJob, job, 0, nullptr);
  if (job->thread == nullptr) {
    DeleteCriticalSection(&job->lock);
    delete job;
    return nullptr;
  }
  return job;
}

void requestStop(CopyJob *job) {
  job->stop.store(true);
}

void takeUpdate(CopyJob *job, CopyUpdate &taken) {
  EnterCriticalSection(&job->lock);
  std::vector<std::string> lines;
  lines.swap(job->pending.lines);
  taken = job->pending;
  taken.lines = std::move(lines);
  job->notified = false;
  LeaveCriticalSection(&job->lock);
}

CopyOutcome finishCopy(CopyJob *job) {
  WaitForSingleObject(job->thread, INFINITE);
  CloseHandle(job->thread);
  DeleteCriticalSection(&job->lock);
  CopyOutcome outcome = std::move(job->outcome);
  delete job;
  return outcome;
}
