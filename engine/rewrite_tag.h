// The in-memory rewrite of a file's ID3v2 tag: the texts of the title,
// artist and album frames (or, on request, every encoded string of every
// frame) re-encoded into the ANSI code page.
#pragma once

#include "engine/tag_layout.h"
#include "engine/text_values.h"

#include <cstdint>

constexpr size_t TARGET_FRAME_COUNT = 3;
extern const char *const TARGET_FRAME_IDS[TARGET_FRAME_COUNT];     // "TPE1", "TALB", "TIT2"
extern const char *const TARGET_FRAME_IDS_V22[TARGET_FRAME_COUNT]; // "TP1", "TAL", "TT2"

// Which frames a rewrite converts.
enum class FrameScope {
  TitleFrames, // the title, artist and album frames
  AllFrames,   // every encoded string of every frame that has one (frame_fields.h)
};

// What a rewrite converts, and how.
struct RewriteSettings {
  FrameScope scope;
  TextSettings text;
};

// What a rewrite (or the listing of what it would convert) decides.
enum class RewriteKind {
  Rewritten,   // length holds the output length; for a listing, the rewrite would go ahead
  Refused,     // the version gate said no; the caller ends silently
  Unsupported, // a tag feature the rewrite cannot carry over faithfully
  Damaged,     // sizes that do not fit the file
};

struct RewriteOutcome {
  RewriteKind kind;
  RewriteReason reason;
  uint32_t length; // output bytes, for Rewritten only
};

// The frames that an AllFrames rewrite left as they are, because their
// data is stored compressed or encrypted or does not parse as their fields.
// The title frames are never among them: what stops their conversion stops
// the rewrite.
constexpr size_t FRAMES_LEFT_NAMED = 8;
struct FramesLeft {
  uint32_t count; // frames left
  uint32_t named; // distinct identifiers below, the first FRAMES_LEFT_NAMED of them
  char identifiers[FRAMES_LEFT_NAMED][5];
};

// input: the whole file, beginning with "ID3"; output: a buffer of at least
// input.length bytes. Never reads or writes outside either buffer. Converts
// the frames and texts that settings choose; left receives the frames left
// as they are.
RewriteOutcome rewriteTag(FileImage input, uint8_t *output, RewriteSettings settings,
                          FramesLeft &left);
// The same for a tag already walked: record is walkTag(input).
RewriteOutcome rewriteTag(FileImage input, const TagRecord &record, uint8_t *output,
                          RewriteSettings settings, FramesLeft &left);

// One string of a frame as it stands in the tag, for showing what a rewrite
// would change.
struct TargetText {
  char identifier[5];  // zero-terminated: "TIT2", or "TT2" in version 2
  uint8_t encoding;    // the frame's text encoding byte
  bool isList;         // a version 4 text frame's values, separated by terminators
  const uint8_t *text; // inside the input: a text frame's data after the encoding byte, or
                       // one string of another frame, its terminator included
  uint32_t length;
};

// Makes the checks rewriteTag makes and, when it would rewrite, lists the
// strings it would convert in the frames of scope (readFrameStrings: every
// text frame's text; of other frames, the strings that hold a character),
// in tag order: at most capacity of them, count receiving how many were
// listed. Returns what rewriteTag's checks gave (length 0); a text that
// would not fit is rewriteTag's to find.
RewriteOutcome listTargetTexts(FileImage input, FrameScope scope, TargetText *texts,
                               size_t capacity, size_t &count);
// The same for a tag already walked: record is walkTag(input).
RewriteOutcome listTargetTexts(FileImage input, const TagRecord &record, FrameScope scope,
                               TargetText *texts, size_t capacity, size_t &count);
