// The Convert command on one path: existence and signature checks, the
// confirmation, the rewrite in memory, and a write-back that never leaves the
// user without a whole file.
#include "command/convert_path.h"

#include "command/file_access.h"
#include "command/messages.h"
#include "engine/rewrite_tag.h"

#include <cstdint>
#include <cstdio>

namespace {

// The new content is written beside the original under this suffix and only
// then put in its place.
constexpr char REPLACEMENT_SUFFIX[] = ".sorabun-tmp";

// What the command tells the user at its end; no text means silence.
struct Notice {
  const char *text;
  NoticeKind kind;
};

Notice silence() {
  return Notice{nullptr, NoticeKind::Information};
}
Notice warning(const char *text) {
  return Notice{text, NoticeKind::Warning};
}
Notice information(const char *text) {
  return Notice{text, NoticeKind::Information};
}

void show(const UserPrompt &prompt, Notice notice) {
  if (notice.text != nullptr)
    prompt.notify(prompt.context, notice.text, notice.kind);
}

// Returns the warning to show, or nullptr with the content in *content.
const char *readOpenFile(FileHandle file, uint8_t **content, FileInfo *info) {
  if (!queryOpenFile(file, info))
    return MESSAGE_SIZE_UNKNOWN;
  // Only 32-bit lengths fit the buffers and the tag engine; a larger file
  // is refused before any of it is read.
  if (info->size > UINT32_MAX)
    return MESSAGE_TOO_LARGE;
  uint32_t length = static_cast<uint32_t>(info->size);
  uint8_t *buffer = allocateZeroed(length);
  if (buffer == nullptr)
    return MESSAGE_NO_MEMORY;
  if (!readExactly(file, buffer, length)) {
    releaseBlock(buffer);
    return MESSAGE_CANNOT_READ;
  }
  *content = buffer;
  return nullptr;
}

// The file is not held open while the user is asked.
const char *readWholeFile(const char *path, uint8_t **content, FileInfo *info) {
  FileHandle file = openForReading(path);
  if (file == NO_FILE)
    return MESSAGE_CANNOT_OPEN;
  const char *problem = readOpenFile(file, content, info);
  closeFile(file); // everything is read by now; a failing close loses nothing
  return problem;
}

bool hasTagIdentifier(FileImage image) {
  return image.length >= 3 && image.bytes[0] == 'I' && image.bytes[1] == 'D' &&
         image.bytes[2] == '3';
}

RewriteOutcome rewriteContent(FileImage input, uint8_t *output) {
  if (input.length < TAG_HEADER_SIZE)
    return RewriteOutcome{RewriteKind::Damaged, RewriteReason::FileTooShort, 0};
  return rewriteTag(input, output);
}

// Another program may have written the file while the confirmation was open;
// writing now would throw its change away.
bool unchangedSince(const char *path, const FileInfo &whenRead) {
  FileInfo now;
  return queryPath(path, &now) && now.size == whenRead.size &&
         now.lastWriteTime == whenRead.lastWriteTime;
}

// Writes the content to a new file in the same folder, completely and
// flushed, and only then puts it in the original's place. Returns the
// warning to show, or nullptr once the new content is in place.
const char *writeInPlace(const char *path, const uint8_t *bytes, uint32_t length) {
  char replacementPath[PATH_BUFFER_SIZE + sizeof REPLACEMENT_SUFFIX];
  int pathLength =
      std::snprintf(replacementPath, sizeof replacementPath, "%s%s", path, REPLACEMENT_SUFFIX);
  if (pathLength < 0 || static_cast<size_t>(pathLength) >= sizeof replacementPath)
    return MESSAGE_CANNOT_WRITE;
  FileHandle file = createReplacement(replacementPath, path);
  if (file == NO_FILE)
    return MESSAGE_CANNOT_WRITE;
  bool written = writeExactly(file, bytes, length) && flushFile(file);
  bool closed = closeFile(file);
  if (!written || !closed) {
    removeFile(replacementPath);
    return MESSAGE_CANNOT_WRITE;
  }
  bool originalLost = false;
  if (!replaceFile(path, replacementPath, &originalLost)) {
    if (originalLost)
      return MESSAGE_LEFT_IN_TEMPORARY; // the new file holds the only copy now
    removeFile(replacementPath);
    return MESSAGE_CANNOT_WRITE;
  }
  return nullptr;
}

// Steps from the signature test to the write-back, with both buffers held
// by the caller.
Notice convertContent(const char *path, const UserPrompt &prompt, FileImage input, uint8_t *output,
                      const FileInfo &whenRead) {
  if (!hasTagIdentifier(input))
    return warning(MESSAGE_NO_TAG);
  if (!prompt.confirm(prompt.context, MESSAGE_CONFIRM))
    return silence();
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
  if (!unchangedSince(path, whenRead))
    return warning(MESSAGE_CHANGED);
  const char *problem = writeInPlace(path, output, outcome.length);
  return problem != nullptr ? warning(problem) : information(MESSAGE_DONE);
}

} // namespace

void convertPath(const char *path, const UserPrompt &prompt) {
  if (!pathExists(path)) {
    show(prompt, warning(MESSAGE_NOT_FOUND));
    return;
  }
  uint8_t *input = nullptr;
  FileInfo whenRead{0, 0};
  const char *problem = readWholeFile(path, &input, &whenRead);
  if (problem != nullptr) {
    show(prompt, warning(problem));
    return;
  }
  uint32_t length = static_cast<uint32_t>(whenRead.size);
  uint8_t *output = allocateZeroed(length);
  if (output == nullptr) {
    releaseBlock(input);
    show(prompt, warning(MESSAGE_NO_MEMORY));
    return;
  }
  Notice notice = convertContent(path, prompt, FileImage{input, length}, output, whenRead);
  releaseBlock(output);
  releaseBlock(input);
  show(prompt, notice);
}
