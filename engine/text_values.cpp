#include "engine/text_values.h"

#include "engine/ansi_text.h"
#include "engine/unicode.h"
#include "engine/utf8.h"

#include <cstring>

namespace {

// UTF-16 is converted in chunks small enough that even four bytes per code
// unit (any ANSI code page) fit the fixed text buffer with the terminator.
constexpr size_t CHUNK_UNITS = (TEXT_BUFFER_SIZE - 1) / 4;

// Converted bytes written straight into the output frame (ANSI code page
// bytes, or UTF-16LE bytes when utf16 is set); or, when unitOut is set, the
// decoded text as UTF-16 units (length and capacity then count units).
struct TextWriter {
  uint8_t *out;
  char16_t *unitOut;
  bool utf16;
  size_t capacity;
  size_t length;
  bool overflow;
  bool foldLookAlikes;
  char16_t units[CHUNK_UNITS + 1];
  size_t unitCount;
};

void appendDecodedBytes(TextWriter &writer, const uint8_t *bytes, size_t count) {
  const size_t room = writer.capacity - writer.length;
  const size_t written = decodeAnsi(bytes, count, writer.unitOut + writer.length, room);
  // Every byte yields at most one unit, so a full buffer may have cut the
  // text; the platform's decoder writes nothing when the buffer is too small.
  if ((written == room && written < count) || (written == 0 && count > 0)) {
    writer.overflow = true;
  }
  writer.length += written;
}

void appendRawBytes(TextWriter &writer, const uint8_t *bytes, size_t count) {
  if (count > writer.capacity - writer.length) {
    writer.overflow = true;
    return;
  }
  std::memcpy(writer.out + writer.length, bytes, count);
  writer.length += count;
}

void appendUnitsLittleEndian(TextWriter &writer, const char16_t *units, size_t count) {
  if (count > (writer.capacity - writer.length) / 2) {
    writer.overflow = true;
    return;
  }
  uint8_t *out = writer.out + writer.length;
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = static_cast<uint8_t>(units[i] & 0xFFu);
    out[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
  }
  writer.length += 2 * count;
}

// Code page bytes as UTF-16LE, decoded in pieces that end on a character
// boundary of code page 932 (the ANSI code page the tool is made for), so
// that no double-byte character is split between two pieces.
void appendBytesAsUtf16(TextWriter &writer, const uint8_t *bytes, size_t count) {
  char16_t decoded[CHUNK_UNITS];
  size_t start = 0;
  while (start < count && !writer.overflow) {
    size_t end = start;
    while (end < count && end - start + 2 <= CHUNK_UNITS) {
      end += isCp932LeadByte(bytes[end]) && end + 1 < count ? size_t{2} : size_t{1};
    }
    const size_t written = decodeAnsi(bytes + start, end - start, decoded, CHUNK_UNITS);
    appendUnitsLittleEndian(writer, decoded, written);
    start = end;
  }
}

// Code page bytes: kept, or read as code page text for the other outputs.
void appendBytes(TextWriter &writer, const uint8_t *bytes, size_t count) {
  if (writer.unitOut != nullptr) {
    appendDecodedBytes(writer, bytes, count);
  } else if (writer.utf16) {
    appendBytesAsUtf16(writer, bytes, count);
  } else {
    appendRawBytes(writer, bytes, count);
  }
}

void appendUnitsOut(TextWriter &writer, const char16_t *units, size_t count) {
  if (count > writer.capacity - writer.length) {
    writer.overflow = true;
    return;
  }
  std::memcpy(writer.unitOut + writer.length, units, count * sizeof(char16_t));
  writer.length += count;
}

// Converts units[0, count) into the ANSI code page and appends the bytes.
void appendEncoded(TextWriter &writer, char16_t *units, size_t count) {
  if (count == 0) {
    return;
  }
  const char16_t following = units[count];
  units[count] = 0;
  uint8_t converted[TEXT_BUFFER_SIZE] = {};
  const size_t written = encodeAnsi(units, converted, sizeof converted);
  units[count] = following;
  if (written == 0) {
    writer.overflow = true;
  } else {
    appendBytes(writer, converted, written - 1);
  }
}

// Converts units[0, count). When folding, each unit that has a look-alike
// is written as it and the units between convert as they would anyway, so
// that what the platform does with them is unchanged.
void appendConverted(TextWriter &writer, char16_t *units, size_t count) {
  size_t start = 0;
  for (size_t i = 0; writer.foldLookAlikes && i < count; ++i) {
    const LookAlike lookAlike = ansiLookAlike(units[i]);
    if (lookAlike.length == 0) {
      continue;
    }
    appendEncoded(writer, units + start, i - start);
    appendBytes(writer, lookAlike.bytes, lookAlike.length);
    start = i + 1;
  }
  appendEncoded(writer, units + start, count - start);
}

// Converts the pending code units. A high surrogate at the end of a full
// chunk waits for the next one so that a pair is never split.
void flushUnits(TextWriter &writer, bool final) {
  size_t count = writer.unitCount;
  const bool carry = !final && count > 1 && isHighSurrogate(writer.units[count - 1]);
  if (carry) {
    --count;
  }
  if (writer.unitOut != nullptr) {
    appendUnitsOut(writer, writer.units, count);
  } else if (writer.utf16) {
    appendUnitsLittleEndian(writer, writer.units, count);
  } else {
    appendConverted(writer, writer.units, count);
  }
  writer.unitCount = 0;
  if (carry) {
    writer.units[0] = writer.units[count];
    writer.unitCount = 1;
  }
}

void appendUnit(TextWriter &writer, char16_t unit) {
  writer.units[writer.unitCount++] = unit;
  if (writer.unitCount == CHUNK_UNITS) {
    flushUnits(writer, false);
  }
}

void appendCodePoint(TextWriter &writer, uint32_t codePoint) {
  if (codePoint >= FIRST_SUPPLEMENTARY_CODE_POINT) {
    appendUnit(writer, highSurrogateOf(codePoint));
    appendUnit(writer, lowSurrogateOf(codePoint));
  } else {
    appendUnit(writer, static_cast<char16_t>(codePoint));
  }
}

size_t findZeroByte(const uint8_t *text, size_t length) {
  const void *zero = std::memchr(text, 0, length);
  return zero == nullptr ? length : static_cast<size_t>(static_cast<const uint8_t *>(zero) - text);
}

// Decodes UTF-8 without zero bytes; each maximal ill-formed subsequence
// becomes one replacement character.
void appendDecodedUtf8(TextWriter &writer, const uint8_t *text, size_t length) {
  size_t i = 0;
  while (i < length) {
    const Utf8Decoded decoded = decodeUtf8(text + i, length - i, Utf8Form::Strict);
    appendCodePoint(writer, decoded.codePoint);
    i += decoded.length;
  }
}

// Converts one value starting at text; returns the bytes it took, its
// terminator included, and tells whether a terminator ended it.
size_t convertValue(TextWriter &writer, const uint8_t *text, size_t length, uint8_t encoding,
                    bool &terminated) {
  if (encoding == TEXT_ENCODING_SINGLE_BYTE || encoding == TEXT_ENCODING_UTF8) {
    const size_t end = findZeroByte(text, length);
    terminated = end < length;
    if (encoding == TEXT_ENCODING_SINGLE_BYTE) {
      appendBytes(writer, text, end);
    } else {
      const size_t skip = byteOrderMarkLength(text, end, encoding);
      appendDecodedUtf8(writer, text + skip, end - skip);
    }
    return terminated ? end + 1 : end;
  }

  size_t i = byteOrderMarkLength(text, length, encoding);
  const bool bigEndian = encoding == TEXT_ENCODING_UTF16BE || (i > 0 && text[0] == 0xFE);
  terminated = false;
  for (; i + 1 < length; i += 2) {
    const auto unit =
        static_cast<char16_t>(bigEndian ? text[i] << 8 | text[i + 1] : text[i + 1] << 8 | text[i]);
    if (unit == 0) {
      terminated = true;
      return i + 2;
    }
    appendUnit(writer, unit);
  }
  return length; // an odd trailing byte is ignored
}

// Whether a value of TCON is a reference that version 2.3 writes in
// parentheses: a genre number of the ID3v1 list, "RX" or "CR".
bool isGenreReference(const uint8_t *value, size_t length, uint8_t encoding) {
  constexpr size_t LONGEST = 3;
  constexpr unsigned HIGHEST_GENRE = 255;
  char16_t units[LONGEST + 1];
  size_t count = 0;
  if (!decodeFrameText(value, length, encoding, false, units, LONGEST, count) || count == 0) {
    return false;
  }
  if (count == 2 &&
      ((units[0] == u'R' && units[1] == u'X') || (units[0] == u'C' && units[1] == u'R'))) {
    return true;
  }
  unsigned number = 0;
  for (size_t i = 0; i < count; ++i) {
    if (units[i] < u'0' || units[i] > u'9') {
      return false;
    }
    number = number * 10 + static_cast<unsigned>(units[i] - u'0');
  }
  return number <= HIGHEST_GENRE;
}

// Which values of a text a pass of appendJoinedValues writes.
enum class ValuePick { Every, References, OtherThanReferences };

// Appends the values that pick selects and that hold a character: the
// references in parentheses, the others after a "/" when a value was
// written before. wroteAny tells whether one was.
void appendJoinedValues(TextWriter &writer, const uint8_t *text, size_t length, uint8_t encoding,
                        ValuePick pick, bool &wroteAny) {
  static const uint8_t SLASH = '/';
  static const uint8_t OPEN = '(';
  static const uint8_t CLOSE = ')';
  size_t position = 0;
  bool terminated = true;
  while (terminated && position < length) {
    const uint8_t *value = text + position;
    const size_t taken = valueLength(value, length - position, encoding, terminated);
    position += taken;
    if (pick != ValuePick::Every &&
        isGenreReference(value, taken, encoding) != (pick == ValuePick::References)) {
      continue;
    }
    const size_t mark = writer.length;
    if (pick == ValuePick::References) {
      appendBytes(writer, &OPEN, 1);
    } else if (wroteAny) {
      appendBytes(writer, &SLASH, 1);
    }
    const size_t valueStart = writer.length;
    bool valueTerminated = false;
    convertValue(writer, value, taken, encoding, valueTerminated);
    flushUnits(writer, true);
    if (writer.length == valueStart) {
      writer.length = mark; // no character: neither the value nor its separator
      continue;
    }
    if (pick == ValuePick::References) {
      appendBytes(writer, &CLOSE, 1);
    }
    wroteAny = true;
  }
}

bool writeFrameText(TextWriter &writer, const uint8_t *text, size_t length, uint8_t encoding,
                    ValueJoin join, size_t &outLength) {
  if (join == ValueJoin::Slash || join == ValueJoin::Genres) {
    bool wroteAny = false;
    if (join == ValueJoin::Genres) {
      appendJoinedValues(writer, text, length, encoding, ValuePick::References, wroteAny);
      wroteAny = false; // the first other value follows the references without a "/"
    }
    appendJoinedValues(
        writer, text, length, encoding,
        join == ValueJoin::Genres ? ValuePick::OtherThanReferences : ValuePick::Every, wroteAny);
    outLength = writer.length;
    return !writer.overflow;
  }
  static const uint8_t SEPARATOR = 0;
  size_t keptLength = writer.length; // the output up to the end of the last non-empty value
  size_t position = 0;
  bool terminated = true;
  while (terminated && position < length) {
    if (position > 0) {
      appendBytes(writer, &SEPARATOR, 1);
    }
    const size_t valueStart = writer.length;
    position += convertValue(writer, text + position, length - position, encoding, terminated);
    flushUnits(writer, true);
    if (writer.length > valueStart) {
      keptLength = writer.length;
    }
    if (join == ValueJoin::FirstValue) {
      break;
    }
  }
  outLength = keptLength;
  return !writer.overflow;
}

} // namespace

size_t valueLength(const uint8_t *text, size_t length, uint8_t encoding, bool &terminated) {
  terminated = false;
  if (encoding == TEXT_ENCODING_SINGLE_BYTE || encoding == TEXT_ENCODING_UTF8) {
    const size_t end = findZeroByte(text, length);
    terminated = end < length;
    return terminated ? end + 1 : length;
  }
  for (size_t i = 0; i + 1 < length; i += 2) {
    if (text[i] == 0 && text[i + 1] == 0) {
      terminated = true;
      return i + 2;
    }
  }
  return length;
}

bool holdsGenreReference(const uint8_t *text, size_t length, uint8_t encoding) {
  bool terminated = true;
  for (size_t position = 0; terminated && position < length;) {
    const size_t taken = valueLength(text + position, length - position, encoding, terminated);
    if (isGenreReference(text + position, taken, encoding)) {
      return true;
    }
    position += taken;
  }
  return false;
}

size_t shownValueLength(const uint8_t *text, size_t length, uint8_t encoding) {
  bool terminated = false;
  const size_t first = valueLength(text, length, encoding, terminated);
  const bool utf16 = encoding == TEXT_ENCODING_UTF16 || encoding == TEXT_ENCODING_UTF16BE;
  const size_t unit = utf16 ? 2 : 1; // a terminator, and the least a character takes
  for (size_t position = first; position < length;) {
    const uint8_t *value = text + position;
    const size_t taken = valueLength(value, length - position, encoding, terminated);
    const size_t content = terminated ? taken - unit : taken;
    if (content >= byteOrderMarkLength(value, content, encoding) + unit) {
      return first;
    }
    position += taken;
  }
  return length;
}

size_t byteOrderMarkLength(const uint8_t *text, size_t length, uint8_t encoding) {
  static const uint8_t UTF8_MARK[] = {0xEF, 0xBB, 0xBF};
  static const uint8_t LITTLE_ENDIAN_MARK[] = {0xFF, 0xFE};
  static const uint8_t BIG_ENDIAN_MARK[] = {0xFE, 0xFF};
  const auto markAtStart = [text, length](const uint8_t *mark, size_t markLength) {
    return length >= markLength && std::memcmp(text, mark, markLength) == 0 ? markLength : 0;
  };
  switch (encoding) {
  case TEXT_ENCODING_UTF8:
    return markAtStart(UTF8_MARK, sizeof UTF8_MARK);
  case TEXT_ENCODING_UTF16: // either mark; no text begins with both
    return markAtStart(LITTLE_ENDIAN_MARK, sizeof LITTLE_ENDIAN_MARK) +
           markAtStart(BIG_ENDIAN_MARK, sizeof BIG_ENDIAN_MARK);
  case TEXT_ENCODING_UTF16BE:
    return markAtStart(BIG_ENDIAN_MARK, sizeof BIG_ENDIAN_MARK);
  default:
    return 0;
  }
}

bool convertText(const uint8_t *text, size_t length, uint8_t encoding, ValueJoin join,
                 TextTarget target, TextSettings settings, uint8_t *out, size_t capacity,
                 size_t &outLength) {
  static const uint8_t LITTLE_ENDIAN_MARK[] = {0xFF, 0xFE};
  TextWriter writer = {};
  writer.out = out;
  writer.capacity = capacity;
  writer.foldLookAlikes = settings.foldLookAlikes;
  if (target == TextTarget::Utf16) {
    writer.utf16 = true;
    appendRawBytes(writer, LITTLE_ENDIAN_MARK, sizeof LITTLE_ENDIAN_MARK);
  }
  return writeFrameText(writer, text, length, encoding, join, outLength);
}

bool convertFrameText(const uint8_t *text, size_t length, uint8_t encoding, bool isList,
                      TextSettings settings, uint8_t *out, size_t capacity, size_t &outLength) {
  return convertText(text, length, encoding,
                     isList ? ValueJoin::ZeroSeparated : ValueJoin::FirstValue,
                     TextTarget::AnsiCodePage, settings, out, capacity, outLength);
}

bool decodeFrameText(const uint8_t *text, size_t length, uint8_t encoding, bool isList,
                     char16_t *out, size_t capacity, size_t &outLength) {
  TextWriter writer = {};
  writer.unitOut = out;
  writer.capacity = capacity;
  return writeFrameText(writer, text, length, encoding,
                        isList ? ValueJoin::ZeroSeparated : ValueJoin::FirstValue, outLength);
}
