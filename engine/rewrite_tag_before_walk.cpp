// The rewrite as it stood before walkTag, kept while the two are compared.
#include "engine/rewrite_tag_before_walk.h"

#include "engine/ansi_text.h"
#include "engine/text_values.h"

#include <cstring>

namespace {

constexpr uint32_t EXTENDED_HEADER_OFFSET = TAG_HEADER_SIZE;

enum class SizeCoding { Synchsafe, Plain32, Plain24 };

// How one major version lays out its frames.
struct FrameLayout {
  uint32_t headerSize;
  uint32_t idLength;
  SizeCoding sizeCoding;
  uint8_t formatFlagMask; // bits of the second flag byte that change how data is stored
  bool valuesAreLists;    // version 4 texts hold several values
  const char *const *targets;
};

constexpr FrameLayout LAYOUT_V2 = {6, 3, SizeCoding::Plain24, 0x00, false, TARGET_FRAME_IDS_V22};
constexpr FrameLayout LAYOUT_V3 = {10, 4, SizeCoding::Plain32, 0xE0, false, TARGET_FRAME_IDS};
constexpr FrameLayout LAYOUT_V4 = {10, 4, SizeCoding::Synchsafe, 0x4F, true, TARGET_FRAME_IDS};

struct TagBounds {
  uint32_t framesStart; // F
  uint32_t tagEnd;      // T
};

struct FrameSpan {
  uint32_t start;    // offset of the frame header
  uint32_t dataSize; // bytes after the header
};

enum class FrameStep { Frame, End, RunsPastTag };

struct FrameWalk {
  FrameStep last; // End, or RunsPastTag when a frame did not fit
  uint32_t stop;  // where the walk stopped
  uint32_t frameCount;
};

RewriteOutcome outcome(RewriteKind kind, RewriteReason reason) {
  return {kind, reason, 0};
}

bool isRefusedVersionBeforeWalk(uint8_t major, uint8_t revision) {
  if (major > 4) {
    return true;
  }
  if (major == 4) {
    return revision != 0;
  }
  return revision > 9;
}

FrameLayout layoutForVersion(uint8_t major) {
  if (major == 2) {
    return LAYOUT_V2;
  }
  if (major == 3) {
    return LAYOUT_V3;
  }
  return LAYOUT_V4; // 4, and 0 and 1 which the gate admits
}

uint32_t readFrameSize(const uint8_t *field, SizeCoding coding) {
  switch (coding) {
  case SizeCoding::Synchsafe:
    return readSynchsafe(field);
  case SizeCoding::Plain32:
    return readBigEndian(field, 4);
  case SizeCoding::Plain24:
    return readBigEndian(field, 3);
  }
  return 0;
}

void writeFrameSize(uint32_t size, uint8_t *field, SizeCoding coding) {
  switch (coding) {
  case SizeCoding::Synchsafe:
    writeSynchsafe(size, field);
    break;
  case SizeCoding::Plain32:
    writeBigEndian(size, field, 4);
    break;
  case SizeCoding::Plain24:
    writeBigEndian(size, field, 3);
    break;
  }
}

bool isIdentifierCharacter(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isValidIdentifier(const uint8_t *id, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (!isIdentifierCharacter(id[i])) {
      return false;
    }
  }
  return true;
}

bool isTargetFrame(const uint8_t *id, const FrameLayout &layout) {
  for (size_t i = 0; i < TARGET_FRAME_COUNT; ++i) {
    if (std::memcmp(id, layout.targets[i], layout.idLength) == 0) {
      return true;
    }
  }
  return false;
}

// Reads the frame at r. A frame is read while a whole header and at least one
// more byte lie before the end of the tag; an identifier that is not valid
// (zero padding among them) ends the frames.
FrameStep readFrame(const uint8_t *bytes, uint32_t r, uint32_t tagEnd, const FrameLayout &layout,
                    FrameSpan &frame) {
  if (r + layout.headerSize >= tagEnd || !isValidIdentifier(bytes + r, layout.idLength)) {
    return FrameStep::End;
  }
  const uint32_t size = readFrameSize(bytes + r + layout.idLength, layout.sizeCoding);
  if (size > tagEnd - r - layout.headerSize) {
    return FrameStep::RunsPastTag;
  }
  frame = {r, size};
  return FrameStep::Frame;
}

uint32_t frameEnd(const FrameSpan &frame, const FrameLayout &layout) {
  return frame.start + layout.headerSize + frame.dataSize;
}

FrameWalk walkFrames(const uint8_t *bytes, TagBounds bounds, const FrameLayout &layout) {
  FrameWalk walk = {FrameStep::End, bounds.framesStart, 0};
  FrameSpan frame = {};
  while ((walk.last = readFrame(bytes, walk.stop, bounds.tagEnd, layout, frame)) ==
         FrameStep::Frame) {
    walk.stop = frameEnd(frame, layout);
    ++walk.frameCount;
  }
  return walk;
}

bool onlyZerosBetween(const uint8_t *bytes, uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; ++i) {
    if (bytes[i] != 0) {
      return false;
    }
  }
  return true;
}

bool isCleanWalk(const FrameWalk &walk, const uint8_t *bytes, uint32_t tagEnd) {
  return walk.last != FrameStep::RunsPastTag && onlyZerosBetween(bytes, walk.stop, tagEnd);
}

// Some writers put plain 32-bit frame sizes into version 4 tags. Both
// readings are walked; the plain one is taken only when it explains the tag
// better than the synchsafe one.
FrameLayout chooseVersion4Reading(const uint8_t *bytes, TagBounds bounds) {
  FrameLayout plain = LAYOUT_V4;
  plain.sizeCoding = SizeCoding::Plain32;
  const FrameWalk synchsafeWalk = walkFrames(bytes, bounds, LAYOUT_V4);
  const FrameWalk plainWalk = walkFrames(bytes, bounds, plain);
  const bool synchsafeClean = isCleanWalk(synchsafeWalk, bytes, bounds.tagEnd);
  const bool plainClean = isCleanWalk(plainWalk, bytes, bounds.tagEnd);
  if (plainClean && (!synchsafeClean || plainWalk.frameCount > synchsafeWalk.frameCount)) {
    return plain;
  }
  return LAYOUT_V4;
}

// Finds where the frames start, checking the extended header (versions 3
// and 4 only; version 2 has none).
RewriteOutcome locateFrames(const uint8_t *bytes, uint8_t major, TagBounds &bounds) {
  bounds.framesStart = TAG_HEADER_SIZE;
  if (major == 2 || (bytes[5] & TAG_FLAG_EXTENDED_HEADER) == 0) {
    return outcome(RewriteKind::Rewritten, RewriteReason::None);
  }
  if (bounds.tagEnd < EXTENDED_HEADER_OFFSET + 4) {
    return outcome(RewriteKind::Damaged, RewriteReason::BadExtendedHeaderSize);
  }
  const uint8_t *extended = bytes + EXTENDED_HEADER_OFFSET;
  bool carriesCrc = false;
  if (major == 3) {
    // The size counts the bytes after its own four: 6 without a CRC, 10 with.
    const uint32_t size = readBigEndian(extended, 4);
    if ((size != 6 && size != 10) || EXTENDED_HEADER_OFFSET + 4 + size > bounds.tagEnd) {
      return outcome(RewriteKind::Damaged, RewriteReason::BadExtendedHeaderSize);
    }
    bounds.framesStart = EXTENDED_HEADER_OFFSET + 4 + size;
    carriesCrc = (extended[4] & 0x80) != 0;
  } else {
    // The size counts the whole extended header: size, flag count, flags.
    const uint32_t size = readSynchsafe(extended);
    if (size < 6 || size > bounds.tagEnd - EXTENDED_HEADER_OFFSET) {
      return outcome(RewriteKind::Damaged, RewriteReason::BadExtendedHeaderSize);
    }
    bounds.framesStart = EXTENDED_HEADER_OFFSET + size;
    carriesCrc = (extended[5] & 0x20) != 0;
  }
  if (carriesCrc) {
    return outcome(RewriteKind::Unsupported, RewriteReason::ExtendedHeaderCrc);
  }
  return outcome(RewriteKind::Rewritten, RewriteReason::None);
}

// The target frames are checked, in tag order, for what the rewrite cannot
// carry over: format flags that change how the data is stored, and text
// encodings it does not know.
RewriteOutcome checkTargetFrames(const uint8_t *bytes, TagBounds bounds,
                                 const FrameLayout &layout) {
  FrameSpan frame = {};
  uint32_t r = bounds.framesStart;
  while (readFrame(bytes, r, bounds.tagEnd, layout, frame) == FrameStep::Frame) {
    if (isTargetFrame(bytes + r, layout)) {
      if ((bytes[r + layout.headerSize - 1] & layout.formatFlagMask) != 0) {
        return outcome(RewriteKind::Unsupported, RewriteReason::FrameFormatFlags);
      }
      if (frame.dataSize > 0 && bytes[r + layout.headerSize] > TEXT_ENCODING_UTF8) {
        return outcome(RewriteKind::Unsupported, RewriteReason::UnknownTextEncoding);
      }
    }
    r = frameEnd(frame, layout);
  }
  return outcome(RewriteKind::Rewritten, RewriteReason::None);
}

RewriteOutcome checkTag(FileImage input, FrameLayout &layout, TagBounds &bounds) {
  const uint8_t *bytes = input.bytes;
  if (input.length < TAG_HEADER_SIZE) {
    return outcome(RewriteKind::Damaged, RewriteReason::FileTooShort);
  }
  const TagHeader header = readTagHeader(bytes);
  if (isRefusedVersionBeforeWalk(header.majorVersion, header.revision)) {
    return outcome(RewriteKind::Refused, RewriteReason::None);
  }
  if ((header.flags & TAG_FLAG_UNSYNCHRONISATION) != 0) {
    return outcome(RewriteKind::Unsupported, RewriteReason::Unsynchronised);
  }
  if (header.majorVersion == 2 && (header.flags & TAG_FLAG_EXTENDED_HEADER) != 0) {
    return outcome(RewriteKind::Unsupported, RewriteReason::Compressed);
  }
  bounds.tagEnd = TAG_HEADER_SIZE + readSynchsafe(header.size);
  if (bounds.tagEnd > input.length) {
    return outcome(RewriteKind::Damaged, RewriteReason::TagPastEndOfFile);
  }
  const RewriteOutcome located = locateFrames(bytes, header.majorVersion, bounds);
  if (located.kind != RewriteKind::Rewritten) {
    return located;
  }
  layout = layoutForVersion(header.majorVersion);
  if (layout.sizeCoding == SizeCoding::Synchsafe) {
    layout = chooseVersion4Reading(bytes, bounds);
  }
  if (walkFrames(bytes, bounds, layout).last == FrameStep::RunsPastTag) {
    return outcome(RewriteKind::Damaged, RewriteReason::FramePastEndOfTag);
  }
  return checkTargetFrames(bytes, bounds, layout);
}

// Re-encodes one target frame whose header is already at output[w]; returns
// the bytes the frame now takes, header included, or 0 when the converted
// text would not fit where the old one stood.
uint32_t rewriteTargetFrame(const uint8_t *input, const FrameSpan &frame, const FrameLayout &layout,
                            uint8_t *output, uint32_t w) {
  const uint8_t *data = input + frame.start + layout.headerSize;
  uint8_t *outData = output + w + layout.headerSize;
  outData[0] = TEXT_ENCODING_SINGLE_BYTE;
  size_t textLength = 0;
  const bool fits = convertFrameText(data + 1, frame.dataSize - 1, data[0], layout.valuesAreLists,
                                     outData + 1, frame.dataSize - 1, textLength);
  if (!fits) {
    return 0;
  }
  const auto newSize = static_cast<uint32_t>(1 + textLength);
  writeFrameSize(newSize, output + w + layout.idLength, layout.sizeCoding);
  return layout.headerSize + newSize;
}

void updateFooter(FileImage input, uint32_t tagEnd, uint8_t *footer, uint32_t newTagSize) {
  if ((input.bytes[5] & TAG_FLAG_FOOTER) == 0 || tagEnd + FOOTER_SIZE > input.length ||
      std::memcmp(input.bytes + tagEnd, "3DI", 3) != 0) {
    return;
  }
  writeSynchsafe(newTagSize, footer + 6);
}

} // namespace

RewriteOutcome rewriteTagBeforeWalk(FileImage input, uint8_t *output) {
  FrameLayout layout = LAYOUT_V4;
  TagBounds bounds = {};
  const RewriteOutcome checked = checkTag(input, layout, bounds);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }

  const uint8_t *bytes = input.bytes;
  std::memcpy(output, bytes, bounds.framesStart);
  uint32_t r = bounds.framesStart;
  uint32_t w = bounds.framesStart;
  FrameSpan frame = {};
  while (readFrame(bytes, r, bounds.tagEnd, layout, frame) == FrameStep::Frame) {
    const uint32_t frameSize = layout.headerSize + frame.dataSize;
    std::memcpy(output + w, bytes + r, layout.headerSize);
    if (isTargetFrame(bytes + r, layout) && frame.dataSize > 0) {
      const uint32_t written = rewriteTargetFrame(bytes, frame, layout, output, w);
      if (written == 0) {
        return outcome(RewriteKind::Unsupported, RewriteReason::TextDoesNotFit);
      }
      w += written;
    } else {
      std::memcpy(output + w + layout.headerSize, bytes + r + layout.headerSize, frame.dataSize);
      w += frameSize;
    }
    r += frameSize;
  }

  std::memcpy(output + w, bytes + r, input.length - r);
  const uint32_t newTagSize = (w - TAG_HEADER_SIZE) + (bounds.tagEnd - r);
  writeSynchsafe(newTagSize, output + 6);
  if (layout.valuesAreLists) {
    updateFooter(input, bounds.tagEnd, output + w + (bounds.tagEnd - r), newTagSize);
  }
  return {RewriteKind::Rewritten, RewriteReason::None, w + input.length - r};
}

RewriteOutcome listTargetTextsBeforeWalk(FileImage input, TargetText *texts, size_t capacity,
                                         size_t &count) {
  count = 0;
  FrameLayout layout = LAYOUT_V4;
  TagBounds bounds = {};
  const RewriteOutcome checked = checkTag(input, layout, bounds);
  if (checked.kind != RewriteKind::Rewritten) {
    return checked;
  }
  const uint8_t *bytes = input.bytes;
  uint32_t r = bounds.framesStart;
  FrameSpan frame = {};
  while (readFrame(bytes, r, bounds.tagEnd, layout, frame) == FrameStep::Frame &&
         count < capacity) {
    if (isTargetFrame(bytes + r, layout) && frame.dataSize > 0) {
      TargetText &target = texts[count++];
      std::memset(target.identifier, 0, sizeof target.identifier);
      std::memcpy(target.identifier, bytes + r, layout.idLength);
      const uint8_t *data = bytes + r + layout.headerSize;
      target.encoding = data[0];
      target.valuesAreLists = layout.valuesAreLists;
      target.text = data + 1;
      target.length = frame.dataSize - 1;
    }
    r = frameEnd(frame, layout);
  }
  return checked;
}
