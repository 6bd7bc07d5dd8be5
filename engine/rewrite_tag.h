// The in-memory rewrite of a file's ID3v2 tag: the texts of the title,
// artist and album frames re-encoded into the ANSI code page.
#pragma once

#include "engine/tag_layout.h"

#include <cstdint>

constexpr size_t TARGET_FRAME_COUNT = 3;
extern const char *const TARGET_FRAME_IDS[TARGET_FRAME_COUNT];     // "TPE1", "TALB", "TIT2"
extern const char *const TARGET_FRAME_IDS_V22[TARGET_FRAME_COUNT]; // "TP1", "TAL", "TT2"

struct RewriteOutcome {
  RewriteKind kind;
  RewriteReason reason;
  uint32_t length; // output bytes, for Rewritten only
};

// input: the whole file, beginning with "ID3"; output: a buffer of at least
// input.length bytes. Never reads or writes outside either buffer.
RewriteOutcome rewriteTag(FileImage input, uint8_t *output);

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
