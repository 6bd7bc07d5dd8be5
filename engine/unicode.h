// Code units and code points that every text conversion of the project
// shares: one home for each.
#pragma once

#include <cstdint>

constexpr char16_t REPLACEMENT_CHARACTER = 0xFFFD;

constexpr uint32_t FIRST_SUPPLEMENTARY_CODE_POINT = 0x10000;

inline bool isHighSurrogate(uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

inline bool isLowSurrogate(uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

inline bool isSurrogate(uint32_t codePoint) {
  return codePoint >= 0xD800 && codePoint <= 0xDFFF;
}

// The code point of a high and a low surrogate.
inline uint32_t combineSurrogates(uint32_t high, uint32_t low) {
  return FIRST_SUPPLEMENTARY_CODE_POINT + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The two surrogates of a code point at or above U+10000.
inline char16_t highSurrogateOf(uint32_t codePoint) {
  return static_cast<char16_t>(0xD800 + ((codePoint - FIRST_SUPPLEMENTARY_CODE_POINT) >> 10));
}

inline char16_t lowSurrogateOf(uint32_t codePoint) {
  return static_cast<char16_t>(0xDC00 + ((codePoint - FIRST_SUPPLEMENTARY_CODE_POINT) & 0x3FF));
}
