// The byte layout of an ID3v2 tag at the start of a file, the 4-byte
// synchsafe integer codec its sizes use, and the one walk of a tag that
// every reader of its frames starts from (walkTag).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t TAG_HEADER_SIZE = 10;
constexpr uint32_t FOOTER_SIZE = 10; // version 4: "3DI", then the header's other fields
constexpr uint8_t TAG_FLAG_UNSYNCHRONISATION = 0x80;
constexpr uint8_t TAG_FLAG_EXTENDED_HEADER = 0x40; // compression in version 2
constexpr uint8_t TAG_FLAG_EXPERIMENTAL = 0x20;
constexpr uint8_t TAG_FLAG_FOOTER = 0x10;
// Version 4, the second flag byte of a frame: its data is unsynchronised.
constexpr uint8_t FRAME_FLAG_UNSYNCHRONISATION_V4 = 0x02;

// 10 bytes at file offset 0. All multi-byte fields are big-endian.
struct TagHeader {
  uint8_t identifier[3]; // "ID3"
  uint8_t majorVersion;
  uint8_t revision;
  uint8_t flags;
  uint8_t size[4]; // synchsafe: bytes after this header
};

// Present at file offset 10 when the header flags carry 0x40 (versions 3
// and 4). Its contents follow the size field and are carried over unchanged.
struct ExtendedHeader {
  uint8_t size[4];
};

// The frame header of versions 3 and 4 (10 bytes); version 2 uses 6 bytes:
// a 3-character identifier and a 3-byte size, no flags.
struct FrameHeader {
  uint8_t identifier[4];
  uint8_t size[4];
  uint8_t flags[2];
};

static_assert(sizeof(TagHeader) == 10, "TagHeader is a 10-byte layout");
static_assert(sizeof(ExtendedHeader) == 4, "ExtendedHeader size field is 4 bytes");
static_assert(sizeof(FrameHeader) == 10, "FrameHeader is a 10-byte layout");

// The whole content of one file: N bytes (the low 32 bits of its size).
struct FileImage {
  const uint8_t *bytes;
  uint32_t length;
};

uint32_t readSynchsafe(const uint8_t bytes[4]);
void writeSynchsafe(uint32_t value, uint8_t bytes[4]);

// Plain big-endian numbers, as version 3 frame sizes (4 bytes) and version 2
// frame sizes (3 bytes) are stored.
uint32_t readBigEndian(const uint8_t *bytes, size_t count);
void writeBigEndian(uint32_t value, uint8_t *bytes, size_t count);

TagHeader readTagHeader(const uint8_t *bytes);
FrameHeader readFrameHeader(const uint8_t *bytes);

// The tag's end (header included) as its header gives it: TAG_HEADER_SIZE
// and the synchsafe size. header holds at least TAG_HEADER_SIZE bytes.
uint32_t tagEndOf(const uint8_t *header);

// ---- One walk of the tag -------------------------------------------------

// What the checks of a tag's walk (walkTag) decide.
enum class TagVerdict {
  Accepted,    // every check passed
  Refused,     // the version gate said no; the caller ends silently
  Unsupported, // a tag feature the rewrite cannot carry over faithfully
  Damaged,     // sizes that do not fit the file
};

// Which check decided, when the verdict is not Accepted; the same reasons
// tell why a rewrite stopped (rewrite_tag.h).
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

// How the frame sizes of a tag are stored.
enum class SizeEncoding {
  Synchsafe, // 4 bytes of 7 bits each: version 4
  Plain32,   // 4 plain big-endian bytes: version 3, and version 4 from some writers
  Plain24,   // 3 plain big-endian bytes: version 2
};

// The tag header's flag byte, bit by bit.
struct TagHeaderFlags {
  bool unsynchronisation; // 0x80
  bool extendedHeader;    // 0x40 in versions 3 and 4
  bool compression;       // 0x40 in version 2
  bool experimental;      // 0x20
  bool footer;            // 0x10 (version 4)
};

// Bytes [start, start + length) of the input.
struct ByteSpan {
  uint32_t start;
  uint32_t length;
};

inline uint32_t spanEnd(ByteSpan span) {
  return span.start + span.length;
}

// One frame as the walk met it.
struct TagFrame {
  char identifier[5];     // zero-terminated: "TIT2", or "TT2" in version 2
  uint8_t statusFlags;    // the first flag byte; 0 in version 2
  uint8_t formatFlags;    // the second flag byte; 0 in version 2
  bool storedTransformed; // format flags that change how the data is stored
                          // (compressed, encrypted, grouped, unsynchronised...)
  bool unsynchronised;    // among them, version 4's FRAME_FLAG_UNSYNCHRONISATION_V4
  uint32_t headerStart;   // offset of the frame header
  ByteSpan data;          // the bytes after the frame header
};

// The layout of one tag. Spans are offsets into the input that was walked;
// the areas follow each other: header, extended header, frames, padding,
// then (after the tag's end) the footer.
struct TagRecord {
  // Accepted and None when every check passed. Otherwise the first check
  // that failed, in the order the checks have always been made; the fields
  // below then hold what the bytes gave up to where the walk had to stop
  // (after Unsynchronised or ExtendedHeaderCrc the frames are still read,
  // as the bytes stand).
  TagVerdict verdict;
  RewriteReason reason;
  uint8_t majorVersion;
  uint8_t revision;
  TagHeaderFlags flags;
  uint32_t tagEnd;              // TAG_HEADER_SIZE + the header's size
  ByteSpan extendedHeader;      // length 0 when there is none
  bool extendedHeaderCrc;       // the extended header carries a CRC of the frames
  ByteSpan frameArea;           // from the end of the extended header to the end of the last frame
  ByteSpan padding;             // from the end of the last frame to tagEnd
  ByteSpan footer;              // FOOTER_SIZE bytes at tagEnd, length 0 when there is none
  SizeEncoding sizeEncoding;    // of the frame sizes, in the reading that was taken
  uint32_t frameHeaderSize;     // 10, or 6 in version 2
  uint32_t identifierLength;    // 4, or 3 in version 2
  bool textFramesHoldLists;     // version 4: a text frame's values are separated by terminators
  std::vector<TagFrame> frames; // in tag order
};

// Checks the tag at the start of input (which begins with "ID3") once and
// records its layout. Never reads outside input.
TagRecord walkTag(FileImage input);

// Writers of the sizes the layout holds, for a rewrite that moves frames.
// tag: a copy of the tag header; footer: a copy of the footer; frameHeader:
// a frame header laid out as record's frames are.
void writeTagSize(uint8_t *tag, uint32_t size);
void writeFooterTagSize(uint8_t *footer, uint32_t size);
void writeFrameDataSize(const TagRecord &record, uint8_t *frameHeader, uint32_t size);
