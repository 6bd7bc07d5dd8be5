// POSIX: the rest of a file copied in the kernel where it can be, times in
// nanoseconds, backups as a second name for the original's data.
#include "command/file_access.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t COPY_BLOCK_SIZE = 1 << 20;
constexpr size_t WRITE_BEHIND_CHUNK = 8 << 20;

int descriptorOf(FileHandle file) {
  return static_cast<int>(file);
}

bool copyThroughBuffer(int from, int to, uint64_t count) {
  auto *block = static_cast<uint8_t *>(std::malloc(COPY_BLOCK_SIZE));
  if (block == nullptr)
    return false;
  bool copied = true;
  while (copied && count > 0) {
    const size_t wanted = count < COPY_BLOCK_SIZE ? static_cast<size_t>(count) : COPY_BLOCK_SIZE;
    const ssize_t got = read(from, block, wanted);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0) {
      copied = false;
      break;
    }
    copied = writeExactly(to, block, static_cast<uint32_t>(got));
    count -= static_cast<uint64_t>(got);
  }
  std::free(block);
  return copied;
}

// Copies a whole file's data into a new file that no other name uses.
bool copyIntoNewFile(const char *path, const char *backupPath, BackupResult &result) {
  const int from = open(path, O_RDONLY | O_CLOEXEC);
  struct stat status;
  if (from < 0 || fstat(from, &status) != 0) {
    if (from >= 0)
      close(from);
    return false;
  }
  const int to = open(backupPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777);
  if (to < 0) {
    result = errno == EEXIST ? BackupResult::Exists : BackupResult::Failed;
    close(from);
    return false;
  }
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  bool copied = copyThroughBuffer(from, to, static_cast<uint64_t>(status.st_size)) &&
                futimens(to, times) == 0 && fsync(to) == 0;
  close(from);
  copied = close(to) == 0 && copied;
  if (!copied)
    unlink(backupPath);
  return copied;
}

} // namespace

bool copyFileData(FileHandle from, FileHandle to, uint64_t count) {
  if (stepFails(FileStep::Write))
    return false;
  const int source = descriptorOf(from);
  const int target = descriptorOf(to);
  off_t written = lseek(target, 0, SEEK_CUR);
  // copy_file_range keeps the data in the kernel; where it is not available
  // (older kernels, some file systems) the copy goes through a buffer. Each
  // chunk is sent on its way to the disk at once, so that the flush before
  // the file replaces the original waits for little more than the last one.
  while (count > 0) {
    const size_t wanted =
        count < WRITE_BEHIND_CHUNK ? static_cast<size_t>(count) : WRITE_BEHIND_CHUNK;
    const ssize_t copied = copy_file_range(source, nullptr, target, nullptr, wanted, 0);
    if (copied < 0 && errno == EINTR)
      continue;
    if (copied == 0)
      return false; // the file ended early: it changed while being copied
    if (copied < 0)
      return copyThroughBuffer(source, target, count);
    if (written >= 0)
      sync_file_range(target, written, copied, SYNC_FILE_RANGE_WRITE);
    written += copied;
    count -= static_cast<uint64_t>(copied);
  }
  return true;
}

bool setLastWriteTime(FileHandle file, uint64_t lastWriteTime) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(lastWriteTime / 1000000000u);
  times[1].tv_nsec = static_cast<long>(lastWriteTime % 1000000000u);
  return futimens(descriptorOf(file), times) == 0;
}

BackupResult makeBackup(const char *path, const char *backupPath) {
  // A second name for the original's data costs nothing and fails when the
  // name is taken; the replacement then takes the original name only.
  if (link(path, backupPath) == 0)
    return BackupResult::Made;
  if (errno == EEXIST)
    return BackupResult::Exists;
  // File systems without hard links (FAT on memory cards) get a copy.
  BackupResult result = BackupResult::Failed;
  if (copyIntoNewFile(path, backupPath, result))
    return BackupResult::Made;
  return result;
}
