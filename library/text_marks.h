// What a conversion does to the characters of a tag's texts, as the dry
// runs of both front ends show and count it: each character that code page
// 932 cannot hold becomes '?' or (folding) a look-alike. Nothing here
// composes text for people; the front ends do, from these pieces.
#pragma once

#include "engine/rewrite_tag.h"

#include <cstddef>

// What the previews of a run marked, added up.
struct PreviewMarks {
  bool marked;          // some character is shown replaced
  size_t foldableMarks; // characters shown as '?' that have a look-alike (--fold)
  size_t questionMarks; // characters shown as '?'
};

// The length of the character at units[i]: 2 for a surrogate pair, else 1.
size_t characterLength(const char16_t *units, size_t i, size_t count);

// One character (a UTF-16 unit, or a surrogate pair) as a player that reads
// code page text shows it after the conversion: each unit converts on its
// own, as the rewrite converts them, a look-alike taking the place of '?'
// when folding. Adds what it marks to marks.
constexpr size_t CONVERTED_UNITS_AT_MOST = 8;
struct ConvertedCharacter {
  char16_t units[CONVERTED_UNITS_AT_MOST];
  size_t count;
  bool replaced; // the conversion changes the character
};
ConvertedCharacter convertCharacter(const char16_t *units, size_t count, TextSettings settings,
                                    PreviewMarks &marks);

// The units of a text decoded at most to show it.
constexpr size_t UNITS_SHOWN = 4096;

// One string that a rewrite converts, decoded into UTF-16 units (the values
// of a list separated by a zero unit).
struct DecodedTarget {
  const TargetText *text;
  const char16_t *units;
  size_t count;
  bool whole;     // all of it: a long text is cut
  bool bytesKept; // in code page 932 already (encoding 0): its bytes stay as they are
};
typedef void (*TargetVisitor)(void *context, const DecodedTarget &target);

// Visits, in tag order, the strings that rewriteTag would convert in the
// frames of scope (record is the walk of tagRegion): a tag's first strings
// and each one's first units, enough to show them.
void visitTargets(FileImage tagRegion, const TagRecord &record, FrameScope scope,
                  TargetVisitor visit, void *context);

// What a preview of the tag region with these settings would mark, counted
// without composing it.
void countMarks(FileImage tagRegion, const TagRecord &record, RewriteSettings settings,
                PreviewMarks &marks);
