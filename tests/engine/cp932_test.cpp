// The portable code page 932 encoder against values taken from Windows'
// WideCharToMultiByte(932): the plain table, its best-fit mappings, what
// gives '?', and how the capacity is honoured; and the decoder against
// codes as Windows reads them.
#include "engine/ansi_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct UnitCase {
  char16_t unit;
  Bytes bytes;
};

Bytes unitBytes(char16_t unit) {
  uint8_t out[2] = {};
  size_t count = encodeCp932Unit(unit, out);
  return Bytes(out, out + count);
}

// The bytes written, terminator included; empty when encodeCp932 said 0.
Bytes encoded(const std::u16string &text, size_t capacity = TEXT_BUFFER_SIZE) {
  Bytes out(capacity + 1, 0xCC);
  size_t count = encodeCp932(text.c_str(), out.data(), capacity);
  out.resize(count);
  return out;
}

std::u16string decoded(const Bytes &bytes) {
  char16_t units[16] = {};
  const size_t count = decodeCp932(bytes.data(), bytes.size(), units, 16);
  return std::u16string(units, count);
}

void expectUnits(const std::vector<UnitCase> &cases) {
  for (const UnitCase &c : cases) {
    EXPECT_EQ(unitBytes(c.unit), c.bytes) << "U+" << std::hex << unsigned{c.unit};
  }
}

} // namespace

TEST(Cp932Unit, MapsTheJisTable) {
  expectUnits({
      {u'\u3042', {0x82, 0xA0}}, // あ
      {u'\u30A2', {0x83, 0x41}}, // ア
      {u'\u6F22', {0x8A, 0xBF}}, // 漢
      {u'\u3000', {0x81, 0x40}}, // ideographic space
      {u'\uFF5E', {0x81, 0x60}}, // fullwidth tilde: the platform's wave dash
      {u'\uFF0D', {0x81, 0x7C}}, // fullwidth hyphen-minus
  });
}

TEST(Cp932Unit, AsciiAndHalfWidthKatakanaAreSingleBytes) {
  for (char16_t unit = 0; unit < 0x80; ++unit) {
    EXPECT_EQ(unitBytes(unit), Bytes{static_cast<uint8_t>(unit)}) << unsigned{unit};
  }
  for (char16_t unit = u'\uFF61'; unit <= u'\uFF9F'; ++unit) {
    EXPECT_EQ(unitBytes(unit), Bytes{static_cast<uint8_t>(unit - 0xFF61 + 0xA1)}) << unsigned{unit};
  }
}

TEST(Cp932Unit, ExtensionsGoToTheIbmRows) {
  expectUnits({
      {u'\u9AD9', {0xFB, 0xFC}}, // 髙
      {u'\u2170', {0xFA, 0x40}}, // small roman numeral one
      {u'\uFFE4', {0xFA, 0x55}}, // fullwidth broken bar
      {u'\u2460', {0x87, 0x40}}, // circled digit one: NEC row 13 only
  });
}

TEST(Cp932Unit, BestFitMappings) {
  expectUnits({
      {u'\u00A5', {0x5C}}, // yen sign to the backslash byte
      {u'\u00E9', {'e'}},  // accents dropped
      {u'\u00C5', {'A'}},
      {u'\u00A9', {'c'}},
      {u'\u00AB', {0x81, 0xE1}}, // guillemets to the double angle brackets
      {u'\u00BB', {0x81, 0xE2}},
      {u'\u00B7', {0x81, 0x45}}, // middle dot to the katakana middle dot
      {u'\u3094', {0x83, 0x94}}, // ヴ in hiragana
  });
}

TEST(Cp932Unit, UnmappedUnitsGiveQuestionMark) {
  // U+301C (wave dash) and U+2212 (minus) are the classic pair that other
  // code page 932 tables map and Windows does not.
  for (char16_t unit :
       {u'\u301C', u'\u2212', u'\u2016', u'\u2014', u'\u00A0', u'\u203E', u'\u0100', u'\uFFFF',
        char16_t{0xD800}, char16_t{0xDBFF}, char16_t{0xDC00}, char16_t{0xDFFF}}) {
    EXPECT_EQ(unitBytes(unit), Bytes{'?'}) << "U+" << std::hex << unsigned{unit};
  }
}

TEST(Cp932LookAlike, OnlyForWhatBecomesQuestionMark) {
  struct Case {
    char16_t unit;
    Bytes lookAlike; // empty: none
  };
  const Case cases[] = {
      // The JIS codes, the dashes and the bullet.
      {u'\u301C', {0x81, 0x60}},
      {u'\u2212', {0x81, 0x7C}},
      {u'\u2016', {0x81, 0x61}},
      {u'\u2014', {0x81, 0x5C}},
      {u'\u2013', {'-'}},
      {u'\u2012', {'-'}},
      {u'\u2022', {0x81, 0x45}},
      // NFKC forms: one or two single-byte characters, a double-byte one,
      // one through the em dash's JIS code; the table's first and last.
      {u'\u00A0', {' '}},
      {u'\uFFEE', {0x81, 0x9B}},
      {u'\u24D0', {'a'}},
      {u'\u2074', {'4'}},
      {u'\uFB01', {'f', 'i'}},
      {u'\u2122', {'T', 'M'}},
      {u'\u2F00', {0x88, 0xEA}},
      {u'\uFE31', {0x81, 0x5C}},
      // None: mapped already (the JIS mapping's cent, pound and not signs
      // best-fit; U+FF5E is held), forms of more than two bytes or with 0x5C
      // (a yen sign on a Japanese display), a form code page 932 lacks,
      // Hangul, a surrogate.
      {u'\u00A2', {}},
      {u'\u00A3', {}},
      {u'\u00AC', {}},
      {u'\uFF5E', {}},
      {u'\u2474', {}},
      {u'\uFB03', {}},
      {u'\uFE68', {}},
      {u'\u01C6', {}},
      {u'\uAC00', {}},
      {u'\uFFFF', {}},
      {char16_t{0xD800}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "U+" << std::hex << unsigned{c.unit});
    const LookAlike own = cp932LookAlike(c.unit);
    EXPECT_EQ(Bytes(own.bytes, own.bytes + own.length), c.lookAlike);
    const LookAlike ansi = ansiLookAlike(c.unit); // under Wine too: its ANSI code page is 932
    EXPECT_EQ(Bytes(ansi.bytes, ansi.bytes + ansi.length), c.lookAlike);
    if (!c.lookAlike.empty()) {
      EXPECT_EQ(unitBytes(c.unit), Bytes{'?'});
    }
  }
}

TEST(Cp932Text, ConvertsEachUnitAndAddsTheTerminator) {
  EXPECT_EQ(encoded(u"\u3042\u3044"), (Bytes{0x82, 0xA0, 0x82, 0xA2, 0}));
  EXPECT_EQ(encoded(u"A\uFF71\u00E9"), (Bytes{'A', 0xB1, 'e', 0}));
  EXPECT_EQ(encoded(u""), Bytes{0});
}

TEST(Cp932Text, SurrogatesConvertOneUnitAtATime) {
  EXPECT_EQ(encoded(u"a\U0001F3B5b"), (Bytes{'a', '?', '?', 'b', 0}));
  EXPECT_EQ(encoded(std::u16string{u'a', char16_t{0xD83C}, u'b'}), (Bytes{'a', '?', 'b', 0}));
  EXPECT_EQ(encoded(std::u16string{u'a', char16_t{0xDFB5}, u'b'}), (Bytes{'a', '?', 'b', 0}));
  EXPECT_EQ(encoded(std::u16string{char16_t{0xDFB5}, char16_t{0xD83C}}), (Bytes{'?', '?', 0}));
}

TEST(Cp932Text, CapacityCountsEveryByteAndTheTerminator) {
  const std::u16string text = u"\u3042\u3044"; // 4 bytes and the terminator
  EXPECT_EQ(encoded(text, 5).size(), 5u);
  EXPECT_EQ(encoded(text, 4), Bytes{});
  EXPECT_EQ(encoded(text, 3), Bytes{}); // room for half of the second character
  EXPECT_EQ(encoded(text, 0), Bytes{});
  EXPECT_EQ(encoded(u"", 1), Bytes{0});
  EXPECT_EQ(encoded(u"", 0), Bytes{});
}

TEST(Cp932Text, NeverWritesPastCapacity) {
  const std::u16string text(200, u'\u6F22');
  for (size_t capacity : {size_t{0}, size_t{1}, size_t{255}, size_t{256}, size_t{400}}) {
    Bytes out(capacity + 8, 0xCC);
    EXPECT_EQ(encodeCp932(text.c_str(), out.data(), capacity), 0u);
    for (size_t i = capacity; i < out.size(); ++i) {
      ASSERT_EQ(out[i], 0xCC) << "capacity " << capacity << ", byte " << i;
    }
  }
}

TEST(Cp932Text, LongTextsConvertWhole) {
  const std::u16string text(200, u'\u6F22');
  Bytes out = encoded(text, 401);
  ASSERT_EQ(out.size(), 401u);
  EXPECT_EQ(out[398], 0x8A);
  EXPECT_EQ(out[399], 0xBF);
  EXPECT_EQ(out[400], 0);
}

#ifndef _WIN32
TEST(AnsiText, WithoutAnsiCodePageConvertsToCp932) {
  const std::u16string text = u"\u30BD\u30E9\u00A5\u301C\U0001F3B5";
  uint8_t ansi[16] = {};
  uint8_t cp932[16] = {};
  size_t count = encodeAnsi(text.c_str(), ansi, sizeof ansi);
  ASSERT_EQ(count, encodeCp932(text.c_str(), cp932, sizeof cp932));
  EXPECT_EQ(std::memcmp(ansi, cp932, count), 0);
  EXPECT_EQ(encodeAnsi(text.c_str(), ansi, 4), 0u);
}
#endif

TEST(Cp932Decoding, ReadsCodesAsWindowsDoes) {
  EXPECT_EQ(decoded({0x41, 0x82, 0xA0, 0xB1}), u"A\u3042\uFF71");
  EXPECT_EQ(decoded({0x81, 0x60}), u"\uFF5E"); // the fullwidth tilde, not the wave dash
  EXPECT_EQ(decoded({0x81, 0xE1}), u"\u226A"); // not «, which best-fits to it
  EXPECT_EQ(decoded({0xED, 0x40, 0xFA, 0x5C}), u"\u7E8A\u7E8A"); // NEC-selected and IBM rows
  EXPECT_EQ(decoded({0x87, 0x90}), u"\u2252");                   // NEC row 13 duplicate of 81 E0
  EXPECT_EQ(decoded({0x82}), u"\uFFFD");                         // a lead byte at the end
  EXPECT_EQ(decoded({0x82, 0x20, 0x41}), u"\uFFFD A");           // a trail that makes no character
}
