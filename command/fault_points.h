// Where the file layer may be made to fail: nothing in the shipped program;
// in the tests' build (SORABUN_FILE_FAULTS) each point returns the problem
// a test chose for that step (command/file_faults.h).
#pragma once

#ifdef SORABUN_FILE_FAULTS
#include "command/file_faults.h"
#define RETURN_INJECTED(step)                                                                      \
  do {                                                                                             \
    const FileProblem injected = injectedProblem(step);                                            \
    if (injected != FileProblem::None)                                                             \
      return injected;                                                                             \
  } while (false)
#else
#define RETURN_INJECTED(step)                                                                      \
  do {                                                                                             \
  } while (false)
#endif
