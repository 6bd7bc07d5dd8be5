// The rewrite's layouts: what is copied, what is re-encoded and how every
// size is written, per tag version.
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// "あい" as UTF-16 with a little-endian mark and a terminator, the commonest
// shape of a title written by Windows; and its code page 932 rewrite.
const Bytes AI_UTF16 = Bytes{0x01} + BOM_LE + utf16le(u"あい") + ZERO16;
const Bytes AI_CP932 = {0x00, 0x82, 0xA0, 0x82, 0xA2};

// Picture-like data: no zero bytes, nothing that looks like a frame header.
Bytes picture(size_t size) {
  Bytes data(size);
  for (size_t i = 0; i < size; ++i) {
    data[i] = static_cast<uint8_t>(0x80 | ((i * 37 + 11) & 0x7F));
  }
  return data;
}

Bytes repeated(const Bytes &unit, size_t count) {
  Bytes all;
  for (size_t i = 0; i < count; ++i) {
    all = all + unit;
  }
  return all;
}

std::string titleId(uint8_t major) {
  return major == 2 ? "TT2" : "TIT2";
}

TEST(RewriteBasics, TagWithoutTargetFramesIsCopiedWhole) {
  Bytes v4 = buildTag(4,
                      {frame(4, "TXXX", ascii("\0desc\0val", 9)), frame(4, "APIC", picture(200)),
                       frame(4, "TPE2", AI_UTF16)},
                      30);
  Bytes v3 = buildTag(3, {frame(3, "APIC", picture(300)), frame(3, "TPE2", AI_UTF16)}, 30);
  Bytes v2 = buildTag(2, {frame(2, "PIC", picture(300)), frame(2, "TP2", AI_UTF16)}, 30);
  for (const Bytes &input : {v4, v3, v2}) {
    EXPECT_TRUE(rewritesTo(input, input));
  }
}

TEST(RewriteBasics, EncodingZeroTextsKeepTheirBytesUpToTheFirstZero) {
  for (uint8_t major : ByteList{2, 3, 4}) {
    Bytes unterminated = buildTag(major, {frame(major, titleId(major), ascii("\0Hello", 6))}, 10);
    EXPECT_TRUE(rewritesTo(unterminated, unterminated)) << int(major);

    Bytes input = buildTag(major, {frame(major, titleId(major), ascii("\0abc\0", 5))}, 10);
    Bytes expected = buildTag(major, {frame(major, titleId(major), ascii("\0abc", 4))}, 10);
    EXPECT_TRUE(rewritesTo(input, expected)) << int(major);
    EXPECT_EQ(expected.size(), input.size() - 1);
  }
}

TEST(RewriteBasics, Utf16TitleBecomesCodePage932) {
  for (uint8_t major : ByteList{2, 3, 4}) {
    Bytes input = buildTag(major, {frame(major, titleId(major), AI_UTF16)}, 10);
    Bytes expected = buildTag(major, {frame(major, titleId(major), AI_CP932)}, 10);
    EXPECT_TRUE(rewritesTo(input, expected)) << int(major);
    EXPECT_EQ(expected.size(), input.size() - 4);

    Bytes markOnly = buildTag(major, {frame(major, titleId(major), Bytes{0x01} + BOM_LE + ZERO16)});
    EXPECT_TRUE(rewritesTo(markOnly, buildTag(major, {frame(major, titleId(major), ZERO)})));
  }
}

TEST(RewriteBasics, EveryTargetFrameIsReencodedInAnyOrderAndRepetition) {
  const Bytes x = Bytes{0x01} + BOM_LE + utf16le(u"x") + ZERO16;
  Bytes input = buildTag(4, {frame(4, "TIT2", AI_UTF16), frame(4, "TPE2", AI_UTF16),
                             frame(4, "TALB", AI_UTF16), frame(4, "TPE1", AI_UTF16),
                             frame(4, "TIT2", x), frame(4, "TALB", x)});
  Bytes expected =
      buildTag(4, {frame(4, "TIT2", AI_CP932), frame(4, "TPE2", AI_UTF16),
                   frame(4, "TALB", AI_CP932), frame(4, "TPE1", AI_CP932),
                   frame(4, "TIT2", ascii("\0x", 2)), frame(4, "TALB", ascii("\0x", 2))});
  EXPECT_TRUE(rewritesTo(input, expected));

  Bytes v2 = buildTag(2, {frame(2, "TAL", AI_UTF16), frame(2, "TP1", AI_UTF16),
                          frame(2, "TT2", AI_UTF16), frame(2, "TP2", AI_UTF16)});
  Bytes v2Expected = buildTag(2, {frame(2, "TAL", AI_CP932), frame(2, "TP1", AI_CP932),
                                  frame(2, "TT2", AI_CP932), frame(2, "TP2", AI_UTF16)});
  EXPECT_TRUE(rewritesTo(v2, v2Expected));
}

TEST(RewriteBasics, VersionGate) {
  struct Version {
    uint8_t major;
    uint8_t revision;
  };
  for (Version version :
       {Version{4, 0}, Version{3, 9}, Version{3, 0}, Version{2, 0}, Version{1, 9}, Version{0, 0}}) {
    // 0 and 1 take the layout of 4.
    uint8_t layout = version.major < 2 ? 4 : version.major;
    TagParts parts;
    parts.major = version.major;
    parts.revision = version.revision;
    parts.frames = {frame(layout, titleId(layout), AI_UTF16)};
    Bytes input = buildTag(parts);
    parts.frames = {frame(layout, titleId(layout), AI_CP932)};
    EXPECT_TRUE(rewritesTo(input, buildTag(parts)))
        << int(version.major) << "." << int(version.revision);
  }
  for (Version version : {Version{4, 1}, Version{3, 10}, Version{5, 0}, Version{2, 10},
                          Version{0, 255}, Version{255, 0}}) {
    TagParts parts;
    parts.major = version.major;
    parts.revision = version.revision;
    parts.frames = {frame(4, "TIT2", AI_UTF16)};
    EXPECT_TRUE(endsAs(buildTag(parts), RewriteKind::Refused, RewriteReason::None))
        << int(version.major) << "." << int(version.revision);
  }
}

TEST(RewriteBasics, PaddingOfAnyLengthIsCarriedOverAndCounted) {
  for (uint8_t major : ByteList{2, 3, 4}) {
    for (size_t padding : {0u, 1u, 5u, 6u, 7u, 9u, 10u, 11u, 25u, 1000u}) {
      Bytes input = buildTag(major,
                             {frame(major, titleId(major), AI_UTF16),
                              frame(major, major == 2 ? "TAL" : "TALB", ascii("\0abc\0", 5))},
                             padding);
      Bytes expected = buildTag(major,
                                {frame(major, titleId(major), AI_CP932),
                                 frame(major, major == 2 ? "TAL" : "TALB", ascii("\0abc", 4))},
                                padding);
      EXPECT_TRUE(rewritesTo(input, expected)) << int(major) << " padding " << padding;
    }
  }
}

TEST(RewriteBasics, ExtendedHeaderOfVersion4StaysInPlace) {
  for (const Bytes &extended : {extendedHeaderV4(0x00), extendedHeaderV4(0x40, {0x00}),
                                extendedHeaderV4(0x10, {0x01, 0x3F})}) {
    TagParts parts;
    parts.extendedHeader = extended;
    parts.frames = {frame(4, "TIT2", AI_UTF16), frame(4, "APIC", picture(150))};
    parts.padding = 12;
    Bytes input = buildTag(parts);
    parts.frames = {frame(4, "TIT2", AI_CP932), frame(4, "APIC", picture(150))};
    EXPECT_TRUE(rewritesTo(input, buildTag(parts))) << hex(extended);
  }
}

TEST(RewriteVersion3, FrameSizesArePlainNumbersBothWays) {
  const Bytes longTitle =
      Bytes{0x01} + BOM_LE + utf16le(std::u16string(150, u'あ')) + ZERO16; // 305 bytes
  Bytes input = buildTag(
      3, {frame(3, "APIC", picture(300)), frame(3, "TIT2", longTitle), frame(3, "TPE1", AI_UTF16)},
      10);
  Bytes expected =
      buildTag(3,
               {frame(3, "APIC", picture(300)),
                frame(3, "TIT2", ZERO + repeated({0x82, 0xA0}, 150)), frame(3, "TPE1", AI_CP932)},
               10);
  ASSERT_TRUE(rewritesTo(input, expected));
  // The title's new size, 301, stands at 10 + 310 + 4 as a plain number.
  EXPECT_EQ(Bytes(expected.begin() + 324, expected.begin() + 328), (Bytes{0x00, 0x00, 0x01, 0x2D}));
}

TEST(RewriteVersion3, ExtendedHeaderSizeExcludesItsOwnFourBytes) {
  const Bytes withoutCrc = extendedHeaderV3(false);
  const Bytes tenBytes = plainBytes(10) + Bytes{0x00, 0x00} + plainBytes(0) + Bytes{1, 2, 3, 4};
  for (const Bytes &extended : {withoutCrc, tenBytes}) {
    TagParts parts;
    parts.major = 3;
    parts.extendedHeader = extended;
    parts.frames = {frame(3, "TIT2", AI_UTF16), frame(3, "APIC", picture(200))};
    parts.padding = 20;
    Bytes input = buildTag(parts);
    parts.frames = {frame(3, "TIT2", AI_CP932), frame(3, "APIC", picture(200))};
    EXPECT_TRUE(rewritesTo(input, buildTag(parts))) << hex(extended);
  }
}

TEST(RewriteVersion2, SixByteHeadersAndThreeLetterTargets) {
  Bytes input = buildTag(2,
                         {frame(2, "PIC", picture(300)), frame(2, "TT2", AI_UTF16),
                          frame(2, "TP1", ascii("\0abc\0", 5)),
                          frame(2, "TAL", Bytes{0x01} + BOM_BE + utf16be(u"漢字") + ZERO16),
                          frame(2, "TT1", AI_UTF16), frame(2, "TXX", ascii("\0x\0y", 4))},
                         20);
  Bytes expected = buildTag(2,
                            {frame(2, "PIC", picture(300)), frame(2, "TT2", AI_CP932),
                             frame(2, "TP1", ascii("\0abc", 4)),
                             frame(2, "TAL", Bytes{0x00, 0x8A, 0xBF, 0x8E, 0x9A}),
                             frame(2, "TT1", AI_UTF16), frame(2, "TXX", ascii("\0x\0y", 4))},
                            20);
  EXPECT_TRUE(rewritesTo(input, expected));

  // Names of versions 3 and 4 are not targets in a version 2 tag.
  Bytes strangers = buildTag(2, {frame(2, "TIT", AI_UTF16), frame(2, "TAL", AI_UTF16)});
  EXPECT_TRUE(
      rewritesTo(strangers, buildTag(2, {frame(2, "TIT", AI_UTF16), frame(2, "TAL", AI_CP932)})));
}

TEST(RewriteWalk, StopsAtTheFirstInvalidIdentifierAndCarriesTheRest) {
  // Some version 3 writers use a version 2 name padded with a zero byte.
  const Bytes oldName = ascii("TT2\0", 4) + plainBytes(9) + Bytes{0, 0} + AI_UTF16;
  Bytes v3 = buildTag(3, {frame(3, "TIT2", AI_UTF16), oldName, frame(3, "TPE1", AI_UTF16)}, 10);
  Bytes v3Expected =
      buildTag(3, {frame(3, "TIT2", AI_CP932), oldName, frame(3, "TPE1", AI_UTF16)}, 10);
  EXPECT_TRUE(rewritesTo(v3, v3Expected));

  const Bytes lowerCase = frame(4, "tit2", AI_UTF16);
  Bytes v4 = buildTag(4, {frame(4, "TALB", AI_UTF16), lowerCase, frame(4, "TPE1", AI_UTF16)}, 10);
  Bytes v4Expected =
      buildTag(4, {frame(4, "TALB", AI_CP932), lowerCase, frame(4, "TPE1", AI_UTF16)}, 10);
  EXPECT_TRUE(rewritesTo(v4, v4Expected));

  const Bytes v2Junk = frame(2, "T-2", AI_UTF16);
  Bytes v2 = buildTag(2, {frame(2, "TP1", AI_UTF16), v2Junk, frame(2, "TT2", AI_UTF16)}, 10);
  Bytes v2Expected =
      buildTag(2, {frame(2, "TP1", AI_CP932), v2Junk, frame(2, "TT2", AI_UTF16)}, 10);
  EXPECT_TRUE(rewritesTo(v2, v2Expected));
}

TEST(RewriteWalk, FewerBytesThanAHeaderAndOneMoreAreCarriedOver) {
  for (uint8_t major : ByteList{3, 4}) {
    // Seven bytes, the start of what looks like a header, end the tag.
    Bytes input = buildTag(major, {frame(major, "TIT2", AI_UTF16), ascii("ABCDEFG")});
    Bytes expected = buildTag(major, {frame(major, "TIT2", AI_CP932), ascii("ABCDEFG")});
    EXPECT_TRUE(rewritesTo(input, expected)) << int(major);
  }
  Bytes v2 = buildTag(2, {frame(2, "TT2", AI_UTF16), ascii("ABCDE")});
  EXPECT_TRUE(rewritesTo(v2, buildTag(2, {frame(2, "TT2", AI_CP932), ascii("ABCDE")})));
}

TEST(RewriteWalk, TargetFrameOfSizeZeroIsCopied) {
  for (uint8_t major : ByteList{2, 3, 4}) {
    const std::string artist = major == 2 ? "TP1" : "TPE1";
    Bytes input =
        buildTag(major, {frame(major, titleId(major), {}), frame(major, artist, AI_UTF16)}, 4);
    Bytes expected =
        buildTag(major, {frame(major, titleId(major), {}), frame(major, artist, AI_CP932)}, 4);
    EXPECT_TRUE(rewritesTo(input, expected)) << int(major);
  }
}

TEST(RewriteFooter, FooterAfterTheTagGetsTheNewSize) {
  TagParts parts;
  parts.footer = true;
  parts.frames = {frame(4, "TIT2", AI_UTF16), frame(4, "TALB", ascii("\0abc\0", 5))};
  Bytes input = buildTag(parts);
  parts.frames = {frame(4, "TIT2", AI_CP932), frame(4, "TALB", ascii("\0abc", 4))};
  Bytes expected = buildTag(parts);
  EXPECT_TRUE(rewritesTo(input, expected));

  // Flag 0x10 alone announces no extended header, and without "3DI" at the
  // end of the tag the bytes there are audio and stay as they are.
  parts.footer = false;
  parts.flags = 0x10;
  parts.frames = {frame(4, "TIT2", AI_UTF16)};
  input = buildTag(parts);
  parts.frames = {frame(4, "TIT2", AI_CP932)};
  EXPECT_TRUE(rewritesTo(input, buildTag(parts)));

  // "3DI" at the end of a tag without the flag is not a footer.
  parts.flags = 0x00;
  parts.frames = {frame(4, "TIT2", AI_UTF16)};
  const Bytes lookalike = ascii("3DI") + Bytes{4, 0, 0x10} + synchsafeBytes(19) + AUDIO;
  parts.audio = lookalike;
  input = buildTag(parts);
  parts.frames = {frame(4, "TIT2", AI_CP932)};
  EXPECT_TRUE(rewritesTo(input, buildTag(parts)));
}

TEST(RewriteVersion4Sizes, PlainReadingWhenOnlyItIsClean) {
  // Synchsafe, the title's size 00 00 01 31 reads 177 and lands inside its
  // own text on "B0B0", a frame that runs past the end of the tag.
  const Bytes longTitle = Bytes{0x01} + BOM_LE + utf16le(std::u16string(150, u'あ')) + ZERO16;
  for (uint8_t major : ByteList{4, 0, 1}) {
    TagParts parts;
    parts.major = major;
    parts.padding = 20;
    parts.frames = {frame(4, "TIT2", longTitle, SizeStyle::Plain),
                    frame(4, "APIC", picture(300), SizeStyle::Plain)};
    Bytes input = buildTag(parts);
    parts.frames = {frame(4, "TIT2", ZERO + repeated({0x82, 0xA0}, 150), SizeStyle::Plain),
                    frame(4, "APIC", picture(300), SizeStyle::Plain)};
    Bytes expected = buildTag(parts);
    ASSERT_TRUE(rewritesTo(input, expected)) << int(major);
    EXPECT_EQ(Bytes(expected.begin() + 14, expected.begin() + 18), (Bytes{0x00, 0x00, 0x01, 0x2D}));
  }
}

TEST(RewriteVersion4Sizes, SynchsafeReadingWhenPlainIsNotClean) {
  const Bytes longTitle = Bytes{0x01} + BOM_LE + utf16le(std::u16string(100, u'あ')) + ZERO16;
  Bytes input = buildTag(4, {frame(4, "APIC", picture(200)), frame(4, "TIT2", longTitle)}, 10);
  Bytes expected = buildTag(
      4, {frame(4, "APIC", picture(200)), frame(4, "TIT2", ZERO + repeated({0x82, 0xA0}, 100))},
      10);
  ASSERT_TRUE(rewritesTo(input, expected));
  // 201 synchsafe, after the picture's 210 bytes.
  EXPECT_EQ(Bytes(expected.begin() + 224, expected.begin() + 228), (Bytes{0x00, 0x00, 0x01, 0x49}));
}

// A "PRIV" frame whose size 00 00 01 00 reads 128 synchsafe and 256 plain.
// Synchsafe, the walk lands on a "ZZZZ" header inside its data whose frame
// ends where the plain walk's frames end: both walks are clean.
Bytes ambiguousPrivate(uint32_t innerSize) {
  Bytes data(256, 0x00);
  const Bytes inner = ascii("ZZZZ") + synchsafeBytes(innerSize) + Bytes{0, 0};
  std::copy(inner.begin(), inner.end(), data.begin() + 128);
  return ascii("PRIV") + Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x00} + data;
}

TEST(RewriteVersion4Sizes, BothCleanTheReadingThatMeetsMoreFramesWins) {
  const Bytes title = Bytes{0x01} + BOM_LE + utf16le(u"あ") + ZERO16; // 7 bytes, at 276
  const Bytes artist = ascii("\0abc", 4);                             // at 293, ends at 307
  // Synchsafe: PRIV, ZZZZ (149 bytes from 158 to 307); plain: PRIV, TIT2, TPE1.
  Bytes input =
      buildTag(4, {ambiguousPrivate(149), frame(4, "TIT2", title), frame(4, "TPE1", artist)}, 10);
  Bytes expected = buildTag(
      4,
      {ambiguousPrivate(149), frame(4, "TIT2", Bytes{0x00, 0x82, 0xA0}), frame(4, "TPE1", artist)},
      10);
  EXPECT_TRUE(rewritesTo(input, expected));

  // Two frames each way: the synchsafe reading stays, and the title is only
  // data inside "ZZZZ".
  Bytes tie = buildTag(4, {ambiguousPrivate(135), frame(4, "TIT2", title)}, 10);
  EXPECT_TRUE(rewritesTo(tie, tie));
}

} // namespace
