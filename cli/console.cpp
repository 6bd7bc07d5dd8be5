#include "cli/console.h"

#include "command/utf8_text.h"
#include "engine/unicode.h"

#include <cstdint>
#include <cstdio>

void appendUtf16AsUtf8(const char16_t *units, size_t count, std::string &out) {
  for (size_t i = 0; i < count; ++i) {
    const char16_t unit = units[i];
    if (isHighSurrogate(unit) && i + 1 < count && isLowSurrogate(units[i + 1])) {
      appendEncodedUtf8(combineSurrogates(unit, units[i + 1]), out);
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendEncodedUtf8(REPLACEMENT_CHARACTER, out);
    } else {
      appendEncodedUtf8(unit, out);
    }
  }
}

namespace {

void appendEscapedByte(uint8_t byte, std::string &out) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

void appendEscapedCharacter(uint32_t codePoint, std::string &out) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(codePoint));
  out += escaped;
}

// The marks and embeddings that turn the order in which text is shown
// (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), and the line and
// paragraph separators: no control characters, but each lets a name pass
// for another ("bidi\u202Egpj.mp3" shows as "bidi3pm.jpg").
bool movesText(uint32_t codePoint) {
  return codePoint == 0x200E || codePoint == 0x200F ||
         (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

} // namespace

namespace {

std::string escaped(const std::string &text, bool backslashes) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<uint8_t>(text[i]);
    // 0 where the bytes make no UTF-8 character (overlong forms, surrogates
    // and values past U+10FFFF included).
    const Utf8Character character = utf8CharacterAt(text, i);
    const size_t length = isSurrogate(character.codePoint) ? 0 : character.length;
    // The backslash too: an escape in a name must not pass for one of ours.
    const char *named = byte == '\n'                  ? "\\n"
                        : byte == '\r'                ? "\\r"
                        : byte == '\t'                ? "\\t"
                        : byte == '\\' && backslashes ? "\\\\"
                                                      : nullptr;
    if (named != nullptr) {
      out += named;
      ++i;
    } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
      appendEscapedByte(byte, out);
      ++i;
    } else if ((character.codePoint >= 0x80 && character.codePoint < 0xA0) ||
               movesText(character.codePoint)) {
      appendEscapedCharacter(character.codePoint, out); // C1 controls, and the above
      i += length;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

} // namespace

std::string escapeControls(const std::string &text) {
  return escaped(text, true);
}

std::string escapeControlsKeepingBackslashes(const std::string &text) {
  return escaped(text, false);
}
