#include "engine/text_values.h"

#include "engine/ansi_text.h"
#include "engine/unicode.h"
#include "engine/utf8.h"

#include <cstring>

namespace {

// UTF-16 is converted in chunks small enough that even four bytes per code
// unit (any ANSI code page) fit the fixed text buffer with the terminator.
constexpr size_t CHUNK_UNITS = (TEXT_BUFFER_SIZE - 1) / 4;

// Converted bytes written straight into the output frame; or, when
// unitOut is set, the decoded text as UTF-16 units (length and capacity then
// count units).
struct TextWriter {
  uint8_t *out;
  char16_t *unitOut;
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

void appendBytes(TextWriter &writer, const uint8_t *bytes, size_t count) {
  if (writer.unitOut != nullptr) {
    appendDecodedBytes(writer, bytes, count);
    return;
  }
  if (count > writer.capacity - writer.length) {
    writer.overflow = true;
    return;
  }
  std::memcpy(writer.out + writer.length, bytes, count);
  writer.length += count;
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

} // namespace

namespace {

bool writeFrameText(TextWriter &writer, const uint8_t *text, size_t length, uint8_t encoding,
                    bool isList, size_t &outLength) {
  static const uint8_t SEPARATOR = 0;
  size_t keptLength = 0; // the output up to the end of the last non-empty value
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
    if (!isList) {
      break;
    }
  }
  outLength = keptLength;
  return !writer.overflow;
}

} // namespace

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

bool convertFrameText(const uint8_t *text, size_t length, uint8_t encoding, bool isList,
                      TextSettings settings, uint8_t *out, size_t capacity, size_t &outLength) {
  TextWriter writer = {};
  writer.out = out;
  writer.capacity = capacity;
  writer.foldLookAlikes = settings.foldLookAlikes;
  return writeFrameText(writer, text, length, encoding, isList, outLength);
}

bool decodeFrameText(const uint8_t *text, size_t length, uint8_t encoding, bool isList,
                     char16_t *out, size_t capacity, size_t &outLength) {
  TextWriter writer = {};
  writer.unitOut = out;
  writer.capacity = capacity;
  return writeFrameText(writer, text, length, encoding, isList, outLength);
}
