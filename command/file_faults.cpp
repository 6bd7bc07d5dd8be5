// Compiled into the test build of the file layer only.
#include "command/file_faults.h"

#include "command/platform_files_shared.h"

#include <cstring>

InjectedFault g_injectedFault = {FileStep::None, FileProblem::None};
const char *const *g_temporaryNamesFirst = nullptr;

FileProblem injectedProblem(FileStep step) {
  if (g_injectedFault.step != step)
    return FileProblem::None;
  if (g_injectedFault.passes > 0) {
    --g_injectedFault.passes;
    return FileProblem::None;
  }
  if (g_injectedFault.reached != nullptr) {
    void (*reached)(void *) = g_injectedFault.reached;
    g_injectedFault.reached = nullptr; // once: the step may be reached again from within
    reached(g_injectedFault.context);
  }
  if (g_injectedFault.interrupts)
    interruptNow();
  return g_injectedFault.problem;
}

bool chosenTemporaryName(int attempt, char (&name)[TEMPORARY_NAME_SIZE]) {
  for (int i = 0; g_temporaryNamesFirst != nullptr && g_temporaryNamesFirst[i] != nullptr; ++i) {
    if (i == attempt && std::strlen(g_temporaryNamesFirst[i]) < sizeof name) {
      std::strcpy(name, g_temporaryNamesFirst[i]);
      return true;
    }
  }
  return false;
}
