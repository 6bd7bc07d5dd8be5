#include "cli/preview.h"

#include "catalogue/catalogue.h"
#include "cli/console.h"
#include "engine/ansi_text.h"
#include "engine/rewrite_tag.h"
#include "engine/text_values.h"
#include "engine/unicode.h"

namespace {

constexpr size_t TEXTS_SHOWN = 64; // --all-frames lists every string of a tag
constexpr size_t UNITS_SHOWN = 4096;
const char VALUE_SEPARATOR[] = " / ";

// How a player reading code page text shows one unit after the conversion:
// the unit's bytes read back. Each unit converts on its own, as the rewrite
// converts them, a look-alike taking the place of '?' when folding.
size_t convertedUnits(char16_t unit, TextSettings settings, char16_t out[4]) {
  const LookAlike lookAlike = settings.foldLookAlikes ? ansiLookAlike(unit) : LookAlike{};
  if (lookAlike.length != 0)
    return decodeAnsi(lookAlike.bytes, lookAlike.length, out, 4);
  const char16_t text[2] = {unit, 0};
  uint8_t bytes[8] = {};
  const size_t written = encodeAnsi(text, bytes, sizeof bytes);
  if (written <= 1)
    return 0;
  return decodeAnsi(bytes, written - 1, out, 4);
}

// Control characters would move the cursor or forge lines: they are shown
// escaped, before and after alike.
void appendShown(const char16_t *units, size_t count, std::string &out) {
  std::string text;
  appendUtf16AsUtf8(units, count, text);
  out += escapeControls(text);
}

// Appends one character (one unit, or a surrogate pair) as it is converted.
void appendConverted(const char16_t *units, size_t count, TextSettings settings, std::string &after,
                     PreviewMarks &marks) {
  char16_t converted[8];
  size_t convertedCount = 0;
  for (size_t i = 0; i < count; ++i) {
    convertedCount += convertedUnits(units[i], settings, converted + convertedCount);
    if (!settings.foldLookAlikes && ansiLookAlike(units[i]).length != 0)
      ++marks.foldableMarks;
  }
  bool same = convertedCount == count;
  for (size_t i = 0; same && i < count; ++i)
    same = converted[i] == units[i];
  if (same) {
    appendShown(units, count, after);
    return;
  }
  marks.marked = true;
  after += '[';
  appendShown(converted, convertedCount, after);
  after += ']';
}

void appendLine(std::string &lines, const std::string &label, const std::string &text,
                const char *ellipsis) {
  lines += label;
  lines += ' ';
  lines += text;
  lines += ellipsis;
  lines += '\n';
}

} // namespace

void describeText(const char16_t *units, size_t count, bool bytesKept, TextSettings settings,
                  std::string &before, std::string &after, PreviewMarks &marks) {
  size_t i = 0;
  while (i < count) {
    if (units[i] == 0) {
      before += VALUE_SEPARATOR;
      after += VALUE_SEPARATOR;
      ++i;
      continue;
    }
    const size_t length =
        isHighSurrogate(units[i]) && i + 1 < count && isLowSurrogate(units[i + 1]) ? 2 : 1;
    appendShown(units + i, length, before);
    if (bytesKept) {
      appendShown(units + i, length, after);
    } else {
      appendConverted(units + i, length, settings, after, marks);
    }
    i += length;
  }
}

std::string previewText(const Catalogue &messages, FileImage tagRegion, RewriteSettings settings,
                        PreviewMarks &marks) {
  TargetText texts[TEXTS_SHOWN];
  size_t count = 0;
  listTargetTexts(tagRegion, settings.scope, texts, TEXTS_SHOWN, count);
  std::string lines;
  static char16_t units[UNITS_SHOWN];
  for (size_t i = 0; i < count; ++i) {
    const TargetText &text = texts[i];
    size_t unitCount = 0;
    const bool whole = decodeFrameText(text.text, text.length, text.encoding, text.isList, units,
                                       UNITS_SHOWN, unitCount);
    std::string before;
    std::string after;
    describeText(units, unitCount, text.encoding == TEXT_ENCODING_SINGLE_BYTE, settings.text,
                 before, after, marks);
    const char *ellipsis = whole ? "" : "…";
    std::string identifier = text.identifier;
    identifier.resize(4, ' ');
    appendLine(lines, "  " + identifier + "  " + messageText(messages, Message::BeforeLabel),
               before, ellipsis);
    appendLine(lines, "        " + messageText(messages, Message::AfterLabel), after, ellipsis);
  }
  return lines;
}
