// What the two platform files (platform_files_posix.cpp, _win32.cpp) and the
// part of the file layer they share (platform_files_shared.cpp) give each
// other; nothing else includes it but the tests' fault layer. The shared part keeps the list of the
// temporary files an interruption removes, makes the temporary names and
// writes in blocks; the platform files give it the single steps, each of
// which knows nothing of that list.
#pragma once

#include "command/platform_files.h"
#include "command/temporary_name.h"

#include <cstddef>
#include <cstdint>

// From the platform file.

// Eight random bytes from the system, or spread from a clock, the process
// and the attempt where the system has none to give.
void randomBytes(int attempt, uint8_t (&random)[TEMPORARY_RANDOM_LENGTH]);
// Creates the file `name` in `folder` exclusively (never opening anything
// already there), readable and writable by this user only; AlreadyExists
// when the name is taken.
FileProblem createExclusively(FolderHandle folder, const char *name, FileHandle *file);
// Writes some of `bytes`, at most `length`, and tells how many in *written;
// a write that takes none gives NoSpace.
FileProblem writeSome(FileHandle file, const uint8_t *bytes, size_t length, size_t *written);
// Closes a new file, reporting what the close finds (a deferred write that
// failed).
FileProblem closeReporting(FileHandle file);
// Removes the entry `name` this run made in `folder`; also from the handler
// of an interruption (on POSIX with calls safe in a signal handler only).
// `open` is the file while this run still holds it open (NO_FILE after),
// since Windows removes a file open without delete sharing only through its
// handle, as the handle closes. False when it could not be removed.
bool deleteCreated(FolderHandle folder, const char *name, FileHandle open);
// The temporary file, open as `file` or closed (NO_FILE), takes the name
// `name` in its folder, never replacing anything there (AlreadyExists when
// the name is taken); see placeNewFile.
FileProblem renameExclusively(const FilePlace &temporary, FileHandle file, const char *name);
// The temporary file, held open as `file`, takes the name `name` in its
// folder in place of the file there; see placeOverOwnFile.
FileProblem renameHeldOver(const FilePlace &temporary, FileHandle file, const char *name);
// The temporary file takes the place of `target` in one step; see
// replaceWithTemporary.
FileProblem renameOver(const FilePlace &target, const FilePlace &temporary, FileHandle *targetFile,
                       bool *originalLost);

// From the shared part.

// Copies length bytes of `from` from offset on to the end of `to`, through a
// buffer.
FileProblem copyThroughBuffer(FileHandle from, uint64_t offset, uint64_t length, FileHandle to);

#ifdef SORABUN_FILE_FAULTS
// What an interruption does, here and now: the tests' build makes a step
// interrupt the program (command/file_faults.h).
[[noreturn]] void interruptNow();
#endif
