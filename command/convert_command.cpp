// The Convert command on one path: existence and signature checks, the
// confirmation, the rewrite in memory, and a write-back that never leaves the
// user without a whole file.
#include "command/convert_command.h"

#include "command/file_conversion.h"
#include "command/messages.h"
#include "command/platform_files.h"
#include "command/safe_write.h"
#include "engine/rewrite_tag.h"

#ifdef _WIN32
#include "command/wide_text.h"

#include <windows.h>

#include <string>
#endif

#include <cstdint>
#include <cstring>

namespace {

// The path the dialog's field holds, in the active code page, as a path of
// the file layer (UTF-8; POSIX takes the bytes as they are); false when it
// does not fit `size` bytes.
bool pathFromAnsi(const char *ansi, char *path, size_t size) {
#ifdef _WIN32
  const int units = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
  if (units <= 0)
    return false;
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi, -1, &wide[0], units);
  const std::string text = utf8FromWide(wide.c_str(), static_cast<size_t>(units - 1));
  if (text.size() >= size)
    return false;
  std::memcpy(path, text.c_str(), text.size() + 1);
#else
  const size_t length = std::strlen(ansi);
  if (length >= size)
    return false;
  std::memcpy(path, ansi, length + 1);
#endif
  return true;
}

// What the command tells the user at its end: a text and, for failures of
// the file system, the sentence that gives the cause, and the name of a
// temporary file that could not be removed; no text means silence.
struct Notice {
  const char *text;
  FileProblem cause;
  NoticeKind kind;
  char leftBehind[TEMPORARY_NAME_SIZE] = {};
};

Notice silence() {
  return Notice{nullptr, FileProblem::None, NoticeKind::Information};
}
Notice warning(const char *text, FileProblem cause = FileProblem::None) {
  return Notice{text, cause, NoticeKind::Warning};
}
Notice information(const char *text) {
  return Notice{text, FileProblem::None, NoticeKind::Information};
}

const char *causeText(FileProblem cause) {
  switch (cause) {
  case FileProblem::NotFound:
    return CAUSE_NOT_FOUND;
  case FileProblem::NoPermission:
    return CAUSE_NO_PERMISSION;
  case FileProblem::InUse:
    return CAUSE_IN_USE;
  case FileProblem::NotRegularFile:
    return CAUSE_NOT_REGULAR_FILE;
  case FileProblem::HardLinked:
    return CAUSE_HARD_LINKED;
  case FileProblem::NoSpace:
    return CAUSE_NO_SPACE;
  case FileProblem::ReadOnlyFileSystem:
    return CAUSE_READ_ONLY_FILE_SYSTEM;
  case FileProblem::ReadOnlyFile:
    return CAUSE_READ_ONLY_FILE;
  case FileProblem::NameTooLong:
    return CAUSE_NAME_TOO_LONG;
  case FileProblem::OwnerNotKept:
    return CAUSE_OWNER_NOT_KEPT;
  case FileProblem::AttributesNotKept:
    return CAUSE_ATTRIBUTES_NOT_KEPT;
  case FileProblem::OutOfMemory:
    return CAUSE_OUT_OF_MEMORY;
  case FileProblem::TooManyOpenFiles:
    return CAUSE_TOO_MANY_OPEN_FILES;
  case FileProblem::TooManyLinks:
    return CAUSE_TOO_MANY_LINKS;
  case FileProblem::SizeChanged:
    return CAUSE_SIZE_CHANGED;
  case FileProblem::NotAFolder:
    return CAUSE_NOT_A_FOLDER;
  case FileProblem::UntrustedLink:
    return CAUSE_UNTRUSTED_LINK;
  case FileProblem::AppendOnlyFolder:
    return CAUSE_APPEND_ONLY_FOLDER;
  case FileProblem::None:
  case FileProblem::AlreadyExists:
  case FileProblem::UnknownLeftover: // of copies only
  case FileProblem::HoldsDestination:
  case FileProblem::Other:
    break;
  }
  return "";
}

void show(const UserPrompt &prompt, const Notice &notice) {
  if (notice.text == nullptr)
    return;
  const bool left = notice.leftBehind[0] != '\0';
  const char *const parts[] = {notice.text,        causeText(notice.cause),
                               left ? "\n\n" : "", left ? MESSAGE_TEMPORARY_LEFT_BEFORE : "",
                               notice.leftBehind,  left ? MESSAGE_TEMPORARY_LEFT_AFTER : ""};
  char text[1024];
  size_t length = 0;
  for (const char *part : parts) {
    const size_t partLength = std::strlen(part);
    if (length + partLength >= sizeof text)
      break; // never happens with these texts
    std::memcpy(text + length, part, partLength);
    length += partLength;
  }
  text[length] = '\0';
  prompt.notify(prompt.context, text, notice.kind);
}

// A file that may not be converted at all, against one that could not be
// opened this time.
Notice cannotOpen(FileProblem problem) {
  const bool refused = problem == FileProblem::HardLinked ||
                       problem == FileProblem::NotRegularFile ||
                       problem == FileProblem::UntrustedLink;
  return warning(refused ? MESSAGE_CANNOT_CONVERT : MESSAGE_CANNOT_OPEN, problem);
}

// Reads the whole file at place (links followed: place then names the file
// itself). Returns silence with the content in *content, or the warning.
// The file is not held open while the user is asked.
Notice readWholeFile(FilePlace *place, uint8_t **content, FileState *whenRead) {
  FileHandle file = NO_FILE;
  const FileProblem opened = openSourceFile(place, &file, whenRead);
  if (opened != FileProblem::None)
    return opened == FileProblem::NotFound ? warning(MESSAGE_NOT_FOUND) : cannotOpen(opened);
  Notice notice = silence();
  // Only 32-bit lengths fit the buffers and the tag engine; a larger file
  // is refused before any of it is read.
  if (whenRead->size > UINT32_MAX) {
    notice = warning(MESSAGE_TOO_LARGE);
  } else {
    const auto length = static_cast<uint32_t>(whenRead->size);
    uint8_t *buffer = allocateZeroed(length);
    const FileProblem problem =
        buffer == nullptr ? FileProblem::None : readAt(file, 0, buffer, length);
    if (buffer == nullptr) {
      notice = warning(MESSAGE_NO_MEMORY);
    } else if (problem != FileProblem::None) {
      releaseBlock(buffer);
      notice = warning(MESSAGE_CANNOT_READ, problem);
    } else {
      *content = buffer;
    }
  }
  closeFile(file); // everything is read by now; a failing close loses nothing
  return notice;
}

Notice noticeOfWrite(const WriteResult &written) {
  Notice notice = silence();
  switch (written.outcome) {
  case WriteOutcome::Written:
    return information(MESSAGE_DONE);
  case WriteOutcome::Changed:
    notice = warning(MESSAGE_CHANGED);
    break;
  case WriteOutcome::LeftInTemporary:
    return warning(MESSAGE_LEFT_IN_TEMPORARY); // the new file holds the only copy now
  default:
    notice = warning(MESSAGE_CANNOT_WRITE, written.problem);
    break;
  }
  std::memcpy(notice.leftBehind, written.leftBehind, sizeof notice.leftBehind);
  return notice;
}

// Opened again for the write, locked, and found to be the file that was
// read; the warning otherwise.
Notice reopen(FilePlace *place, FileHandle *file, const FileState &whenRead) {
  FileState now;
  FileProblem problem = openSourceFile(place, file, &now);
  if (problem == FileProblem::NotFound || problem == FileProblem::HardLinked)
    return warning(MESSAGE_CHANGED); // gone, or given another name, during the question
  if (problem == FileProblem::None)
    problem = lockForConversion(*file);
  if (problem == FileProblem::None)
    problem = queryOpenFile(*file, &now);
  if (problem != FileProblem::None)
    return warning(MESSAGE_CANNOT_WRITE, problem);
  return sameFileState(now, whenRead) ? silence() : warning(MESSAGE_CHANGED);
}

// Writes the new content in place of the file read in state whenRead.
Notice writeBack(const FilePlace &readPlace, const uint8_t *output, uint32_t length,
                 const FileState &whenRead) {
  FilePlace place = readPlace;
  place.ownsFolder = false; // the caller's place closes its folder
  FileHandle file = NO_FILE;
  Notice notice = reopen(&place, &file, whenRead);
  if (notice.text == nullptr) {
    NewContent content{};
    content.pieces[0] = memoryPiece(output, length);
    content.count = 1;
    notice =
        noticeOfWrite(replaceContent(place, &file, whenRead, content, WriteSettings{false, false}));
  }
  if (file != NO_FILE)
    closeFile(file);
  closePlace(&place);
  return notice;
}

// Steps from the signature test to the write-back, with both buffers held
// by the caller.
Notice convertContent(const FilePlace &place, const UserPrompt &prompt, FileImage input,
                      uint8_t *output, const FileState &whenRead) {
  if (!hasTagIdentifier(input.bytes, input.length))
    return warning(MESSAGE_NO_TAG);
  if (!prompt.confirm(prompt.context, MESSAGE_CONFIRM))
    return silence();
  // The dialog converts as it always has: '?' for what code page 932 lacks.
  RewriteOutcome outcome = rewriteContent(input, output);
  switch (outcome.kind) {
  case RewriteKind::Refused:
    return silence();
  case RewriteKind::Damaged:
    return warning(MESSAGE_DAMAGED);
  case RewriteKind::Unsupported:
    return warning(MESSAGE_UNSUPPORTED);
  case RewriteKind::Rewritten:
    break;
  }
  if (outcome.length > input.length)
    return warning(MESSAGE_DAMAGED); // never write more than the buffer holds
  return writeBack(place, output, outcome.length, whenRead);
}

Notice convertAtPlace(FilePlace *place, const UserPrompt &prompt) {
  uint8_t *input = nullptr;
  FileState whenRead{};
  const Notice problem = readWholeFile(place, &input, &whenRead);
  if (problem.text != nullptr)
    return problem;
  const auto length = static_cast<uint32_t>(whenRead.size);
  uint8_t *output = allocateZeroed(length);
  if (output == nullptr) {
    releaseBlock(input);
    return warning(MESSAGE_NO_MEMORY);
  }
  const Notice notice = convertContent(*place, prompt, FileImage{input, length}, output, whenRead);
  releaseBlock(output);
  releaseBlock(input);
  return notice;
}

} // namespace

void convertPath(const char *ansiPath, const UserPrompt &prompt) {
  char path[PATH_BUFFER_SIZE * 3]; // each ANSI byte at most one UTF-16 unit, three UTF-8 bytes
  if (!pathFromAnsi(ansiPath, path, sizeof path) || !pathExists(path)) {
    show(prompt, warning(MESSAGE_NOT_FOUND));
    return;
  }
  FilePlace place;
  const FileProblem problem = placeOfPath(path, &place);
  const Notice notice =
      problem == FileProblem::None ? convertAtPlace(&place, prompt) : cannotOpen(problem);
  closePlace(&place);
  show(prompt, notice);
}
