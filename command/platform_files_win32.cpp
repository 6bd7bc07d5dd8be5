// The file layer on Windows: UTF-16 throughout through the W functions, on
// full paths with the \\?\ prefix so that no length limit applies; names
// come and go as the layer's generalised UTF-8, so that every name Windows
// can hold (unpaired surrogates included) comes back unchanged. Replacing a
// file goes through ReplaceFileW, which keeps the original's attributes,
// ACL, streams and creation time.
#include "command/platform_files.h"

#include "command/fault_points.h"
#include "command/platform_files_shared.h"
#include "command/wide_text.h"

#include <windows.h>

#include <cstring>
#include <string>

// The random bytes of advapi32, which every Windows has (RtlGenRandom).
extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buffer, ULONG length);

const FolderHandle CURRENT_FOLDER = static_cast<FolderHandle>(0);

namespace {

constexpr wchar_t LONG_PATH_PREFIX[] = L"\\\\?\\";
constexpr wchar_t LONG_UNC_PREFIX[] = L"\\\\?\\UNC\\";

HANDLE handleOf(FileHandle file) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(file));
}

FileHandle fileHandleOf(HANDLE handle) {
  return static_cast<FileHandle>(reinterpret_cast<intptr_t>(handle));
}

// A folder is its full path, held in a block openFolder allocates.
const std::wstring &folderPath(FolderHandle folder) {
  return *reinterpret_cast<const std::wstring *>(static_cast<intptr_t>(folder));
}

FileProblem problemOf(DWORD error) {
  switch (error) {
  case NO_ERROR:
    return FileProblem::None;
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_BAD_NETPATH:
  case ERROR_INVALID_DRIVE:
    return FileProblem::NotFound;
  case ERROR_ACCESS_DENIED:
  case ERROR_PRIVILEGE_NOT_HELD:
    return FileProblem::NoPermission;
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
  case ERROR_USER_MAPPED_FILE:
  case ERROR_UNABLE_TO_REMOVE_REPLACED: // held by a program that shares no deleting
    return FileProblem::InUse;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return FileProblem::NoSpace;
  case ERROR_WRITE_PROTECT:
    return FileProblem::ReadOnlyFileSystem;
  case ERROR_FILENAME_EXCED_RANGE:
    return FileProblem::NameTooLong;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return FileProblem::AlreadyExists;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    return FileProblem::OutOfMemory;
  case ERROR_TOO_MANY_OPEN_FILES:
    return FileProblem::TooManyOpenFiles;
  case ERROR_CANT_RESOLVE_FILENAME: // symbolic links in a circle, or too many in a row
  case ERROR_TOO_MANY_LINKS:        // a file's hard links at their limit
    return FileProblem::TooManyLinks;
  case ERROR_DIRECTORY: // a folder was named, and something else is there
    return FileProblem::NotAFolder;
  default:
    return FileProblem::Other;
  }
}

FileProblem lastProblem() {
  return problemOf(GetLastError());
}

// The full path of `name` in `folder`, or of the path `name` relative to the
// current folder, with the prefix that lifts the length limit.
std::wstring fullPath(FolderHandle folder, const char *name) {
  std::wstring wide = wideFromUtf8(name, std::strlen(name));
  if (folder != CURRENT_FOLDER) {
    const std::wstring &path = folderPath(folder);
    return path + (path.empty() || path.back() == L'\\' ? L"" : L"\\") + wide;
  }
  if (wide.empty())
    return wide;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD length = needed == 0 ? 0 : GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
  full.resize(length < needed ? length : 0);
  if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
    return full;
  if (full.compare(0, 2, L"\\\\") == 0)
    return LONG_UNC_PREFIX + full.substr(2);
  return full.empty() ? full : LONG_PATH_PREFIX + full;
}

FolderHandle newFolder(const std::wstring &path) {
  return static_cast<FolderHandle>(reinterpret_cast<intptr_t>(new std::wstring(path)));
}

FileProblem stateOf(HANDLE file, FileState *state) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information))
    return lastProblem();
  FILE_BASIC_INFO basic = {};
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
    basic.ChangeTime.QuadPart = 0; // not kept by every file system: the other fields still tell
  const uint64_t size =
      (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  const int64_t written = static_cast<int64_t>(
      (static_cast<uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
      information.ftLastWriteTime.dwLowDateTime);
  *state = FileState{information.dwVolumeSerialNumber,
                     (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                         information.nFileIndexLow,
                     size,
                     written,
                     basic.ChangeTime.QuadPart,
                     information.nNumberOfLinks};
  return FileProblem::None;
}

// Where a link led: the place becomes the file's own folder and name.
FileProblem placeOfFinalPath(HANDLE file, FilePlace *place) {
  const DWORD needed = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
  if (needed == 0)
    return lastProblem();
  std::wstring path(needed, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(file, &path[0], needed, FILE_NAME_NORMALIZED);
  if (length == 0)
    return lastProblem();
  if (length >= needed)
    return FileProblem::Other; // moved to a longer path between the two calls
  path.resize(length);
  const size_t separator = path.rfind(L'\\');
  if (separator == std::wstring::npos)
    return FileProblem::Other;
  const std::string name = utf8FromWide(path.c_str() + separator + 1, length - separator - 1);
  if (name.size() >= sizeof place->name)
    return FileProblem::NameTooLong;
  if (place->ownsFolder)
    closeFolder(place->folder);
  place->folder = newFolder(path.substr(0, separator));
  place->ownsFolder = true;
  std::memcpy(place->name, name.c_str(), name.size() + 1);
  return FileProblem::None;
}

} // namespace

void randomBytes(int attempt, uint8_t (&random)[TEMPORARY_RANDOM_LENGTH]) {
  if (SystemFunction036(random, sizeof random))
    return;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  spreadSeed(static_cast<uint64_t>(counter.QuadPart) ^
                 static_cast<uint64_t>(GetCurrentProcessId()) << 32 ^
                 static_cast<uint64_t>(attempt) << 48,
             random);
}

FileProblem openFolder(FolderHandle parent, const char *name, FolderHandle *folder) {
  RETURN_INJECTED(FileStep::OpenFolder);
  const std::wstring path = fullPath(parent, name);
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return path.empty() ? FileProblem::NotFound : lastProblem();
  // A folder found in a folder is not entered through a link or junction.
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && parent != CURRENT_FOLDER;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || link)
    return FileProblem::NotAFolder;
  *folder = newFolder(path);
  return FileProblem::None;
}

void closeFolder(FolderHandle folder) {
  if (folder != NO_FOLDER && folder != CURRENT_FOLDER)
    delete reinterpret_cast<std::wstring *>(static_cast<intptr_t>(folder));
}

namespace {

bool identityOf(const std::wstring &path, BY_HANDLE_FILE_INFORMATION *identity) {
  const HANDLE opened =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return false;
  const bool known = GetFileInformationByHandle(opened, identity) != 0;
  CloseHandle(opened);
  return known;
}

} // namespace

bool folderIsWithin(FolderHandle folder, FolderHandle outer) {
  BY_HANDLE_FILE_INFORMATION outerIdentity;
  if (!identityOf(folderPath(outer), &outerIdentity))
    return false;
  // Up the full path, part by part, to the drive's root ("\\?\C:").
  std::wstring path = folderPath(folder);
  for (;;) {
    const bool root = !path.empty() && path.back() == L':';
    BY_HANDLE_FILE_INFORMATION identity;
    if (identityOf(root ? path + L"\\" : path, &identity) &&
        identity.dwVolumeSerialNumber == outerIdentity.dwVolumeSerialNumber &&
        identity.nFileIndexHigh == outerIdentity.nFileIndexHigh &&
        identity.nFileIndexLow == outerIdentity.nFileIndexLow)
      return true;
    const size_t separator = path.rfind(L'\\');
    if (root || separator == std::wstring::npos || separator < std::size(LONG_PATH_PREFIX))
      return false;
    path.erase(separator);
  }
}

FileProblem placeOfPath(const char *path, FilePlace *place) {
  *place = FilePlace{CURRENT_FOLDER, false, {}};
  const std::wstring full = fullPath(CURRENT_FOLDER, path);
  const size_t separator = full.rfind(L'\\');
  if (separator == std::wstring::npos)
    return FileProblem::NotFound;
  const std::string name = utf8FromWide(full.c_str() + separator + 1, full.size() - separator - 1);
  if (!copyFileName(name.empty() ? "." : name.c_str(), place->name))
    return FileProblem::NameTooLong;
  place->folder = newFolder(full.substr(0, separator));
  place->ownsFolder = true;
  return FileProblem::None;
}

bool pathExists(const char *path) {
  const std::wstring full = fullPath(CURRENT_FOLDER, path);
  if (full.empty())
    return false;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(full.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  return true;
}

FileProblem listFolder(FolderHandle folder, EntryVisitor visit, void *context) {
  WIN32_FIND_DATAW found;
  const std::wstring pattern = folderPath(folder) + L"\\*";
  const HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND ? FileProblem::None : lastProblem();
  do {
    const std::string name = utf8FromWide(found.cFileName, wcslen(found.cFileName));
    if (name == "." || name == "..")
      continue;
    EntryKind kind = EntryKind::File;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      kind = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::LinkToFolder
                                                                          : EntryKind::Folder;
    visit(context, name.c_str(), kind, FileProblem::None);
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  return error == ERROR_NO_MORE_FILES ? FileProblem::None : problemOf(error);
}

namespace {

FileProblem openRegularFile(FilePlace *place, FileHandle *file, FileState *state,
                            bool oneNameOnly) {
  RETURN_INJECTED(FileStep::Open);
  const std::wstring path = fullPath(place->folder, place->name);
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return path.empty() ? FileProblem::NotFound : lastProblem();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return FileProblem::NotRegularFile;
  // Others may read the file meanwhile, but not write it. A link is followed.
  const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return lastProblem();
  FileProblem problem =
      GetFileType(opened) == FILE_TYPE_DISK ? stateOf(opened, state) : FileProblem::NotRegularFile;
  if (problem == FileProblem::None && oneNameOnly && state->linkCount > 1)
    problem = FileProblem::HardLinked;
  if (problem == FileProblem::None && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    problem = placeOfFinalPath(opened, place);
  if (problem != FileProblem::None) {
    CloseHandle(opened);
    return problem;
  }
  *file = fileHandleOf(opened);
  return FileProblem::None;
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
  return stateOf(handleOf(file), state);
}

FileProblem queryPlace(const FilePlace &place, FileState *state) {
  const std::wstring path = fullPath(place.folder, place.name);
  // Attributes only: this open conflicts with no other.
  const HANDLE opened = CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return lastProblem();
  const FileProblem problem = stateOf(opened, state);
  CloseHandle(opened);
  return problem;
}

FileProblem readAt(FileHandle file, uint64_t offset, uint8_t *buffer, uint32_t length) {
  RETURN_INJECTED(FileStep::Read);
  uint32_t done = 0;
  while (done < length) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD count = 0;
    if (!ReadFile(handleOf(file), buffer + done, length - done, &count, &at)) {
      const DWORD error = GetLastError();
      // Reading from the end on: the file shrank meanwhile.
      return error == ERROR_HANDLE_EOF ? FileProblem::SizeChanged : problemOf(error);
    }
    if (count == 0)
      return FileProblem::SizeChanged; // the file ended early: it shrank meanwhile
    done += count;
  }
  return FileProblem::None;
}

void closeFile(FileHandle file) {
  CloseHandle(handleOf(file));
}

FileProblem lockForConversion(FileHandle file) {
  RETURN_INJECTED(FileStep::Lock);
  // No other program writes the file while it is open (no write sharing);
  // the lock keeps a second conversion from reading it too.
  OVERLAPPED whole = {};
  if (!LockFileEx(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                  MAXDWORD, &whole))
    return lastProblem();
  return FileProblem::None;
}

FileProblem checkReplaceable(const FilePlace &, FileHandle file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handleOf(file), &information))
    return lastProblem();
  // A read-only file is the user's wish not to have it changed.
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
    return FileProblem::ReadOnlyFile;
  return FileProblem::None;
}

FileProblem checkFolderAllowsChanges(FolderHandle) {
  return FileProblem::None; // no folder takes new names only
}

FileProblem createExclusively(FolderHandle folder, const char *name, FileHandle *file) {
  const std::wstring path = fullPath(folder, name);
  // No sharing: a later run cannot open, and so cannot remove, a file that
  // this run is still writing.
  const HANDLE created = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE)
    return lastProblem();
  *file = fileHandleOf(created);
  return FileProblem::None;
}

FileProblem writeSome(FileHandle file, const uint8_t *bytes, size_t length, size_t *written) {
  DWORD count = 0;
  if (!WriteFile(handleOf(file), bytes, static_cast<DWORD>(length), &count, nullptr))
    return lastProblem();
  if (count == 0)
    return FileProblem::NoSpace;
  *written = count;
  return FileProblem::None;
}

FileProblem copyRange(FileHandle from, uint64_t offset, uint64_t length, FileHandle to) {
  RETURN_INJECTED(FileStep::Write);
  return copyThroughBuffer(from, offset, length, to);
}

FileProblem carryMetadata(FileHandle, FileHandle) {
  RETURN_INJECTED(FileStep::Metadata);
  return FileProblem::None; // ReplaceFileW carries them when the file is replaced
}

FileProblem setLastWriteTime(FileHandle file, int64_t lastWriteTime) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(lastWriteTime) & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(lastWriteTime) >> 32);
  return SetFileTime(handleOf(file), nullptr, nullptr, &time) ? FileProblem::None : lastProblem();
}

FileProblem flushFile(FileHandle file) {
  RETURN_INJECTED(FileStep::Flush);
  return FlushFileBuffers(handleOf(file)) ? FileProblem::None : lastProblem();
}

FileProblem closeReporting(FileHandle file) {
  return CloseHandle(handleOf(file)) ? FileProblem::None : lastProblem();
}

FileProblem createFolder(FolderHandle parent, const char *name) {
  RETURN_INJECTED(FileStep::Create);
  const std::wstring path = fullPath(parent, name);
  return CreateDirectoryW(path.c_str(), nullptr) ? FileProblem::None : lastProblem();
}

FileProblem giveCopyMode(FileHandle, FileHandle) {
  return FileProblem::None; // a new file takes its folder's ACL, as a copy by Explorer does
}

FileProblem flushCopy(FileHandle copy) {
  return flushFile(copy);
}

FileProblem flushFileSystem(FolderHandle) {
  return FileProblem::None; // each copy was flushed by flushCopy
}

FileProblem flushFolder(FolderHandle) {
  return FileProblem::None; // moves write through; the file system journals its entries
}

namespace {

// A folder's path without the long-path prefix and a last backslash, to
// compare with another.
std::wstring bareFolderPath(std::wstring path) {
  const std::wstring prefix = LONG_PATH_PREFIX;
  if (path.compare(0, prefix.size(), prefix) == 0)
    path.erase(0, prefix.size());
  if (!path.empty() && path.back() == L'\\')
    path.pop_back();
  return path;
}

} // namespace

FileProblem querySpace(FolderHandle folder, DiskSpace *space) {
  const std::wstring path = folder == CURRENT_FOLDER ? std::wstring(L".") : folderPath(folder);
  ULARGE_INTEGER available = {};
  if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr))
    return lastProblem();
  space->freeBytes = available.QuadPart;
  wchar_t volume[MAX_PATH + 1] = {};
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD clusters = 0;
  const bool known =
      GetVolumePathNameW(path.c_str(), volume, MAX_PATH) &&
      GetDiskFreeSpaceW(volume, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters);
  space->blockSize = known ? uint64_t{sectorsPerCluster} * bytesPerSector : 4096;
  space->freeFiles = SPACE_UNKNOWN;
  // "FAT" is FAT12 or FAT16 ("FAT32" the other); the root is the volume's
  // own path.
  wchar_t system[MAX_PATH + 1] = {};
  const bool fixedRoot =
      known &&
      GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH) &&
      std::wstring(system) == L"FAT" &&
      _wcsicmp(bareFolderPath(path).c_str(), bareFolderPath(volume).c_str()) == 0;
  space->rootEntries = fixedRoot ? FAT_ROOT_ENTRIES : 0;
  return FileProblem::None;
}

namespace {

// A regular file in a folder, examined before it is opened with `access`
// and `sharing`; with oneNameOnly, HardLinked for a file with other names.
FileProblem openRegularEntry(FolderHandle folder, const char *name, DWORD access, DWORD sharing,
                             bool oneNameOnly, FileHandle *file, FileState *state) {
  const std::wstring path = fullPath(folder, name);
  // Examined first: nothing but a file is opened at all.
  WIN32_FILE_ATTRIBUTE_DATA found;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &found))
    return lastProblem();
  if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return FileProblem::NotRegularFile;
  const HANDLE opened =
      CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return lastProblem();
  BY_HANDLE_FILE_INFORMATION information;
  FileProblem problem = FileProblem::None;
  if (!GetFileInformationByHandle(opened, &information))
    problem = lastProblem();
  else if ((information.dwFileAttributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
           GetFileType(opened) != FILE_TYPE_DISK)
    problem = FileProblem::NotRegularFile;
  else if (oneNameOnly && information.nNumberOfLinks > 1)
    problem = FileProblem::HardLinked;
  if (problem == FileProblem::None)
    problem = stateOf(opened, state);
  if (problem != FileProblem::None) {
    CloseHandle(opened);
    return problem;
  }
  *file = fileHandleOf(opened);
  return FileProblem::None;
}

} // namespace

FileProblem openEntry(FolderHandle folder, const char *name, FileHandle *file, FileState *state) {
  return openRegularEntry(folder, name, GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false, file,
                          state);
}

FileProblem openLeftover(FolderHandle folder, const char *name, FileHandle *file,
                         FileState *state) {
  // No sharing: a run still writing the file holds it open, and the open
  // fails; once open, no other run can take it.
  return openRegularEntry(folder, name, GENERIC_READ | FILE_WRITE_ATTRIBUTES | DELETE, 0, true,
                          file, state);
}

FileProblem removeLeftover(FolderHandle, const char *, FileHandle file) {
  // Through the handle, which no other program shares: the file itself.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handleOf(file), FileDispositionInfo, &disposition,
                                    sizeof disposition)
             ? FileProblem::None
             : lastProblem();
}

namespace {

// Names the file open as `file` `path`, through its handle (opened with
// DELETE access), replacing a file there when asked.
FileProblem renameHeldFile(FileHandle file, const std::wstring &path, bool replace) {
  const size_t nameBytes = path.size() * sizeof(wchar_t);
  std::string block(sizeof(FILE_RENAME_INFO) + nameBytes, '\0');
  auto *rename = reinterpret_cast<FILE_RENAME_INFO *>(&block[0]);
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, path.c_str(), nameBytes);
  return SetFileInformationByHandle(handleOf(file), FileRenameInfo, rename,
                                    static_cast<DWORD>(block.size()))
             ? FileProblem::None
             : lastProblem();
}

} // namespace

FileProblem placeLeftover(FolderHandle folder, const char *, FileHandle *file,
                          const char *reservedName, FileHandle *reservedFile) {
  // The reserved file is held without sharing: let go of it first.
  closeFile(*reservedFile);
  *reservedFile = NO_FILE;
  return renameHeldFile(*file, fullPath(folder, reservedName), true);
}

bool deleteCreated(FolderHandle folder, const char *name, FileHandle open) {
  if (open != NO_FILE) {
    FILE_DISPOSITION_INFO disposition = {TRUE}; // removed as the handle closes
    return SetFileInformationByHandle(handleOf(open), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
  }
  // Gone already is removed.
  return DeleteFileW(fullPath(folder, name).c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

FileProblem renameOver(const FilePlace &target, const FilePlace &temporary, FileHandle *targetFile,
                       bool *originalLost) {
  *originalLost = false;
  // Windows replaces no file that is still open.
  closeFile(*targetFile);
  *targetFile = NO_FILE;
  const std::wstring targetPath = fullPath(target.folder, target.name);
  const std::wstring temporaryPath = fullPath(temporary.folder, temporary.name);
  // Without REPLACEFILE_IGNORE_MERGE_ERRORS: a file whose ACL or attributes
  // cannot be carried over is not replaced.
  if (ReplaceFileW(targetPath.c_str(), temporaryPath.c_str(), nullptr, 0, nullptr, nullptr))
    return FileProblem::None;
  const FileProblem problem = lastProblem();
  // ReplaceFileW can fail after it has moved the original away; then the
  // temporary file holds the only copy of the content.
  *originalLost = GetFileAttributesW(targetPath.c_str()) == INVALID_FILE_ATTRIBUTES &&
                  GetLastError() == ERROR_FILE_NOT_FOUND;
  return problem;
}

FileProblem renameHeldOver(const FilePlace &temporary, FileHandle file, const char *name) {
  return renameHeldFile(file, fullPath(temporary.folder, name), true);
}

FileProblem renameExclusively(const FilePlace &temporary, FileHandle file, const char *name) {
  const std::wstring path = fullPath(temporary.folder, name);
  // A file held without sharing is named through its handle; neither way
  // replaces a file that has the name.
  if (file != NO_FILE)
    return renameHeldFile(file, path, false);
  const std::wstring temporaryPath = fullPath(temporary.folder, temporary.name);
  return MoveFileExW(temporaryPath.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)
             ? FileProblem::None
             : lastProblem();
}

FileProblem linkBeside(const FilePlace &, const char *, bool *linked) {
  *linked = false; // the backup is a copy here
  RETURN_INJECTED(FileStep::Backup);
  return FileProblem::None;
}
