// Win32 file access through the ANSI functions, so that paths are taken in
// the active code page as the path field holds them.
#include "command/file_access.h"

#include <windows.h>

FileStep g_failingFileStep = FileStep::None;

namespace {

HANDLE handleOf(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

FileHandle fileHandleOf(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(handle);
}

uint64_t joinHalves(DWORD high, DWORD low) {
  return (static_cast<uint64_t>(high) << 32) | low;
}

uint64_t timeValue(const FILETIME &time) {
  return joinHalves(time.dwHighDateTime, time.dwLowDateTime);
}

bool isReadOnly(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

} // namespace

bool pathExists(const char *path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  return true;
}

FileHandle openForReading(const char *path) {
  if (stepFails(FileStep::Open))
    return NO_FILE;
  return fileHandleOf(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool queryOpenFile(FileHandle file, FileInfo *info) {
  if (stepFails(FileStep::Query))
    return false;
  DWORD high = 0;
  SetLastError(NO_ERROR); // a size whose low half is INVALID_FILE_SIZE is valid
  DWORD low = GetFileSize(handleOf(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return false;
  FILETIME written;
  if (!GetFileTime(handleOf(file), nullptr, nullptr, &written))
    return false;
  *info = FileInfo{joinHalves(high, low), timeValue(written)};
  return true;
}

bool queryPath(const char *path, FileInfo *info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
    return false;
  *info =
      FileInfo{joinHalves(data.nFileSizeHigh, data.nFileSizeLow), timeValue(data.ftLastWriteTime)};
  return true;
}

bool readExactly(FileHandle file, uint8_t *buffer, uint32_t length) {
  if (stepFails(FileStep::Read))
    return false;
  uint32_t done = 0;
  while (done < length) {
    DWORD count = 0;
    if (!ReadFile(handleOf(file), buffer + done, length - done, &count, nullptr) || count == 0)
      return false;
    done += count;
  }
  return true;
}

bool closeFile(FileHandle file) {
  bool closed = CloseHandle(handleOf(file)) != 0;
  return closed && !stepFails(FileStep::Close);
}

uint8_t *allocateZeroed(uint32_t size) {
  if (stepFails(FileStep::Allocate))
    return nullptr;
  return static_cast<uint8_t *>(GlobalAlloc(GPTR, size == 0 ? 1 : size));
}

void releaseBlock(uint8_t *block) {
  GlobalFree(block);
}

FileHandle createReplacement(const char *path, const char *) {
  if (stepFails(FileStep::Create))
    return NO_FILE;
  return fileHandleOf(
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool writeExactly(FileHandle file, const uint8_t *bytes, uint32_t length) {
  if (stepFails(FileStep::Write))
    return false;
  uint32_t done = 0;
  while (done < length) {
    DWORD count = 0;
    if (!WriteFile(handleOf(file), bytes + done, length - done, &count, nullptr) || count == 0)
      return false;
    done += count;
  }
  return true;
}

bool flushFile(FileHandle file) {
  return !stepFails(FileStep::Flush) && FlushFileBuffers(handleOf(file)) != 0;
}

bool replaceFile(const char *path, const char *replacementPath, bool *originalLost) {
  *originalLost = false;
  // A read-only file is the user's wish not to have it changed; a rename
  // would not always honour it.
  if (stepFails(FileStep::Replace) || isReadOnly(path))
    return false;
  // ReplaceFileA keeps the original's attributes, security and creation
  // time; where it cannot be used (some network and older file systems) a
  // plain replacing move still puts the new content in place.
  if (ReplaceFileA(path, replacementPath, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                   nullptr))
    return true;
  if (MoveFileExA(replacementPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  // ReplaceFileA can fail after it has already moved the original away;
  // then the replacement holds the only copy of the content.
  *originalLost = !pathExists(path);
  return false;
}

bool removeFile(const char *path) {
  return DeleteFileA(path) != 0;
}
