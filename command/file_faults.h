// Test builds only: the file layer compiled a second time with
// SORABUN_FILE_FAULTS makes one chosen step fail as the platform would, and
// tries chosen temporary names first, so that tests can check that every
// failure leaves the user's file as it was and that nothing already on disk
// is ever opened. The shipped program contains none of this.
#pragma once

#include "command/platform_files.h"
#include "command/temporary_name.h"

enum class FileStep {
  None,
  OpenFolder, // openFolder, placeOfPath
  Open,       // openSourceFile
  Query,      // queryOpenFile
  Lock,       // lockForConversion
  Allocate,   // allocateZeroed
  Read,       // readAt
  Create,     // createTemporary
  Write,      // writeAll, copyRange
  Metadata,   // carryMetadata
  Flush,      // flushFile
  Close,      // closeNewFile
  Replace,    // replaceWithTemporary
  Backup,     // makeBackup
};

struct InjectedFault {
  FileStep step;
  FileProblem problem;
};
extern InjectedFault g_injectedFault;

// Names createTemporary tries first, in order, before random ones; ends
// with nullptr. nullptr: random names only.
extern const char *const *g_temporaryNamesFirst;
// The name to try at this attempt, when the test chose one.
bool chosenTemporaryName(int attempt, char (&name)[TEMPORARY_NAME_SIZE]);

// The problem to report for this step, or None.
FileProblem injectedProblem(FileStep step);
