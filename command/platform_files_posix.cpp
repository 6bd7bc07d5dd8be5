// The file layer on POSIX systems (Linux): names looked up in open folders
// (openat and its kin), nothing opened that could block or that a link could
// slip in, and the owner, mode, ACLs and extended attributes of a replaced
// file carried over to its successor.
#include "command/platform_files.h"

#include "command/fault_points.h"
#include "command/platform_files_shared.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

const FolderHandle CURRENT_FOLDER = static_cast<FolderHandle>(AT_FDCWD);

namespace {

constexpr size_t WRITE_BEHIND_CHUNK = 8 << 20;
constexpr int LINKS_FOLLOWED_AT_MOST = 40; // as the kernel's own limit

int descriptorOf(FileHandle file) {
  return static_cast<int>(file);
}

int descriptorOf(FolderHandle folder) {
  return static_cast<int>(folder);
}

FileHandle fileOf(int descriptor) {
  return static_cast<FileHandle>(descriptor);
}

FileProblem problemOf(int error) {
  switch (error) {
  case 0:
    return FileProblem::None;
  case ENOENT:
    return FileProblem::NotFound;
  case EACCES:
  case EPERM:
    return FileProblem::NoPermission;
  case EBUSY:
  case ETXTBSY:
  case EWOULDBLOCK:
    return FileProblem::InUse;
  case EISDIR:
  case ENXIO:
  case ENODEV:
    return FileProblem::NotRegularFile;
  case ENOSPC:
  case EDQUOT:
    return FileProblem::NoSpace;
  case EROFS:
    return FileProblem::ReadOnlyFileSystem;
  case ENAMETOOLONG:
    return FileProblem::NameTooLong;
  case EEXIST:
    return FileProblem::AlreadyExists;
  case ENOMEM:
    return FileProblem::OutOfMemory;
  case EMFILE: // by this program
  case ENFILE: // on the whole system
    return FileProblem::TooManyOpenFiles;
  case ELOOP:  // symbolic links in a circle, or too many in a row
  case EMLINK: // a file's hard links at their limit
    return FileProblem::TooManyLinks;
  case ENOTDIR: // a part of the path is a file
    return FileProblem::NotAFolder;
  default:
    return FileProblem::Other;
  }
}

// The problem of the call just made; read before anything else can change
// errno.
FileProblem lastProblem() {
  return problemOf(errno);
}

int64_t nanoseconds(const struct timespec &time) {
  return static_cast<int64_t>(time.tv_sec) * TIME_UNITS_PER_SECOND + time.tv_nsec;
}

FileState stateOf(const struct stat &status) {
  return FileState{static_cast<uint64_t>(status.st_dev),  static_cast<uint64_t>(status.st_ino),
                   static_cast<uint64_t>(status.st_size), nanoseconds(status.st_mtim),
                   nanoseconds(status.st_ctim),           static_cast<uint32_t>(status.st_nlink)};
}

// The kernel's rule of fs.protected_symlinks, held here as well so that it
// holds where that setting is off: a link in a sticky folder that everyone
// may write is followed only when it belongs to the folder's owner or to the
// user running the program. Anyone may put a link there; followed by
// another user, it would lead the program to that user's files.
bool mayFollow(int folder, const struct stat &link) {
  struct stat status;
  if (fstatat(folder, ".", &status, 0) != 0)
    return false;
  const mode_t shared = S_ISVTX | S_IWOTH;
  return (status.st_mode & shared) != shared || link.st_uid == status.st_uid ||
         link.st_uid == geteuid();
}

// The text of the link `name` in `folder`.
FileProblem readLink(int folder, const char *name, std::string *target) {
  char text[4096 + 1];
  const ssize_t length = readlinkat(folder, name, text, sizeof text - 1);
  if (length < 0)
    return lastProblem();
  if (static_cast<size_t>(length) >= sizeof text - 1)
    return FileProblem::NameTooLong;
  if (length == 0)
    return FileProblem::NotFound;
  target->assign(text, static_cast<size_t>(length));
  return FileProblem::None;
}

// The place of the last part of `path`, found from the folder `start` (or
// for an absolute path from the root) one folder at a time, never through a
// link that mayFollow refuses nor through more than *linksLeft links. The
// place's folder is its own unless it is `start`; its name is "." for a path
// that ends at a folder ("/", "a/.").
FileProblem findLastPart(int start, const char *path, int *linksLeft, FilePlace *place) {
  std::string rest = path;
  int current = start;
  bool owned = false;
  const auto moveTo = [&](int next) {
    if (owned)
      close(current);
    current = next;
    owned = true;
  };
  FileProblem problem = FileProblem::None;
  for (bool atRoot = rest.compare(0, 1, "/") == 0; problem == FileProblem::None;) {
    if (atRoot) {
      const int root = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (root < 0) {
        problem = lastProblem();
        break;
      }
      moveTo(root);
      atRoot = false;
    }
    const size_t partStart = rest.find_first_not_of('/');
    const size_t partEnd = rest.find('/', partStart);
    const std::string part =
        partStart == std::string::npos ? "." : rest.substr(partStart, partEnd - partStart);
    const size_t next = rest.find_first_not_of('/', partEnd);
    if (next == std::string::npos) {
      if (!copyFileName(part.c_str(), place->name)) {
        problem = FileProblem::NameTooLong;
        break;
      }
      place->folder = static_cast<FolderHandle>(current);
      place->ownsFolder = owned;
      return FileProblem::None;
    }
    rest.erase(0, next);
    if (part == ".")
      continue;
    struct stat status;
    if (part != ".." && fstatat(current, part.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(status.st_mode)) {
      std::string target;
      if (--*linksLeft < 0)
        problem = FileProblem::TooManyLinks;
      else if (!mayFollow(current, status))
        problem = FileProblem::UntrustedLink;
      else
        problem = readLink(current, part.c_str(), &target);
      atRoot = target.compare(0, 1, "/") == 0;
      rest.insert(0, target + "/");
      continue;
    }
    const int folder =
        openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
      problem = lastProblem();
    else
      moveTo(folder);
  }
  if (owned)
    close(current);
  return problem;
}

// Follows the links at place, each judged by mayFollow and at most
// *linksLeft of them, until it names something that is no link, whose
// status *status then holds; *followed tells whether there was a link
// (place then has a folder of its own).
FileProblem followLinks(FilePlace *place, int *linksLeft, struct stat *status, bool *followed) {
  *followed = false;
  for (;;) {
    const int folder = descriptorOf(place->folder);
    if (fstatat(folder, place->name, status, AT_SYMLINK_NOFOLLOW) != 0)
      return lastProblem();
    if (!S_ISLNK(status->st_mode))
      return FileProblem::None;
    if (--*linksLeft < 0)
      return FileProblem::TooManyLinks; // links in a circle, or too many in a row
    if (!mayFollow(folder, *status))
      return FileProblem::UntrustedLink;
    std::string target;
    FileProblem problem = readLink(folder, place->name, &target);
    FilePlace next{NO_FOLDER, false, {}};
    if (problem == FileProblem::None)
      problem = findLastPart(folder, target.c_str(), linksLeft, &next);
    if (problem != FileProblem::None)
      return problem;
    if (next.folder == place->folder)
      next.ownsFolder = place->ownsFolder; // a name in the same folder: it stays open
    else
      closePlace(place);
    *place = next;
    *followed = true;
  }
}

// Whether the names in a list of extended attributes include `name`.
bool listHolds(const char *list, size_t length, const char *name) {
  for (const char *entry = list; entry < list + length; entry += std::strlen(entry) + 1) {
    if (std::strcmp(entry, name) == 0)
      return true;
  }
  return false;
}

// The names of a file's extended attributes, zero-separated, in a block the
// caller frees; length 0 where the file system has none.
char *attributeNames(int file, size_t *length) {
  *length = 0;
  for (;;) {
    const ssize_t needed = flistxattr(file, nullptr, 0);
    if (needed < 0)
      return errno == ENOTSUP ? static_cast<char *>(std::calloc(1, 1)) : nullptr;
    auto *names = static_cast<char *>(std::calloc(static_cast<size_t>(needed) + 1, 1));
    if (names == nullptr)
      return nullptr;
    const ssize_t got = flistxattr(file, names, static_cast<size_t>(needed));
    if (got >= 0) {
      *length = static_cast<size_t>(got);
      return names;
    }
    std::free(names);
    if (errno != ERANGE) // ERANGE: the list grew meanwhile
      return nullptr;
  }
}

bool copyAttribute(int from, int to, const char *name) {
  for (;;) {
    const ssize_t needed = fgetxattr(from, name, nullptr, 0);
    if (needed < 0)
      return false;
    auto *value = static_cast<char *>(std::malloc(static_cast<size_t>(needed) + 1));
    if (value == nullptr)
      return false;
    const ssize_t got = fgetxattr(from, name, value, static_cast<size_t>(needed));
    const bool copied = got >= 0 && fsetxattr(to, name, value, static_cast<size_t>(got), 0) == 0;
    const int error = errno;
    std::free(value);
    if (got >= 0 || error != ERANGE)
      return copied;
  }
}

// Makes the copy's extended attributes (and so its ACL) the original's:
// each of the original's set, and any the copy was given on creation (a
// folder's default ACL) removed.
FileProblem carryAttributes(int original, int copy) {
  size_t originalLength = 0;
  size_t copyLength = 0;
  char *originalNames = attributeNames(original, &originalLength);
  char *copyNames = attributeNames(copy, &copyLength);
  bool carried = originalNames != nullptr && copyNames != nullptr;
  for (const char *name = copyNames; carried && name < copyNames + copyLength;
       name += std::strlen(name) + 1) {
    if (!listHolds(originalNames, originalLength, name))
      carried = fremovexattr(copy, name) == 0;
  }
  for (const char *name = originalNames; carried && name < originalNames + originalLength;
       name += std::strlen(name) + 1)
    carried = copyAttribute(original, copy, name);
  std::free(copyNames);
  std::free(originalNames);
  return carried ? FileProblem::None : FileProblem::AttributesNotKept;
}

} // namespace

void randomBytes(int attempt, uint8_t (&random)[TEMPORARY_RANDOM_LENGTH]) {
  if (getrandom(random, sizeof random, 0) == static_cast<ssize_t>(sizeof random))
    return;
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  spreadSeed(static_cast<uint64_t>(now.tv_nsec) ^ static_cast<uint64_t>(getpid()) << 32 ^
                 static_cast<uint64_t>(attempt) << 48,
             random);
}

FileProblem openFolder(FolderHandle parent, const char *name, FolderHandle *folder) {
  RETURN_INJECTED(FileStep::OpenFolder);
  // One found in a folder is not followed, so that a walk never leaves the
  // tree or runs in circles (a link there is no folder: ENOTDIR).
  FilePlace place{parent, false, {}};
  FileProblem problem =
      copyFileName(name, place.name) ? FileProblem::None : FileProblem::NameTooLong;
  if (parent == CURRENT_FOLDER) {
    // A folder named by the user may be a link, or lie behind links.
    int linksLeft = LINKS_FOLLOWED_AT_MOST;
    struct stat status {};
    bool followed = false;
    problem =
        name[0] == '\0' ? FileProblem::NotFound : findLastPart(AT_FDCWD, name, &linksLeft, &place);
    if (problem == FileProblem::None)
      problem = followLinks(&place, &linksLeft, &status, &followed);
    if (problem == FileProblem::None && !S_ISDIR(status.st_mode))
      problem = FileProblem::NotAFolder;
  }
  if (problem == FileProblem::None) {
    const int descriptor = openat(descriptorOf(place.folder), place.name,
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
      problem = lastProblem();
    else
      *folder = static_cast<FolderHandle>(descriptor);
  }
  closePlace(&place);
  return problem;
}

void closeFolder(FolderHandle folder) {
  if (folder != NO_FOLDER && folder != CURRENT_FOLDER)
    close(descriptorOf(folder));
}

bool folderIsWithin(FolderHandle folder, FolderHandle outer) {
  struct stat outerStatus;
  if (fstat(descriptorOf(outer), &outerStatus) != 0)
    return false;
  bool within = false;
  struct stat status;
  struct stat below = {};
  int current = fcntl(descriptorOf(folder), F_DUPFD_CLOEXEC, 0);
  // Up through "..", until the root, which names itself.
  for (bool first = true; current >= 0 && fstat(current, &status) == 0; first = false) {
    if (status.st_dev == outerStatus.st_dev && status.st_ino == outerStatus.st_ino) {
      within = true;
      break;
    }
    if (!first && status.st_dev == below.st_dev && status.st_ino == below.st_ino)
      break;
    below = status;
    const int parent = openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(current);
    current = parent;
  }
  if (current >= 0)
    close(current);
  return within;
}

FileProblem placeOfPath(const char *path, FilePlace *place) {
  *place = FilePlace{CURRENT_FOLDER, false, {}};
  const char *slash = std::strrchr(path, '/');
  if (slash == nullptr)
    return copyFileName(path, place->name) ? FileProblem::None : FileProblem::NameTooLong;
  if (!copyFileName(slash[1] == '\0' ? "." : slash + 1, place->name))
    return FileProblem::NameTooLong;
  const size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
  char *folderPath = static_cast<char *>(std::malloc(length + 1));
  if (folderPath == nullptr)
    return FileProblem::OutOfMemory;
  std::memcpy(folderPath, path, length);
  folderPath[length] = '\0';
  FolderHandle folder = NO_FOLDER;
  const FileProblem problem = openFolder(CURRENT_FOLDER, folderPath, &folder);
  std::free(folderPath);
  if (problem != FileProblem::None)
    return problem;
  place->folder = folder;
  place->ownsFolder = true;
  return FileProblem::None;
}

bool pathExists(const char *path) {
  struct stat status;
  return path[0] != '\0' && stat(path, &status) == 0;
}

FileProblem listFolder(FolderHandle folder, EntryVisitor visit, void *context) {
  const int listed = dup(descriptorOf(folder));
  DIR *directory = listed < 0 ? nullptr : fdopendir(listed);
  if (directory == nullptr) {
    const FileProblem problem = lastProblem();
    if (listed >= 0)
      close(listed);
    return problem;
  }
  rewinddir(directory); // the copy shares its place with the handle, which an earlier listing moved
  errno = 0;
  while (const dirent *entry = readdir(directory)) {
    const char *name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
      continue;
    struct stat status;
    EntryKind kind = EntryKind::File;
    FileProblem problem = FileProblem::None;
    if (fstatat(descriptorOf(folder), name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      kind = EntryKind::Unexaminable;
      problem = lastProblem();
    } else if (S_ISDIR(status.st_mode)) {
      kind = EntryKind::Folder;
    } else if (S_ISLNK(status.st_mode)) {
      struct stat target;
      if (fstatat(descriptorOf(folder), name, &target, 0) == 0 && S_ISDIR(target.st_mode))
        kind = EntryKind::LinkToFolder;
    }
    visit(context, name, kind, problem);
    errno = 0;
  }
  const FileProblem problem = lastProblem();
  closedir(directory);
  return problem;
}

namespace {

// A regular file is opened by the name it was given, the kernel following
// its links (so that its own rule for sticky folders applies too), once
// followLinks has judged each of them and found a regular file at their
// end: opening a device can act on it. The file opened must be the one
// found there, so that the place named is the file that is replaced.
FileProblem openRegularFile(FilePlace *place, FileHandle *file, FileState *state,
                            bool oneNameOnly) {
  RETURN_INJECTED(FileStep::Open);
  for (int attempt = 0; attempt < 2; ++attempt) {
    FilePlace target = placeInFolder(place->folder, place->name);
    struct stat found {};
    bool followed = false;
    int linksLeft = LINKS_FOLLOWED_AT_MOST;
    FileProblem problem = followLinks(&target, &linksLeft, &found, &followed);
    if (problem == FileProblem::None && !S_ISREG(found.st_mode))
      problem = FileProblem::NotRegularFile;
    if (problem != FileProblem::None) {
      closePlace(&target);
      return problem;
    }
    // Without blocking, in case the entry was swapped for a FIFO since it
    // was examined, and without following a link where there was none.
    const int descriptor =
        openat(descriptorOf(place->folder), place->name,
               O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followed ? 0 : O_NOFOLLOW));
    if (descriptor < 0) {
      problem = errno == ELOOP && !followed ? FileProblem::None : lastProblem();
      closePlace(&target);
      if (problem != FileProblem::None)
        return problem;
      continue; // it became a link: follow it
    }
    struct stat status;
    const int flags = fcntl(descriptor, F_GETFL);
    if (fstat(descriptor, &status) != 0 || flags < 0 ||
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)
      problem = lastProblem();
    else if (!S_ISREG(status.st_mode))
      problem = FileProblem::NotRegularFile;
    else if (status.st_dev != found.st_dev || status.st_ino != found.st_ino)
      problem = FileProblem::InUse; // another program is changing the links meanwhile
    else if (oneNameOnly && status.st_nlink > 1)
      problem = FileProblem::HardLinked;
    if (problem != FileProblem::None) {
      close(descriptor);
      closePlace(&target);
      return problem;
    }
    if (followed) {
      if (target.folder == place->folder)
        target.ownsFolder = place->ownsFolder; // a file beside the link
      else
        closePlace(place);
      *place = target;
    }
    *file = fileOf(descriptor);
    *state = stateOf(status);
    return FileProblem::None;
  }
  return FileProblem::InUse; // swapped for a link and back meanwhile
}

} // namespace

FileProblem openSourceFile(FilePlace *place, FileHandle *file, FileState *state) {
  return openRegularFile(place, file, state, true);
}

FileProblem openFileToRead(FilePlace *place, FileHandle *file, FileState *state) {
  return openRegularFile(place, file, state, false);
}

FileProblem queryOpenFile(FileHandle file, FileState *state) {
  RETURN_INJECTED(FileStep::Query);
  struct stat status;
  if (fstat(descriptorOf(file), &status) != 0)
    return lastProblem();
  *state = stateOf(status);
  return FileProblem::None;
}

FileProblem queryPlace(const FilePlace &place, FileState *state) {
  struct stat status;
  if (fstatat(descriptorOf(place.folder), place.name, &status, AT_SYMLINK_NOFOLLOW) != 0)
    return lastProblem();
  *state = stateOf(status);
  return FileProblem::None;
}

FileProblem readAt(FileHandle file, uint64_t offset, uint8_t *buffer, uint32_t length) {
  RETURN_INJECTED(FileStep::Read);
  size_t done = 0;
  while (done < length) {
    const ssize_t count =
        pread(descriptorOf(file), buffer + done, length - done, static_cast<off_t>(offset + done));
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      return lastProblem();
    if (count == 0)
      return FileProblem::SizeChanged; // the file ended early: it shrank meanwhile
    done += static_cast<size_t>(count);
  }
  return FileProblem::None;
}

void closeFile(FileHandle file) {
  close(descriptorOf(file));
}

FileProblem lockForConversion(FileHandle file) {
  RETURN_INJECTED(FileStep::Lock);
  while (flock(descriptorOf(file), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR)
      return errno == ENOLCK ? FileProblem::None : lastProblem(); // no locks here: go on
  }
  return FileProblem::None;
}

FileProblem checkReplaceable(const FilePlace &place, FileHandle file) {
  struct stat status;
  if (fstat(descriptorOf(file), &status) != 0)
    return lastProblem();
  // rename() would replace a file that is read-only, or that the user may
  // not write, which Windows refuses; refuse it the same way, for every user.
  if ((status.st_mode & 0222) == 0)
    return FileProblem::ReadOnlyFile;
  if (faccessat(descriptorOf(place.folder), place.name, W_OK, AT_EACCESS) != 0)
    return lastProblem();
  return FileProblem::None;
}

FileProblem checkFolderAllowsChanges(FolderHandle folder) {
  const int descriptor = folder == CURRENT_FOLDER ? open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                                  : descriptorOf(folder);
  if (descriptor < 0)
    return lastProblem();
  // The kernel takes an int, whatever the request's declared type says.
  int flags = 0;
  const bool known = ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
  if (folder == CURRENT_FOLDER)
    close(descriptor);
  // Where the file system keeps no such flags (ENOTTY), nothing forbids it.
  return known && (flags & FS_APPEND_FL) != 0 ? FileProblem::AppendOnlyFolder : FileProblem::None;
}

FileProblem createExclusively(FolderHandle folder, const char *name, FileHandle *file) {
  const int descriptor =
      openat(descriptorOf(folder), name,
             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
  if (descriptor < 0)
    return lastProblem();
  *file = fileOf(descriptor);
  return FileProblem::None;
}

FileProblem writeSome(FileHandle file, const uint8_t *bytes, size_t length, size_t *written) {
  for (;;) {
    const ssize_t count = write(descriptorOf(file), bytes, length);
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      return lastProblem();
    if (count == 0)
      return FileProblem::NoSpace;
    *written = static_cast<size_t>(count);
    return FileProblem::None;
  }
}

FileProblem copyRange(FileHandle from, uint64_t offset, uint64_t length, FileHandle to) {
  RETURN_INJECTED(FileStep::Write);
  const int source = descriptorOf(from);
  const int target = descriptorOf(to);
  off_t written = lseek(target, 0, SEEK_CUR);
  auto position = static_cast<off_t>(offset);
  // copy_file_range keeps the data in the kernel; where it is not available
  // (older kernels, some file systems) the copy goes through a buffer. Each
  // chunk is sent on its way to the disk at once, so that the flush before
  // the file replaces the original waits for little more than the last one.
  while (length > 0) {
    const size_t wanted =
        length < WRITE_BEHIND_CHUNK ? static_cast<size_t>(length) : WRITE_BEHIND_CHUNK;
    const ssize_t copied = copy_file_range(source, &position, target, nullptr, wanted, 0);
    if (copied < 0 && errno == EINTR)
      continue;
    if (copied == 0)
      return FileProblem::SizeChanged; // the file ended early: it changed while being copied
    if (copied < 0) {
      if (errno == ENOSPC || errno == EDQUOT || errno == EIO || errno == EBADF)
        return lastProblem();
      return copyThroughBuffer(from, static_cast<uint64_t>(position), length, to);
    }
    // Only a start: what fails on the way comes back from the flush.
    if (written >= 0)
      sync_file_range(target, written, copied, SYNC_FILE_RANGE_WRITE);
    written += copied;
    length -= static_cast<uint64_t>(copied);
  }
  return FileProblem::None;
}

FileProblem carryMetadata(FileHandle original, FileHandle copy) {
  RETURN_INJECTED(FileStep::Metadata);
  struct stat status;
  struct stat copyStatus;
  if (fstat(descriptorOf(original), &status) != 0 || fstat(descriptorOf(copy), &copyStatus) != 0)
    return lastProblem();
  // Only the superuser gives a file away; anyone else converts only their
  // own files, with a group they belong to.
  if (status.st_uid != copyStatus.st_uid || status.st_gid != copyStatus.st_gid) {
    if (fchown(descriptorOf(copy), status.st_uid, status.st_gid) != 0)
      return FileProblem::OwnerNotKept;
  }
  const FileProblem attributes = carryAttributes(descriptorOf(original), descriptorOf(copy));
  if (attributes != FileProblem::None)
    return attributes;
  // Last, once the owner is right: set-user-ID and set-group-ID bits are
  // given only to the original's owner. With an ACL, the group bits are its
  // mask, as they were on the original.
  if (fchmod(descriptorOf(copy), status.st_mode & 07777) != 0)
    return FileProblem::AttributesNotKept;
  return FileProblem::None;
}

FileProblem setLastWriteTime(FileHandle file, int64_t lastWriteTime) {
  // The access time as it is, given rather than left out (UTIME_OMIT):
  // fusefat ignores a change of times that leaves one out.
  struct stat status;
  if (fstat(descriptorOf(file), &status) != 0)
    return lastProblem();
  struct timespec times[2];
  times[0] = status.st_atim;
  // Rounded down, so that times before 1970 keep their value.
  int64_t seconds = lastWriteTime / TIME_UNITS_PER_SECOND;
  int64_t rest = lastWriteTime % TIME_UNITS_PER_SECOND;
  if (rest < 0) {
    rest += TIME_UNITS_PER_SECOND;
    seconds -= 1;
  }
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = static_cast<long>(rest);
  return futimens(descriptorOf(file), times) == 0 ? FileProblem::None : lastProblem();
}

FileProblem flushFile(FileHandle file) {
  RETURN_INJECTED(FileStep::Flush);
  return fsync(descriptorOf(file)) == 0 ? FileProblem::None : lastProblem();
}

FileProblem closeReporting(FileHandle file) {
  return close(descriptorOf(file)) == 0 ? FileProblem::None : lastProblem();
}

FileProblem createFolder(FolderHandle parent, const char *name) {
  RETURN_INJECTED(FileStep::Create);
  return mkdirat(descriptorOf(parent), name, 0777) == 0 ? FileProblem::None : lastProblem();
}

FileProblem giveCopyMode(FileHandle source, FileHandle copy) {
  struct stat status;
  if (fstat(descriptorOf(source), &status) != 0)
    return lastProblem();
  const mode_t mask = umask(0);
  umask(mask);
  // FAT and exFAT keep no modes: they refuse most changes (some drivers
  // in user space any), and that is no loss for a copy.
  if (fchmod(descriptorOf(copy), status.st_mode & 0777 & ~mask) != 0 && errno != EPERM &&
      errno != ENOTSUP && errno != ENOSYS)
    return lastProblem();
  return FileProblem::None;
}

FileProblem flushCopy(FileHandle) {
  return FileProblem::None; // flushFileSystem sends them all at once
}

FileProblem flushFileSystem(FolderHandle folder) {
  RETURN_INJECTED(FileStep::Flush);
  const int descriptor = folder == CURRENT_FOLDER ? open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                                  : descriptorOf(folder);
  const bool flushed = descriptor >= 0 && syncfs(descriptor) == 0;
  const FileProblem problem = flushed ? FileProblem::None : lastProblem();
  if (folder == CURRENT_FOLDER && descriptor >= 0)
    close(descriptor);
  return problem;
}

FileProblem flushFolder(FolderHandle folder) {
  const int descriptor = folder == CURRENT_FOLDER ? open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                                  : descriptorOf(folder);
  FileProblem problem = FileProblem::None;
  // EINVAL: a file system that flushes no folder on its own (some network
  // file systems); its entries reach the disk with its own writes.
  if (descriptor < 0 || fsync(descriptor) != 0)
    problem = errno == EINVAL ? FileProblem::None : lastProblem();
  if (folder == CURRENT_FOLDER && descriptor >= 0)
    close(descriptor);
  return problem;
}

FileProblem querySpace(FolderHandle folder, DiskSpace *space) {
  const int descriptor = folder == CURRENT_FOLDER ? open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                                  : descriptorOf(folder);
  struct statvfs status {};
  struct statfs system {};
  struct stat self {};
  struct stat parent {};
  FileProblem problem = FileProblem::None;
  if (descriptor < 0 || fstatvfs(descriptor, &status) != 0)
    problem = lastProblem();
  // The kernel's FAT driver: FAT12 and FAT16 count fewer clusters than
  // 65525. The root is the folder whose ".." is itself or on another disk.
  const bool fixedRoot = problem == FileProblem::None && fstatfs(descriptor, &system) == 0 &&
                         system.f_type == MSDOS_SUPER_MAGIC && system.f_blocks < 65525 &&
                         fstat(descriptor, &self) == 0 &&
                         fstatat(descriptor, "..", &parent, 0) == 0 &&
                         (parent.st_dev != self.st_dev || parent.st_ino == self.st_ino);
  if (folder == CURRENT_FOLDER && descriptor >= 0)
    close(descriptor);
  if (problem != FileProblem::None)
    return problem;
  // Some file systems in user space (fusefat) give no sizes at all, and
  // FAT no count of files.
  space->freeBytes = status.f_blocks == 0
                         ? SPACE_UNKNOWN
                         : static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
  space->blockSize = status.f_frsize;
  space->freeFiles = status.f_files == 0 ? SPACE_UNKNOWN : status.f_favail;
  space->rootEntries = fixedRoot ? FAT_ROOT_ENTRIES : 0;
  return FileProblem::None;
}

FileProblem openEntry(FolderHandle folder, const char *name, FileHandle *file, FileState *state) {
  const int folderDescriptor = descriptorOf(folder);
  // Examined first: nothing but a regular file is opened at all.
  struct stat found;
  if (fstatat(folderDescriptor, name, &found, AT_SYMLINK_NOFOLLOW) != 0)
    return lastProblem();
  if (!S_ISREG(found.st_mode))
    return FileProblem::NotRegularFile;
  const int descriptor =
      openat(folderDescriptor, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0)
    return errno == ELOOP ? FileProblem::NotRegularFile : lastProblem();
  struct stat status;
  FileProblem problem = FileProblem::None;
  if (fstat(descriptor, &status) != 0)
    problem = lastProblem();
  else if (status.st_dev != found.st_dev || status.st_ino != found.st_ino)
    problem = FileProblem::InUse; // replaced meanwhile
  if (problem != FileProblem::None) {
    close(descriptor);
    return problem;
  }
  *file = fileOf(descriptor);
  *state = stateOf(status);
  return FileProblem::None;
}

FileProblem openLeftover(FolderHandle folder, const char *name, FileHandle *file,
                         FileState *state) {
  FileProblem problem = openEntry(folder, name, file, state);
  if (problem != FileProblem::None)
    return problem;
  // InUse when a run holds its lock: the run that writes a temporary file
  // holds it (lockForConversion) until the file has its name.
  if (state->linkCount > 1)
    problem = FileProblem::HardLinked;
  else if (flock(descriptorOf(*file), LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK)
    problem = FileProblem::InUse;
  if (problem != FileProblem::None) {
    close(descriptorOf(*file));
    *file = NO_FILE;
  }
  return problem;
}

namespace {

// Whether the entry `name` in `folder` is still the file open as `file`.
bool stillNames(int folder, const char *name, FileHandle file) {
  struct stat named;
  struct stat open;
  return fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         fstat(descriptorOf(file), &open) == 0 && named.st_dev == open.st_dev &&
         named.st_ino == open.st_ino;
}

} // namespace

FileProblem removeLeftover(FolderHandle folder, const char *name, FileHandle file) {
  const int folderDescriptor = descriptorOf(folder);
  if (!stillNames(folderDescriptor, name, file))
    return FileProblem::InUse; // replaced meanwhile: another run is at work
  return unlinkat(folderDescriptor, name, 0) == 0 ? FileProblem::None : lastProblem();
}

FileProblem placeLeftover(FolderHandle folder, const char *name, FileHandle *file,
                          const char *reservedName, FileHandle *reservedFile) {
  const int folderDescriptor = descriptorOf(folder);
  if (!stillNames(folderDescriptor, name, *file) ||
      !stillNames(folderDescriptor, reservedName, *reservedFile))
    return FileProblem::InUse;
  return renameat(folderDescriptor, name, folderDescriptor, reservedName) == 0 ? FileProblem::None
                                                                               : lastProblem();
}

bool deleteCreated(FolderHandle folder, const char *name, FileHandle) {
  return unlinkat(descriptorOf(folder), name, 0) == 0 || errno == ENOENT; // gone is removed
}

FileProblem renameOver(const FilePlace &target, const FilePlace &temporary, FileHandle *,
                       bool *originalLost) {
  *originalLost = false; // a rename replaces the file in one step, or not at all
  return renameat(descriptorOf(temporary.folder), temporary.name, descriptorOf(target.folder),
                  target.name) == 0
             ? FileProblem::None
             : lastProblem();
}

FileProblem renameHeldOver(const FilePlace &temporary, FileHandle, const char *name) {
  const int folder = descriptorOf(temporary.folder);
  return renameat(folder, temporary.name, folder, name) == 0 ? FileProblem::None : lastProblem();
}

FileProblem renameExclusively(const FilePlace &temporary, FileHandle, const char *name) {
  const int folder = descriptorOf(temporary.folder);
  bool reserve = false;
#ifdef SORABUN_FILE_FAULTS
  reserve = g_injectedFault.step == FileStep::Reserve; // as on FAT through FUSE
#endif
  if (!reserve) {
    if (renameat2(folder, temporary.name, folder, name, RENAME_NOREPLACE) == 0)
      return FileProblem::None;
    if (errno != EINVAL && errno != ENOSYS)
      return lastProblem();
    // File systems without an exclusive rename: a second name, which fails
    // when the name is taken, then the temporary name goes.
    if (linkat(folder, temporary.name, folder, name, 0) == 0) {
      unlinkat(folder, temporary.name, 0);
      return FileProblem::None;
    }
    if (errno != EPERM && errno != ENOTSUP)
      return lastProblem();
  }
  // Nor hard links (FAT through FUSE): the name is taken first by an empty
  // file made exclusively, this run's own, which the rename then replaces.
  // A kill in between leaves it empty beside the complete temporary file,
  // whose name is made from it (see placeNewFile).
  const int reserved =
      openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (reserved < 0)
    return lastProblem();
  close(reserved);
  FileProblem problem = FileProblem::None;
#ifdef SORABUN_FILE_FAULTS
  problem = injectedProblem(FileStep::Reserve);
#endif
  if (problem == FileProblem::None && renameat(folder, temporary.name, folder, name) == 0)
    return FileProblem::None;
  if (problem == FileProblem::None)
    problem = lastProblem();
  unlinkat(folder, name, 0);
  return problem;
}

FileProblem linkBeside(const FilePlace &place, const char *name, bool *linked) {
  *linked = false;
  RETURN_INJECTED(FileStep::Backup);
  const int folder = descriptorOf(place.folder);
  if (linkat(folder, place.name, folder, name, 0) == 0) {
    *linked = true;
    return FileProblem::None;
  }
  // No hard links on this file system (FAT on memory cards), or no more for
  // this file: nothing is done.
  if (errno == EPERM || errno == ENOTSUP || errno == EMLINK || errno == EXDEV)
    return FileProblem::None;
  return lastProblem();
}
