// Test builds only: the file layer (and the conversion's allocation)
// compiled a second time with SORABUN_FILE_FAULTS makes one chosen step fail
// as the platform would, or interrupts the program there, and tries chosen
// temporary names first, so that tests can check that every failure and
// interruption leaves the user's file as it was and that nothing already on
// disk is ever opened. The shipped program contains none of this.
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
  Create,     // createTemporary, createFolder
  Write,      // writeAll, copyRange
  Metadata,   // carryMetadata
  Flush,      // flushFile, flushFileSystem
  Close,      // closeNewFile
  Replace,    // replaceWithTemporary
  Backup,     // linkBeside, the first step of a backup
  Place,      // placeNewFile
  // POSIX: between the reservation of a new file's name and the rename over
  // it. A fault here also makes the file system one without an exclusive
  // rename or hard links (as FAT through FUSE), so that the name is reserved.
  Reserve,
};

struct InjectedFault {
  FileStep step;
  FileProblem problem;
  int passes = 0;          // calls of that step that go through before it fails
  bool interrupts = false; // instead of failing, the step interrupts the program as Ctrl+C does
  // Called when the step is reached, before it fails or goes on (a second
  // run at work meanwhile, a kill); the step then fails with problem, or
  // goes on when problem is None.
  void (*reached)(void *context) = nullptr;
  void *context = nullptr;
};
extern InjectedFault g_injectedFault;

// Names createTemporary tries first, in order, before random ones; ends
// with nullptr. nullptr: random names only.
extern const char *const *g_temporaryNamesFirst;
// The name to try at this attempt, when the test chose one.
bool chosenTemporaryName(int attempt, char (&name)[TEMPORARY_NAME_SIZE]);

// The problem to report for this step, or None; counts the step's passes
// down.
FileProblem injectedProblem(FileStep step);
