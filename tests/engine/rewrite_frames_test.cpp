// --all-frames: every encoded string of every frame with one, converted by
// the fields its frame has; frames that do not parse are left as they are.
#include "engine/frame_fields.h"
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

namespace {

constexpr RewriteSettings ALL_FRAMES{FrameScope::AllFrames, TextSettings{false}};

const Bytes AI16 = BOM_LE + utf16le(u"あい");
const Bytes AI16Z = AI16 + ZERO16;
const Bytes AI8 = ascii("あい");
const Bytes AI932 = {0x82, 0xA0, 0x82, 0xA2};
const Bytes BINARY = {0x89, 0x50, 0x00, 0x00, 0xFF, 0xFE, 0x00, 0x01}; // zeros and a mark

struct FrameCase {
  const char *name;
  uint8_t major;
  const char *id;
  Bytes data;
  Bytes expected; // empty: the frame is left as it is and named
};

Bytes stamp(uint8_t low) {
  return {0x00, 0x00, 0x00, low};
}

const FrameCase FRAME_CASES[] = {
    {"text frame, first value", 3, "TPE2", Bytes{1} + AI16Z + AI16, Bytes{0} + AI932},
    {"text frame, values", 4, "TCOM", Bytes{3} + ascii("a") + ZERO + AI8 + ZERO,
     Bytes{0} + ascii("a") + ZERO + AI932},
    {"TIPL in version 3", 3, "TIPL", Bytes{1} + AI16Z + AI16Z + AI16,
     Bytes{0} + AI932 + ZERO + AI932 + ZERO + AI932},
    {"TXXX", 3, "TXXX", Bytes{1} + AI16Z + AI16Z, Bytes{0} + AI932 + ZERO + AI932},
    {"TXX list", 2, "TXX", Bytes{3} + ascii("d") + ZERO + AI8,
     Bytes{0} + ascii("d") + ZERO + AI932},
    {"COMM", 3, "COMM", Bytes{1} + ascii("jpn") + AI16Z + AI16Z,
     Bytes{0} + ascii("jpn") + AI932 + ZERO + AI932 + ZERO},
    {"COM unterminated", 2, "COM", Bytes{1} + ascii("eng") + ZERO16 + AI16,
     Bytes{0} + ascii("eng") + ZERO + AI932},
    {"USLT big-endian", 4, "USLT",
     Bytes{2} + ascii("jpn") + utf16be(u"あ") + ZERO16 + utf16be(u"い"),
     Bytes{0} + ascii("jpn") + Bytes{0x82, 0xA0, 0x00, 0x82, 0xA2}},
    {"APIC", 3, "APIC", Bytes{1} + ascii("image/png") + ZERO + Bytes{3} + AI16Z + BINARY,
     Bytes{0} + ascii("image/png") + ZERO + Bytes{3} + AI932 + ZERO + BINARY},
    {"PIC", 2, "PIC", Bytes{1} + ascii("PNG") + Bytes{3} + AI16Z + BINARY,
     Bytes{0} + ascii("PNG") + Bytes{3} + AI932 + ZERO + BINARY},
    {"GEOB", 4, "GEOB", Bytes{3} + ascii("a/b") + ZERO + AI8 + ZERO + AI8 + ZERO + BINARY,
     Bytes{0} + ascii("a/b") + ZERO + AI932 + ZERO + AI932 + ZERO + BINARY},
    {"WXXX", 3, "WXXX", Bytes{1} + AI16Z + ascii("http://a/\xE3"),
     Bytes{0} + AI932 + ZERO + ascii("http://a/\xE3")},
    {"USER", 3, "USER", Bytes{1} + ascii("jpn") + AI16, Bytes{0} + ascii("jpn") + AI932},
    {"OWNE", 3, "OWNE", Bytes{1} + ascii("JPY5") + ZERO + ascii("20240101") + AI16,
     Bytes{0} + ascii("JPY5") + ZERO + ascii("20240101") + AI932},
    {"COMR without logo", 3, "COMR",
     Bytes{1} + ascii("JPY5") + ZERO + ascii("20241231") + ascii("u") + ZERO + Bytes{5} + AI16Z +
         AI16Z,
     Bytes{0} + ascii("JPY5") + ZERO + ascii("20241231") + ascii("u") + ZERO + Bytes{5} + AI932 +
         ZERO + AI932 + ZERO},
    {"COMR with logo", 4, "COMR",
     Bytes{3} + ZERO + ascii("20241231") + ZERO + Bytes{5} + AI8 + ZERO + ZERO +
         ascii("image/png") + ZERO + BINARY,
     Bytes{0} + ZERO + ascii("20241231") + ZERO + Bytes{5} + AI932 + ZERO + ZERO +
         ascii("image/png") + ZERO + BINARY},
    {"SYLT", 3, "SYLT",
     Bytes{1} + ascii("jpn") + Bytes{2, 1} + AI16Z + AI16Z + stamp(0) + AI16Z + stamp(16),
     Bytes{0} + ascii("jpn") + Bytes{2, 1} + AI932 + ZERO + AI932 + ZERO + stamp(0) + AI932 + ZERO +
         stamp(16)},
    {"SLT", 2, "SLT", Bytes{3} + ascii("jpn") + Bytes{2, 1} + ZERO + AI8 + ZERO + stamp(0),
     Bytes{0} + ascii("jpn") + Bytes{2, 1} + ZERO + AI932 + ZERO + stamp(0)},
    {"IPLS", 3, "IPLS", Bytes{1} + AI16Z + AI16Z + AI16Z + AI16,
     Bytes{0} + AI932 + ZERO + AI932 + ZERO + AI932 + ZERO + AI932},
    {"encoding 0 kept", 3, "COMM", Bytes{0} + ascii("jpn") + ZERO + AI932,
     Bytes{0} + ascii("jpn") + ZERO + AI932},
    // Left as they are.
    {"MIME type unterminated", 3, "APIC", Bytes{1} + ascii("image/png"), {}},
    {"language cut short", 3, "COMM", Bytes{1} + ascii("jp"), {}},
    {"description unterminated", 4, "WXXX", Bytes{1} + AI16, {}},
    {"time stamp cut short",
     3,
     "SYLT",
     Bytes{1} + ascii("jpn") + Bytes{2, 1} + ZERO16 + AI16Z + Bytes{0, 0},
     {}},
    {"unknown encoding", 3, "USLT", Bytes{5} + ascii("jpn") + ZERO + AI8, {}},
};

TEST(RewriteAllFrames, EachFrameByItsFields) {
  for (const FrameCase &row : FRAME_CASES) {
    const Bytes title = frame(row.major, row.major == 2 ? "TT2" : "TIT2", Bytes{1} + AI16Z);
    const Bytes title932 = frame(row.major, row.major == 2 ? "TT2" : "TIT2", Bytes{0} + AI932);
    const Bytes input = buildTag(row.major, {frame(row.major, row.id, row.data), title}, 4);
    const Bytes expected = buildTag(
        row.major,
        {frame(row.major, row.id, row.expected.empty() ? row.data : row.expected), title932}, 4);
    Bytes output(input.size());
    FramesLeft left;
    const RewriteOutcome outcome =
        rewriteTag(FileImage{input.data(), static_cast<uint32_t>(input.size())}, output.data(),
                   ALL_FRAMES, left);
    ASSERT_EQ(outcome.kind, RewriteKind::Rewritten) << row.name;
    output.resize(outcome.length);
    EXPECT_EQ(hex(output), hex(expected)) << row.name;
    EXPECT_EQ(left.count, row.expected.empty() ? 1u : 0u) << row.name;
    if (row.expected.empty()) {
      EXPECT_STREQ(left.identifiers[0], row.id) << row.name;
    }
    // The title frames alone leave the frame as it is.
    EXPECT_TRUE(
        rewritesTo(input, buildTag(row.major, {frame(row.major, row.id, row.data), title932}, 4)))
        << row.name;
  }
}

TEST(RewriteAllFrames, CompressedFramesAreLeftAndNamedOnce) {
  const Bytes comm = Bytes{1} + ascii("jpn") + AI16Z + AI16Z;
  const Bytes input =
      buildTag(3, {frame(3, "COMM", comm, SizeStyle::Native, 0, 0x80),
                   frame(3, "COMM", comm, SizeStyle::Native, 0, 0x40), frame(3, "PRIV", AI16Z)});
  Bytes output(input.size());
  FramesLeft left;
  const RewriteOutcome outcome =
      rewriteTag(FileImage{input.data(), static_cast<uint32_t>(input.size())}, output.data(),
                 ALL_FRAMES, left);
  EXPECT_EQ(outcome.length, input.size());
  EXPECT_EQ(output, input);
  EXPECT_EQ(left.count, 2u);
  EXPECT_EQ(left.named, 1u);
}

TEST(RewriteAllFrames, ListsEveryStringItConverts) {
  const Bytes input = buildTag(4, {frame(4, "COMM", Bytes{1} + ascii("jpn") + AI16Z + AI16),
                                   frame(4, "TIT2", Bytes{3} + AI8 + ZERO + AI8)});
  TargetText texts[4];
  size_t count = 0;
  listTargetTexts(FileImage{input.data(), static_cast<uint32_t>(input.size())},
                  FrameScope::AllFrames, texts, 4, count);
  ASSERT_EQ(count, 3u);
  EXPECT_STREQ(texts[0].identifier, "COMM");
  EXPECT_EQ(Bytes(texts[0].text, texts[0].text + texts[0].length), AI16Z);
  EXPECT_EQ(Bytes(texts[1].text, texts[1].text + texts[1].length), AI16);
  EXPECT_FALSE(texts[1].isList);
  EXPECT_TRUE(texts[2].isList);
}

// The one split of a frame that --info, the listing and the rewrite share.
TEST(RewriteAllFrames, FrameStringsAsTheTableSplitsThem) {
  const Bytes LE_MARK_Z = BOM_LE + ZERO16;
  struct StringsCase {
    const char *name;
    Bytes frame;
    uint8_t major;
    FrameSplit split;
    std::vector<Bytes> strings;
    bool isList;
  } cases[] = {
      {"comment, a description of no character left out",
       frame(3, "COMM", Bytes{1} + ascii("jpn") + LE_MARK_Z + AI16Z),
       3,
       FrameSplit::Split,
       {AI16Z},
       false},
      {"version 4 text frame: a list",
       frame(4, "TIT2", Bytes{3} + AI8 + ZERO + AI8),
       4,
       FrameSplit::Split,
       {AI8 + ZERO + AI8},
       true},
      {"version 3 text frame",
       frame(3, "TPE1", Bytes{1} + AI16Z),
       3,
       FrameSplit::Split,
       {AI16Z},
       false},
      // In encoding 2 only FE FF is a mark: FF FE is U+FFFE, which converts to '?'.
      {"UTF-16BE, a little-endian mark",
       frame(4, "COMM", Bytes{2} + ascii("eng") + LE_MARK_Z),
       4,
       FrameSplit::Split,
       {LE_MARK_Z},
       false},
      {"no encoded string", frame(3, "PRIV", AI16Z), 3, FrameSplit::NoStrings, {}, false},
      {"compressed",
       frame(3, "COMM", Bytes{1} + ascii("jpn") + AI16Z, SizeStyle::Native, 0, 0x80),
       3,
       FrameSplit::Transformed,
       {},
       false},
      {"language cut short",
       frame(3, "COMM", Bytes{1} + ascii("jp")),
       3,
       FrameSplit::Unreadable,
       {},
       false},
  };
  for (const StringsCase &row : cases) {
    const Bytes input = buildTag(row.major, {row.frame});
    const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
    const TagRecord record = walkTag(image);
    ASSERT_EQ(record.frames.size(), 1u) << row.name;
    FrameStrings strings;
    readFrameStrings(image, record, record.frames[0], strings);
    EXPECT_EQ(strings.split, row.split) << row.name;
    ASSERT_EQ(strings.strings.size(), row.strings.size()) << row.name;
    for (size_t i = 0; i < row.strings.size(); ++i) {
      const FrameString &string = strings.strings[i];
      EXPECT_EQ(hex(Bytes(string.text, string.text + string.length)), hex(row.strings[i]))
          << row.name;
      EXPECT_EQ(string.isList, row.isList) << row.name;
    }
  }
}

// What a reader of versions 2 and 3 shows of a text frame: the first
// value, when values that hold a character follow it; a version 4 list and
// empty values after the first are shown whole.
TEST(RewriteAllFrames, FrameStringsTellTheValuesVersion3ReadersDrop) {
  const struct {
    const char *name;
    uint8_t major;
    Bytes data;
    uint32_t shown; // 0: the whole text
  } cases[] = {
      {"a value after the terminator", 3, Bytes{0} + ascii("a\0b", 3), 2},
      {"UTF-16 values", 3, Bytes{1} + AI16Z + AI16, static_cast<uint32_t>(AI16Z.size())},
      {"an empty value after it", 2, Bytes{1} + AI16Z + BOM_LE + ZERO16, 0},
      {"a list in version 4", 4, Bytes{3} + AI8 + ZERO + AI8, 0},
  };
  for (const auto &row : cases) {
    const Bytes input =
        buildTag(row.major, {frame(row.major, row.major == 2 ? "TP1" : "TPE1", row.data)});
    const FileImage image{input.data(), static_cast<uint32_t>(input.size())};
    const TagRecord record = walkTag(image);
    FrameStrings strings;
    readFrameStrings(image, record, record.frames[0], strings);
    ASSERT_EQ(strings.strings.size(), 1u) << row.name;
    const FrameString &string = strings.strings[0];
    EXPECT_EQ(string.shownLength, row.shown == 0 ? string.length : row.shown) << row.name;
  }
}

} // namespace
