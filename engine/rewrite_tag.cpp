#include "engine/rewrite_tag.h"

#include "engine/frame_fields.h"
#include "engine/text_values.h"

#include <cstring>
#include <vector>

const char *const TARGET_FRAME_IDS[TARGET_FRAME_COUNT] = {"TPE1", "TALB", "TIT2"};
const char *const TARGET_FRAME_IDS_V22[TARGET_FRAME_COUNT] = {"TP1", "TAL", "TT2"};

namespace {

RewriteOutcome outcome(RewriteKind kind, RewriteReason reason) {
  return {kind, reason, 0};
}

bool isTargetFrame(const TagFrame &frame, const TagRecord &record) {
  const char *const *targets =
      record.identifierLength == 3 ? TARGET_FRAME_IDS_V22 : TARGET_FRAME_IDS;
  for (size_t i = 0; i < TARGET_FRAME_COUNT; ++i) {
    if (std::strcmp(frame.identifier, targets[i]) == 0) {
      return true;
    }
  }
  return false;
}

bool inScope(const TagFrame &frame, const TagRecord &record, FrameScope scope) {
  return scope == FrameScope::AllFrames || isTargetFrame(frame, record);
}

RewriteKind kindOfVerdict(TagVerdict verdict) {
  switch (verdict) {
  case TagVerdict::Refused:
    return RewriteKind::Refused;
  case TagVerdict::Unsupported:
    return RewriteKind::Unsupported;
  case TagVerdict::Damaged:
    return RewriteKind::Damaged;
  case TagVerdict::Accepted:
    break;
  }
  return RewriteKind::Rewritten;
}

// The walk's checks, then the title frames', in tag order: format flags
// that change how the data is stored, and text encodings the rewrite does
// not know.
RewriteOutcome checkTag(const uint8_t *bytes, const TagRecord &record) {
  if (record.verdict != TagVerdict::Accepted) {
    return outcome(kindOfVerdict(record.verdict), record.reason);
  }
  for (const TagFrame &frame : record.frames) {
    if (!isTargetFrame(frame, record)) {
      continue;
    }
    if (frame.storedTransformed) {
      return outcome(RewriteKind::Unsupported, RewriteReason::FrameFormatFlags);
    }
    if (frame.data.length > 0 && bytes[frame.data.start] > TEXT_ENCODING_UTF8) {
      return outcome(RewriteKind::Unsupported, RewriteReason::UnknownTextEncoding);
    }
  }
  return outcome(RewriteKind::Rewritten, RewriteReason::None);
}

// Writes one frame's data, split into spans, converted into out; false when
// it does not fit in capacity bytes.
bool convertSpans(const uint8_t *data, const std::vector<FieldSpan> &spans,
                  bool textFramesHoldLists, TextSettings settings, uint8_t *out, uint32_t capacity,
                  uint32_t &written) {
  const uint8_t encoding = data[0]; // the first field of every layout
  written = 0;
  for (const FieldSpan &span : spans) {
    size_t length = 0;
    const uint32_t room = capacity - written;
    switch (span.use) {
    case SpanUse::Encoding:
      length = 1;
      out[written] = TEXT_ENCODING_SINGLE_BYTE;
      break;
    case SpanUse::Kept:
      if (span.length > room) {
        return false;
      }
      length = span.length;
      std::memcpy(out + written, data + span.start, length);
      break;
    case SpanUse::Text:
    case SpanUse::Values:
      if (!convertFrameText(data + span.start, span.length, encoding,
                            span.use == SpanUse::Values && textFramesHoldLists, settings,
                            out + written, room, length)) {
        return false;
      }
      if (span.use == SpanUse::Text && span.terminated) {
        if (length == room) {
          return false;
        }
        out[written + length++] = 0;
      }
      break;
    }
    written += static_cast<uint32_t>(length);
  }
  return true;
}

void noteLeft(FramesLeft &left, const TagFrame &frame) {
  ++left.count;
  for (uint32_t i = 0; i < left.named; ++i) {
    if (std::strcmp(left.identifiers[i], frame.identifier) == 0) {
      return;
    }
  }
  if (left.named < FRAMES_LEFT_NAMED) {
    std::memcpy(left.identifiers[left.named++], frame.identifier, sizeof frame.identifier);
  }
}

} // namespace

RewriteOutcome rewriteTag(FileImage input, uint8_t *output, RewriteSettings settings,
                          FramesLeft &left) {
  return rewriteTag(input, walkTag(input), output, settings, left);
}

RewriteOutcome rewriteTag(FileImage input, const TagRecord &record, uint8_t *output,
                          RewriteSettings settings, FramesLeft &left) {
  left = {};
  const uint8_t *bytes = input.bytes;
  const RewriteOutcome checked = checkTag(bytes, record);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }

  const uint32_t framesStart = record.frameArea.start;
  std::memcpy(output, bytes, framesStart);
  uint32_t w = framesStart;
  std::vector<FieldSpan> spans;
  for (const TagFrame &frame : record.frames) {
    uint8_t *outHeader = output + w;
    uint8_t *outData = outHeader + record.frameHeaderSize;
    std::memcpy(outHeader, bytes + frame.headerStart, record.frameHeaderSize);
    uint32_t dataSize = frame.data.length;
    const FrameSplit split = inScope(frame, record, settings.scope)
                                 ? splitFrameOf(input, frame, spans)
                                 : FrameSplit::NoStrings;
    const bool converted = split == FrameSplit::Split &&
                           convertSpans(bytes + frame.data.start, spans, record.textFramesHoldLists,
                                        settings.text, outData, frame.data.length, dataSize);
    if (converted) {
      writeFrameDataSize(record, outHeader, dataSize);
    } else if (split != FrameSplit::NoStrings && isTargetFrame(frame, record)) {
      // The checks passed, so only the converted text's length can stop it.
      return outcome(RewriteKind::Unsupported, RewriteReason::TextDoesNotFit);
    } else {
      if (split != FrameSplit::NoStrings) {
        noteLeft(left, frame);
      }
      dataSize = frame.data.length;
      std::memcpy(outData, bytes + frame.data.start, frame.data.length);
    }
    w += record.frameHeaderSize + dataSize;
  }

  // The padding, the footer and the audio, as they are.
  const uint32_t r = record.padding.start;
  std::memcpy(output + w, bytes + r, input.length - r);
  const uint32_t newTagSize = (w - TAG_HEADER_SIZE) + record.padding.length;
  writeTagSize(output, newTagSize);
  if (record.footer.length > 0) {
    writeFooterTagSize(output + w + record.padding.length, newTagSize);
  }
  return {RewriteKind::Rewritten, RewriteReason::None, w + input.length - r};
}

RewriteOutcome listTargetTexts(FileImage input, FrameScope scope, TargetText *texts,
                               size_t capacity, size_t &count) {
  return listTargetTexts(input, walkTag(input), scope, texts, capacity, count);
}

RewriteOutcome listTargetTexts(FileImage input, const TagRecord &record, FrameScope scope,
                               TargetText *texts, size_t capacity, size_t &count) {
  count = 0;
  const RewriteOutcome checked = checkTag(input.bytes, record);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }
  FrameStrings strings;
  for (const TagFrame &frame : record.frames) {
    if (!inScope(frame, record, scope)) {
      continue;
    }
    readFrameStrings(input, record, frame, strings);
    for (const FrameString &string : strings.strings) {
      if (count == capacity) {
        return checked;
      }
      TargetText &target = texts[count++];
      std::memcpy(target.identifier, frame.identifier, sizeof target.identifier);
      target.encoding = strings.encoding;
      target.isList = string.isList;
      target.text = string.text;
      target.length = string.length;
    }
  }
  return checked;
}
