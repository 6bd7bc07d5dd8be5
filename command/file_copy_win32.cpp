// Win32: the rest of a file copied through a buffer, times as FILETIME,
// backups as a copy that never replaces an existing file.
#include "command/file_access.h"

#include <windows.h>

#include <cstdlib>

namespace {

constexpr DWORD COPY_BLOCK_SIZE = 1 << 20;

HANDLE handleOf(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

} // namespace

bool copyFileData(FileHandle from, FileHandle to, uint64_t count) {
  if (stepFails(FileStep::Write))
    return false;
  auto *block = static_cast<uint8_t *>(std::malloc(COPY_BLOCK_SIZE));
  if (block == nullptr)
    return false;
  bool copied = true;
  while (copied && count > 0) {
    const DWORD wanted = count < COPY_BLOCK_SIZE ? static_cast<DWORD>(count) : COPY_BLOCK_SIZE;
    DWORD got = 0;
    if (!ReadFile(handleOf(from), block, wanted, &got, nullptr) || got == 0) {
      copied = false;
      break;
    }
    copied = writeExactly(to, block, got);
    count -= got;
  }
  std::free(block);
  return copied;
}

bool setLastWriteTime(FileHandle file, uint64_t lastWriteTime) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(lastWriteTime & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(lastWriteTime >> 32);
  return SetFileTime(handleOf(file), nullptr, nullptr, &time) != 0;
}

BackupResult makeBackup(const char *path, const char *backupPath) {
  if (CopyFileA(path, backupPath, TRUE))
    return BackupResult::Made;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? BackupResult::Exists
                                                                     : BackupResult::Failed;
}
