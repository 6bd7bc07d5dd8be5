// Every message in both languages with the same placeholders in every
// form, the plural rules, and how formats are filled.
#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const Catalogue *const CATALOGUES[] = {&englishCatalogue(), &japaneseCatalogue()};

std::set<std::string> placeholdersOf(const std::string &format) {
  std::set<std::string> names;
  size_t open = 0;
  while ((open = format.find('{', open)) != std::string::npos) {
    const size_t close = format.find('}', open);
    if (close == std::string::npos)
      break;
    names.insert(format.substr(open + 1, close - open - 1));
    open = close;
  }
  return names;
}

} // namespace

TEST(Catalogue, EveryMessageHasTheSamePlaceholdersInEveryLanguage) {
  for (size_t i = 0; i < MESSAGE_COUNT; ++i) {
    const std::set<std::string> expected = placeholdersOf(englishCatalogue().messages[i].format);
    EXPECT_EQ(expected.count("count"), 0U)
        << "message " << i << " counts: make it a CountedMessage";
    for (const Catalogue *catalogue : CATALOGUES) {
      const char *format = catalogue->messages[i].format;
      ASSERT_NE(format, nullptr) << catalogue->language << " message " << i;
      EXPECT_EQ(placeholdersOf(format), expected) << catalogue->language << " message " << i;
    }
  }
}

TEST(Catalogue, EveryCountedMessageHasEachPluralFormWithTheSamePlaceholders) {
  for (size_t i = 0; i < COUNTED_MESSAGE_COUNT; ++i) {
    const std::set<std::string> expected = placeholdersOf(englishCatalogue().counted[i].forms[0]);
    EXPECT_EQ(expected.count("count"), 1U) << "counted message " << i;
    for (const Catalogue *catalogue : CATALOGUES) {
      ASSERT_GE(catalogue->pluralForms, 1U);
      ASSERT_LE(catalogue->pluralForms, MAX_PLURAL_FORMS);
      for (size_t form = 0; form < catalogue->pluralForms; ++form) {
        const char *format = catalogue->counted[i].forms[form];
        ASSERT_NE(format, nullptr) << catalogue->language << " counted " << i << " form " << form;
        EXPECT_EQ(placeholdersOf(format), expected)
            << catalogue->language << " counted " << i << " form " << form;
      }
    }
  }
}

TEST(Catalogue, PluralRulesPickTheFormOfEachNumber) {
  const struct {
    const Catalogue &catalogue;
    uint64_t count;
    const char *expected;
  } cases[] = {
      {englishCatalogue(), 0, "0 bytes saved"},
      {englishCatalogue(), 1, "1 byte saved"},
      {englishCatalogue(), 2, "2 bytes saved"},
      {englishCatalogue(), 11, "11 bytes saved"},
      {englishCatalogue(), 4294967297ULL, "4294967297 bytes saved"},
      {japaneseCatalogue(), 1, "1 バイト減少"},
      {japaneseCatalogue(), 2, "2 バイト減少"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(countedText(c.catalogue, CountedMessage::BytesSaved, c.count), c.expected);
  for (const Catalogue *catalogue : CATALOGUES) {
    for (uint64_t count = 0; count < 1000; ++count)
      ASSERT_LT(catalogue->selectPlural(count), catalogue->pluralForms) << count;
  }
}

TEST(Catalogue, FillsPlaceholdersOnceWithValuesAsTheyAre) {
  // File names may hold braces, even a placeholder's name.
  EXPECT_EQ(messageText(englishCatalogue(), Message::ReportLineWithDetail,
                        {{"label", "{path}"}, {"path", "{detail}"}, {"detail", "{count}"}}),
            "{path}: {detail} ({count})");
  EXPECT_EQ(
      countedText(englishCatalogue(), CountedMessage::SummaryCopied, 1, {{"converted", "{count}"}}),
      "1 copied ({count} converted)");
  // A placeholder without a value stays as it is.
  EXPECT_EQ(messageText(englishCatalogue(), Message::UnknownOption), "unknown option '{option}'");
}
