#include "command/wide_text.h"

#include "command/utf8_text.h"
#include "engine/unicode.h"

#include <cstdint>

std::string utf8FromWide(const wchar_t *wide, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const auto unit = static_cast<uint32_t>(wide[i]);
    const auto next = i + 1 < count ? static_cast<uint32_t>(wide[i + 1]) : 0u;
    if (isHighSurrogate(unit) && isLowSurrogate(next)) {
      appendUtf8(combineSurrogates(unit, next), out);
      ++i;
    } else {
      appendUtf8(unit, out); // a lone surrogate keeps its value
    }
  }
  return out;
}

std::wstring wideFromUtf8(const char *text, size_t length) {
  std::wstring out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) {
    const auto lead = static_cast<uint8_t>(text[i]);
    uint32_t value = lead;
    size_t extra = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2; // surrogates included: the generalised form
      value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      value = lead & 0x07u;
    } else if (lead >= 0x80) {
      value = REPLACEMENT_CHARACTER; // a byte that starts no character
    }
    size_t k = 1;
    for (; k <= extra && i + k < length && (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80; ++k)
      value = value << 6 | (static_cast<uint8_t>(text[i + k]) & 0x3Fu);
    i += k;
    if (k <= extra)
      value = REPLACEMENT_CHARACTER; // cut short
    if (value >= FIRST_SUPPLEMENTARY_CODE_POINT) {
      out += static_cast<wchar_t>(highSurrogateOf(value));
      out += static_cast<wchar_t>(lowSurrogateOf(value));
    } else {
      out += static_cast<wchar_t>(value);
    }
  }
  return out;
}
