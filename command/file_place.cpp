// The parts of the file layer that are the same on every platform.
#include "command/platform_files.h"

#include <cstring>

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
