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

// The length of the value at text (its terminator included, when it has
// one): a zero byte ends encodings 0 and 3, a zero unit the UTF-16 ones.
size_t valueLength(const uint8_t *text, size_t length, uint8_t encoding, bool &terminated);

// What a reader of versions 2 and 3 shows of a text frame's text, which
// holds one value there: the bytes up to and including the first
// terminator when values that hold a character follow it (the values
// such a reader drops), otherwise the whole text.
size_t shownValueLength(const uint8_t *text, size_t length, uint8_t encoding);

// Whether one of the values of TCON's text is a reference that version 2.3
// writes in parentheses (ValueJoin::Genres).
bool holdsGenreReference(const uint8_t *text, size_t length, uint8_t encoding);

// How the values of a text frame's text are taken and joined.
enum class ValueJoin : uint8_t {
  FirstValue,    // the text ends at its first terminator
  ZeroSeparated, // every value, separated by one zero byte (a zero unit); empty values at the
                 // end dropped
  Slash,         // every value that holds a character, joined with "/": the one value of a
                 // version 2.3 text frame, as its readers expect several
  Genres,        // TCON in version 2.3: the values that are genre numbers (0 to 255), "RX"
                 // (remix) or "CR" (cover) first, each in parentheses, then the others joined
                 // with "/"
};

// What a conversion writes.
enum class TextTarget : uint8_t {
  AnsiCodePage, // the ANSI code page; encoding-0 bytes are kept as they are
  Utf16,        // text encoding 1: a little-endian byte-order mark, then UTF-16LE units;
                // encoding-0 bytes are read as ANSI code page text
};

// Converts a frame's text (the data after its encoding byte, or one string
// of a frame) into out, its values taken as join says; no terminator is
// written. Returns false when the result does not fit in capacity;
// outLength receives the bytes written.
bool convertText(const uint8_t *text, size_t length, uint8_t encoding, ValueJoin join,
                 TextTarget target, TextSettings settings, uint8_t *out, size_t capacity,
                 size_t &outLength);

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
