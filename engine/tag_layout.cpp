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
