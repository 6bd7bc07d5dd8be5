// What a run says as it goes: a progress line on standard error, overwritten
// as the run goes on and shown only on a terminal once a run has taken a
// second, and the report lines, which clear it first.
#pragma once

#include "catalogue/catalogue.h"
#include "library/file_list.h"

#include <chrono>
#include <cstddef>
#include <string>

struct ProgressLine {
  bool enabled;
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point lastShown;
  size_t shownLength; // bytes of the line on the screen, 0 when none is
};

ProgressLine startProgress(bool enabled);
// Whether a new progress line is due now.
bool progressDue(ProgressLine &progress);
void showProgress(ProgressLine &progress, const std::string &text);
void clearProgress(ProgressLine &progress);
// A report line on standard output.
void sayLine(ProgressLine &progress, const std::string &text);

// Folders that could not be read and entries that could not be examined,
// which count as failed files (returned), and leftovers of interrupted runs
// (not shown when quiet), which are only pointed out.
size_t reportListingProblems(const FileList &list, const Catalogue &messages, bool quiet,
                             ProgressLine &progress);
