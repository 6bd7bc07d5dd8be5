// The steps that the rewrite of rewrite_tag.h is made of, shared by its
// conversion in the tag's own version (rewrite_tag.cpp) and into version
// 2.3 (rewrite_version3.cpp). Not for the rewrite's callers.
#pragma once

#include "engine/frame_fields.h"
#include "engine/rewrite_tag.h"
#include "engine/text_values.h"

#include <cstdint>
#include <vector>

// One of the title, artist and album frames, by the record's identifiers.
bool isTargetFrame(const TagFrame &frame, const TagRecord &record);

// The outcome of a walk that did not accept the tag.
RewriteOutcome outcomeOfWalk(const TagRecord &record);

// Counts a frame in left, naming it when it is new there and there is room.
void noteFrame(FramesLeft &left, const char *identifier);

// How convertSpans writes a frame's fields.
struct SpanConversion {
  bool convertStrings;        // false: strings (and the encoding byte) kept as they are
  TextTarget target;          // the strings' output
  uint8_t encoding;           // the encoding byte written for them
  ValueJoin values;           // how a text frame's values are taken
  bool imageFormatAsMimeType; // the first kept field is version 2.2's image format (PIC),
                              // written as the MIME type of version 2.3's APIC
  TextSettings text;
};

// Writes one frame's data, split into spans, into out as conversion says;
// false when it does not fit in capacity bytes.
bool convertSpans(const uint8_t *data, const std::vector<FieldSpan> &spans,
                  const SpanConversion &conversion, uint8_t *out, uint32_t capacity,
                  uint32_t &written);

// The rewrite in the tag's own version; output holds input.length bytes.
RewriteOutcome rewriteAsRead(FileImage input, const TagRecord &record, uint8_t *output,
                             RewriteSettings settings, FramesLeft &left);

// The rewrite into version 2.3 (rewrite_version3.cpp), with what it needs.
RewriteOutcome rewriteAsVersion3(FileImage input, const TagRecord &record, RewriteBuffers buffers,
                                 RewriteSettings settings, RewriteReport &report);
// The longest output of rewriteAsVersion3, whatever the scope and texts.
uint64_t version3OutputLength(FileImage input, const TagRecord &record);
