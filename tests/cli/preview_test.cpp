// The dry run's preview: which characters it marks as replaced. Natively the
// project's own tables answer; under Wine the platform's conversion does,
// with the same results.
#include "cli/preview.h"
#include "tests/engine/tag_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Described {
  std::string before;
  std::string after;
  bool marked = false;
  size_t foldableMarks = 0;
  size_t questionMarks = 0;
};

// The preview of a version 4 tag whose title frame holds `data` (its
// encoding byte first), split into what its two lines show.
Described preview(const Bytes &data, bool fold) {
  const Bytes tag = buildTag(4, {frame(4, "TIT2", data)});
  const FileImage image{tag.data(), static_cast<uint32_t>(tag.size())};
  PreviewMarks marks{};
  const std::string lines =
      previewText(englishCatalogue(), image, walkTag(image),
                  RewriteSettings{FrameScope::TitleFrames, TextSettings{fold}}, marks);
  const std::string beforeLabel = "  TIT2  before: ";
  const std::string afterLabel = "        after:  ";
  const size_t end = lines.find('\n');
  EXPECT_EQ(lines.compare(0, beforeLabel.size(), beforeLabel), 0) << lines;
  EXPECT_EQ(lines.compare(end + 1, afterLabel.size(), afterLabel), 0) << lines;
  Described described;
  described.before = lines.substr(beforeLabel.size(), end - beforeLabel.size());
  described.after = lines.substr(end + 1 + afterLabel.size());
  described.after.pop_back(); // the line's end
  described.marked = marks.marked;
  described.foldableMarks = marks.foldableMarks;
  described.questionMarks = marks.questionMarks;
  return described;
}

// A title in UTF-16.
Described describe(const std::u16string &text, bool fold = false) {
  return preview(Bytes{0x01} + BOM_LE + utf16le(text) + ZERO16, fold);
}

} // namespace

TEST(Preview, MarksEveryCharacterTheConversionReplaces) {
  // é becomes e and « becomes ≪ (look-alikes), the wave dash and a
  // character beyond the 16-bit range become '?'; kana and ASCII are kept.
  const Described lossy = describe(u"Caf\u00E9 \u301C \u00AB\U0001D11E\u3042");
  EXPECT_EQ(lossy.before, "Caf\u00E9 \u301C \u00AB\U0001D11E\u3042");
  EXPECT_TRUE(lossy.marked);
  EXPECT_EQ(lossy.after, "Caf[e] [?] [\u226A][??]\u3042");

  const Described clean = describe(u"\u30BD\u30E9\u30D6\u30F3 abc \uFF5E");
  EXPECT_FALSE(clean.marked);
  EXPECT_EQ(clean.after, clean.before);
}

TEST(Preview, CountsWhatFoldingKeepsAndShowsTheLookAlikes) {
  // The wave dash, the minus sign, the en dash (one byte) and the ligature
  // (two characters) have look-alikes; the musical symbol has none and
  // stays '?' either way; the cent sign maps without folding.
  const std::u16string text = u"\u301C\u2212\U0001D11E\u00A2\u2013\uFB01";
  const Described plain = describe(text);
  EXPECT_EQ(plain.after, "[?][?][??][\uFFE0][?][?]");
  EXPECT_EQ(plain.foldableMarks, 4U);
  EXPECT_EQ(plain.questionMarks, 5U); // the musical symbol is one character
  const Described folded = describe(text, true);
  EXPECT_EQ(folded.after, "[\uFF5E][\uFF0D][??][\uFFE0][-][fi]");
  EXPECT_EQ(folded.foldableMarks, 0U);
  EXPECT_EQ(folded.questionMarks, 1U);
}

TEST(Preview, ShowsValuesAndKeptBytesAsTheyAre) {
  const Described list = describe(std::u16string(u"one\0two", 7));
  EXPECT_EQ(list.before, "one / two");
  EXPECT_EQ(list.after, "one / two");
  // Encoding-0 text keeps its bytes: nothing is marked even where the text
  // holds what code page 932 could not produce (a lead byte at the end,
  // which each platform reads its own way).
  const Described kept = preview(Bytes{0x00, 0x81, 0x60, 0x82}, false);
  EXPECT_FALSE(kept.marked);
  EXPECT_EQ(kept.before.compare(0, 3, "\uFF5E"), 0) << kept.before;
  EXPECT_EQ(kept.after, kept.before);
}

TEST(Preview, ListsEachTargetFrameOfATag) {
  TagParts parts;
  parts.major = 3;
  parts.frames = {frame(3, "TIT2", Bytes{0x01} + BOM_LE + utf16le(u"Caf\u00E9") + ZERO16),
                  frame(3, "COMM", repeat(0x41, 20)),
                  frame(3, "TPE1", Bytes{0x00} + ascii("\x82\xA0") + ZERO)};
  const Bytes tag = buildTag(parts);
  const FileImage image{tag.data(), static_cast<uint32_t>(tag.size())};
  PreviewMarks marks{};
  const std::string text =
      previewText(englishCatalogue(), image, walkTag(image),
                  RewriteSettings{FrameScope::TitleFrames, TextSettings{false}}, marks);
  EXPECT_TRUE(marks.marked);
  EXPECT_EQ(text, "  TIT2  before: Caf\u00E9\n"
                  "        after:  Caf[e]\n"
                  "  TPE1  before: \u3042\n"
                  "        after:  \u3042\n");
}
