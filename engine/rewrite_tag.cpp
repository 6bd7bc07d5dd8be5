#include "engine/rewrite_tag.h"

#include "engine/text_values.h"

#include <cstring>

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

// The walk's checks, then the target frames', in tag order: format flags
// that change how the data is stored, and text encodings the rewrite does
// not know.
RewriteOutcome checkTag(const uint8_t *bytes, const TagRecord &record) {
  if (record.kind != RewriteKind::Rewritten) {
    return outcome(record.kind, record.reason);
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

// Re-encodes one target frame whose header is already at outHeader; returns
// the bytes its data now takes, or 0 when the converted text would not fit
// where the old one stood.
uint32_t rewriteTargetFrame(const uint8_t *input, const TagFrame &frame, const TagRecord &record,
                            uint8_t *outHeader) {
  const uint8_t *data = input + frame.data.start;
  uint8_t *outData = outHeader + record.frameHeaderSize;
  outData[0] = TEXT_ENCODING_SINGLE_BYTE;
  size_t textLength = 0;
  const bool fits =
      convertFrameText(data + 1, frame.data.length - 1, data[0], record.valuesAreLists, outData + 1,
                       frame.data.length - 1, textLength);
  if (!fits) {
    return 0;
  }
  const auto newSize = static_cast<uint32_t>(1 + textLength);
  writeFrameDataSize(record, outHeader, newSize);
  return newSize;
}

} // namespace

RewriteOutcome rewriteTag(FileImage input, uint8_t *output) {
  const TagRecord record = walkTag(input);
  const uint8_t *bytes = input.bytes;
  const RewriteOutcome checked = checkTag(bytes, record);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }

  const uint32_t framesStart = record.frameArea.start;
  std::memcpy(output, bytes, framesStart);
  uint32_t w = framesStart;
  for (const TagFrame &frame : record.frames) {
    std::memcpy(output + w, bytes + frame.headerStart, record.frameHeaderSize);
    uint32_t dataSize = frame.data.length;
    if (isTargetFrame(frame, record) && frame.data.length > 0) {
      dataSize = rewriteTargetFrame(bytes, frame, record, output + w);
      if (dataSize == 0) {
        return outcome(RewriteKind::Unsupported, RewriteReason::TextDoesNotFit);
      }
    } else {
      std::memcpy(output + w + record.frameHeaderSize, bytes + frame.data.start, frame.data.length);
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

RewriteOutcome listTargetTexts(FileImage input, TargetText *texts, size_t capacity, size_t &count) {
  count = 0;
  const TagRecord record = walkTag(input);
  const RewriteOutcome checked = checkTag(input.bytes, record);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }
  for (const TagFrame &frame : record.frames) {
    if (count == capacity) {
      break;
    }
    if (isTargetFrame(frame, record) && frame.data.length > 0) {
      TargetText &target = texts[count++];
      std::memcpy(target.identifier, frame.identifier, sizeof target.identifier);
      const uint8_t *data = input.bytes + frame.data.start;
      target.encoding = data[0];
      target.valuesAreLists = record.valuesAreLists;
      target.text = data + 1;
      target.length = frame.data.length - 1;
    }
  }
  return checked;
}
