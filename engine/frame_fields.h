// The fields of every frame that holds encoded strings, as one table, and
// the split of a frame's data into those fields. A rewrite converts the
// strings and keeps every other byte where the table says it lies.
#pragma once

#include "engine/tag_layout.h"

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

// ---- The frames of a walked tag --------------------------------------------

// How a frame of a walked tag splits into its fields.
enum class FrameSplit : uint8_t {
  NoStrings,   // the table gives it no encoded string, or it has no data
  Transformed, // its data is stored compressed, encrypted, unsynchronised...: no fields to read
  Unreadable,  // its data does not fit its layout
  Split,       // its spans cover its data
};

// The one split of a frame that every reader of its strings (the rewrite,
// the listing of what it converts, the description of a tag) starts from.
// input is the buffer the record was walked from; spans are offsets into
// the frame's data.
FrameSplit splitFrameOf(FileImage input, const TagFrame &frame, std::vector<FieldSpan> &spans);

// One encoded string of a frame, as it stands in the tag.
struct FrameString {
  const uint8_t *text; // inside the input; a terminator that ends it included
  uint32_t length;
  bool isList; // a text frame's values in a tag whose text frames hold lists (version 4)
  // What a reader of the tag's version shows: length, but for a text
  // frame's values in versions 2 and 3 that hold further values after a
  // terminator, which those readers drop (shownValueLength): then the
  // first value with its terminator, the dropped values following it up
  // to length (decodeFrameText with isList reads them).
  uint32_t shownLength;
};

struct FrameStrings {
  FrameSplit split;
  uint8_t encoding;                 // the frame's text encoding byte, for Unreadable and Split
  std::vector<FieldSpan> spans;     // Split: the frame's fields
  std::vector<FrameString> strings; // Split: in frame order; strings of no character left out
};

// The strings of one frame of record, as the frame table splits them; out
// is reused from frame to frame.
void readFrameStrings(FileImage input, const TagRecord &record, const TagFrame &frame,
                      FrameStrings &out);

// ---- Version 2.2 frames in version 2.3 -------------------------------------

// The version 2.3 identifier of a frame that the version 2.2 standard
// names ("TT2" gives "TIT2", "PIC" gives "APIC"); nullptr for any other
// identifier, and for the encrypted meta frame (CRM), which version 2.3
// has no place for.
const char *version3IdentifierOf(const char *identifierV22);

// The MIME type that version 2.3's APIC names for the 3-character image
// format of version 2.2's PIC: "JPG" gives "image/jpeg", "PNG"
// "image/png"; "-->" (the picture is a URL) stays. Without its terminator.
constexpr size_t MIME_TYPE_LONGEST = 10;
struct MimeType {
  uint8_t length;
  char text[MIME_TYPE_LONGEST];
};
MimeType mimeTypeOfImageFormat(const uint8_t format[3]);
