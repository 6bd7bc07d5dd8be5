#include "engine/tag_layout.h"

#include <cstring>

uint32_t readSynchsafe(const uint8_t bytes[4]) {
  return static_cast<uint32_t>(bytes[0] & 0x7Fu) << 21 |
         static_cast<uint32_t>(bytes[1] & 0x7Fu) << 14 |
         static_cast<uint32_t>(bytes[2] & 0x7Fu) << 7 | static_cast<uint32_t>(bytes[3] & 0x7Fu);
}

void writeSynchsafe(uint32_t value, uint8_t bytes[4]) {
  bytes[0] = static_cast<uint8_t>((value >> 21) & 0x7Fu);
  bytes[1] = static_cast<uint8_t>((value >> 14) & 0x7Fu);
  bytes[2] = static_cast<uint8_t>((value >> 7) & 0x7Fu);
  bytes[3] = static_cast<uint8_t>(value & 0x7Fu);
}

uint32_t readBigEndian(const uint8_t *bytes, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    value = value << 8 | bytes[i];
  }
  return value;
}

void writeBigEndian(uint32_t value, uint8_t *bytes, size_t count) {
  for (size_t i = count; i > 0; --i) {
    bytes[i - 1] = static_cast<uint8_t>(value & 0xFFu);
    value >>= 8;
  }
}

TagHeader readTagHeader(const uint8_t *bytes) {
  TagHeader header;
  std::memcpy(&header, bytes, sizeof header);
  return header;
}

FrameHeader readFrameHeader(const uint8_t *bytes) {
  FrameHeader header;
  std::memcpy(&header, bytes, sizeof header);
  return header;
}

uint32_t tagEndOf(const uint8_t *header) {
  return TAG_HEADER_SIZE + readSynchsafe(readTagHeader(header).size);
}

void writeTagSize(uint8_t *tag, uint32_t size) {
  TagHeader header = readTagHeader(tag);
  writeSynchsafe(size, header.size);
  std::memcpy(tag, &header, sizeof header);
}

void writeFooterTagSize(uint8_t *footer, uint32_t size) {
  writeTagSize(footer, size); // the footer repeats the header's layout
}

namespace {

constexpr uint32_t EXTENDED_HEADER_OFFSET = TAG_HEADER_SIZE;
constexpr uint32_t EXTENDED_HEADER_SIZE_FIELD = 4;
constexpr uint8_t FOOTER_IDENTIFIER[3] = {'3', 'D', 'I'};

// Version 3: the size counts the bytes after its own four, 6 without a CRC
// and 10 with it; the first flag byte follows.
constexpr uint32_t EXTENDED_HEADER_V3_PLAIN = 6;
constexpr uint32_t EXTENDED_HEADER_V3_WITH_CRC = 10;
constexpr uint8_t EXTENDED_FLAG_V3_CRC = 0x80;
// Version 4: the size counts the whole extended header (at least the size,
// the flag-byte count and one flag byte); the flag byte follows the count.
constexpr uint32_t EXTENDED_HEADER_V4_SMALLEST = 6;
constexpr uint32_t EXTENDED_FLAGS_V4_OFFSET = 5;
constexpr uint8_t EXTENDED_FLAG_V4_CRC = 0x20;

// Frame format flags (the second flag byte) that change how the data is
// stored. Version 3: compression, encryption, grouping. Version 4:
// grouping, compression, encryption, unsynchronisation, data length.
constexpr uint8_t FORMAT_FLAGS_STORAGE_V3 =
    FRAME_FORMAT_V3_COMPRESSION | FRAME_FORMAT_V3_ENCRYPTION | FRAME_FORMAT_V3_GROUPING;
constexpr uint8_t FORMAT_FLAGS_STORAGE_V4 =
    FRAME_FORMAT_V4_GROUPING | FRAME_FORMAT_V4_COMPRESSION | FRAME_FORMAT_V4_ENCRYPTION |
    FRAME_FLAG_UNSYNCHRONISATION_V4 | FRAME_FORMAT_V4_DATA_LENGTH;

// How one major version lays out its frames, and what may follow its tag.
struct FrameReading {
  uint32_t headerSize;
  uint32_t idLength;
  SizeEncoding sizeEncoding;
  uint8_t storageFlagMask;
  uint8_t unsynchronisationFlag; // the format flag of an unsynchronised frame; 0: none
  bool textFramesHoldLists;
  bool footerAllowed;
};

constexpr FrameReading READING_V2 = {6, 3, SizeEncoding::Plain24, 0x00, 0x00, false, false};
constexpr FrameReading READING_V3 = {
    10, 4, SizeEncoding::Plain32, FORMAT_FLAGS_STORAGE_V3, 0x00, false, false};
constexpr FrameReading READING_V4 = {
    10,   4,   SizeEncoding::Synchsafe, FORMAT_FLAGS_STORAGE_V4, FRAME_FLAG_UNSYNCHRONISATION_V4,
    true, true};

enum class WalkEnd { Clean, RunsPastTag };

struct FrameWalk {
  WalkEnd end;
  uint32_t stop; // where the walk stopped: the end of the last whole frame
};

// Versions 2 and 3 are finished formats whose revisions were meant to stay
// readable by any reader of the same major version: a writer that sets the
// revision byte of a 2.3 tag (2.3.9 has been seen) still lays the tag out
// as 2.3, so revisions up to 9 pass. Version 4 is the newest layout, and a
// 2.4 revision above 0 would come from an edition nobody has published:
// it may carry flags or fields whose meaning the rewrite cannot know, so it
// is refused rather than guessed at. Majors 0 and 1 are read as version 4.
bool isRefusedVersion(uint8_t major, uint8_t revision) {
  if (major > 4) {
    return true;
  }
  if (major == 4) {
    return revision != 0;
  }
  return revision > 9;
}

FrameReading readingForVersion(uint8_t major) {
  if (major == 2) {
    return READING_V2;
  }
  if (major == 3) {
    return READING_V3;
  }
  return READING_V4; // 4, and 0 and 1 which the gate admits
}

uint32_t readFrameSize(const uint8_t *field, SizeEncoding encoding) {
  switch (encoding) {
  case SizeEncoding::Synchsafe:
    return readSynchsafe(field);
  case SizeEncoding::Plain32:
    return readBigEndian(field, 4);
  case SizeEncoding::Plain24:
    return readBigEndian(field, 3);
  }
  return 0;
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

TagFrame frameAt(const uint8_t *bytes, uint32_t r, uint32_t dataSize, const FrameReading &reading) {
  TagFrame frame = {};
  std::memcpy(frame.identifier, bytes + r, reading.idLength);
  if (reading.headerSize == sizeof(FrameHeader)) {
    const FrameHeader header = readFrameHeader(bytes + r);
    frame.statusFlags = header.flags[0];
    frame.formatFlags = header.flags[1];
  }
  frame.storedTransformed = (frame.formatFlags & reading.storageFlagMask) != 0;
  frame.unsynchronised = (frame.formatFlags & reading.unsynchronisationFlag) != 0;
  frame.headerStart = r;
  frame.data = {r + reading.headerSize, dataSize};
  return frame;
}

// Reads the frames from start. A frame is read while a whole header and at
// least one more byte lie before the end of the tag.
//
// An identifier that is not made of capitals and digits ends the frames
// instead of making the tag damaged: padding is zeros, whose first bytes
// read as such an identifier, and writers that leave other bytes after
// their frames (the rest of an older, longer tag; padding of spaces) are
// read by players the same way, up to that point. What follows is carried
// over as it is.
FrameWalk walkFrames(const uint8_t *bytes, uint32_t start, uint32_t tagEnd,
                     const FrameReading &reading, std::vector<TagFrame> &frames) {
  uint32_t r = start;
  while (r + reading.headerSize < tagEnd && isValidIdentifier(bytes + r, reading.idLength)) {
    const uint32_t size = readFrameSize(bytes + r + reading.idLength, reading.sizeEncoding);
    if (size > tagEnd - r - reading.headerSize) {
      return {WalkEnd::RunsPastTag, r};
    }
    frames.push_back(frameAt(bytes, r, size, reading));
    r += reading.headerSize + size;
  }
  return {WalkEnd::Clean, r};
}

bool onlyZerosBetween(const uint8_t *bytes, uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; ++i) {
    if (bytes[i] != 0) {
      return false;
    }
  }
  return true;
}

// iTunes, among other writers, has stored plain 32-bit frame sizes in
// version 4 tags, where sizes are synchsafe. Players that read such tags
// take the sizes as written; refusing them would leave those files
// unconverted, and reading them as synchsafe would cut frames short once a
// frame passes 127 bytes. So both readings are walked, and the plain one is
// taken only when it explains the tag better than the synchsafe one: its
// walk ends cleanly (the rest of the tag zeros) and the synchsafe walk does
// not, or meets fewer frames.
FrameWalk walkVersion4Frames(const uint8_t *bytes, uint32_t start, uint32_t tagEnd,
                             TagRecord &record) {
  FrameReading plain = READING_V4;
  plain.sizeEncoding = SizeEncoding::Plain32;
  std::vector<TagFrame> plainFrames;
  const FrameWalk synchsafeWalk = walkFrames(bytes, start, tagEnd, READING_V4, record.frames);
  const FrameWalk plainWalk = walkFrames(bytes, start, tagEnd, plain, plainFrames);
  const bool synchsafeClean =
      synchsafeWalk.end == WalkEnd::Clean && onlyZerosBetween(bytes, synchsafeWalk.stop, tagEnd);
  const bool plainClean =
      plainWalk.end == WalkEnd::Clean && onlyZerosBetween(bytes, plainWalk.stop, tagEnd);
  if (plainClean && (!synchsafeClean || plainFrames.size() > record.frames.size())) {
    record.frames.swap(plainFrames);
    record.sizeEncoding = SizeEncoding::Plain32;
    return plainWalk;
  }
  return synchsafeWalk;
}

void decide(TagRecord &record, TagVerdict verdict, RewriteReason reason) {
  if (verdict == TagVerdict::Damaged && record.damage == RewriteReason::None) {
    record.damage = reason;
  }
  if (record.verdict == TagVerdict::Accepted) {
    record.verdict = verdict;
    record.reason = reason;
  }
}

// Finds the extended header (versions 3 and 4; version 2 has none) and
// checks its size; false when it does not fit, and the frames cannot be
// found.
bool locateExtendedHeader(const uint8_t *bytes, TagRecord &record) {
  const uint32_t tagEnd = record.tagEnd;
  record.extendedHeader = {EXTENDED_HEADER_OFFSET, 0};
  if (record.majorVersion == 2 || !record.flags.extendedHeader) {
    return true;
  }
  if (tagEnd < EXTENDED_HEADER_OFFSET + EXTENDED_HEADER_SIZE_FIELD) {
    decide(record, TagVerdict::Damaged, RewriteReason::BadExtendedHeaderSize);
    return false;
  }
  const uint8_t *extended = bytes + EXTENDED_HEADER_OFFSET;
  if (record.majorVersion == 3) {
    const uint32_t size = readBigEndian(extended, EXTENDED_HEADER_SIZE_FIELD);
    if ((size != EXTENDED_HEADER_V3_PLAIN && size != EXTENDED_HEADER_V3_WITH_CRC) ||
        EXTENDED_HEADER_OFFSET + EXTENDED_HEADER_SIZE_FIELD + size > tagEnd) {
      decide(record, TagVerdict::Damaged, RewriteReason::BadExtendedHeaderSize);
      return false;
    }
    record.extendedHeader.length = EXTENDED_HEADER_SIZE_FIELD + size;
    record.extendedHeaderCrc = (extended[EXTENDED_HEADER_SIZE_FIELD] & EXTENDED_FLAG_V3_CRC) != 0;
  } else {
    const uint32_t size = readSynchsafe(extended);
    if (size < EXTENDED_HEADER_V4_SMALLEST || size > tagEnd - EXTENDED_HEADER_OFFSET) {
      decide(record, TagVerdict::Damaged, RewriteReason::BadExtendedHeaderSize);
      return false;
    }
    record.extendedHeader.length = size;
    record.extendedHeaderCrc = (extended[EXTENDED_FLAGS_V4_OFFSET] & EXTENDED_FLAG_V4_CRC) != 0;
  }
  if (record.extendedHeaderCrc) {
    decide(record, TagVerdict::Unsupported, RewriteReason::ExtendedHeaderCrc);
  }
  return true;
}

// The footer that version 4 puts after the tag, when the header announces
// it and its identifier is there.
ByteSpan footerOf(FileImage input, const TagRecord &record, const FrameReading &reading) {
  if (!reading.footerAllowed || !record.flags.footer ||
      record.tagEnd + FOOTER_SIZE > input.length ||
      std::memcmp(input.bytes + record.tagEnd, FOOTER_IDENTIFIER, sizeof FOOTER_IDENTIFIER) != 0) {
    return {record.tagEnd, 0};
  }
  return {record.tagEnd, FOOTER_SIZE};
}

// The header's checks, in their order; false when the rest of the tag
// cannot be read at all.
bool checkHeader(FileImage input, TagRecord &record) {
  if (input.length < TAG_HEADER_SIZE) {
    decide(record, TagVerdict::Damaged, RewriteReason::FileTooShort);
    return false;
  }
  const TagHeader header = readTagHeader(input.bytes);
  record.majorVersion = header.majorVersion;
  record.revision = header.revision;
  const bool version2 = header.majorVersion == 2;
  record.flags.unsynchronisation = (header.flags & TAG_FLAG_UNSYNCHRONISATION) != 0;
  record.flags.extendedHeader = !version2 && (header.flags & TAG_FLAG_EXTENDED_HEADER) != 0;
  record.flags.compression = version2 && (header.flags & TAG_FLAG_EXTENDED_HEADER) != 0;
  record.flags.experimental = (header.flags & TAG_FLAG_EXPERIMENTAL) != 0;
  record.flags.footer = (header.flags & TAG_FLAG_FOOTER) != 0;
  record.tagEnd = tagEndOf(input.bytes);
  if (isRefusedVersion(header.majorVersion, header.revision)) {
    decide(record, TagVerdict::Refused, RewriteReason::None);
    return false;
  }
  const FrameReading reading = readingForVersion(header.majorVersion);
  record.sizeEncoding = reading.sizeEncoding;
  record.frameHeaderSize = reading.headerSize;
  record.identifierLength = reading.idLength;
  record.textFramesHoldLists = reading.textFramesHoldLists;
  if (record.flags.unsynchronisation) {
    decide(record, TagVerdict::Unsupported, RewriteReason::Unsynchronised);
  }
  if (record.flags.compression) {
    decide(record, TagVerdict::Unsupported, RewriteReason::Compressed);
    return false;
  }
  if (record.tagEnd > input.length) {
    decide(record, TagVerdict::Damaged, RewriteReason::TagPastEndOfFile);
    return false;
  }
  return true;
}

} // namespace

TagRecord walkTag(FileImage input) {
  TagRecord record = {};
  record.verdict = TagVerdict::Accepted;
  record.reason = RewriteReason::None;
  record.damage = RewriteReason::None;
  if (!checkHeader(input, record) || !locateExtendedHeader(input.bytes, record)) {
    return record;
  }
  const uint32_t framesStart = spanEnd(record.extendedHeader);
  const FrameReading reading = readingForVersion(record.majorVersion);
  const FrameWalk walk =
      record.sizeEncoding == SizeEncoding::Synchsafe
          ? walkVersion4Frames(input.bytes, framesStart, record.tagEnd, record)
          : walkFrames(input.bytes, framesStart, record.tagEnd, reading, record.frames);
  if (walk.end == WalkEnd::RunsPastTag) {
    decide(record, TagVerdict::Damaged, RewriteReason::FramePastEndOfTag);
  }
  record.frameArea = {framesStart, walk.stop - framesStart};
  record.padding = {walk.stop, record.tagEnd - walk.stop};
  record.footer = footerOf(input, record, reading);
  return record;
}

void writeFrameDataSize(const TagRecord &record, uint8_t *frameHeader, uint32_t size) {
  uint8_t *field = frameHeader + record.identifierLength;
  switch (record.sizeEncoding) {
  case SizeEncoding::Synchsafe:
    writeSynchsafe(size, field);
    break;
  case SizeEncoding::Plain32:
    writeBigEndian(size, field, 4);
    break;
  case SizeEncoding::Plain24:
    writeBigEndian(size, field, 3);
    break;
  }
}

namespace {

constexpr uint32_t DECOMPRESSED_SIZE_LENGTH = 4; // version 3; version 4's data length alike
constexpr uint8_t VERSION_3 = 3;

// Takes `count` added bytes from the front of the content; false when the
// data has fewer.
bool takeAdded(const uint8_t *bytes, FrameExtras &extras, uint32_t count, const uint8_t *&at) {
  if (extras.content.length < count) {
    extras.complete = false;
    return false;
  }
  at = bytes + extras.content.start;
  extras.content.start += count;
  extras.content.length -= count;
  return true;
}

} // namespace

FrameExtras frameExtrasOf(const uint8_t *bytes, const TagRecord &record, const TagFrame &frame) {
  FrameExtras extras{};
  extras.complete = true;
  extras.content = frame.data;
  const uint8_t format = frame.formatFlags;
  const uint8_t *at = nullptr;
  if (record.majorVersion == 2) {
    return extras;
  }
  if (record.majorVersion == VERSION_3) {
    extras.compressed = (format & FRAME_FORMAT_V3_COMPRESSION) != 0;
    extras.encrypted = (format & FRAME_FORMAT_V3_ENCRYPTION) != 0;
    extras.grouped = (format & FRAME_FORMAT_V3_GROUPING) != 0;
    if (extras.compressed && takeAdded(bytes, extras, DECOMPRESSED_SIZE_LENGTH, at)) {
      extras.sizeGiven = true;
      extras.size = readBigEndian(at, DECOMPRESSED_SIZE_LENGTH);
    }
    if (extras.encrypted && takeAdded(bytes, extras, 1, at)) {
      extras.method = *at;
    }
    if (extras.grouped && takeAdded(bytes, extras, 1, at)) {
      extras.group = *at;
    }
    return extras;
  }
  extras.grouped = (format & FRAME_FORMAT_V4_GROUPING) != 0;
  extras.compressed = (format & FRAME_FORMAT_V4_COMPRESSION) != 0;
  extras.encrypted = (format & FRAME_FORMAT_V4_ENCRYPTION) != 0;
  if (extras.grouped && takeAdded(bytes, extras, 1, at)) {
    extras.group = *at;
  }
  if (extras.encrypted && takeAdded(bytes, extras, 1, at)) {
    extras.method = *at;
  }
  if ((format & FRAME_FORMAT_V4_DATA_LENGTH) != 0 &&
      takeAdded(bytes, extras, DECOMPRESSED_SIZE_LENGTH, at)) {
    extras.sizeGiven = true;
    extras.size = readSynchsafe(at);
  }
  return extras;
}

bool formatFlagsKnown(const TagRecord &record, const TagFrame &frame) {
  if (record.majorVersion == 2) {
    return true;
  }
  const uint8_t known =
      hasVersion4Layout(record) ? FORMAT_FLAGS_STORAGE_V4 : FORMAT_FLAGS_STORAGE_V3;
  return (frame.formatFlags & ~known) == 0;
}

uint8_t statusFlagsV3Of(const TagRecord &record, const TagFrame &frame) {
  if (record.majorVersion == 2) {
    return 0;
  }
  if (!hasVersion4Layout(record)) {
    return frame.statusFlags;
  }
  const uint8_t status = frame.statusFlags;
  return static_cast<uint8_t>(
      ((status & FRAME_STATUS_V4_TAG_ALTER) != 0 ? FRAME_STATUS_V3_TAG_ALTER : 0) |
      ((status & FRAME_STATUS_V4_FILE_ALTER) != 0 ? FRAME_STATUS_V3_FILE_ALTER : 0) |
      ((status & FRAME_STATUS_V4_READ_ONLY) != 0 ? FRAME_STATUS_V3_READ_ONLY : 0));
}

uint8_t formatFlagsV3Of(const FrameExtras &extras) {
  return static_cast<uint8_t>((extras.compressed ? FRAME_FORMAT_V3_COMPRESSION : 0) |
                              (extras.encrypted ? FRAME_FORMAT_V3_ENCRYPTION : 0) |
                              (extras.grouped ? FRAME_FORMAT_V3_GROUPING : 0));
}

uint32_t extrasLengthV3(const FrameExtras &extras) {
  return (extras.compressed ? DECOMPRESSED_SIZE_LENGTH : 0) + (extras.encrypted ? 1 : 0) +
         (extras.grouped ? 1 : 0);
}

uint32_t writeFrameHeaderV3(uint8_t *out, const char *identifier, uint32_t size,
                            uint8_t statusFlags, uint8_t formatFlags, const FrameExtras &extras) {
  FrameHeader header{};
  std::memcpy(header.identifier, identifier, sizeof header.identifier);
  writeBigEndian(size, header.size, sizeof header.size);
  header.flags[0] = statusFlags;
  header.flags[1] = formatFlags;
  std::memcpy(out, &header, sizeof header);
  uint32_t w = sizeof header;
  if (extras.compressed) {
    writeBigEndian(extras.size, out + w, DECOMPRESSED_SIZE_LENGTH);
    w += DECOMPRESSED_SIZE_LENGTH;
  }
  if (extras.encrypted) {
    out[w++] = extras.method;
  }
  if (extras.grouped) {
    out[w++] = extras.group;
  }
  return w;
}

void writeTagHeaderV3(uint8_t *out, uint8_t revision, uint8_t flags, uint32_t size) {
  TagHeader header = {{'I', 'D', '3'}, VERSION_3, revision, flags, {}};
  writeSynchsafe(size, header.size);
  std::memcpy(out, &header, sizeof header);
}

uint32_t resynchronise(const uint8_t *in, uint32_t length, uint8_t *out) {
  uint32_t w = 0;
  for (uint32_t r = 0; r < length; ++r) {
    out[w++] = in[r];
    if (in[r] == 0xFF && r + 1 < length && in[r + 1] == 0x00) {
      ++r;
    }
  }
  return w;
}

uint32_t resynchronisationLength(const TagRecord &record) {
  bool unsynchronised = record.flags.unsynchronisation;
  for (const TagFrame &frame : record.frames) {
    unsynchronised = unsynchronised || frame.unsynchronised;
  }
  return unsynchronised ? record.tagEnd : 0;
}

ResynchronisedTag resynchroniseTag(FileImage input, const TagRecord &record, uint8_t *scratch) {
  if (record.tagEnd > input.length) {
    return {{scratch, 0}, RewriteReason::TagPastEndOfFile};
  }
  const uint8_t *bytes = input.bytes;
  uint32_t w = TAG_HEADER_SIZE;
  if (!hasVersion4Layout(record)) {
    w += resynchronise(bytes + TAG_HEADER_SIZE, record.tagEnd - TAG_HEADER_SIZE,
                       scratch + TAG_HEADER_SIZE);
  } else {
    // The frames are where the walk found them, after the extended header.
    if (record.frameArea.start < TAG_HEADER_SIZE) {
      return {{scratch, 0}, RewriteReason::BadExtendedHeaderSize};
    }
    std::memcpy(scratch + w, bytes + w, record.frameArea.start - w);
    w = record.frameArea.start;
    for (const TagFrame &frame : record.frames) {
      uint8_t *header = scratch + w;
      FrameHeader copied = readFrameHeader(bytes + frame.headerStart);
      copied.flags[1] = static_cast<uint8_t>(copied.flags[1] & ~FRAME_FLAG_UNSYNCHRONISATION_V4);
      std::memcpy(header, &copied, sizeof copied);
      uint8_t *data = header + record.frameHeaderSize;
      uint32_t size = frame.data.length;
      if (record.flags.unsynchronisation || frame.unsynchronised) {
        size = resynchronise(bytes + frame.data.start, frame.data.length, data);
      } else {
        std::memcpy(data, bytes + frame.data.start, size);
      }
      writeFrameDataSize(record, header, size);
      w += record.frameHeaderSize + size;
    }
    const uint32_t rest = spanEnd(record.frameArea);
    std::memcpy(scratch + w, bytes + rest, record.tagEnd - rest);
    w += record.tagEnd - rest;
  }
  TagHeader header = readTagHeader(bytes);
  header.flags = static_cast<uint8_t>(header.flags & ~TAG_FLAG_UNSYNCHRONISATION);
  writeSynchsafe(w - TAG_HEADER_SIZE, header.size);
  std::memcpy(scratch, &header, sizeof header);
  return {{scratch, w}, RewriteReason::None};
}
