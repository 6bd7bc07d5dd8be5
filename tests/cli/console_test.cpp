// What a name or a tag's text looks like on the terminal: nothing in it
// moves the cursor, turns the order of what follows, or passes for one of
// the program's escapes.
#include "cli/console.h"

#include <gtest/gtest.h>

TEST(Console, EscapesWhatCouldLetANamePassForAnother) {
  struct Row {
    const char *shown;
    const char *printed;
  };
  const Row rows[] = {
      {"plain \xE7\xA9\xBA.mp3", "plain \xE7\xA9\xBA.mp3"},
      {"a\nconverted: b\tc\r", "a\\nconverted: b\\tc\\r"},
      {"\x1B[31mred\x7F", "\\x1B[31mred\\x7F"},
      {"\xC2\x85next", "\\u0085next"},
      {"bidi\xE2\x80\xAEgpj.mp3", "bidi\\u202Egpj.mp3"},
      {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD", "\\u202A\\u202B\\u202C\\u202D"},
      {"\xE2\x80\x8E\xE2\x80\x8F", "\\u200E\\u200F"},
      {"\xE2\x81\xA6x\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "\\u2066x\\u2067\\u2068\\u2069"},
      {"line\xE2\x80\xA8para\xE2\x80\xA9", "line\\u2028para\\u2029"},
      {"a\\x1B.mp3", "a\\\\x1B.mp3"},
      {"C:\\Music\\", "C:\\\\Music\\\\"},
      // Neighbours that turn nothing stay as they are.
      {"\xE2\x80\x8D\xE2\x80\xAF\xE2\x81\xA5", "\xE2\x80\x8D\xE2\x80\xAF\xE2\x81\xA5"},
      {"\xFF\xE2\x80", "\\xFF\\xE2\\x80"},
  };
  for (const Row &row : rows)
    EXPECT_EQ(escapeControls(row.shown), row.printed) << row.printed;
}
