// The copy run of the window, on a worker thread: the library's runCopies
// (the very run of sorabun-cli --to), its events composed into the lines
// the command line writes and handed to the window through posted messages,
// so that the window stays responsive and the run never waits for it.
#pragma once

#include "catalogue/catalogue.h"
#include "library/copy_run.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Posted to the window: there are new lines or progress to take
// (takeUpdate); at most one is waiting at a time.
constexpr UINT WM_COPY_UPDATE = WM_APP + 1;
// Posted once the run returned (the flush included): take the last update,
// then finishCopy.
constexpr UINT WM_COPY_DONE = WM_APP + 2;

struct CopyRequest {
  std::vector<std::string> sources; // UTF-8
  std::string destination;          // UTF-8
  bool carConversion;               // CAR_CONVERSION; otherwise titles, artists and albums only
  bool allFiles;
  bool write; // false: 確認, a dry run
};

struct CopyUpdate {
  std::vector<std::string> lines; // the results' new lines, as shown
  bool planned;                   // every file is examined: the copies are being written
  size_t filesDone;
  size_t filesTotal;
  uint64_t bytesDone;
  uint64_t bytesTotal;
  std::string currentFile;
};

// What the run found as a whole.
struct CopyOutcome {
  CopyRunSummary summary;
  bool destinationInSource;     // the run did nothing
  std::string shownDestination; // as the line texts show it
  std::string shownSource;      // the source that holds the destination
  size_t renamed;               // folders and files whose copies are named otherwise
};

struct CopyJob;

// Starts the run; nullptr when no thread could be made.
CopyJob *startCopy(HWND window, const Catalogue &messages, const CopyRequest &request);
// The run stops after the file being written (whose unfinished copy is
// removed); the copies made stay, and are flushed.
void requestStop(CopyJob *job);
// Moves the lines and progress gathered since the last call into update.
void takeUpdate(CopyJob *job, CopyUpdate &update);
// After WM_COPY_DONE: waits for the thread and frees the job.
CopyOutcome finishCopy(CopyJob *job);
