// The one platform conversion the engine needs: UTF-16 into the ANSI code
// page (code page 932, Shift-JIS, on the systems the tool is made for).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t TEXT_BUFFER_SIZE = 256;

// Converts the zero-terminated UTF-16 text into the ANSI code page with the
// platform's best-fit mappings and '?' for what does not map. Writes the
// bytes and a terminating zero into out; returns the number of bytes written,
// the zero included, or 0 when they do not fit in capacity.
// On Windows this is WideCharToMultiByte(CP_ACP, 0, text, -1, ...); elsewhere
// it is encodeCp932.
size_t encodeAnsi(const char16_t *text, uint8_t *out, size_t capacity);

// The project's own code page 932 encoder: for every text, exactly the bytes
// that Windows' WideCharToMultiByte(932, 0, ...) gives. Same contract as
// encodeAnsi. Available on every platform.
size_t encodeCp932(const char16_t *text, uint8_t *out, size_t capacity);

// The code page 932 bytes for one UTF-16 code unit (one or two bytes; '?' for
// what has no mapping). Returns the byte count. Units convert one by one, so
// a surrogate pair gives two question marks.
size_t encodeCp932Unit(char16_t unit, uint8_t out[2]);

// A look-alike takes no more bytes than any encoding of a tag takes for the
// character it stands for, so that a converted text never grows.
constexpr size_t LOOK_ALIKE_BYTES_AT_MOST = 2;

// A look-alike's code page 932 bytes: one double-byte character, or one or
// two single-byte ones. A length of 0: none.
struct LookAlike {
  uint8_t length;
  uint8_t bytes[LOOK_ALIKE_BYTES_AT_MOST];
};

// The code page 932 look-alike of a character that code page 932 turns into
// '?' (engine/fold_table.inc, which says where each comes from): the code
// the JIS mapping gives it, which code page 932 reads as a character of the
// same glyph (U+301C WAVE DASH gives 0x8160, read as U+FF5E FULLWIDTH
// TILDE); '-' for the en dash; the bytes of its NFKC form (U+FB01 gives
// "fi"). None for every other unit.
LookAlike cp932LookAlike(char16_t unit);

// cp932LookAlike where the ANSI code page is 932 (always, off Windows); none
// under any other ANSI code page, whose text has no place for its bytes.
LookAlike ansiLookAlike(char16_t unit);

// The reverse direction, for showing what a conversion gives: code page 932
// bytes into UTF-16 as Windows' MultiByteToWideChar(932, ...) reads them, each
// byte or byte pair that is no character becoming U+FFFD. Writes at most
// capacity units, no terminator; returns the number of units written.
size_t decodeCp932(const uint8_t *bytes, size_t length, char16_t *out, size_t capacity);

// Whether a byte starts a double-byte character of code page 932.
bool isCp932LeadByte(uint8_t byte);

// The ANSI code page into UTF-16: MultiByteToWideChar(CP_ACP, ...) on
// Windows, decodeCp932 elsewhere. Same contract as decodeCp932.
size_t decodeAnsi(const uint8_t *bytes, size_t length, char16_t *out, size_t capacity);
