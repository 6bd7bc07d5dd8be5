// How the text of a target frame is read, by encoding byte and tag version,
// and what it becomes in code page 932.
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

namespace {

// The text a title frame holding `data` (encoding byte first) is rewritten
// to, encoding byte included; or a note on why there is none.
std::string rewrittenTitle(uint8_t major, const Bytes &data,
                           TextSettings settings = TextSettings{false}) {
  const std::string id = major == 2 ? "TT2" : "TIT2";
  const uint8_t layout = major < 2 ? 4 : major;
  const std::string other = layout == 2 ? "TXX" : "TXXX";
  TagParts parts;
  parts.major = major;
  parts.frames = {frame(layout, id, data), frame(layout, other, ascii("\0after", 6))};
  parts.padding = 3;
  RewriteRun run = runRewrite(buildTag(parts), settings);
  if (run.outcome.kind != RewriteKind::Rewritten) {
    return std::string("not rewritten: ") + kindName(run.outcome.kind);
  }
  // Read the title frame back: its size as the version stores it, then check
  // that the rest of the file is exactly what followed the title before.
  const size_t headerSize = layout == 2 ? 6 : 10;
  const uint8_t *size = &run.output[10 + (layout == 2 ? 3 : 4)];
  const size_t dataSize = layout == 2   ? readBigEndian(size, 3)
                          : layout == 3 ? readBigEndian(size, 4)
                                        : readSynchsafe(size);
  if (10 + headerSize + dataSize > run.output.size()) {
    return "frame size past the output";
  }
  if (readSynchsafe(&run.output[6]) != run.output.size() - 10 - AUDIO.size()) {
    return "tag size does not match the output";
  }
  const Bytes rest(run.output.begin() + static_cast<long>(10 + headerSize + dataSize),
                   run.output.end());
  parts.frames = {frame(layout, other, ascii("\0after", 6))};
  const Bytes tail = buildTag(parts);
  if (rest != Bytes(tail.begin() + 10, tail.end())) {
    return "the bytes after the title changed: " + hex(rest);
  }
  return hex(Bytes(run.output.begin() + static_cast<long>(10 + headerSize),
                   run.output.begin() + static_cast<long>(10 + headerSize + dataSize)));
}

const Bytes ENC0 = {0x00};
const Bytes ENC1 = {0x01};
const Bytes ENC2 = {0x02};
const Bytes ENC3 = {0x03};

// 00 followed by the given code page 932 bytes, as hex() prints them.
std::string cp932(const Bytes &text) {
  return hex(ENC0 + text);
}

const Bytes A = {0x82, 0xA0};   // あ
const Bytes I = {0x82, 0xA2};   // い
const Bytes KAN = {0x8A, 0xBF}; // 漢
const Bytes JI = {0x8E, 0x9A};  // 字

TEST(RewriteText, Utf16MarksPerValue) {
  for (uint8_t major : ByteList{2, 3, 4}) {
    SCOPED_TRACE(int(major));
    // Little-endian and big-endian marks are dropped.
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あい") + ZERO16), cp932(A + I));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_BE + utf16be(u"あい") + ZERO16), cp932(A + I));
    // No mark: little-endian from the first byte, nothing skipped.
    EXPECT_EQ(rewrittenTitle(major, ENC1 + utf16le(u"あい")), cp932(A + I));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + utf16le(u"漢字") + ZERO16), cp932(KAN + JI));
    // Encoding 2 is big-endian, with or without its mark.
    EXPECT_EQ(rewrittenTitle(major, ENC2 + utf16be(u"アい") + ZERO16),
              cp932(Bytes{0x83, 0x41} + I));
    EXPECT_EQ(rewrittenTitle(major, ENC2 + BOM_BE + utf16be(u"アい")),
              cp932(Bytes{0x83, 0x41} + I));
    // A zero code unit counts only on a 2-byte boundary: "A" then U+3000.
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + Bytes{0x41, 0x00, 0x00, 0x30}),
              cp932(Bytes{0x41, 0x81, 0x40}));
    // An odd trailing byte is ignored.
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あ") + Bytes{0x41}), cp932(A));
    EXPECT_EQ(rewrittenTitle(major, ENC2 + utf16be(u"あ") + Bytes{0x30}), cp932(A));
    // Too short for a mark, or nothing at all.
    EXPECT_EQ(rewrittenTitle(major, ENC1 + Bytes{0x41}), cp932({}));
    EXPECT_EQ(rewrittenTitle(major, ENC1), cp932({}));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE), cp932({}));
  }
}

TEST(RewriteText, CodePage932AsWindowsConvertsIt) {
  std::u16string text = u"\uFF5E\u301C\u00E9\u00A5\U0001F600\uFF71";
  text += char16_t(0xD800); // a lone surrogate
  text += u"Aア";
  const Bytes expected = {0x81, 0x60, '?', 'e', 0x5C, '?', '?', 0xB1, '?', 'A', 0x83, 0x41};
  EXPECT_EQ(rewrittenTitle(3, ENC1 + BOM_LE + utf16le(text) + ZERO16), cp932(expected));
  EXPECT_EQ(rewrittenTitle(4, ENC2 + utf16be(text)), cp932(expected));
  EXPECT_EQ(rewrittenTitle(4, ENC3 + ascii(u8"～〜é¥😀ｱ?Aア")), cp932(expected));
}

TEST(RewriteText, FoldWritesTheLookAlikes) {
  const Bytes WAVE = {0x81, 0x60};
  const Bytes MINUS = {0x81, 0x7C};
  const Bytes BARS = {0x81, 0x61};
  const Bytes DASH = {0x81, 0x5C};
  const Bytes Q = ascii("?");
  const std::u16string kana(62, u'あ'); // a chunk of 63 units ends after one more
  Bytes kanaBytes;
  for (size_t i = 0; i < kana.size(); ++i) {
    kanaBytes = kanaBytes + A;
  }
  struct Case {
    const char *what;
    uint8_t major;
    Bytes data;
    Bytes plain;  // without folding
    Bytes folded; // with
  };
  const Case cases[] = {
      {"UTF-16, each look-alike", 3, ENC1 + BOM_LE + utf16le(u"\u301C\u2212\u2016\u2014") + ZERO16,
       Q + Q + Q + Q, WAVE + MINUS + BARS + DASH},
      {"big-endian, among best fits and a pair", 2, ENC2 + utf16be(u"\u00E9\u301C\U0001F600\u00A2"),
       ascii("e??") + Q + Bytes{0x81, 0x91}, ascii("e") + WAVE + ascii("??") + Bytes{0x81, 0x91}},
      {"UTF-8 values of a list", 4, ENC3 + ascii(u8"A〜B") + ZERO + ascii(u8"−"),
       ascii("A?B") + ZERO + Q, ascii("A") + WAVE + ascii("B") + ZERO + MINUS},
      {"across a chunk's end", 3, ENC1 + BOM_LE + utf16le(kana + u"\u301C\U0001F600\u2212"),
       kanaBytes + ascii("????"), kanaBytes + WAVE + ascii("??") + MINUS},
      {"dashes, bullet and NFKC forms, as many bytes as UTF-16 without a mark", 4,
       ENC2 + utf16be(u"\u2013\u2022\uFB01\u2122"), Q + Q + Q + Q,
       ascii("-") + Bytes{0x81, 0x45} + ascii("fiTM")},
      {"two-byte UTF-8", 4, ENC3 + ascii(u8"\u0133\u00A0"), Q + Q, ascii("ij ")},
      {"encoding 0 keeps its bytes", 3, ENC0 + ascii("?\x81\x60"), ascii("?\x81\x60"),
       ascii("?\x81\x60")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(rewrittenTitle(c.major, c.data), cp932(c.plain));
    EXPECT_EQ(rewrittenTitle(c.major, c.data, TextSettings{true}), cp932(c.folded));
  }
}

TEST(RewriteText, Utf8MarkAndIllFormedSequences) {
  for (uint8_t major : ByteList{3, 4}) {
    SCOPED_TRACE(int(major));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + BOM_UTF8 + ascii(u8"漢字") + ZERO), cp932(KAN + JI));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + ascii(u8"あい")), cp932(A + I));
    // Each maximal ill-formed subsequence becomes one U+FFFD, then '?'.
    const Bytes unicodeExample = {0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2,
                                  0x62, 0x80, 0x63, 0x80, 0xBF, 0x64};
    EXPECT_EQ(rewrittenTitle(major, ENC3 + unicodeExample), cp932(ascii("a???b?c??d")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xC3, 0x41}), cp932(ascii("?A")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xE3, 0x81, 0x41}), cp932(ascii("?A")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xF0, 0x9F, 0x98, 0x41}), cp932(ascii("?A")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xC0, 0x80}), cp932(ascii("??")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xE0, 0x80, 0x80}), cp932(ascii("???")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xED, 0xA0, 0x80}), cp932(ascii("???")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xF4, 0x90, 0x80, 0x80}), cp932(ascii("????")));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + Bytes{0xFF, 0xFE, 0x41}), cp932(ascii("??A")));
    // A sequence cut short by the end of the frame.
    EXPECT_EQ(rewrittenTitle(major, ENC3 + ascii("A") + Bytes{0xE3, 0x81}), cp932(ascii("A?")));
  }
}

TEST(RewriteText, Versions2And3KeepTheFirstValueOnly) {
  for (uint8_t major : ByteList{2, 3}) {
    SCOPED_TRACE(int(major));
    EXPECT_EQ(rewrittenTitle(major, ENC0 + ascii("abc\0def", 7)), cp932(ascii("abc")));
    EXPECT_EQ(
        rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あ") + ZERO16 + BOM_LE + utf16le(u"い")),
        cp932(A));
    EXPECT_EQ(rewrittenTitle(major, ENC2 + utf16be(u"あ") + ZERO16 + utf16be(u"い")), cp932(A));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + ascii("a\0b", 3)), cp932(ascii("a")));
    EXPECT_EQ(rewrittenTitle(major, ENC0 + ascii("\0abc", 4)), cp932({}));
  }
}

TEST(RewriteText, Version4JoinsEveryValueWithOneZeroByte) {
  for (uint8_t major : ByteList{4, 0, 1}) {
    SCOPED_TRACE(int(major));
    // Each UTF-16 value has its own mark, or none (then little-endian).
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あ") + ZERO16 + BOM_LE +
                                        utf16le(u"い") + ZERO16),
              cp932(A + ZERO + I));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_BE + utf16be(u"あ") + ZERO16 + utf16le(u"い")),
              cp932(A + ZERO + I));
    EXPECT_EQ(rewrittenTitle(major, ENC2 + BOM_BE + utf16be(u"あ") + ZERO16 + utf16be(u"い")),
              cp932(A + ZERO + I));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + BOM_UTF8 + ascii("a") + ZERO + BOM_UTF8 + ascii("b")),
              cp932(ascii("a\0b", 3)));
    EXPECT_EQ(rewrittenTitle(major, ENC0 + ascii("a\0b", 3)), cp932(ascii("a\0b", 3)));

    // Trailing values that convert to nothing are dropped, others kept.
    EXPECT_EQ(rewrittenTitle(major, ENC3 + ascii("a\0b\0\0", 5)), cp932(ascii("a\0b", 3)));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あ") + ZERO16 + BOM_LE), cp932(A));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あ") + ZERO16 + Bytes{0x44}),
              cp932(A));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + utf16le(u"あ") + ZERO16 + BOM_LE + ZERO16 +
                                        BOM_LE + utf16le(u"い")),
              cp932(A + ZERO + ZERO + I));
    EXPECT_EQ(rewrittenTitle(major, ENC3 + ascii("a\0\0b", 4)), cp932(ascii("a\0\0b", 4)));
    EXPECT_EQ(rewrittenTitle(major, ENC0 + ascii("\0abc", 4)), cp932(ascii("\0abc", 4)));
    EXPECT_EQ(rewrittenTitle(major, ENC0 + ascii("\0\0", 2)), cp932({}));
    EXPECT_EQ(rewrittenTitle(major, ENC1 + BOM_LE + ZERO16), cp932({}));
  }
}

TEST(RewriteText, NoLengthLimit) {
  const std::u16string kana(300, u'あ');
  Bytes expected;
  for (int i = 0; i < 300; ++i) {
    expected = expected + A;
  }
  EXPECT_EQ(rewrittenTitle(3, ENC1 + BOM_LE + utf16le(kana) + ZERO16), cp932(expected));
  EXPECT_EQ(rewrittenTitle(4, ENC1 + BOM_LE + utf16le(kana) + ZERO16 + BOM_LE + utf16le(kana)),
            cp932(expected + ZERO + expected));
  std::string utf8Kana;
  for (int i = 0; i < 300; ++i) {
    utf8Kana += u8"あ";
  }
  EXPECT_EQ(rewrittenTitle(4, ENC3 + ascii(utf8Kana)), cp932(expected));
  EXPECT_EQ(rewrittenTitle(2, ENC1 + BOM_LE + utf16le(kana)), cp932(expected));
  const std::string latin(400, 'x');
  EXPECT_EQ(rewrittenTitle(3, ENC0 + ascii(latin) + ZERO), cp932(ascii(latin)));
  EXPECT_EQ(rewrittenTitle(4, ENC0 + ascii(latin)), cp932(ascii(latin)));
}

} // namespace
