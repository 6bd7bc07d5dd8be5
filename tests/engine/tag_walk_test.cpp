// walkTag's record: the areas of a tag, the reading of its frame sizes, and
// each frame's identifier, flags and data.
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

namespace {

struct WalkCase {
  const char *name;
  TagParts parts;
  SizeEncoding sizeEncoding;
  uint32_t extendedLength;
  uint32_t paddingLength;
  uint32_t footerLength;
  RewriteReason reason;
};

TagParts partsOf(uint8_t major, std::vector<Bytes> frames, size_t padding, uint8_t flags = 0) {
  TagParts parts;
  parts.major = major;
  parts.frames = std::move(frames);
  parts.padding = padding;
  parts.flags = flags;
  return parts;
}

const Bytes LONG_TEXT = Bytes{0} + repeat('a', 200); // its size reads differently as synchsafe

TEST(TagWalk, RecordsTheAreasAndEveryFrame) {
  TagParts withFooter =
      partsOf(4, {frame(4, "TIT2", ascii("\0a", 2)), frame(4, "APIC", LONG_TEXT)}, 0);
  withFooter.extendedHeader = extendedHeaderV4(0x00);
  withFooter.footer = true;
  TagParts version3 =
      partsOf(3, {frame(3, "TIT2", ascii("\0a", 2), SizeStyle::Native, 0x40, 0x20)}, 7);
  version3.extendedHeader = extendedHeaderV3(false);
  const WalkCase cases[] = {
      {"version 4, extended header and footer", withFooter, SizeEncoding::Synchsafe, 6, 0, 10,
       RewriteReason::None},
      {"version 4 with plain sizes",
       partsOf(4,
               {frame(4, "TIT2", LONG_TEXT, SizeStyle::Plain),
                frame(4, "TPE1", LONG_TEXT, SizeStyle::Plain)},
               3),
       SizeEncoding::Plain32, 0, 3, 0, RewriteReason::None},
      {"version 3, grouped frame", version3, SizeEncoding::Plain32, 10, 7, 0, RewriteReason::None},
      // Format flag 0x02 is unsynchronisation in version 4 alone.
      {"version 4, unsynchronised frame",
       partsOf(4, {frame(4, "TIT2", ascii("\0a", 2), SizeStyle::Native, 0, 0x02)}, 1),
       SizeEncoding::Synchsafe, 0, 1, 0, RewriteReason::None},
      {"version 3, flag 0x02",
       partsOf(3, {frame(3, "TIT2", ascii("\0a", 2), SizeStyle::Native, 0, 0x02)}, 1),
       SizeEncoding::Plain32, 0, 1, 0, RewriteReason::None},
      {"version 2", partsOf(2, {frame(2, "TT2", ascii("\0a", 2)), frame(2, "PIC", LONG_TEXT)}, 5),
       SizeEncoding::Plain24, 0, 5, 0, RewriteReason::None},
      {"unsynchronised, still walked",
       partsOf(3, {frame(3, "TIT2", ascii("\0a", 2)), frame(3, "TALB", ascii("\0b", 2))}, 0, 0x80),
       SizeEncoding::Plain32, 0, 0, 0, RewriteReason::Unsynchronised},
  };
  for (const WalkCase &row : cases) {
    const Bytes tag = buildTag(row.parts);
    const TagRecord record = walkTag(FileImage{tag.data(), static_cast<uint32_t>(tag.size())});
    EXPECT_EQ(record.reason, row.reason) << row.name;
    EXPECT_EQ(record.sizeEncoding, row.sizeEncoding) << row.name;
    EXPECT_EQ(record.majorVersion, row.parts.major) << row.name;
    EXPECT_EQ(record.extendedHeader.length, row.extendedLength) << row.name;
    EXPECT_EQ(record.padding.length, row.paddingLength) << row.name;
    EXPECT_EQ(record.footer.length, row.footerLength) << row.name;
    EXPECT_EQ(record.flags.footer, row.parts.footer) << row.name;
    EXPECT_EQ(spanEnd(record.padding), record.tagEnd) << row.name;
    EXPECT_EQ(record.frameArea.start, spanEnd(record.extendedHeader)) << row.name;
    // Each frame's identifier, flags and data are those it was built with.
    ASSERT_EQ(record.frames.size(), row.parts.frames.size()) << row.name;
    uint32_t at = record.frameArea.start;
    for (size_t i = 0; i < record.frames.size(); ++i) {
      const TagFrame &frame = record.frames[i];
      const Bytes &built = row.parts.frames[i];
      EXPECT_EQ(frame.headerStart, at) << row.name;
      EXPECT_EQ(std::string(frame.identifier),
                std::string(reinterpret_cast<const char *>(built.data()), record.identifierLength))
          << row.name;
      EXPECT_EQ(frame.data.length + record.frameHeaderSize, built.size()) << row.name;
      EXPECT_EQ(frame.statusFlags, row.parts.major == 2 ? 0 : built[8]) << row.name;
      const bool unsynchronised = row.parts.major == 4 && built[9] == 0x02;
      EXPECT_EQ(frame.storedTransformed,
                (row.parts.major == 3 && (built[9] & 0xE0) != 0) || unsynchronised)
          << row.name;
      EXPECT_EQ(frame.unsynchronised, unsynchronised) << row.name;
      at += static_cast<uint32_t>(built.size());
    }
    EXPECT_EQ(spanEnd(record.frameArea), at) << row.name;
  }
}

} // namespace
