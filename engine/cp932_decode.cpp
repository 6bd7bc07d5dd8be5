// Code page 932 read back into UTF-16 as Windows' MultiByteToWideChar(932)
// reads it. The table is the encoder's read backwards, corrected where the
// platform reads a code differently (best-fit targets, the NEC-selected rows).
#include "engine/ansi_text.h"
#include "engine/unicode.h"

namespace {

#include "engine/cp932_decode.inc"

constexpr uint32_t CODE_COUNT = 0x10000;
constexpr char16_t NO_CHARACTER = 0xFFFF;

char16_t g_decodeTable[CODE_COUNT];
bool g_decodeTableReady = false;

void buildDecodeTable() {
  for (uint32_t code = 0; code < CODE_COUNT; ++code) {
    g_decodeTable[code] = NO_CHARACTER;
  }
  // Walking the units upwards leaves each code with the smallest unit that
  // encodes to it, as the generator assumed.
  for (uint32_t unit = 0; unit < CODE_COUNT; ++unit) {
    uint8_t bytes[2];
    const size_t count = encodeCp932Unit(static_cast<char16_t>(unit), bytes);
    const uint32_t code = count == 1 ? bytes[0] : static_cast<uint32_t>(bytes[0] << 8 | bytes[1]);
    if ((code != '?' || unit == '?') && g_decodeTable[code] == NO_CHARACTER) {
      g_decodeTable[code] = static_cast<char16_t>(unit);
    }
  }
  for (const auto &exception : CP932_DECODE_EXCEPTIONS) {
    g_decodeTable[exception[0]] = static_cast<char16_t>(exception[1]);
  }
  g_decodeTableReady = true;
}

} // namespace

bool isCp932LeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

size_t decodeCp932(const uint8_t *bytes, size_t length, char16_t *out, size_t capacity) {
  if (!g_decodeTableReady) {
    buildDecodeTable();
  }
  size_t written = 0;
  size_t i = 0;
  while (i < length && written < capacity) {
    uint32_t code = bytes[i];
    size_t taken = 1;
    if (isCp932LeadByte(bytes[i]) && i + 1 < length) {
      code = code << 8 | bytes[i + 1];
      taken = 2;
    }
    char16_t unit = g_decodeTable[code];
    if (unit == NO_CHARACTER && taken == 2) {
      // A lead byte with a trail that makes no character: the lead byte
      // alone is what cannot be read; the next byte starts afresh.
      taken = 1;
    }
    out[written++] = unit == NO_CHARACTER ? REPLACEMENT_CHARACTER : unit;
    i += taken;
  }
  return written;
}
