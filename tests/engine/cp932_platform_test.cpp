// The portable code page 932 encoder against the platform's own
// WideCharToMultiByte, unit by unit and on mixed texts. Runs on Windows (here:
// under Wine with the Japanese locale, whose ANSI code page is 932).
#include "engine/ansi_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr UINT CP932 = 932;
constexpr uint32_t UNIT_COUNT = 0x10000;
constexpr size_t MISMATCHES_SHOWN = 20;

std::string hexUnits(const std::u16string &text) {
  std::string out;
  char unit[8];
  for (char16_t c : text) {
    snprintf(unit, sizeof unit, "%04X ", unsigned{c});
    out += unit;
  }
  return out;
}

// WideCharToMultiByte(932) on units (length -1: up to the zero unit);
// empty when it fails.
Bytes platformBytes(const char16_t *units, int length, int capacity) {
  Bytes out(static_cast<size_t>(capacity) + 1, 0);
  int count = WideCharToMultiByte(CP932, 0, reinterpret_cast<LPCWCH>(units), length,
                                  reinterpret_cast<LPSTR>(out.data()), capacity, NULL, NULL);
  out.resize(count > 0 ? static_cast<size_t>(count) : 0);
  return out;
}

Bytes cp932Bytes(const std::u16string &text, size_t capacity) {
  Bytes out(capacity + 1, 0);
  out.resize(encodeCp932(text.c_str(), out.data(), capacity));
  return out;
}

Bytes ansiBytes(const std::u16string &text, size_t capacity) {
  Bytes out(capacity + 1, 0);
  out.resize(encodeAnsi(text.c_str(), out.data(), capacity));
  return out;
}

// Texts that mix what the table treats differently; built from units so that
// lone surrogates can be written.
std::vector<std::u16string> mixedTexts() {
  const char16_t high = 0xD83C;
  const char16_t low = 0xDFB5;
  return {
      u"\u305D\u3089\u6587 Sorabun \u30BD\u30E9\u30D6\u30F3",
      u"a\U0001F3B5b\U00020B9F",                           // surrogate pairs
      std::u16string{u'a', high, u'b'},                    // lone high surrogate
      std::u16string{u'a', low, u'b'},                     // lone low surrogate
      std::u16string{high},                                // high surrogate at the end
      std::u16string{low, high, u'x'},                     // pair in the wrong order
      u"\u00A5100 caf\u00E9 10\u22125 \u00AB\u00B7\u00BB", // best-fit characters
      u"\u301C\uFF5E\u301C",                               // both wave dashes
      u"\uFF7F\uFF97\uFF8C\uFF9E\uFF9D\uFF61\uFF9F",       // half-width katakana
      u"\u9AD9\u2170\u2460\u3231\uFFE2\uE000\uF8F0",       // extension rows, private use
      u"\u2014\u2015\u2016\u2225\u203E\u00A0\uFFE3",
      std::u16string(300, u'\u3042'), // longer than 255 bytes
  };
}

// Deterministic texts of random units from the whole range but zero.
std::vector<std::u16string> randomTexts() {
  std::vector<std::u16string> texts;
  uint32_t state = 0x2545F491;
  for (size_t i = 0; i < 300; ++i) {
    std::u16string text;
    size_t length = 1 + i % 40;
    while (text.size() < length) {
      state = state * 1664525u + 1013904223u;
      char16_t unit = static_cast<char16_t>(state >> 16);
      if (unit != 0) {
        text += unit;
      }
    }
    texts.push_back(text);
  }
  return texts;
}

void expectSameAsPlatform(const std::u16string &text) {
  const int capacity = static_cast<int>(text.size() * 2 + 1);
  Bytes platform = platformBytes(text.c_str(), -1, capacity);
  ASSERT_FALSE(platform.empty()) << hexUnits(text);
  EXPECT_EQ(cp932Bytes(text, static_cast<size_t>(capacity)), platform) << hexUnits(text);
  EXPECT_EQ(ansiBytes(text, static_cast<size_t>(capacity)), platform) << hexUnits(text);
}

} // namespace

TEST(Cp932Platform, EveryUnitMatchesWideCharToMultiByte) {
  size_t mismatches = 0;
  for (uint32_t value = 0; value < UNIT_COUNT; ++value) {
    char16_t unit = static_cast<char16_t>(value);
    uint8_t ours[2] = {};
    Bytes mine(ours, ours + encodeCp932Unit(unit, ours));
    Bytes platform = platformBytes(&unit, 1, 8);
    if (mine != platform && ++mismatches <= MISMATCHES_SHOWN) {
      ADD_FAILURE() << "U+" << std::hex << value << ": " << mine.size() << " bytes, platform "
                    << platform.size();
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(Cp932Platform, EveryUnitAsTextMatchesEncodeAnsi) {
  ASSERT_EQ(GetACP(), CP932) << "the tests need the Japanese ANSI code page";
  size_t mismatches = 0;
  for (uint32_t value = 1; value < UNIT_COUNT; ++value) {
    const std::u16string text(1, static_cast<char16_t>(value));
    Bytes mine = cp932Bytes(text, 3);
    if ((mine != platformBytes(text.c_str(), -1, 3) || mine != ansiBytes(text, 3)) &&
        ++mismatches <= MISMATCHES_SHOWN) {
      ADD_FAILURE() << "U+" << std::hex << value;
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(Cp932Platform, MixedTextsMatch) {
  ASSERT_EQ(GetACP(), CP932) << "the tests need the Japanese ANSI code page";
  for (const std::u16string &text : mixedTexts()) {
    expectSameAsPlatform(text);
  }
  for (const std::u16string &text : randomTexts()) {
    expectSameAsPlatform(text);
  }
}

TEST(Cp932Platform, TooSmallCapacityFailsAsThePlatformDoes) {
  ASSERT_EQ(GetACP(), CP932) << "the tests need the Japanese ANSI code page";
  for (const std::u16string &text : mixedTexts()) {
    const size_t needed = text.size() * 2 + 1;
    for (size_t capacity = 0; capacity <= needed; ++capacity) {
      EXPECT_EQ(cp932Bytes(text, capacity), ansiBytes(text, capacity))
          << hexUnits(text) << "capacity " << capacity;
    }
  }
}

// Every look-alike stands for a unit the platform turns into '?', and is
// text the platform reads and writes back to the same bytes.
TEST(Cp932Platform, LookAlikesAreWhatThePlatformHolds) {
  ASSERT_EQ(GetACP(), CP932) << "the tests need the Japanese ANSI code page";
  size_t lookAlikes = 0;
  size_t mismatches = 0;
  for (uint32_t value = 1; value < UNIT_COUNT; ++value) {
    const char16_t unit = static_cast<char16_t>(value);
    const LookAlike lookAlike = cp932LookAlike(unit);
    if (lookAlike.length == 0) {
      continue;
    }
    ++lookAlikes;
    const Bytes bytes(lookAlike.bytes, lookAlike.bytes + lookAlike.length);
    wchar_t read[4] = {};
    const int units =
        MultiByteToWideChar(CP932, MB_ERR_INVALID_CHARS, reinterpret_cast<LPCCH>(bytes.data()),
                            static_cast<int>(bytes.size()), read, 4);
    const std::u16string text(reinterpret_cast<const char16_t *>(read),
                              units > 0 ? static_cast<size_t>(units) : 0);
    if ((platformBytes(&unit, 1, 8) != Bytes{'?'} || text.empty() ||
         platformBytes(text.data(), static_cast<int>(text.size()), 8) != bytes) &&
        ++mismatches <= MISMATCHES_SHOWN) {
      ADD_FAILURE() << "U+" << std::hex << value;
    }
  }
  EXPECT_GT(lookAlikes, 1000u);
  EXPECT_EQ(mismatches, 0u);
}
