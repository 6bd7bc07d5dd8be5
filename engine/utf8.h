// The project's one UTF-8 decoder: for the texts of tags, for file names and
// for what the console prints.
#pragma once

#include <cstddef>
#include <cstdint>

// Which byte sequences make a character.
enum class Utf8Form {
  Strict,      // UTF-8 as Unicode defines it: the three bytes of a surrogate are ill-formed
  Generalised, // surrogates too: how the file layer writes the unpaired surrogates that
               // Windows names may hold, so that every name comes back as it was
};

struct Utf8Decoded {
  uint32_t codePoint; // REPLACEMENT_CHARACTER when not wellFormed
  size_t length;      // bytes taken, at least 1
  bool wellFormed;
};

// The character at the start of bytes[0, length), length > 0. Bytes that
// make no character take the maximal ill-formed subsequence: the lead byte
// and the trail bytes after it that could still have continued it (only
// the lead byte when it starts no sequence), so that each such piece reads
// as one replacement character. Overlong forms and values past U+10FFFF are
// ill-formed in either form.
Utf8Decoded decodeUtf8(const uint8_t *bytes, size_t length, Utf8Form form);
