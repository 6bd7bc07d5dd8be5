// Names for copies on FAT and exFAT sticks, and the natural order copies are
// written in.
#include "library/destination_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

size_t utf16Units(const std::string &utf8) {
  size_t units = 0;
  for (char byte : utf8) {
    const auto c = static_cast<unsigned char>(byte);
    units += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
  }
  return units;
}

TEST(DestinationNames, NamesAFatStickCannotHoldAreMadeSafeAndEachChangeTold) {
  const auto kanji = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
      text += "曲";
    return text;
  };
  struct Case {
    std::string name;
    std::string safe;
    unsigned changes;
  } cases[] = {
      {"01 Café 日本.mp3", "01 Café 日本.mp3", NAME_KEPT},
      {"a\\b/c:d*e?f\"g<h>i|j.mp3", "a_b_c_d_e_f_g_h_i_j.mp3", NAME_FORBIDDEN_CHARACTER},
      {"tab\there\x7f.mp3", "tab_here_.mp3", NAME_CONTROL_CHARACTER},
      {"bad\xff\xc3.mp3", "bad__.mp3", NAME_NOT_A_CHARACTER},
      {"lone \xed\xa0\x80.mp3", "lone _.mp3", NAME_NOT_A_CHARACTER}, // a surrogate from Windows
      {"Vol. 1...", "Vol. 1.._", NAME_TRAILING_DOT_OR_SPACE},
      {"Album ", "Album_", NAME_TRAILING_DOT_OR_SPACE},
      {"con.mp3", "con_.mp3", NAME_RESERVED},
      {"LPT1", "LPT1_", NAME_RESERVED},
      {"CONSOLE.mp3", "CONSOLE.mp3", NAME_KEPT},
      {std::string(300, 'a') + ".mp3", std::string(251, 'a') + ".mp3", NAME_SHORTENED},
      // 4-byte characters are two UTF-16 units: never cut in half.
      {std::string(252, 'a') + "🎵🎵.mp3", std::string(251, 'a') + ".mp3", NAME_SHORTENED},
      {kanji(320) + ".mp3", kanji(251) + ".mp3", NAME_SHORTENED},
  };
  for (const Case &c : cases) {
    const SafeName safe = fatSafeName(c.name);
    EXPECT_EQ(safe.name, c.safe) << c.name;
    EXPECT_EQ(safe.changes, c.changes) << c.name;
    EXPECT_LE(utf16Units(safe.name), FAT_NAME_UNITS_AT_MOST) << c.name;
  }
}

TEST(DestinationNames, NumberedNamesStayWithinTheLimitAndKeepTheExtension) {
  EXPECT_EQ(numberedName(fatSafeName("song.mp3"), 2).name, "song (2).mp3");
  EXPECT_EQ(numberedName(fatSafeName("Disc"), 12).name, "Disc (12)");
  const SafeName longest = numberedName(fatSafeName(std::string(260, 'x') + ".mp3"), 3);
  EXPECT_EQ(longest.name, std::string(247, 'x') + " (3).mp3");
  EXPECT_EQ(longest.changes, NAME_SHORTENED | NAME_NUMBERED);
}

TEST(DestinationNames, FatComparesLettersWithoutCase) {
  const char *same[][2] = {
      {"Song.MP3", "song.mp3"},
      {"ÉTÉ", "été"},
      {"ΣΟΦΙΑ", "σοφια"},
      {"ЁЖ", "ёж"},
      {"ＡＢＣ", "ａｂｃ"},
      {"ŁÓDŹ", "łódź"},
      {"ạ.mp3", "Ạ.mp3"},
      {"ά", "Ά"},
      {"ǆ", "Ǆ"},
      {"ǅ", "Ǆ"},
      {"ⓐ", "Ⓐ"},
      {"ᾀ", "ᾈ"},
  };
  for (const auto &pair : same)
    EXPECT_EQ(fatFoldedName(pair[0]), fatFoldedName(pair[1])) << pair[0];
  // Kana of the two kinds, a full uppercase of several characters, a
  // ligature and its letters, a letter outside the BMP (two UTF-16 units).
  const char *distinct[][2] = {
      {"あ", "ア"}, {"ß", "SS"}, {"ǆ", "DŽ"}, {"ﬁ", "FI"}, {"𐐨", "𐐀"},
  };
  for (const auto &pair : distinct)
    EXPECT_NE(fatFoldedName(pair[0]), fatFoldedName(pair[1])) << pair[0];
}

TEST(DestinationNames, NaturalOrderTakesNumbersByValue) {
  const std::vector<std::string> ordered = {
      "01 intro.mp3", "1 intro.mp3", "2 b.mp3", "02 c.mp3", "9.mp3", "10.mp3",     "100.mp3",
      "Disc 2",       "disc 10",     "Track 9", "track 10", "曲",    "第２話.mp3", "第10話.mp3",
  };
  std::vector<std::string> shuffled(ordered.rbegin(), ordered.rend());
  std::rotate(shuffled.begin(), shuffled.begin() + 5, shuffled.end());
  std::sort(shuffled.begin(), shuffled.end(), naturalLess);
  EXPECT_EQ(shuffled, ordered);
}

} // namespace

TEST(DestinationNames, AFatFolderEntryHoldsAShortNameOrThirteenUnitsOfALongOne) {
  const struct {
    const char *name;
    size_t entries;
  } cases[] = {
      {"README.TXT", 1},        {"SONG_1", 1},         {"readme.txt", 2},
      {"ABCDEFGHI.MP3", 2},     {"A.MPEG", 2},         {"TWO.DOTS.MP3", 2},
      {"01 Song Title.mp3", 3},                                                     // 17 units
      {"0123456789abc", 2},     {"0123456789abcd", 3}, {"\xF0\x9F\x8E\xB5.mp3", 2}, // 6 units
  };
  for (const auto &c : cases)
    EXPECT_EQ(fatEntriesOf(c.name), c.entries) << c.name;
}
