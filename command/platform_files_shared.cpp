// The parts of the file layer that are the same on every platform: places,
// the temporary files (their names, their exclusive creation, and the list
// of those an interruption removes, with the handling of interruptions
// itself), and writes in blocks. Compiled with each build of the platform
// files, so that the tests' build has its fault points here too.
#include "command/platform_files_shared.h"

#include "command/fault_points.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The temporary files an interruption must remove (the new file, and a
// backup's copy while it is made): each entered once the file exists, its
// handle given up once closed, and cleared once it is placed or removed,
// with the interruptions held back meanwhile, so that the handler never
// removes anything that is not this run's. One conversion at a time per
// process.
struct PendingTemporary {
  volatile sig_atomic_t active;
  FolderHandle folder;
  FileHandle file; // NO_FILE once closed
  char name[TEMPORARY_NAME_SIZE];
};
PendingTemporary g_pendingTemporaries[2];

// Removes every pending temporary file; called by the handler of an
// interruption, with the interruptions held back.
void removePending() {
  for (const PendingTemporary &pending : g_pendingTemporaries) {
    if (pending.active != 0)
      deleteCreated(pending.folder, pending.name, pending.file);
  }
}

#ifdef _WIN32

// The console's handler runs on a thread of its own; the lock keeps it from
// acting in the middle of a step, and once it holds the lock no step starts
// again before the end.
SRWLOCK g_pendingLock = SRWLOCK_INIT;

struct InterruptionsHeld {};

InterruptionsHeld holdInterruptions() {
  AcquireSRWLockExclusive(&g_pendingLock);
  return InterruptionsHeld{};
}

void releaseInterruptions(const InterruptionsHeld &) {
  ReleaseSRWLockExclusive(&g_pendingLock);
}

[[noreturn]] void removePendingAndEnd(DWORD event) {
  AcquireSRWLockExclusive(&g_pendingLock); // held to the end: no step starts again
  removePending();
  ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? STATUS_CONTROL_C_EXIT : 1);
}

BOOL WINAPI consoleEvent(DWORD event) {
  removePendingAndEnd(event);
}

#else

constexpr int INTERRUPTIONS[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the interruptions back for the life of the record.
struct InterruptionsHeld {
  sigset_t before;
};

InterruptionsHeld holdInterruptions() {
  sigset_t held;
  sigemptyset(&held);
  for (int interruption : INTERRUPTIONS)
    sigaddset(&held, interruption);
  InterruptionsHeld state;
  sigprocmask(SIG_BLOCK, &held, &state.before);
  return state;
}

void releaseInterruptions(const InterruptionsHeld &state) {
  sigprocmask(SIG_SETMASK, &state.before, nullptr);
}

void removePendingAndEnd(int interruption) {
  removePending();
  // The handler was reset to the default action: raised again, the
  // interruption ends the program with its usual status once this returns.
  raise(interruption);
}

#endif

void enterPending(const FilePlace &temporary, FileHandle file) {
  for (PendingTemporary &pending : g_pendingTemporaries) {
    if (pending.active == 0) {
      pending.folder = temporary.folder;
      pending.file = file;
      std::memcpy(pending.name, temporary.name, sizeof pending.name);
      pending.active = 1;
      return;
    }
  }
}

void clearPending(const FilePlace &temporary) {
  for (PendingTemporary &pending : g_pendingTemporaries) {
    if (pending.active != 0 && pending.folder == temporary.folder &&
        std::strcmp(pending.name, temporary.name) == 0)
      pending.active = 0;
  }
}

// The name to try at this attempt: made from forName when given, otherwise
// random.
void temporaryName(const char *forName, int attempt, char (&name)[TEMPORARY_NAME_SIZE]) {
#ifdef SORABUN_FILE_FAULTS
  if (chosenTemporaryName(attempt, name))
    return;
#endif
  if (forName != nullptr) {
    makeTemporaryNameFor(forName, attempt, name);
    return;
  }
  uint8_t random[TEMPORARY_RANDOM_LENGTH] = {};
  randomBytes(attempt, random);
  makeTemporaryName(random, name);
}

} // namespace

bool sameFileState(const FileState &a, const FileState &b) {
  return a.volume == b.volume && a.fileIndex == b.fileIndex && a.size == b.size &&
         a.lastWriteTime == b.lastWriteTime && a.changeTime == b.changeTime &&
         a.linkCount == b.linkCount;
}

bool copyFileName(const char *name, char (&out)[NAME_BUFFER_SIZE]) {
  const size_t length = std::strlen(name);
  if (length >= sizeof out)
    return false;
  std::memcpy(out, name, length + 1);
  return true;
}

FilePlace placeInFolder(FolderHandle folder, const char *name) {
  FilePlace place{folder, false, {}};
  if (!copyFileName(name, place.name))
    place.name[0] = '\0'; // names longer than a folder entry can be do not exist
  return place;
}

void closePlace(FilePlace *place) {
  if (place->ownsFolder)
    closeFolder(place->folder);
  place->folder = NO_FOLDER;
  place->ownsFolder = false;
}

FileProblem createTemporary(FolderHandle folder, const char *forName, FilePlace *temporary,
                            FileHandle *file) {
  RETURN_INJECTED(FileStep::Create);
  *temporary = FilePlace{folder, false, {}};
  for (int attempt = 0; attempt < TEMPORARY_NAME_TRIES; ++attempt) {
    char name[TEMPORARY_NAME_SIZE];
    temporaryName(forName, attempt, name);
    std::memcpy(temporary->name, name, sizeof name);
    const InterruptionsHeld held = holdInterruptions();
    const FileProblem problem = createExclusively(folder, name, file);
    if (problem == FileProblem::None)
      enterPending(*temporary, *file);
    releaseInterruptions(held);
    if (problem != FileProblem::AlreadyExists)
      return problem;
  }
  return FileProblem::AlreadyExists;
}

FileProblem writeAll(FileHandle file, const uint8_t *bytes, uint64_t length) {
  RETURN_INJECTED(FileStep::Write);
  uint64_t done = 0;
  while (done < length) {
    const uint64_t left = length - done;
    size_t written = 0;
    const FileProblem problem =
        writeSome(file, bytes + done,
                  left < COPY_BLOCK_SIZE ? static_cast<size_t>(left) : COPY_BLOCK_SIZE, &written);
    if (problem != FileProblem::None)
      return problem;
    done += written;
  }
  return FileProblem::None;
}

FileProblem copyThroughBuffer(FileHandle from, uint64_t offset, uint64_t length, FileHandle to) {
  auto *block = static_cast<uint8_t *>(std::malloc(COPY_BLOCK_SIZE));
  if (block == nullptr)
    return FileProblem::OutOfMemory;
  FileProblem problem = FileProblem::None;
  while (problem == FileProblem::None && length > 0) {
    const auto wanted =
        static_cast<uint32_t>(length < COPY_BLOCK_SIZE ? length : uint64_t{COPY_BLOCK_SIZE});
    problem = readAt(from, offset, block, wanted);
    if (problem == FileProblem::None)
      problem = writeAll(to, block, wanted);
    offset += wanted;
    length -= wanted;
  }
  std::free(block);
  return problem;
}

FileProblem closeNewFile(FileHandle file) {
  const InterruptionsHeld held = holdInterruptions();
  const FileProblem problem = closeReporting(file);
  for (PendingTemporary &pending : g_pendingTemporaries) {
    if (pending.active != 0 && pending.file == file)
      pending.file = NO_FILE;
  }
  releaseInterruptions(held);
  RETURN_INJECTED(FileStep::Close);
  return problem;
}

bool removeCreatedFile(const FilePlace &created) {
  const InterruptionsHeld held = holdInterruptions();
  const bool removed = deleteCreated(created.folder, created.name, NO_FILE);
  clearPending(created);
  releaseInterruptions(held);
  return removed;
}

FileProblem replaceWithTemporary(const FilePlace &target, const FilePlace &temporary,
                                 FileHandle *targetFile, bool *originalLost) {
  *originalLost = false;
  RETURN_INJECTED(FileStep::Replace);
  const InterruptionsHeld held = holdInterruptions();
  const FileProblem problem = renameOver(target, temporary, targetFile, originalLost);
  // In its place, or holding the only copy of the content: either way no
  // longer a file for an interruption to remove.
  if (problem == FileProblem::None || *originalLost)
    clearPending(temporary);
  releaseInterruptions(held);
  return problem;
}

FileProblem placeNewFile(const FilePlace &temporary, FileHandle file, const char *name) {
  RETURN_INJECTED(FileStep::Place);
  const InterruptionsHeld held = holdInterruptions();
  const FileProblem problem = renameExclusively(temporary, file, name);
  if (problem == FileProblem::None)
    clearPending(temporary);
  releaseInterruptions(held);
  return problem;
}

FileProblem placeOverOwnFile(const FilePlace &temporary, FileHandle file, const char *name) {
  RETURN_INJECTED(FileStep::Place);
  const InterruptionsHeld held = holdInterruptions();
  const FileProblem problem = renameHeldOver(temporary, file, name);
  if (problem == FileProblem::None)
    clearPending(temporary);
  releaseInterruptions(held);
  return problem;
}

void installInterruptCleanup() {
#ifdef _WIN32
  SetConsoleCtrlHandler(consoleEvent, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = removePendingAndEnd;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (int interruption : INTERRUPTIONS)
    sigaddset(&action.sa_mask, interruption);
  for (int interruption : INTERRUPTIONS)
    sigaction(interruption, &action, nullptr);
#endif
}

#ifdef SORABUN_FILE_FAULTS
void interruptNow() {
#ifdef _WIN32
  removePendingAndEnd(CTRL_C_EVENT);
#else
  removePendingAndEnd(SIGINT);
  std::_Exit(128 + SIGINT); // SIGINT was ignored: end as it would have
#endif
}
#endif
