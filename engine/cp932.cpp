// Code page 932 as Windows' WideCharToMultiByte(932, 0, ...) converts it: the
// platform's own table, best-fit mappings included, '?' for what has no
// mapping, every UTF-16 code unit on its own.
#include "engine/ansi_text.h"

namespace {

#include "engine/cp932_table.inc"

struct FoldEntry {
  char16_t unit;
  uint16_t code;
};

// The characters that text from other systems carries often: the em dash,
// the double vertical line, the minus sign and the wave dash. The cent,
// pound and not signs differ between the two mappings too, but the platform
// maps them itself (best fit); the generated file lists them.
#include "engine/fold_table.inc"

constexpr uint16_t SINGLE_BYTE_LIMIT = 0x100;

uint16_t cp932Code(char16_t unit) {
  uint8_t page = CP932_PAGE_INDEX[unit >> 8];
  return page == 0 ? uint16_t{'?'} : CP932_PAGES[page - 1][unit & 0xFF];
}

} // namespace

uint16_t cp932LookAlike(char16_t unit) {
  for (const FoldEntry &entry : FOLD_TABLE) {
    if (entry.unit == unit) {
      return entry.code;
    }
  }
  return 0;
}

size_t encodeCp932Unit(char16_t unit, uint8_t out[2]) {
  uint16_t code = cp932Code(unit);
  if (code < SINGLE_BYTE_LIMIT) {
    out[0] = static_cast<uint8_t>(code);
    return 1;
  }
  out[0] = static_cast<uint8_t>(code >> 8);
  out[1] = static_cast<uint8_t>(code & 0xFF);
  return 2;
}

size_t encodeCp932(const char16_t *text, uint8_t *out, size_t capacity) {
  size_t length = 0;
  for (const char16_t *unit = text; *unit != 0; ++unit) {
    uint8_t bytes[2];
    size_t count = encodeCp932Unit(*unit, bytes);
    // Room must remain for these bytes and the terminating zero; length
    // never passes capacity, so the subtraction cannot wrap.
    if (count >= capacity - length) {
      return 0;
    }
    for (size_t i = 0; i < count; ++i) {
      out[length++] = bytes[i];
    }
  }
  if (length >= capacity) {
    return 0;
  }
  out[length++] = 0;
  return length;
}
