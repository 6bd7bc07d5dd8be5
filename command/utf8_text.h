// One character of UTF-8 text. Names on POSIX systems are bytes and may hold
// none; a Windows name may hold a surrogate without its partner, which the
// file layer writes as the three bytes UTF-8 would give its value.
#pragma once

#include "engine/unicode.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct Utf8Character {
  uint32_t codePoint;
  size_t length; // bytes; 0 when the bytes at the place start no character
};

// The character at text[at] (engine/utf8.h, generalised: a lone surrogate
// decodes as itself).
Utf8Character utf8CharacterAt(const std::string &text, size_t at);

// Appends the UTF-8 bytes of one code point (a lone surrogate included).
void appendEncodedUtf8(uint32_t codePoint, std::string &out);
