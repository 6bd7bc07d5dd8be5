// Version 2.3 output: one row per mapping, each checked against the bytes
// the version 2.3 standard prescribes, and again on its own output, which
// must come out unchanged.
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const Bytes AI16 = Bytes{1} + BOM_LE + utf16le(u"あい") + ZERO16;
const Bytes AI932 = {0, 0x82, 0xA0, 0x82, 0xA2};
const Bytes AI16_TEXT = Bytes(AI16.begin() + 1, AI16.end());
const Bytes AI16_BARE = Bytes{1} + BOM_LE + utf16le(u"あい"); // as UTF-8 texts become
const Bytes LONG16 = Bytes{1} + BOM_LE + utf16le(std::u16string(100, u'a')); // size above 127
const Bytes X = ascii("\0x", 2);
// A cover whose bytes unsynchronisation changes: FF E0 and FF 00.
const Bytes COVER = ascii("\0image/png\0\x03\0", 13) + Bytes{0xFF, 0xE0, 0x01, 0xFF, 0x00, 0x42};

Bytes text0(const char *text, size_t length) {
  return Bytes{0} + ascii(text, length);
}

Bytes utf16Values(const std::u16string &text) {
  return Bytes{1} + BOM_LE + utf16le(text);
}

Bytes withTagFlags(TagParts parts, uint8_t flags) {
  parts.flags = flags;
  return buildTag(parts);
}

TagParts partsOf(uint8_t major, std::vector<Bytes> frames) {
  TagParts parts;
  parts.major = major;
  parts.frames = std::move(frames);
  parts.padding = 6;
  return parts;
}

// The whole tag after its header unsynchronised, as versions 2 and 3 do it.
Bytes unsynchronisedTag(const std::vector<Bytes> &frames) {
  const Bytes plain = buildTag(partsOf(3, frames));
  const Bytes body =
      unsynchronised(Bytes(plain.data() + 10, plain.data() + plain.size() - AUDIO.size()));
  return ascii("ID3\x03\x00\x80", 6) + synchsafeBytes(static_cast<uint32_t>(body.size())) + body +
         AUDIO;
}

struct Version3Case {
  const char *name;
  Bytes input;
  std::vector<Bytes> expected; // the frames of the version 2.3 tag, padding 6
};

std::vector<Version3Case> cases() {
  TagParts extended = partsOf(4, {frame(4, "TPE2", X)});
  extended.extendedHeader = extendedHeaderV4(0x20, Bytes{0x01, 0x02, 0x03, 0x04, 0x05});
  extended.footer = true;
  const Bytes picture16 = ascii("\x00PNG\x03\x00", 6) + Bytes{0x89, 0x50};
  return {
      {"sizes as plain numbers",
       buildTag(partsOf(4, {frame(4, "TPE2", LONG16)})),
       {frame(3, "TPE2", LONG16)}},
      {"version 2.4's plain sizes (iTunes)",
       buildTag(partsOf(4, {frame(4, "TPE2", LONG16, SizeStyle::Plain)})),
       {frame(3, "TPE2", LONG16)}},
      {"status flags",
       buildTag(partsOf(4, {frame(4, "TPE2", X, SizeStyle::Native, 0x70)})),
       {frame(3, "TPE2", X, SizeStyle::Native, 0xE0)}},
      {"grouping keeps its byte",
       buildTag(partsOf(4, {frame(4, "TIT2", Bytes{7} + AI16, SizeStyle::Native, 0, 0x40)})),
       {frame(3, "TIT2", Bytes{7} + AI932, SizeStyle::Native, 0, 0x20)}},
      {"data length indicator dropped",
       buildTag(partsOf(4, {frame(4, "TPE2", synchsafeBytes(2) + X, SizeStyle::Native, 0, 0x01)})),
       {frame(3, "TPE2", X)}},
      {"compressed: the indicator gives the decompressed size",
       buildTag(partsOf(4, {frame(4, "PRIV", synchsafeBytes(300) + Bytes{0x78, 0x9C},
                                  SizeStyle::Native, 0, 0x09)})),
       {frame(3, "PRIV", plainBytes(300) + Bytes{0x78, 0x9C}, SizeStyle::Native, 0, 0x80)}},
      {"encrypted and grouped: method, then group",
       buildTag(partsOf(4, {frame(4, "PRIV", Bytes{7, 0x81, 0xAB}, SizeStyle::Native, 0, 0x44)})),
       {frame(3, "PRIV", Bytes{0x81, 7, 0xAB}, SizeStyle::Native, 0, 0x60)}},
      {"a frame's unsynchronisation",
       buildTag(partsOf(4, {frame(4, "APIC", unsynchronised(COVER), SizeStyle::Native, 0, 0x02)})),
       {frame(3, "APIC", COVER)}},
      {"version 2.4's tag unsynchronisation: every frame's",
       withTagFlags(partsOf(4, {frame(4, "APIC", unsynchronised(COVER)), frame(4, "TIT2", AI16)}),
                    0x80),
       {frame(3, "APIC", COVER), frame(3, "TIT2", AI932)}},
      {"version 2.3's tag unsynchronisation",
       unsynchronisedTag({frame(3, "APIC", COVER), frame(3, "TIT2", AI16)}),
       {frame(3, "APIC", COVER), frame(3, "TIT2", AI932)}},
      {"extended header (CRC) and footer dropped", buildTag(extended), {frame(3, "TPE2", X)}},
      {"UTF-8 becomes UTF-16",
       buildTag(partsOf(4, {frame(4, "TPE2", Bytes{3} + ascii("あい"))})),
       {frame(3, "TPE2", AI16_BARE)}},
      {"UTF-16BE becomes UTF-16, string by string",
       buildTag(partsOf(
           4,
           {frame(4, "COMM", Bytes{2} + ascii("jpn") + utf16be(u"a") + ZERO16 + utf16be(u"b"))})),
       {frame(3, "COMM",
              Bytes{1} + ascii("jpn") + BOM_LE + utf16le(u"a") + ZERO16 + BOM_LE + utf16le(u"b"))}},
      {"version 2.3 with UTF-8 mended",
       buildTag(partsOf(3, {frame(3, "TPE2", Bytes{3} + ascii("あい\0", 7))})),
       {frame(3, "TPE2", AI16_BARE)}},
      {"values joined",
       buildTag(partsOf(4, {frame(4, "TPE2", text0("a\0b\0", 4))})),
       {frame(3, "TPE2", text0("a/b", 3))}},
      {"the title's values joined",
       buildTag(
           partsOf(4, {frame(4, "TIT2", utf16Values(u"a") + ZERO16 + BOM_LE + utf16le(u"b"))})),
       {frame(3, "TIT2", text0("a/b", 3))}},
      {"version 2.3 values after a terminator",
       buildTag(
           partsOf(3, {frame(3, "TPE2", utf16Values(u"a") + ZERO16 + BOM_LE + utf16le(u"b"))})),
       {frame(3, "TPE2", utf16Values(u"a/b"))}},
      {"TCON numbers",
       buildTag(partsOf(4, {frame(4, "TCON", text0("17\0Rock\0RX\0Pop", 15))})),
       {frame(3, "TCON", text0("(17)(RX)Rock/Pop", 16))}},
      {"TCON one number",
       buildTag(partsOf(4, {frame(4, "TCON", text0("17", 2))})),
       {frame(3, "TCON", text0("(17)", 4))}},
      {"TDRC, year",
       buildTag(partsOf(4, {frame(4, "TDRC", text0("2024", 4))})),
       {frame(3, "TDRC", text0("2024", 4)), frame(3, "TYER", text0("2024", 4))}},
      {"TDRC, date",
       buildTag(partsOf(4, {frame(4, "TDRC", text0("2024-03-05", 10))})),
       {frame(3, "TDRC", text0("2024-03-05", 10)), frame(3, "TYER", text0("2024", 4)),
        frame(3, "TDAT", text0("0503", 4))}},
      {"TDRC, time, in UTF-16",
       buildTag(partsOf(4, {frame(4, "TDRC", utf16Values(u"2024-03-05T12:34:56"))})),
       {frame(3, "TDRC", utf16Values(u"2024-03-05T12:34:56")), frame(3, "TYER", text0("2024", 4)),
        frame(3, "TDAT", text0("0503", 4)), frame(3, "TIME", text0("1234", 4))}},
      {"TDOR",
       buildTag(partsOf(4, {frame(4, "TDOR", text0("1999-01", 7))})),
       {frame(3, "TDOR", text0("1999-01", 7)), frame(3, "TORY", text0("1999", 4))}},
      {"a counterpart in the tag is kept",
       buildTag(
           partsOf(4, {frame(4, "TYER", text0("1990", 4)), frame(4, "TDRC", text0("2024", 4))})),
       {frame(3, "TYER", text0("1990", 4)), frame(3, "TDRC", text0("2024", 4))}},
      {"TIPL and TMCL give IPLS",
       buildTag(partsOf(4, {frame(4, "TIPL", text0("mix\0A\0prod", 10)),
                            frame(4, "TMCL", Bytes{3} + ascii("piano\0B", 7))})),
       {frame(3, "TIPL", text0("mix\0A\0prod", 10)),
        frame(3, "TMCL", utf16Values(u"piano") + ZERO16 + BOM_LE + utf16le(u"B")),
        frame(3, "IPLS",
              utf16Values(u"mix") + ZERO16 + BOM_LE + utf16le(u"A") + ZERO16 + BOM_LE +
                  utf16le(u"prod") + ZERO16 + BOM_LE + ZERO16 + BOM_LE + utf16le(u"piano") +
                  ZERO16 + BOM_LE + utf16le(u"B"))}},
      {"version 2.2 names",
       buildTag(partsOf(2, {frame(2, "TT2", AI16), frame(2, "TP2", X), frame(2, "TCO", X)})),
       {frame(3, "TIT2", AI932), frame(3, "TPE2", X), frame(3, "TCON", X)}},
      {"PIC becomes APIC",
       buildTag(partsOf(2, {frame(2, "PIC", picture16)})),
       {frame(3, "APIC", ascii("\x00image/png\x00\x03\x00", 13) + Bytes{0x89, 0x50})}},
      {"LNK names its frame by the version 2.3 identifier",
       buildTag(partsOf(2, {frame(2, "LNK", ascii("TT2http://a\0", 12))})),
       {frame(3, "LINK", ascii("TIT2http://a\0", 13))}},
      {"a version 2.2 frame with no counterpart is left out",
       buildTag(partsOf(2, {frame(2, "CRM", X), frame(2, "TCP", X), frame(2, "TP1", X)})),
       {frame(3, "TPE1", X)}},
  };
}

TEST(Version3, EachMappingGivesTheVersion3Bytes) {
  for (const Version3Case &row : cases()) {
    const Version3Run run = runVersion3(row.input);
    ASSERT_EQ(run.outcome.kind, RewriteKind::Rewritten) << row.name;
    EXPECT_TRUE(run.report.version.converted) << row.name;
    const Bytes expected = buildTag(partsOf(3, row.expected));
    EXPECT_EQ(hex(run.output), hex(expected)) << row.name;
    EXPECT_LE(run.output.size(), run.outputBound) << row.name;
    const Version3Run again = runVersion3(run.output);
    EXPECT_EQ(hex(again.output), hex(run.output)) << row.name;
    EXPECT_EQ(again.report.version.named, 0u) << row.name;
  }
}

TEST(Version3, SaysWhatChanged) {
  const Bytes input = buildTag(partsOf(2, {frame(2, "TT2", AI16), frame(2, "CRM", X),
                                           frame(2, "TCM", Bytes{0} + ascii("a\0b", 3))}));
  const Version3Run run = runVersion3(input);
  const VersionChanges &changes = run.report.version;
  EXPECT_EQ(changes.majorVersionRead, 2);
  EXPECT_EQ(changes.tagLengthRead, input.size() - AUDIO.size());
  EXPECT_EQ(changes.tagLengthWritten, run.output.size() - AUDIO.size());
  EXPECT_EQ(changes.counts[static_cast<size_t>(FrameChange::Renamed)], 2u);
  EXPECT_EQ(changes.counts[static_cast<size_t>(FrameChange::Joined)], 1u);
  ASSERT_EQ(changes.named, 3u);
  EXPECT_STREQ(changes.changes[0].identifier, "TT2");
  EXPECT_STREQ(changes.changes[0].result, "TIT2");
  EXPECT_EQ(changes.changes[1].change, FrameChange::Joined);
  EXPECT_STREQ(changes.changes[1].result, "TCOM");
  ASSERT_EQ(changes.leftOut.count, 1u);
  EXPECT_STREQ(changes.leftOut.identifiers[0], "CRM");

  const Version3Run added = runVersion3(
      buildTag(partsOf(4, {frame(4, "TDRC", text0("2024", 4)), frame(4, "TPE2", {3, 'a'})})));
  EXPECT_EQ(added.report.version.counts[static_cast<size_t>(FrameChange::Reencoded)], 1u);
  ASSERT_EQ(added.report.version.named, 1u);
  EXPECT_EQ(added.report.version.changes[0].change, FrameChange::Added);
  EXPECT_STREQ(added.report.version.changes[0].result, "TYER");
}

// Where version 2.3 cannot be written faithfully, or the buffers are too
// small, the ordinary conversion is written and the obstacle named.
TEST(Version3, ObstaclesGiveTheOrdinaryConversion) {
  const Bytes title = frame(4, "TIT2", AI16);
  const Bytes grows = frame(4, "TPE2", Bytes{3} + repeat('a', 40));
  struct Obstacle {
    const char *name;
    Bytes input;
    std::optional<uint32_t> capacity;
    Version3Obstacle obstacle;
  };
  const Bytes growing = buildTag(partsOf(4, {title, grows}));
  const Obstacle rows[] = {
      {"compressed without a size",
       buildTag(partsOf(4, {title, frame(4, "PRIV", X, SizeStyle::Native, 0, 0x08)})),
       {},
       Version3Obstacle::CompressedWithoutSize},
      {"a format flag of no meaning",
       buildTag(partsOf(4, {title, frame(4, "PRIV", X, SizeStyle::Native, 0, 0x20)})),
       {},
       Version3Obstacle::FrameFlagsUnknown},
      {"the added bytes missing",
       buildTag(partsOf(4, {title, frame(4, "PRIV", {1, 2}, SizeStyle::Native, 0, 0x01)})),
       {},
       Version3Obstacle::FrameFlagsUnknown},
      {"a data length indicator alone",
       buildTag(partsOf(4, {frame(4, "COMM", {0, 0, 0, 0}, SizeStyle::Native, 0, 0x01), title})),
       {},
       Version3Obstacle::EmptyFrame},
      {"output the input's length", growing, static_cast<uint32_t>(growing.size()),
       Version3Obstacle::BuffersTooSmall},
  };
  for (const Obstacle &row : rows) {
    const Version3Run run = runVersion3(row.input, FrameScope::TitleFrames, row.capacity);
    EXPECT_EQ(run.report.version.obstacle, row.obstacle) << row.name;
    EXPECT_FALSE(run.report.version.converted) << row.name;
    EXPECT_EQ(hex(run.output), hex(runRewrite(row.input).output)) << row.name;
  }
  // Damaged behind the unsynchronisation: nothing is written.
  const Bytes damaged = withTagFlags(partsOf(3, {frameHeader(3, "TIT2", 400) + X}), 0x80);
  EXPECT_EQ(runVersion3(damaged).outcome.kind, RewriteKind::Damaged);
}

// A version 2.3 tag with nothing that version 2.3 output mends gets the
// ordinary conversion byte for byte, in either scope.
TEST(Version3, PlainVersion3TagsGetTheOrdinaryConversion) {
  TagParts plain = partsOf(3, {frame(3, "TIT2", AI16), frame(3, "APIC", COVER),
                               frame(3, "COMM", Bytes{1} + ascii("jpn") + ZERO16 + AI16_TEXT),
                               frame(3, "TPE2", Bytes{1} + BOM_BE + utf16be(u"x") + ZERO16)});
  plain.extendedHeader = extendedHeaderV3(false);
  const Bytes input = buildTag(plain);
  for (FrameScope scope : {FrameScope::TitleFrames, FrameScope::AllFrames}) {
    RewriteSettings settings{scope, TextSettings{false}};
    Bytes ordinary(input.size());
    FramesLeft left;
    const RewriteOutcome expected =
        rewriteTag(FileImage{input.data(), static_cast<uint32_t>(input.size())}, ordinary.data(),
                   settings, left);
    ordinary.resize(expected.length);
    const Version3Run run = runVersion3(input, scope);
    EXPECT_TRUE(run.report.version.converted);
    EXPECT_EQ(hex(run.output), hex(ordinary));
  }
}

} // namespace
