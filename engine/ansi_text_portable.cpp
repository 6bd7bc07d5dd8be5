// Platforms without an ANSI code page convert to code page 932, the code page
// of the Japanese systems the tool is made for.
#include "engine/ansi_text.h"

size_t encodeAnsi(const char16_t *text, uint8_t *out, size_t capacity) {
  return encodeCp932(text, out, capacity);
}

size_t decodeAnsi(const uint8_t *bytes, size_t length, char16_t *out, size_t capacity) {
  return decodeCp932(bytes, length, out, capacity);
}

LookAlike ansiLookAlike(char16_t unit) {
  return cp932LookAlike(unit);
}
