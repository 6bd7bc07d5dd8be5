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

// The length of the UTF-8 character at text[i], or 0 when the bytes there
// make none (overlong forms, surrogates and values past U+10FFFF included).
size_t utf8Length(const std::string &text, size_t i) {
  const Utf8Character c = utf8CharacterAt(text, i);
  return isSurrogate(c.codePoint) ? 0 : c.length;
}

void appendEscapedByte(uint8_t byte, std::string &out) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

} // namespace

std::string escapeControls(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<uint8_t>(text[i]);
    const size_t length = utf8Length(text, i);
    const char *named = byte == '\n'   ? "\\n"
                        : byte == '\r' ? "\\r"
                        : byte == '\t' ? "\\t"
                                       : nullptr;
    if (named != nullptr) {
      out += named;
      ++i;
    } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
      appendEscapedByte(byte, out);
      ++i;
    } else if (byte == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0) {
      char escaped[8]; // U+0080 to U+009F
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<uint8_t>(text[i + 1]));
      out += escaped;
      i += 2;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}
