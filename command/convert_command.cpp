// The Convert command on one path: existence and signature checks, the
// confirmation, the rewrite in memory, and a write-back that never leaves the
// user without a whole file.
#include "command/convert_path.h"

#include "command/file_access.h"
#include "command/messages.h"
#include "command/path_conversion.h"
#include "engine/rewrite_tag.h"

#include <cstdint>

namespace {

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

// Steps from the signature test to the write-back, with both buffers held
// by the caller.
Notice convertContent(const char *path, const UserPrompt &prompt, FileImage input, uint8_t *output,
                      const FileInfo &whenRead) {
  if (!hasTagIdentifier(input.bytes, input.length))
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
  const NewContent content{output, outcome.length, nullptr, 0};
  switch (writeInPlace(path, content, whenRead, PathSettings{true, false, false})) {
  case PathOutcome::Converted:
    return information(MESSAGE_DONE);
  case PathOutcome::Changed:
    return warning(MESSAGE_CHANGED);
  case PathOutcome::LeftInTemporary:
    return warning(MESSAGE_LEFT_IN_TEMPORARY); // the new file holds the only copy now
  default:
    return warning(MESSAGE_CANNOT_WRITE);
  }
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
