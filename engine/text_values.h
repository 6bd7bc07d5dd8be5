// Decoding the text of an ID3v2 text frame and converting it into the ANSI
// code page.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t TEXT_ENCODING_SINGLE_BYTE = 0; // ISO-8859-1 by name; code page text in practice
constexpr uint8_t TEXT_ENCODING_UTF16 = 1;       // each value begins with a byte-order mark
constexpr uint8_t TEXT_ENCODING_UTF16BE = 2;
constexpr uint8_t TEXT_ENCODING_UTF8 = 3;

// How a frame's text is converted.
struct TextSettings {
  // A character that the ANSI code page turns into '?' is written as its
  // code page 932 look-alike where it has one (ansiLookAlike).
  bool foldLookAlikes;
};

// The length of the byte-order mark that text (length bytes) begins with,
// as the conversion reads it: EF BB BF in UTF-8; in encoding 1 either
// UTF-16 mark, in encoding 2 the big-endian one alone (FF FE there is the
// character U+FFFE); 0 when there is none.
size_t byteOrderMarkLength(const uint8_t *text, size_t length, uint8_t encoding);

// Converts a frame's text (the data after its encoding byte) into out.
// With isList (a version 4 text frame's values) every value separated by
// terminators is converted, empty values at the end are dropped and the
// rest are joined with one zero byte; otherwise the text ends at the first
// terminator.
// Encoding-0 bytes are kept as they are. Returns false when the result does
// not fit in capacity; outLength receives the bytes written.
bool convertFrameText(const uint8_t *text, size_t length, uint8_t encoding, bool isList,
                      TextSettings settings, uint8_t *out, size_t capacity, size_t &outLength);

// The same text as UTF-16 units, for showing it: what convertFrameText would
// convert, with encoding-0 bytes read as ANSI code page text and values of a
// list separated by a zero unit. Returns false when the text was cut to fit
// capacity units; outLength receives the units written.
bool decodeFrameText(const uint8_t *text, size_t length, uint8_t encoding, bool isList,
                     char16_t *out, size_t capacity, size_t &outLength);
