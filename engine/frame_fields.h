// The fields of every frame that holds encoded strings, as one table, and
// the split of a frame's data into those fields. A rewrite converts the
// strings and keeps every other byte where the table says it lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class FieldKind : uint8_t {
  Encoding,    // the text encoding byte
  Fixed,       // `size` bytes: a language, a picture type, a date, a time stamp format...
  Latin1,      // a string always in ISO-8859-1, ending with one zero byte (a MIME type, a price)
  Text,        // a string in the frame's encoding, ending with its terminator
  Texts,       // the rest of the frame: strings in the frame's encoding, each ending with
               // its terminator but the last, which may have none
  Values,      // the rest of the frame: a text frame's values
  SyncedTexts, // the rest of the frame: strings in the frame's encoding, each followed by a
               // 4-byte time stamp
  Binary,      // the rest of the frame, whatever it holds (a picture, an object, a URL)
};

struct FieldLayout {
  FieldKind kind;
  uint8_t size;           // Fixed only
  bool frameMayEndBefore; // the frame may end before this field, leaving it and the rest out
};

constexpr size_t MOST_FIELDS = 9;

struct FrameFields {
  const char *identifier; // "COMM", or "COM" in version 2; "*" matches any character
  size_t count;
  FieldLayout fields[MOST_FIELDS];
};

// The fields of the frame with this identifier (4 characters, or 3 in
// version 2); nullptr for a frame that holds no encoded string.
const FrameFields *frameFieldsOf(const char *identifier);

// What a rewrite does with one piece of a frame's data.
enum class SpanUse : uint8_t {
  Encoding, // the encoding byte: becomes 0
  Kept,     // carried over as it is
  Text,     // one string, converted; its terminator (when terminated) becomes one zero byte
  Values,   // a text frame's values, converted as the title frames are
};

struct FieldSpan {
  SpanUse use;
  bool terminated; // Text: the string ends with a terminator, included in length
  uint32_t start;  // offset in the frame's data
  uint32_t length;
};

// Splits a frame's data (length > 0) into spans that cover it in order.
// Returns false when the data does not fit the layout: an unknown encoding,
// a string without its terminator, fixed fields cut short.
bool splitFrameFields(const uint8_t *data, uint32_t length, const FrameFields &layout,
                      std::vector<FieldSpan> &spans);
