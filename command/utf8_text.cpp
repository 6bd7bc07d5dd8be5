#include "command/utf8_text.h"

#include "engine/utf8.h"

Utf8Character utf8CharacterAt(const std::string &text, size_t at) {
  if (at >= text.size())
    return {0, 0};
  const Utf8Decoded decoded = decodeUtf8(reinterpret_cast<const uint8_t *>(text.data()) + at,
                                         text.size() - at, Utf8Form::Generalised);
  return decoded.wellFormed ? Utf8Character{decoded.codePoint, decoded.length}
                            : Utf8Character{0, 0};
}

void appendEncodedUtf8(uint32_t codePoint, std::string &out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | codePoint >> 6);
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < FIRST_SUPPLEMENTARY_CODE_POINT) {
    out += static_cast<char>(0xE0 | codePoint >> 12);
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | codePoint >> 18);
    out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}
