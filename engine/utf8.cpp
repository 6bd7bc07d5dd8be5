#include "engine/utf8.h"

#include "engine/unicode.h"

namespace {

// Where a sequence's second byte may lie, by lead byte (later bytes lie in
// 80..BF); trailing 0 for a byte that starts no sequence. The ranges of the
// second byte are what rule out overlong forms, values past U+10FFFF and,
// in the strict form, surrogates (ED A0..BF).
struct Utf8Lead {
  size_t trailing;
  uint8_t low;
  uint8_t high;
};

Utf8Lead utf8Lead(uint8_t lead, Utf8Form form) {
  if (lead >= 0xC2 && lead <= 0xDF) {
    return {1, 0x80, 0xBF};
  }
  if (lead == 0xE0) {
    return {2, 0xA0, 0xBF};
  }
  if (lead == 0xED && form == Utf8Form::Strict) {
    return {2, 0x80, 0x9F};
  }
  if (lead >= 0xE1 && lead <= 0xEF) {
    return {2, 0x80, 0xBF};
  }
  if (lead == 0xF0) {
    return {3, 0x90, 0xBF};
  }
  if (lead >= 0xF1 && lead <= 0xF3) {
    return {3, 0x80, 0xBF};
  }
  if (lead == 0xF4) {
    return {3, 0x80, 0x8F};
  }
  return {0, 0, 0};
}

} // namespace

Utf8Decoded decodeUtf8(const uint8_t *bytes, size_t length, Utf8Form form) {
  const uint8_t lead = bytes[0];
  if (lead < 0x80) {
    return {lead, 1, true};
  }
  const Utf8Lead expected = utf8Lead(lead, form);
  uint32_t codePoint = lead & (0x3Fu >> expected.trailing);
  size_t taken = 1;
  for (; taken <= expected.trailing && taken < length; ++taken) {
    const uint8_t low = taken == 1 ? expected.low : 0x80;
    const uint8_t high = taken == 1 ? expected.high : 0xBF;
    if (bytes[taken] < low || bytes[taken] > high) {
      break;
    }
    codePoint = codePoint << 6 | (bytes[taken] & 0x3Fu);
  }
  if (expected.trailing == 0 || taken != expected.trailing + 1) {
    return {REPLACEMENT_CHARACTER, taken, false};
  }
  return {codePoint, taken, true};
}
