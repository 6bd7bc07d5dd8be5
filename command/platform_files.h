// The file and memory operations the Convert command needs, as a thin layer
// over the platform: Win32 on Windows, POSIX for the native build and its
// tests. Paths are zero-terminated ANSI text.
#pragma once

#include <cstdint>

// An open file: a Win32 HANDLE or a POSIX descriptor.
typedef intptr_t FileHandle;
constexpr FileHandle NO_FILE = -1;

// What the command compares to see whether a file changed on disk.
struct FileInfo {
  uint64_t size;
  uint64_t lastWriteTime; // platform units; only compared for equality
};

// Tests can make one step fail as the platform would, to check that every
// failure leaves the user's file as it was. Nothing else sets it.
enum class FileStep {
  None,
  Open,     // openForReading
  Query,    // queryOpenFile
  Allocate, // allocateZeroed
  Read,     // readExactly
  Create,   // createReplacement
  Write,    // writeExactly
  Flush,    // flushFile
  Close,    // closeFile of the replacement
  Replace,  // replaceFile
};
extern FileStep g_failingFileStep;

inline bool stepFails(FileStep step) {
  return g_failingFileStep == step;
}

// The existence test: true when a directory search finds the path (Win32,
// where wildcards match), or when it names anything at all (POSIX, where
// wildcard characters are taken literally).
bool pathExists(const char *path);

// Opens an existing regular file to read, letting others read but not
// write it. NO_FILE for a folder, a wildcard pattern or a locked file.
FileHandle openForReading(const char *path);
bool queryOpenFile(FileHandle file, FileInfo *info);
bool queryPath(const char *path, FileInfo *info);
bool readExactly(FileHandle file, uint8_t *buffer, uint32_t length);
bool closeFile(FileHandle file);

// Zero-initialised memory for one whole file; nullptr when there is none.
uint8_t *allocateZeroed(uint32_t size);
void releaseBlock(uint8_t *block);

// Creates (or truncates) the new file that is to replace `originalPath`,
// with the original's permissions where the platform keeps them on the file.
FileHandle createReplacement(const char *path, const char *originalPath);
bool writeExactly(FileHandle file, const uint8_t *bytes, uint32_t length);
bool flushFile(FileHandle file);

// Puts `replacementPath` in the place of `path` in one step. On failure the
// original is normally untouched; `originalLost` tells the rare case where
// the platform removed it and the new content exists only under
// `replacementPath`.
bool replaceFile(const char *path, const char *replacementPath, bool *originalLost);
bool removeFile(const char *path);

// For the command line: the rest of a file copied in blocks, a kept time,
// backups.

// Copies count bytes from the current position of `from` to `to`.
bool copyFileData(FileHandle from, FileHandle to, uint64_t count);

// Sets the file's last-write time to a value FileInfo gave.
bool setLastWriteTime(FileHandle file, uint64_t lastWriteTime);

enum class BackupResult { Made, Exists, Failed };

// Keeps the content of `path` under `backupPath`, never replacing anything
// already there.
BackupResult makeBackup(const char *path, const char *backupPath);
