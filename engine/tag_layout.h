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

// The flag bytes of a frame (versions 3 and 4): status, then format.
// Version 3: the status bits, then the format bits; the bytes that a format
// flag adds come first in the frame's data, in the order of the bits.
constexpr uint8_t FRAME_STATUS_V3_TAG_ALTER = 0x80;  // drop the frame when the tag is altered
constexpr uint8_t FRAME_STATUS_V3_FILE_ALTER = 0x40; // drop it when the audio is altered
constexpr uint8_t FRAME_STATUS_V3_READ_ONLY = 0x20;
constexpr uint8_t FRAME_FORMAT_V3_COMPRESSION = 0x80; // adds 4 bytes: the decompressed size
constexpr uint8_t FRAME_FORMAT_V3_ENCRYPTION = 0x40;  // adds 1 byte: the method
constexpr uint8_t FRAME_FORMAT_V3_GROUPING = 0x20;    // adds 1 byte: the group
// Version 4: the same status bits one place lower; the format bits, whose
// added bytes come in the order group, method, data length.
constexpr uint8_t FRAME_STATUS_V4_TAG_ALTER = 0x40;
constexpr uint8_t FRAME_STATUS_V4_FILE_ALTER = 0x20;
constexpr uint8_t FRAME_STATUS_V4_READ_ONLY = 0x10;
constexpr uint8_t FRAME_FORMAT_V4_GROUPING = 0x40; // adds 1 byte: the group
constexpr uint8_t FRAME_FORMAT_V4_COMPRESSION = 0x08;
constexpr uint8_t FRAME_FORMAT_V4_ENCRYPTION = 0x04; // adds 1 byte: the method
constexpr uint8_t FRAME_FLAG_UNSYNCHRONISATION_V4 = 0x02;
constexpr uint8_t FRAME_FORMAT_V4_DATA_LENGTH = 0x01; // adds 4 synchsafe bytes: the data's length
                                                      // with every format flag undone

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
  // The first check that found the tag Damaged, even when an earlier one
  // decided the verdict (unsynchronisation, a CRC): None when every size
  // fits.
  RewriteReason damage;
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

// Whether the tag is laid out as version 4 (majors 0 and 1 are read so).
inline bool hasVersion4Layout(const TagRecord &record) {
  return record.majorVersion != 2 && record.majorVersion != 3;
}

// Writers of the sizes the layout holds, for a rewrite that moves frames.
// tag: a copy of the tag header; footer: a copy of the footer; frameHeader:
// a frame header laid out as record's frames are.
void writeTagSize(uint8_t *tag, uint32_t size);
void writeFooterTagSize(uint8_t *footer, uint32_t size);
void writeFrameDataSize(const TagRecord &record, uint8_t *frameHeader, uint32_t size);

// ---- Frames as version 2.3 stores them -------------------------------------

// What the format flags of a frame add before its content, read from its
// data as it stands (no unsynchronisation applies to it any more).
// Version 2 frames have no flags: their content is their data.
struct FrameExtras {
  bool complete;   // the data holds every byte that the flags add
  bool compressed; // the content is compressed (zlib)
  bool encrypted;  // the content is encrypted, by method
  bool grouped;    // the frame belongs to group
  bool sizeGiven;  // version 3: compressed; version 4: the data length indicator is there
  uint32_t size;   // the decompressed size (version 3), the data length indicator (version 4)
  uint8_t method;
  uint8_t group;
  ByteSpan content; // after the added bytes, to the end of the frame's data
};

FrameExtras frameExtrasOf(const uint8_t *bytes, const TagRecord &record, const TagFrame &frame);

// Whether every bit of a frame's format byte has a meaning in its version.
bool formatFlagsKnown(const TagRecord &record, const TagFrame &frame);

// A frame's status flags (tag alter, file alter, read-only) at their
// version 3 bits; 0 for version 2, whose frames have none.
uint8_t statusFlagsV3Of(const TagRecord &record, const TagFrame &frame);

// The version 3 format flags for extras (compression, encryption,
// grouping), and the bytes they add.
uint8_t formatFlagsV3Of(const FrameExtras &extras);
uint32_t extrasLengthV3(const FrameExtras &extras);

// Writes a version 3 frame header: identifier (4 characters), size (the
// data after the header, the added bytes included) and flags (formatFlags
// holds at least formatFlagsV3Of(extras)); then the bytes that extras
// adds. Returns the bytes written: the header and those.
uint32_t writeFrameHeaderV3(uint8_t *out, const char *identifier, uint32_t size,
                            uint8_t statusFlags, uint8_t formatFlags, const FrameExtras &extras);

// Writes a version 3 tag header: "ID3", 3, revision, flags, size.
void writeTagHeaderV3(uint8_t *out, uint8_t revision, uint8_t flags, uint32_t size);

// The largest tag size (after the header) that the header's 28 bits hold.
constexpr uint32_t TAG_SIZE_LARGEST = 0x0FFFFFFF;

// ---- Unsynchronisation -----------------------------------------------------

// Undoes unsynchronisation: drops every zero byte that follows 0xFF.
// out may be in (or before it, in the same buffer). Returns the bytes
// written.
uint32_t resynchronise(const uint8_t *in, uint32_t length, uint8_t *out);

// The bytes that resynchroniseTag needs for a walked tag: record.tagEnd
// when the tag (its header flag) or one of its frames (version 4) is
// unsynchronised; 0 when nothing is.
uint32_t resynchronisationLength(const TagRecord &record);

// The tag copied with every unsynchronisation undone, for walkTag to read:
// header, extended header, frames and padding (no footer), the header's
// flag cleared and its size rewritten. Versions 2 and 3 unsynchronise the
// whole tag after its header; version 4 each frame's data, every frame's
// when the header says so: each is resynchronised, its flag cleared and
// its size rewritten. tag is empty when the copy cannot be made, and
// damage then says why: the tag runs past the end of input, or its frames
// cannot be found.
struct ResynchronisedTag {
  FileImage tag; // in scratch
  RewriteReason damage;
};
// scratch: resynchronisationLength(record) bytes.
ResynchronisedTag resynchroniseTag(FileImage input, const TagRecord &record, uint8_t *scratch);
