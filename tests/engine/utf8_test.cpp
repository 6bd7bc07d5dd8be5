// The one UTF-8 decoder: characters, the pieces of ill-formed input that
// become one replacement character each, and where the two forms differ.
#include "engine/unicode.h"
#include "engine/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, DecodesCharactersAndMaximalIllFormedPieces) {
  struct Case {
    const char *name;
    std::string bytes;
    Utf8Form form;
    uint32_t codePoint; // REPLACEMENT_CHARACTER: ill-formed
    size_t length;
  } cases[] = {
      {"ASCII", "a", Utf8Form::Strict, 'a', 1},
      {"two bytes", "\xC3\xA9", Utf8Form::Strict, 0xE9, 2},
      {"three bytes", "\xE3\x81\x82", Utf8Form::Strict, 0x3042, 3},
      {"four bytes", "\xF0\x9F\x8E\xB5", Utf8Form::Strict, 0x1F3B5, 4},
      {"a trail byte alone", "\x80", Utf8Form::Strict, REPLACEMENT_CHARACTER, 1},
      {"cut short by the end", "\xE3\x81", Utf8Form::Strict, REPLACEMENT_CHARACTER, 2},
      {"cut short by a letter",
       "\xF0\x9F\x8E"
       "a",
       Utf8Form::Generalised, REPLACEMENT_CHARACTER, 3},
      {"overlong", "\xE0\x80\x80", Utf8Form::Generalised, REPLACEMENT_CHARACTER, 1},
      {"overlong two bytes", "\xC0\xAF", Utf8Form::Generalised, REPLACEMENT_CHARACTER, 1},
      {"past U+10FFFF", "\xF4\x90\x80\x80", Utf8Form::Generalised, REPLACEMENT_CHARACTER, 1},
      {"a surrogate, strict", "\xED\xA0\x80", Utf8Form::Strict, REPLACEMENT_CHARACTER, 1},
      {"a surrogate, generalised", "\xED\xA0\x80", Utf8Form::Generalised, 0xD800, 3},
      {"last before the surrogates", "\xED\x9F\xBF", Utf8Form::Strict, 0xD7FF, 3},
  };
  for (const Case &row : cases) {
    const Utf8Decoded decoded =
        decodeUtf8(reinterpret_cast<const uint8_t *>(row.bytes.data()), row.bytes.size(), row.form);
    EXPECT_EQ(decoded.codePoint, row.codePoint) << row.name;
    EXPECT_EQ(decoded.length, row.length) << row.name;
    EXPECT_EQ(decoded.wellFormed, row.codePoint != REPLACEMENT_CHARACTER) << row.name;
  }
}

} // namespace
