// The byte layout of an ID3v2 tag at the start of a file, and the 4-byte
// synchsafe integer codec its sizes use.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t TAG_HEADER_SIZE = 10;
constexpr uint8_t TAG_FLAG_UNSYNCHRONISATION = 0x80;
constexpr uint8_t TAG_FLAG_EXTENDED_HEADER = 0x40; // compression in version 2
constexpr uint8_t TAG_FLAG_FOOTER = 0x10;

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
