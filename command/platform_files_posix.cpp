// POSIX file access, so that the command runs and is tested natively.
#include "command/file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileStep g_failingFileStep = FileStep::None;

namespace {

int descriptorOf(FileHandle file) {
  return static_cast<int>(file);
}

uint64_t lastWriteTimeOf(const struct stat &status) {
  return static_cast<uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
         static_cast<uint64_t>(status.st_mtim.tv_nsec);
}

FileInfo infoOf(const struct stat &status) {
  return FileInfo{static_cast<uint64_t>(status.st_size), lastWriteTimeOf(status)};
}

// Makes a finished rename survive a power cut: the folder entry itself must
// reach the disk.
void flushFolderOf(const char *path) {
  char folder[4096];
  const char *slash = std::strrchr(path, '/');
  if (slash == nullptr) {
    std::strcpy(folder, ".");
  } else {
    size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    if (length >= sizeof folder)
      return;
    std::memcpy(folder, path, length);
    folder[length] = '\0';
  }
  int descriptor = open(folder, O_RDONLY | O_DIRECTORY);
  if (descriptor < 0)
    return;
  fsync(descriptor);
  close(descriptor);
}

// rename() would replace a file that is read-only, or that the user may not
// write, which Windows refuses; refuse it the same way, for every user.
bool isWritable(const char *path) {
  struct stat status;
  return stat(path, &status) == 0 && (status.st_mode & 0222) != 0 && access(path, W_OK) == 0;
}

} // namespace

bool pathExists(const char *path) {
  struct stat status;
  return path[0] != '\0' && stat(path, &status) == 0;
}

FileHandle openForReading(const char *path) {
  if (stepFails(FileStep::Open))
    return NO_FILE;
  int descriptor = open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return NO_FILE;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return NO_FILE;
  }
  return descriptor;
}

bool queryOpenFile(FileHandle file, FileInfo *info) {
  struct stat status;
  if (stepFails(FileStep::Query) || fstat(descriptorOf(file), &status) != 0)
    return false;
  *info = infoOf(status);
  return true;
}

bool queryPath(const char *path, FileInfo *info) {
  struct stat status;
  if (stat(path, &status) != 0)
    return false;
  *info = infoOf(status);
  return true;
}

bool readExactly(FileHandle file, uint8_t *buffer, uint32_t length) {
  if (stepFails(FileStep::Read))
    return false;
  size_t done = 0;
  while (done < length) {
    ssize_t count = read(descriptorOf(file), buffer + done, length - done);
    if (count < 0 && errno == EINTR)
      continue;
    if (count <= 0)
      return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

bool closeFile(FileHandle file) {
  bool closed = close(descriptorOf(file)) == 0;
  return closed && !stepFails(FileStep::Close);
}

uint8_t *allocateZeroed(uint32_t size) {
  if (stepFails(FileStep::Allocate))
    return nullptr;
  return static_cast<uint8_t *>(std::calloc(size == 0 ? 1 : size, 1));
}

void releaseBlock(uint8_t *block) {
  std::free(block);
}

FileHandle createReplacement(const char *path, const char *originalPath) {
  struct stat original;
  if (stepFails(FileStep::Create) || stat(originalPath, &original) != 0)
    return NO_FILE;
  mode_t mode = original.st_mode & 07777;
  int descriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (descriptor < 0)
    return NO_FILE;
  // The umask may have narrowed the mode; the new file takes the original's.
  if (fchmod(descriptor, mode) != 0) {
    close(descriptor);
    unlink(path);
    return NO_FILE;
  }
  return descriptor;
}

bool writeExactly(FileHandle file, const uint8_t *bytes, uint32_t length) {
  if (stepFails(FileStep::Write))
    return false;
  size_t done = 0;
  while (done < length) {
    ssize_t count = write(descriptorOf(file), bytes + done, length - done);
    if (count < 0 && errno == EINTR)
      continue;
    if (count <= 0)
      return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

bool flushFile(FileHandle file) {
  return !stepFails(FileStep::Flush) && fsync(descriptorOf(file)) == 0;
}

bool replaceFile(const char *path, const char *replacementPath, bool *originalLost) {
  *originalLost = false;
  if (stepFails(FileStep::Replace) || !isWritable(path))
    return false;
  if (std::rename(replacementPath, path) != 0)
    return false;
  flushFolderOf(path);
  return true;
}

bool removeFile(const char *path) {
  return unlink(path) == 0;
}
