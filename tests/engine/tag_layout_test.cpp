#include "engine/tag_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint32_t readFrom(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  const uint8_t bytes[4] = {b0, b1, b2, b3};
  return readSynchsafe(bytes);
}

std::vector<uint8_t> written(uint32_t value) {
  uint8_t bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  writeSynchsafe(value, bytes);
  return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

TEST(Synchsafe, ReadsWritesAndMasksAsTheLayoutSays) {
  EXPECT_EQ(readFrom(0x00, 0x00, 0x02, 0x01), 257u);
  EXPECT_EQ(written(257), (std::vector<uint8_t>{0x00, 0x00, 0x02, 0x01}));
  EXPECT_EQ(written(128), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(written(127), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x7F}));
  EXPECT_EQ(written(0), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00}));

  // The top bit of each byte is masked, not validated.
  EXPECT_EQ(readFrom(0x80, 0x80, 0x80, 0x80), 0u);
  EXPECT_EQ(readFrom(0xFF, 0xFF, 0xFF, 0xFF), (1u << 28) - 1);
  EXPECT_EQ(readFrom(0x7F, 0x7F, 0x7F, 0x7F), (1u << 28) - 1);

  // Bits above bit 27 are dropped on the way out.
  EXPECT_EQ(written(1u << 28), written(0));
  EXPECT_EQ(written((1u << 28) + 5), written(5));
  EXPECT_EQ(written(0xFFFFFFFFu), written((1u << 28) - 1));
  for (uint32_t value : {0u, 1u, 127u, 128u, 16383u, 16384u, 2097151u, 2097152u, (1u << 28) - 1}) {
    std::vector<uint8_t> bytes = written(value);
    EXPECT_EQ(readSynchsafe(bytes.data()), value);
    for (uint8_t byte : bytes) {
      EXPECT_LT(byte, 0x80) << value;
    }
  }

  // Plain sizes of version 3 (4 bytes) and version 2 (3 bytes).
  const uint8_t plain[4] = {0x00, 0x00, 0x01, 0x2C};
  EXPECT_EQ(readBigEndian(plain, 4), 300u);
  EXPECT_EQ(readBigEndian(plain + 1, 3), 300u);
  uint8_t out[4] = {};
  writeBigEndian(0x01020304u, out, 4);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  writeBigEndian(300, out, 3);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0x00, 0x01, 0x2C}));

  // Ten zero bytes of padding read as an empty frame with identifier 0.
  const uint8_t zeros[10] = {};
  FrameHeader header = readFrameHeader(zeros);
  EXPECT_EQ(
      header.identifier[0] | header.identifier[1] | header.identifier[2] | header.identifier[3], 0);
  EXPECT_EQ(readSynchsafe(header.size), 0u);
}

} // namespace
