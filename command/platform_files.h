// The file system as the command sees it, over POSIX or Win32: open folders,
// files found by a name in a folder, the steps a write is made of (put
// together only by command/safe_write.h), and what went wrong in words the
// user understands. Paths and names are UTF-8 on every platform (on Windows a
// generalised UTF-8 that also carries unpaired surrogates, so that every
// name Windows holds comes back unchanged); POSIX takes them as bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// An open file: a Win32 HANDLE or a POSIX descriptor. Its own type, so that
// a file is never passed where a folder is meant.
enum class FileHandle : intptr_t {};
constexpr FileHandle NO_FILE = static_cast<FileHandle>(-1);

// An open folder: a POSIX descriptor, or on Windows the folder's full path
// held by the layer. Names are looked up in it, so that the depth of a folder
// does not matter.
enum class FolderHandle : intptr_t {};
constexpr FolderHandle NO_FOLDER = static_cast<FolderHandle>(-1);
extern const FolderHandle CURRENT_FOLDER; // relative paths

// Why a step failed, as the user is told.
enum class FileProblem {
  None,
  NotFound,
  NoPermission,
  InUse,          // another program holds or locks the file
  NotRegularFile, // a folder, device, FIFO or socket
  HardLinked,     // other names share the file; a new file would split them
  NoSpace,
  ReadOnlyFileSystem,
  ReadOnlyFile,
  NameTooLong,
  OwnerNotKept,      // the new file could not be given the owner or group
  AttributesNotKept, // extended attributes or ACLs could not be carried over
  AlreadyExists,     // a new file's name is taken
  OutOfMemory,
  TooManyOpenFiles,
  TooManyLinks,
  SizeChanged,
  NotAFolder,
  // A link in a sticky folder that everyone may write, made by another user
  // than the folder's owner and the one running the program: not followed
  // (the kernel's rule of fs.protected_symlinks, held here too).
  UntrustedLink,
  AppendOnlyFolder, // names may be added to the folder, but none replaced or removed
  UnknownLeftover,  // a temporary file's name, but nothing shows that this program left it
  // A folder of the library that is the folder copies go to, holds it or
  // lies within it, reached another way (a bind mount): not copied.
  HoldsDestination,
  Other,
};

// Where a file is: an open folder and the file's name in it. When the place
// opened the folder itself, closePlace closes it.
constexpr size_t NAME_BUFFER_SIZE = 1024; // 255 UTF-16 units as UTF-8, and more
struct FilePlace {
  FolderHandle folder;
  bool ownsFolder;
  char name[NAME_BUFFER_SIZE];
};

// The unit of FileState's times: nanoseconds on POSIX, 100 nanoseconds on
// Windows.
#ifdef _WIN32
constexpr int64_t TIME_UNITS_PER_SECOND = 10000000;
#else
constexpr int64_t TIME_UNITS_PER_SECOND = 1000000000;
#endif

// What tells whether a file is still the one that was read: its identity,
// size and times, read through an open handle.
struct FileState {
  uint64_t volume;    // device, or volume serial number
  uint64_t fileIndex; // inode, or file index
  uint64_t size;
  int64_t lastWriteTime; // signed: times before 1970 are kept exactly
  int64_t changeTime;    // the last change of content or metadata
  uint32_t linkCount;
};
bool sameFileState(const FileState &a, const FileState &b);

// Opens a folder: one found in a folder, never through a link; one named by
// a path relative to CURRENT_FOLDER, through links (POSIX: each judged as
// the kernel's rule for sticky folders judges it, UntrustedLink when it
// refuses one). NotFound when nothing has that name, NotAFolder when
// something else has it (a file, a path through one, or a link found in a
// folder).
FileProblem openFolder(FolderHandle parent, const char *name, FolderHandle *folder);
void closeFolder(FolderHandle folder);
// Whether `folder` is `outer` or lies anywhere below it, told by the
// folders' identities, so that links and other spellings of a path do not
// hide it.
bool folderIsWithin(FolderHandle folder, FolderHandle outer);

// The place of a path: its folder opened, its last part as the name. The
// folder is the place's own; closePlace releases it.
FileProblem placeOfPath(const char *path, FilePlace *place);
FilePlace placeInFolder(FolderHandle folder, const char *name);
void closePlace(FilePlace *place);
// A name into a place's buffer; false when it does not fit.
bool copyFileName(const char *name, char (&out)[NAME_BUFFER_SIZE]);

// The existence test: true when a directory search finds the path (Win32,
// where wildcards match), or when it names anything a link leads to (POSIX,
// where wildcard characters are taken literally).
bool pathExists(const char *path);

// What a folder entry is, told without opening it.
enum class EntryKind { Folder, LinkToFolder, File, Unexaminable };
typedef void (*EntryVisitor)(void *context, const char *name, EntryKind kind, FileProblem problem);
// Lists a folder's entries but "." and "..": files of every type, and links
// other than to folders, count as files.
FileProblem listFolder(FolderHandle folder, EntryVisitor visit, void *context);

// Opens the regular file at place for reading, without blocking on a FIFO or
// device. A symbolic link is followed: place then names the file itself.
// (POSIX: the kernel follows it, from the link's own name, once each link on
// the way has been judged as the kernel's rule for sticky folders judges it;
// UntrustedLink when it refuses one.) The state is the file's when opened.
FileProblem openSourceFile(FilePlace *place, FileHandle *file, FileState *state);
// The same for a file that is only read, never replaced (the source of a
// copy): other names (hard links) do not matter then.
FileProblem openFileToRead(FilePlace *place, FileHandle *file, FileState *state);
FileProblem queryOpenFile(FileHandle file, FileState *state);
// The state of the entry that place names now, not following a link.
FileProblem queryPlace(const FilePlace &place, FileState *state);
FileProblem readAt(FileHandle file, uint64_t offset, uint8_t *buffer, uint32_t length);
void closeFile(FileHandle file);
// An advisory lock held until the file is closed, so that two runs do not
// convert one file at once; InUse when another holds it.
FileProblem lockForConversion(FileHandle file);

// Whether the file at place, open as `file`, may be replaced: not read-only,
// and writable by this user.
FileProblem checkReplaceable(const FilePlace &place, FileHandle file);
// Whether names in the folder may be replaced and removed, told before
// anything is written there: AppendOnlyFolder for a folder that takes new
// names only (POSIX: chattr +a), where a new file could never take its
// place nor be removed again.
FileProblem checkFolderAllowsChanges(FolderHandle folder);

// The steps of a write, which command/safe_write.h puts together.
//
// Temporary files: created in a folder under a fresh name of the form
// command/temporary_name.h describes, exclusively (never opening anything
// already there), readable and writable by this user only: a random one,
// or for the new file that is to be named `forName` one made from that
// name (makeTemporaryNameFor). Until it is placed or removed, an
// interruption of the program removes it (see installInterruptCleanup).
FileProblem createTemporary(FolderHandle folder, const char *forName, FilePlace *temporary,
                            FileHandle *file);
FileProblem writeAll(FileHandle file, const uint8_t *bytes, uint64_t length);
// The block a copy through memory reads and writes at a time.
constexpr size_t COPY_BLOCK_SIZE = 1 << 20;
// Copies length bytes of `from`, starting at offset, to the end of `to`.
FileProblem copyRange(FileHandle from, uint64_t offset, uint64_t length, FileHandle to);
// Gives the new file the original's owner, group, mode, ACLs and extended
// attributes (POSIX; set-user-ID and set-group-ID bits only once the owner
// is the original's). Windows keeps them when the file is replaced.
FileProblem carryMetadata(FileHandle original, FileHandle copy);
FileProblem setLastWriteTime(FileHandle file, int64_t lastWriteTime);
FileProblem flushFile(FileHandle file);
FileProblem closeNewFile(FileHandle file); // reports what a close finds
// Copies on another disk (a memory stick): a folder made new in a folder
// (AlreadyExists when the name is taken); a copy given the source's
// permissions as a plain copy has them (POSIX: its mode less the umask,
// where the file system keeps modes); the copy's data sent to the disk
// before it is placed where each file must be flushed on its own (Windows,
// where no user can flush a whole disk), and otherwise left to
// flushFileSystem, which sends everything written there once at the end.
FileProblem createFolder(FolderHandle parent, const char *name);
FileProblem giveCopyMode(FileHandle source, FileHandle copy);
FileProblem flushCopy(FileHandle copy);
FileProblem flushFileSystem(FolderHandle folder);
// Sends the entries of a folder to the disk, so that a name given there
// survives a power cut (POSIX; on Windows the moves write through and the
// file system keeps its entries in a journal).
FileProblem flushFolder(FolderHandle folder);
// What the disk of a folder may still take.
constexpr uint64_t SPACE_UNKNOWN = UINT64_MAX;
struct DiskSpace {
  uint64_t freeBytes; // this user may still fill; SPACE_UNKNOWN where the file system does not tell
  uint64_t blockSize; // the unit a file's space is counted in (the cluster)
  uint64_t freeFiles; // files and folders that may still be made (inodes), or SPACE_UNKNOWN
  // The root folder of a FAT12 or FAT16 disk holds a fixed number of
  // entries: for that folder, where the system tells the file system, the
  // number a stick is formatted with (FAT_ROOT_ENTRIES); 0 otherwise.
  uint64_t rootEntries;
};
constexpr uint64_t FAT_ROOT_ENTRIES = 512;
FileProblem querySpace(FolderHandle folder, DiskSpace *space);
// An entry of a folder, examined before anything is opened: opened for
// reading only when it is a regular file, never through a link, never
// blocking, sharing it with every other program. The state is the file's.
FileProblem openEntry(FolderHandle folder, const char *name, FileHandle *file, FileState *state);
// An entry an interrupted run may have left in a folder (a temporary file,
// the empty file that reserved a copy's name), examined before anything is
// opened: opened only when it is a regular file with one name, and held
// (POSIX: locked) until closed; InUse when a running program holds it
// (the run that writes it). The state is the file's.
FileProblem openLeftover(FolderHandle folder, const char *name, FileHandle *file, FileState *state);
// Removes the leftover `name` open as `file`, while the name is still that
// file's; the caller closes the handle after.
FileProblem removeLeftover(FolderHandle folder, const char *name, FileHandle file);
// Gives the leftover `name` open as `file` the name `reservedName` in its
// folder, in place of the file there, open as reservedFile, while both names
// are still those files'. Both handles may be closed on the way (Windows
// renames over no file it holds); the caller closes those that are not
// NO_FILE.
FileProblem placeLeftover(FolderHandle folder, const char *name, FileHandle *file,
                          const char *reservedName, FileHandle *reservedFile);
// Removes a file this run created (a temporary file, a backup made just
// now) and no longer holds open; false when it could not be removed.
bool removeCreatedFile(const FilePlace &created);

// Puts the temporary file in the place of `target` in one step, keeping
// what the platform keeps of the original (Windows: attributes, ACL,
// streams). *targetFile, the original opened, is closed first where the
// platform replaces no open file (Windows) and stays open (and locked)
// elsewhere. originalLost tells the rare case where the platform moved the
// original away and the new content exists only under the temporary name,
// which an interruption then no longer removes.
FileProblem replaceWithTemporary(const FilePlace &target, const FilePlace &temporary,
                                 FileHandle *targetFile, bool *originalLost);
// Gives the temporary file the name `name` in its folder, never replacing
// anything there (AlreadyExists when the name is taken). `file` is the
// temporary file while this run still holds it open (and locked), NO_FILE
// once closed; a file held open is named through its handle where the
// platform renames no file held without sharing (Windows). The new entry
// reaches the disk with flushFolder or, for copies, with flushFileSystem at
// the end of the run.
//
// Where the file system has neither an exclusive rename nor hard links (FAT
// and exFAT through FUSE), the name is first reserved by an empty file made
// exclusively, which the temporary file then replaces. The temporary file
// of a copy has a name made from the copy's (createTemporary's forName), so
// that a run killed between the two steps leaves an empty file and a
// complete temporary file tied by their names, which the next run's
// clearLeftover puts together (command/safe_write.h).
FileProblem placeNewFile(const FilePlace &temporary, FileHandle file, const char *name);
// Gives the temporary file, still held open (and locked) as `file`, the
// name `name` in its folder in place of the file there, in one step: a file
// this program wrote itself (a copy its record shows unchanged, the
// record), which the caller has checked just before.
FileProblem placeOverOwnFile(const FilePlace &temporary, FileHandle file, const char *name);
// Gives the file at place the second name `name` in its folder, never
// replacing anything there (AlreadyExists when the name is taken). *linked
// is false, with nothing done, where the file system has no hard links
// (FAT) or takes no more for this file, and on Windows, whose ReplaceFileW
// is never handed a file with two names.
FileProblem linkBeside(const FilePlace &place, const char *name, bool *linked);

// Removes this run's temporary files when the program is interrupted
// (SIGINT, SIGTERM, SIGHUP; Ctrl+C or a closed console on Windows), then
// ends it with the interruption's usual status.
void installInterruptCleanup();
