// The ID3v1 tag made from ID3v2 frames, read back by offsets taken from the
// 128-byte layout itself: "TAG", title 3, artist 33, album 63, year 93,
// comment 97 (28 bytes), zero at 125, track 126, genre 127.
#include "engine/id3v1.h"
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

namespace {

const Bytes KANA = {0x82, 0xA0}; // あ in code page 932

Bytes text0(const Bytes &bytes) {
  return ZERO + bytes;
}
Bytes text1(const std::u16string &text) {
  return Bytes{0x01} + BOM_LE + utf16le(text);
}

// The bytes of a field up to its first zero.
Bytes field(const Bytes &tag, size_t offset, size_t size) {
  Bytes value(tag.begin() + static_cast<long>(offset),
              tag.begin() + static_cast<long>(offset + size));
  for (size_t i = 0; i < value.size(); ++i)
    if (value[i] == 0)
      return Bytes(value.begin(), value.begin() + static_cast<long>(i));
  return value;
}

Bytes build(const Id3v1Sources &sources) {
  Bytes tag(ID3V1_TAG_SIZE, 0xEE);
  buildId3v1Tag(sources, TextSettings{false}, tag.data());
  return tag;
}

FrameData of(const Bytes &data) {
  return FrameData{data.data(), static_cast<uint32_t>(data.size())};
}

TEST(Id3v1, TextsAreCutAtACharacterBoundaryAndZeroPadded) {
  struct Row {
    Bytes title;
    Bytes expected;
  };
  const Bytes x29 = repeat('x', 29);
  Bytes kana14;
  for (int i = 0; i < 14; ++i)
    kana14 = kana14 + KANA;
  const Row rows[] = {
      // A double-byte character whose second byte would be byte 31 is left out.
      {text1(u"x" + std::u16string(15, u'あ')), ascii("x") + kana14},
      {text0(x29 + KANA), x29},
      {text0(repeat('y', 40)), repeat('y', 30)},
      {text1(u"Caf\u00e9 \u301c"), ascii("Cafe ?")},
      {text0(ascii("one\0two", 7)), ascii("one")},
      {Bytes{0x03} + ascii("\xE3\x81\x82"), KANA},
      {Bytes{0x07} + ascii("odd"), {}}, // an encoding the engine does not know
  };
  for (const Row &row : rows) {
    const Bytes tag = build(Id3v1Sources{of(row.title), {}, {}, {}, {}, {}, {}});
    EXPECT_EQ(hex(field(tag, 3, 30)), hex(row.expected)) << hex(row.title);
    EXPECT_EQ(
        hex(Bytes(tag.begin() + 3 + static_cast<long>(row.expected.size()), tag.begin() + 33)),
        hex(repeat(0, 30 - row.expected.size())));
  }
}

TEST(Id3v1, YearCommentTrackAndGenre) {
  struct Row {
    Bytes year, comment, track, genre;
    std::string expectedYear, expectedComment;
    uint8_t expectedTrack, expectedGenre;
  };
  const Bytes eng = ascii("eng");
  const Row rows[] = {
      {text0(ascii("2004")), text0(eng + ZERO + ascii("hello")), text0(ascii("3/12")),
       text0(ascii("(17)Rock")), "2004", "hello", 3, 17},
      {text0(ascii("2004-05-06T10:00")),
       Bytes{0x01} + eng + BOM_LE + utf16le(u"d") + ZERO16 + BOM_LE + utf16le(u"text"),
       text0(ascii("255")), text0(ascii("rock")), "2004", "text", 255, 17},
      {text0(ascii("04")), text0(eng + ZERO + repeat('c', 40)), text0(ascii("256")),
       text0(ascii("146")), "", std::string(28, 'c'), 0, 146},
      {text0(ascii("year")), {}, text0(ascii("0")), text0(ascii("Unknown")), "", "", 0, 255},
      {{}, {}, text0(ascii("x")), text0(ascii("(1000)")), "", "", 0, 255},
      {{}, {}, {}, text0(ascii("(RX)")), "", "", 0, 255},
      {{}, {}, {}, text0(ascii("JPop")), "", "", 0, 146},
      {{}, {}, {}, {}, "", "", 0, 255},
  };
  for (const Row &row : rows) {
    const Bytes tag = build(
        Id3v1Sources{{}, {}, {}, of(row.year), of(row.comment), of(row.track), of(row.genre)});
    const std::string where = hex(row.year) + " / " + hex(row.genre);
    EXPECT_EQ(hex(Bytes(tag.begin(), tag.begin() + 3)), hex(ascii("TAG"))) << where;
    EXPECT_EQ(hex(field(tag, 93, 4)), hex(ascii(row.expectedYear))) << where;
    EXPECT_EQ(hex(field(tag, 97, 28)), hex(ascii(row.expectedComment))) << where;
    EXPECT_EQ(tag[125], 0) << where;
    EXPECT_EQ(tag[126], row.expectedTrack) << where;
    EXPECT_EQ(tag[127], row.expectedGenre) << where;
  }
}

TEST(Id3v1, TheCommentToKeepAndTheFieldsThatDisagree) {
  const Bytes plain = text0(ascii("eng") + ZERO + ascii("hi"));
  const Bytes described = text0(ascii("engnote") + ZERO + ascii("hi"));
  const Bytes itunes = text0(ascii("enGiTunNORM") + ZERO + ascii(" 0000"));
  EXPECT_GT(commentRank(of(plain)), commentRank(of(described)));
  EXPECT_GT(commentRank(of(described)), commentRank(of(itunes)));

  const Bytes title = text0(ascii("Song"));
  const Bytes built = build(Id3v1Sources{of(title), {}, {}, of(text0(ascii("1999"))), {}, {}, {}});
  Bytes padded = built;
  padded[7] = ' '; // "Song " padded with spaces by another writer
  EXPECT_EQ(id3v1Differences(built.data(), padded.data()), 0u);
  Bytes other = built;
  other[3] = 's';
  other[93] = 0;
  EXPECT_EQ(id3v1Differences(built.data(), other.data()), unsigned{ID3V1_TITLE | ID3V1_YEAR});
}

} // namespace
