// The in-memory rewrite of a file's ID3v2 tag: the texts of the title,
// artist and album frames re-encoded into the ANSI code page.
#pragma once

#include "engine/tag_layout.h"
#include "engine/text_values.h"

#include <cstdint>

constexpr size_t TARGET_FRAME_COUNT = 3;
extern const char *const TARGET_FRAME_IDS[TARGET_FRAME_COUNT];     // "TPE1", "TALB", "TIT2"
extern const char *const TARGET_FRAME_IDS_V22[TARGET_FRAME_COUNT]; // "TP1", "TAL", "TT2"

enum class RewriteKind {
  Rewritten,   // length holds the output length
  Refused,     // the version gate said no; the caller ends silently
  Unsupported, // a tag feature the rewrite cannot carry over faithfully
  Damaged,     // sizes that do not fit the file
};

enum class RewriteReason {
  None,
  // Damaged
  FileTooShort,          // fewer than 10 bytes
  TagPastEndOfFile,      // the tag size runs past the end of the file
  BadExtendedHeaderSize, // an extended header that does not fit
  FramePastEndOfTag,     // a frame whose data runs past the end of the tag
  // Unsupported
  Unsynchronised,      // header flag 0x80
  Compressed,          // version 2 header flag 0x40
  ExtendedHeaderCrc,   // the tag carries a CRC that a rewrite would break
  FrameFormatFlags,    // a target frame compressed, encrypted, grouped...
  UnknownTextEncoding, // a target frame's encoding byte is 4 or more
  TextDoesNotFit,      // the converted text is longer than the original
};

struct RewriteOutcome {
  RewriteKind kind;
  RewriteReason reason;
  uint32_t length; // output bytes, for Rewritten only
};

// input: the whole file, beginning with "ID3"; output: a buffer of at least
// input.length bytes. Never reads or writes outside either buffer. settings:
// how the texts are converted.
RewriteOutcome rewriteTag(FileImage input, uint8_t *output, TextSettings settings);

// One target frame's text as it stands in the tag, for showing what a
// rewrite would change.
struct TargetText {
  char identifier[5];  // zero-terminated: "TIT2", or "TT2" in version 2
  uint8_t encoding;    // the frame's text encoding byte
  bool valuesAreLists; // version 4: the text may hold several values
  const uint8_t *text; // the data after the encoding byte, inside the input
  uint32_t length;
};

// Makes the checks rewriteTag makes and, when it would rewrite, lists the
// target frames that hold text, in tag order: at most capacity of them,
// count receiving how many were listed. Returns what rewriteTag's checks
// gave (length 0); a text that would not fit is rewriteTag's to find.
RewriteOutcome listTargetTexts(FileImage input, TargetText *texts, size_t capacity, size_t &count);
