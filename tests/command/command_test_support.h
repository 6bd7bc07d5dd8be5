// What the Convert command's tests share: a UserPrompt that records what the
// command said and answers the confirmation as told, and files in a fresh
// temporary folder.
#pragma once

#include "command/convert_command.h"
#include "command/file_conversion.h"
#include "tests/engine/tag_builder.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct Shown {
  std::string text;
  NoticeKind kind;
};

struct Conversation {
  bool answer = true;                // the reply to the confirmation
  std::function<void()> whileAsking; // runs while the confirmation is open
  std::vector<std::string> questions;
  std::vector<Shown> notices;
};

UserPrompt recordingPrompt(Conversation *conversation);

// Runs the command on `path` and returns what it said.
Conversation convert(const std::string &path, bool answer = true,
                     std::function<void()> whileAsking = nullptr);

// The command line's conversion of the file at a path.
PathReport convertOnePath(const char *path, PathSettings settings, TagInspector inspect,
                          void *context);
// The converted file at a path copied by the safe write into `folder` as
// `name`, as the copies onto a stick are written; CannotWrite with Other
// when the file cannot be opened or converted.
WriteResult copyConverted(const char *path, FolderHandle folder, const char *name);

// A new empty folder under the system's temporary folder; removed again by
// removeFolder.
std::filesystem::path makeFolder(const char *name);
void removeFolder(const std::filesystem::path &folder);

void writeFile(const std::filesystem::path &path, const Bytes &bytes);
Bytes readFile(const std::filesystem::path &path);
// Names of the entries in a folder, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path &folder);

// A version 3 tag with the title in UTF-16 ("あい", 4 bytes shorter once
// re-encoded) and the artist "abc" with a terminator (1 byte shorter).
Bytes taggedSong();
constexpr size_t TAGGED_SONG_SAVING = 5;
