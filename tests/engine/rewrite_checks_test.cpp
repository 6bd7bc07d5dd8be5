// Tags the rewrite refuses to touch: damaged sizes and features it cannot
// carry over faithfully, and the order in which those checks decide.
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

namespace {

const Bytes AI_UTF16 = Bytes{0x01} + BOM_LE + utf16le(u"あい") + ZERO16;

constexpr RewriteKind DAMAGED = RewriteKind::Damaged;
constexpr RewriteKind UNSUPPORTED = RewriteKind::Unsupported;

TagParts tagWith(uint8_t major, const std::vector<Bytes> &frames) {
  TagParts parts;
  parts.major = major;
  parts.frames = frames;
  parts.padding = 10;
  return parts;
}

// A version 4 extended header whose size field says `size`, followed by the
// flag-byte count and an empty flag byte.
Bytes extendedV4Sized(uint32_t size) {
  return synchsafeBytes(size) + Bytes{0x01, 0x00};
}

// A version 3 extended header whose size field says `size`, followed by
// `size` bytes of flags and padding size.
Bytes extendedV3Sized(uint32_t size) {
  return plainBytes(size) + repeat(0x00, size);
}

TEST(RewriteDamaged, FilesShorterThanTheHeader) {
  const Bytes header = ascii("ID3") + Bytes{0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  for (size_t n = 0; n < 10; ++n) {
    EXPECT_TRUE(endsAs(Bytes(header.begin(), header.begin() + static_cast<long>(n)), DAMAGED,
                       RewriteReason::FileTooShort))
        << n;
  }
  EXPECT_TRUE(rewritesTo(header, header));
}

TEST(RewriteDamaged, TagRunningPastTheEndOfTheFile) {
  TagParts parts = tagWith(3, {frame(3, "TIT2", AI_UTF16)});
  parts.audio = {};
  EXPECT_EQ(runRewrite(buildTag(parts)).outcome.kind, RewriteKind::Rewritten);
  parts.tagSize = static_cast<uint32_t>(buildTag(parts).size() - 10 + 1);
  EXPECT_TRUE(endsAs(buildTag(parts), DAMAGED, RewriteReason::TagPastEndOfFile));
  parts.tagSize = 0x0FFFFFFF;
  EXPECT_TRUE(endsAs(buildTag(parts), DAMAGED, RewriteReason::TagPastEndOfFile));
}

TEST(RewriteDamaged, ExtendedHeaderSizesThatDoNotFit) {
  const std::vector<Bytes> frames = {frame(4, "TIT2", AI_UTF16)};
  for (uint32_t size : {0u, 1u, 4u, 5u, 200u}) {
    TagParts parts = tagWith(4, frames);
    parts.extendedHeader = extendedV4Sized(size);
    EXPECT_TRUE(endsAs(buildTag(parts), DAMAGED, RewriteReason::BadExtendedHeaderSize)) << size;
  }
  for (uint32_t size : {0u, 5u, 7u, 8u, 12u}) {
    TagParts parts = tagWith(3, {frame(3, "TIT2", AI_UTF16)});
    parts.extendedHeader = extendedV3Sized(size);
    EXPECT_TRUE(endsAs(buildTag(parts), DAMAGED, RewriteReason::BadExtendedHeaderSize)) << size;
  }

  // A valid size whose header ends past the tag: F > T.
  TagParts v3 = tagWith(3, {});
  v3.padding = 0;
  v3.extendedHeader = extendedHeaderV3(false);
  v3.tagSize = 8; // the header needs 10
  EXPECT_TRUE(endsAs(buildTag(v3), DAMAGED, RewriteReason::BadExtendedHeaderSize));
  v3.tagSize = 10;
  EXPECT_EQ(runRewrite(buildTag(v3)).outcome.kind, RewriteKind::Rewritten);
  TagParts v4 = tagWith(4, {});
  v4.padding = 0;
  v4.extendedHeader = extendedHeaderV4(0x00);
  v4.tagSize = 5;
  EXPECT_TRUE(endsAs(buildTag(v4), DAMAGED, RewriteReason::BadExtendedHeaderSize));

  // The flag set, but fewer than four bytes of tag (and of file) left for
  // the size field itself.
  for (uint8_t major : ByteList{3, 4}) {
    for (uint32_t tagSize : {0u, 2u}) {
      Bytes file =
          ascii("ID3") + Bytes{major, 0x00, 0x40} + synchsafeBytes(tagSize) + repeat(0x00, tagSize);
      EXPECT_TRUE(endsAs(file, DAMAGED, RewriteReason::BadExtendedHeaderSize))
          << int(major) << " " << tagSize;
    }
  }
}

TEST(RewriteDamaged, FrameRunningPastTheEndOfTheTag) {
  for (uint8_t major : ByteList{2, 3}) {
    const std::string title = major == 2 ? "TT2" : "TIT2";
    const std::string other = major == 2 ? "PIC" : "APIC";
    // A frame that ends exactly at the end of the tag is whole.
    TagParts parts =
        tagWith(major, {frame(major, title, AI_UTF16), frame(major, other, repeat(7, 300))});
    parts.padding = 0;
    EXPECT_EQ(runRewrite(buildTag(parts)).outcome.kind, RewriteKind::Rewritten) << int(major);
    // One byte more.
    parts.frames[1] = frameHeader(major, other, 301) + repeat(7, 300);
    EXPECT_TRUE(endsAs(buildTag(parts), DAMAGED, RewriteReason::FramePastEndOfTag)) << int(major);
    // A target frame.
    parts.frames = {frameHeader(major, title, 2000) + AI_UTF16};
    EXPECT_TRUE(endsAs(buildTag(parts), DAMAGED, RewriteReason::FramePastEndOfTag)) << int(major);
  }
  // Version 4: past the end both ways.
  TagParts v4 =
      tagWith(4, {frame(4, "TALB", AI_UTF16), frameHeader(4, "APIC", 0x3FFF) + repeat(7, 300)});
  EXPECT_TRUE(endsAs(buildTag(v4), DAMAGED, RewriteReason::FramePastEndOfTag));
}

TEST(RewriteUnsupported, UnsynchronisedTagsInEveryVersion) {
  for (uint8_t major : ByteList{0, 2, 3, 4}) {
    TagParts parts =
        tagWith(major, {frame(major == 2 ? 2 : 4, major == 2 ? "TT2" : "TIT2", AI_UTF16)});
    parts.flags = 0x80;
    EXPECT_TRUE(endsAs(buildTag(parts), UNSUPPORTED, RewriteReason::Unsynchronised)) << int(major);
  }
}

TEST(RewriteUnsupported, CompressedVersion2Tags) {
  TagParts parts = tagWith(2, {frame(2, "TT2", AI_UTF16)});
  parts.flags = 0x40;
  EXPECT_TRUE(endsAs(buildTag(parts), UNSUPPORTED, RewriteReason::Compressed));
}

TEST(RewriteUnsupported, ExtendedHeaderWithCrc) {
  TagParts v3 = tagWith(3, {frame(3, "TIT2", AI_UTF16)});
  v3.extendedHeader = extendedHeaderV3(true);
  EXPECT_TRUE(endsAs(buildTag(v3), UNSUPPORTED, RewriteReason::ExtendedHeaderCrc));

  TagParts v4 = tagWith(4, {frame(4, "TIT2", AI_UTF16)});
  v4.extendedHeader = extendedHeaderV4(0x20, {0x05, 0x01, 0x02, 0x03, 0x04, 0x05});
  EXPECT_TRUE(endsAs(buildTag(v4), UNSUPPORTED, RewriteReason::ExtendedHeaderCrc));
  // The other flags of version 4 (update, restrictions) are carried over.
  v4.extendedHeader = extendedHeaderV4(0x50, {0x00, 0x01, 0x00});
  EXPECT_EQ(runRewrite(buildTag(v4)).outcome.kind, RewriteKind::Rewritten);
}

TEST(RewriteUnsupported, TargetFrameFormatFlagsPerVersion) {
  struct Case {
    uint8_t major;
    uint8_t formatFlags;
    bool supported;
  };
  const Case cases[] = {// Version 3: compression, encryption, grouping.
                        {3, 0x80, false},
                        {3, 0x40, false},
                        {3, 0x20, false},
                        {3, 0x1F, true},
                        {3, 0x01, true},
                        // Version 4: grouping, compression, encryption, unsynchronisation,
                        // data length indicator.
                        {4, 0x40, false},
                        {4, 0x08, false},
                        {4, 0x04, false},
                        {4, 0x02, false},
                        {4, 0x01, false},
                        {4, 0x80, true},
                        {4, 0x30, true},
                        {1, 0x01, false},
                        {1, 0x30, true}};
  for (const Case &c : cases) {
    for (const Bytes &data : {AI_UTF16, Bytes{}}) {
      // Status flags never matter.
      TagParts parts =
          tagWith(c.major, {frame(4, "TPE1", data, SizeStyle::Native, 0xE0, c.formatFlags)});
      if (c.major == 3) {
        parts.frames = {frame(3, "TPE1", data, SizeStyle::Native, 0xE0, c.formatFlags)};
      }
      Bytes input = buildTag(parts);
      if (c.supported) {
        // Both flag bytes stay as they were.
        RewriteRun run = runRewrite(input);
        ASSERT_EQ(run.outcome.kind, RewriteKind::Rewritten)
            << int(c.major) << " " << int(c.formatFlags);
        EXPECT_EQ(run.output[18], 0xE0);
        EXPECT_EQ(run.output[19], c.formatFlags);
      } else {
        EXPECT_TRUE(endsAs(input, UNSUPPORTED, RewriteReason::FrameFormatFlags))
            << int(c.major) << " " << int(c.formatFlags) << " size " << data.size();
      }
    }
  }
  // Other frames with format flags are carried over as they are.
  for (uint8_t major : ByteList{3, 4}) {
    Bytes input =
        buildTag(tagWith(major, {frame(major, "APIC", repeat(9, 40), SizeStyle::Native, 0, 0xFF)}));
    EXPECT_TRUE(rewritesTo(input, input)) << int(major);
  }
}

TEST(RewriteUnsupported, TextEncodingFourOrMore) {
  for (uint8_t encoding : ByteList{4, 5, 0x7F, 0xFF}) {
    const Bytes data = Bytes{encoding} + ascii("abc");
    EXPECT_TRUE(endsAs(buildTag(tagWith(2, {frame(2, "TAL", data)})), UNSUPPORTED,
                       RewriteReason::UnknownTextEncoding));
    EXPECT_TRUE(endsAs(buildTag(tagWith(3, {frame(3, "TALB", data)})), UNSUPPORTED,
                       RewriteReason::UnknownTextEncoding));
    EXPECT_TRUE(endsAs(buildTag(tagWith(4, {frame(4, "TALB", data)})), UNSUPPORTED,
                       RewriteReason::UnknownTextEncoding));
    // Only the targets' encodings matter.
    Bytes other = buildTag(tagWith(4, {frame(4, "TPE2", data)}));
    EXPECT_TRUE(rewritesTo(other, other));
  }
}

TEST(RewriteChecks, FirstApplicableCheckDecides) {
  // Too short before the version gate.
  EXPECT_TRUE(
      endsAs(ascii("ID3") + Bytes{5, 0, 0x80, 0, 0, 0}, DAMAGED, RewriteReason::FileTooShort));

  // The gate before the unsynchronisation flag and before any size.
  TagParts refused = tagWith(4, {frame(4, "TIT2", AI_UTF16)});
  refused.revision = 1;
  refused.flags = 0x80;
  refused.tagSize = 0x0FFFFFFF;
  EXPECT_TRUE(endsAs(buildTag(refused), RewriteKind::Refused, RewriteReason::None));

  // Unsynchronisation and compression before a tag running past the file.
  TagParts unsync = tagWith(3, {frame(3, "TIT2", AI_UTF16)});
  unsync.flags = 0x80;
  unsync.tagSize = 0x0FFFFFFF;
  EXPECT_TRUE(endsAs(buildTag(unsync), UNSUPPORTED, RewriteReason::Unsynchronised));
  TagParts compressed = tagWith(2, {frame(2, "TT2", AI_UTF16)});
  compressed.flags = 0x40;
  compressed.tagSize = 0x0FFFFFFF;
  EXPECT_TRUE(endsAs(buildTag(compressed), UNSUPPORTED, RewriteReason::Compressed));

  // A tag past the file before a bad extended header.
  TagParts past = tagWith(4, {frame(4, "TIT2", AI_UTF16)});
  past.extendedHeader = extendedV4Sized(2);
  past.tagSize = 0x0FFFFFFF;
  EXPECT_TRUE(endsAs(buildTag(past), DAMAGED, RewriteReason::TagPastEndOfFile));

  // The extended header's size before its CRC flag.
  TagParts badCrc = tagWith(3, {frame(3, "TIT2", AI_UTF16)});
  badCrc.extendedHeader = plainBytes(8) + Bytes{0x80, 0x00} + repeat(0x00, 6);
  EXPECT_TRUE(endsAs(buildTag(badCrc), DAMAGED, RewriteReason::BadExtendedHeaderSize));

  // The CRC before the frame walk.
  TagParts crc = tagWith(3, {frameHeader(3, "TIT2", 5000) + AI_UTF16});
  crc.extendedHeader = extendedHeaderV3(true);
  EXPECT_TRUE(endsAs(buildTag(crc), UNSUPPORTED, RewriteReason::ExtendedHeaderCrc));

  // The whole walk before any target frame's flags or encoding.
  const Bytes flagged = frame(3, "TIT2", AI_UTF16, SizeStyle::Native, 0, 0x80);
  const Bytes badEncoding = frame(3, "TPE1",
                                  ascii("\x04"
                                        "abc"));
  Bytes walkFirst = buildTag(tagWith(3, {flagged, badEncoding, frameHeader(3, "APIC", 9000)}));
  EXPECT_TRUE(endsAs(walkFirst, DAMAGED, RewriteReason::FramePastEndOfTag));

  // Then the target frames in tag order.
  EXPECT_TRUE(endsAs(buildTag(tagWith(3, {flagged, badEncoding})), UNSUPPORTED,
                     RewriteReason::FrameFormatFlags));
  EXPECT_TRUE(endsAs(buildTag(tagWith(3, {badEncoding, flagged})), UNSUPPORTED,
                     RewriteReason::UnknownTextEncoding));
}

} // namespace
