#include "engine/rewrite_tag.h"

#include "engine/frame_fields.h"
#include "engine/rewrite_steps.h"
#include "engine/text_values.h"

#include <cstring>
#include <vector>

const char *const TARGET_FRAME_IDS[TARGET_FRAME_COUNT] = {"TPE1", "TALB", "TIT2"};
const char *const TARGET_FRAME_IDS_V22[TARGET_FRAME_COUNT] = {"TP1", "TAL", "TT2"};

namespace {

RewriteOutcome outcome(RewriteKind kind, RewriteReason reason) {
  return {kind, reason, 0};
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
    return outcomeOfWalk(record);
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

} // namespace

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

RewriteOutcome outcomeOfWalk(const TagRecord &record) {
  return outcome(kindOfVerdict(record.verdict), record.reason);
}

void noteFrame(FramesLeft &left, const char *identifier) {
  ++left.count;
  for (uint32_t i = 0; i < left.named; ++i) {
    if (std::strcmp(left.identifiers[i], identifier) == 0) {
      return;
    }
  }
  if (left.named < FRAMES_LEFT_NAMED) {
    char *named = left.identifiers[left.named++];
    size_t length = 0;
    while (length + 1 < sizeof left.identifiers[0] && identifier[length] != '\0') {
      ++length;
    }
    std::memcpy(named, identifier, length);
    named[length] = '\0';
  }
}

bool convertSpans(const uint8_t *data, const std::vector<FieldSpan> &spans,
                  const SpanConversion &conversion, uint8_t *out, uint32_t capacity,
                  uint32_t &written) {
  const uint8_t encoding = data[0]; // the first field of every layout
  const size_t terminator = conversion.target == TextTarget::Utf16 ? 2 : 1;
  bool imageFormat = conversion.imageFormatAsMimeType;
  written = 0;
  for (const FieldSpan &span : spans) {
    size_t length = 0;
    const uint32_t room = capacity - written;
    const bool converted =
        conversion.convertStrings &&
        (span.use == SpanUse::Text || span.use == SpanUse::Values || span.use == SpanUse::Encoding);
    if (span.use == SpanUse::Kept && imageFormat) {
      // Version 2.2's three characters of image format become a MIME type.
      imageFormat = false;
      const MimeType mimeType = mimeTypeOfImageFormat(data + span.start);
      if (mimeType.length + 1u > room) {
        return false;
      }
      std::memcpy(out + written, mimeType.text, mimeType.length);
      out[written + mimeType.length] = 0;
      length = mimeType.length + 1u;
    } else if (!converted) {
      if (span.length > room) {
        return false;
      }
      length = span.length;
      std::memcpy(out + written, data + span.start, length);
    } else if (span.use == SpanUse::Encoding) {
      if (room == 0) {
        return false;
      }
      length = 1;
      out[written] = conversion.encoding;
    } else {
      const ValueJoin join =
          span.use == SpanUse::Values ? conversion.values : ValueJoin::FirstValue;
      if (!convertText(data + span.start, span.length, encoding, join, conversion.target,
                       conversion.text, out + written, room, length)) {
        return false;
      }
      if (span.use == SpanUse::Text && span.terminated) {
        if (terminator > room - length) {
          return false;
        }
        std::memset(out + written + length, 0, terminator);
        length += terminator;
      }
    }
    written += static_cast<uint32_t>(length);
  }
  return true;
}

RewriteOutcome rewriteTag(FileImage input, uint8_t *output, RewriteSettings settings,
                          FramesLeft &left) {
  return rewriteTag(input, walkTag(input), output, settings, left);
}

RewriteOutcome rewriteTag(FileImage input, const TagRecord &record, uint8_t *output,
                          RewriteSettings settings, FramesLeft &left) {
  RewriteReport report{};
  const RewriteOutcome rewritten =
      rewriteTag(input, record, RewriteBuffers{output, input.length, nullptr, 0}, settings, report);
  left = report.left;
  return rewritten;
}

RewriteNeeds rewriteNeedsOf(FileImage input, const TagRecord &record, RewriteSettings settings) {
  if (settings.version == TagVersion::AsRead) {
    return {input.length, 0};
  }
  return {version3OutputLength(input, record), resynchronisationLength(record)};
}

RewriteOutcome rewriteTag(FileImage input, const TagRecord &record, RewriteBuffers buffers,
                          RewriteSettings settings, RewriteReport &report) {
  report = {};
  if (buffers.outputCapacity < input.length) {
    // Not even the ordinary conversion, which never grows, would fit.
    report.version.obstacle = Version3Obstacle::BuffersTooSmall;
    return outcome(RewriteKind::Unsupported, RewriteReason::TextDoesNotFit);
  }
  if (settings.version == TagVersion::Version3) {
    return rewriteAsVersion3(input, record, buffers, settings, report);
  }
  return rewriteAsRead(input, record, buffers.output, settings, report.left);
}

RewriteOutcome rewriteAsRead(FileImage input, const TagRecord &record, uint8_t *output,
                             RewriteSettings settings, FramesLeft &left) {
  left = {};
  const uint8_t *bytes = input.bytes;
  const RewriteOutcome checked = checkTag(bytes, record);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }

  const SpanConversion conversion = {true,
                                     TextTarget::AnsiCodePage,
                                     TEXT_ENCODING_SINGLE_BYTE,
                                     record.textFramesHoldLists ? ValueJoin::ZeroSeparated
                                                                : ValueJoin::FirstValue,
                                     false,
                                     settings.text};
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
    const bool converted =
        split == FrameSplit::Split && convertSpans(bytes + frame.data.start, spans, conversion,
                                                   outData, frame.data.length, dataSize);
    if (converted) {
      writeFrameDataSize(record, outHeader, dataSize);
    } else if (split != FrameSplit::NoStrings && isTargetFrame(frame, record)) {
      // The checks passed, so only the converted text's length can stop it.
      return outcome(RewriteKind::Unsupported, RewriteReason::TextDoesNotFit);
    } else {
      if (split != FrameSplit::NoStrings) {
        noteFrame(left, frame.identifier);
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
      target.shownLength = string.shownLength;
    }
  }
  return checked;
}
