// Code page 932 as Windows' WideCharToMultiByte(932, 0, ...) converts it: the
// platform's own table, best-fit mappings included, '?' for what has no
// mapping, every UTF-16 code unit on its own.
#include "engine/ansi_text.h"

#include <algorithm>
#include <iterator>

namespace {

#include "engine/cp932_table.inc"

struct FoldEntry {
  char16_t unit;
  LookAlike lookAlike;
};

// The look-alikes, sorted by unit: the JIS codes of what text from other
// systems carries (the wave dash, the minus sign...), the dashes and the
// bullet, and the NFKC forms that code page 932 holds.
#include "engine/fold_table.inc"

constexpr size_t FOLD_COUNT = std::size(FOLD_TABLE);
constexpr size_t PAGE_COUNT = 256; // of 256 units each

constexpr bool sortedByUnit() {
  for (size_t i = 1; i < FOLD_COUNT; ++i) {
    if (FOLD_TABLE[i - 1].unit >= FOLD_TABLE[i].unit) {
      return false;
    }
  }
  return true;
}
static_assert(sortedByUnit(), "cp932LookAlike searches the fold table by unit");

// Where each page's entries begin in the fold table; page p's end where page
// p + 1's begin. Most pages have none, and a search stays within one page.
struct FoldPages {
  uint16_t first[PAGE_COUNT + 1];
};

constexpr FoldPages foldPages() {
  FoldPages pages{};
  size_t entry = 0;
  for (size_t page = 0; page <= PAGE_COUNT; ++page) {
    while (entry < FOLD_COUNT && static_cast<size_t>(FOLD_TABLE[entry].unit >> 8) < page) {
      ++entry;
    }
    pages.first[page] = static_cast<uint16_t>(entry);
  }
  return pages;
}
constexpr FoldPages FOLD_PAGES = foldPages();

constexpr uint16_t SINGLE_BYTE_LIMIT = 0x100;

uint16_t cp932Code(char16_t unit) {
  uint8_t page = CP932_PAGE_INDEX[unit >> 8];
  return page == 0 ? uint16_t{'?'} : CP932_PAGES[page - 1][unit & 0xFF];
}

} // namespace

LookAlike cp932LookAlike(char16_t unit) {
  // Only what becomes '?' has a look-alike: text that code page 932 holds,
  // nearly all of it, needs no search.
  if (cp932Code(unit) != '?') {
    return LookAlike{};
  }
  const FoldEntry *const begin = FOLD_TABLE + FOLD_PAGES.first[unit >> 8];
  const FoldEntry *const end = FOLD_TABLE + FOLD_PAGES.first[(unit >> 8) + 1];
  const FoldEntry *const entry =
      std::lower_bound(begin, end, unit, [](const FoldEntry &candidate, char16_t wanted) {
        return candidate.unit < wanted;
      });
  return entry != end && entry->unit == unit ? entry->lookAlike : LookAlike{};
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
