#include "library/destination_names.h"

#include "command/utf8_text.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char REPLACEMENT = '_';
constexpr uint32_t NOT_A_CHARACTER = 0xFFFFFFFF;
// An extension longer than this is no extension: a long name is then cut
// at its end.
constexpr size_t EXTENSION_UNITS_AT_MOST = 16;

struct Character {
  uint32_t codePoint; // NOT_A_CHARACTER for a byte that starts none
  size_t length;      // bytes
};

Character characterAt(const std::string &text, size_t at) {
  const Utf8Character c = utf8CharacterAt(text, at);
  return c.length == 0 ? Character{NOT_A_CHARACTER, 1} : Character{c.codePoint, c.length};
}

size_t utf16Units(uint32_t codePoint) {
  return codePoint >= 0x10000 ? 2 : 1;
}

bool isControl(uint32_t codePoint) {
  return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

bool isForbidden(uint32_t codePoint) {
  return codePoint < 0x80 && std::strchr("\\/:*?\"<>|", static_cast<int>(codePoint)) != nullptr;
}

// The characters of a name that a stick holds, each as its UTF-8 bytes.
std::vector<std::string> safeCharacters(const std::string &name, unsigned &changes) {
  std::vector<std::string> characters;
  for (size_t at = 0; at < name.size();) {
    const Character c = characterAt(name, at);
    unsigned change = NAME_KEPT;
    if (c.codePoint == NOT_A_CHARACTER || isSurrogate(c.codePoint))
      change = NAME_NOT_A_CHARACTER;
    else if (isControl(c.codePoint))
      change = NAME_CONTROL_CHARACTER;
    else if (isForbidden(c.codePoint))
      change = NAME_FORBIDDEN_CHARACTER;
    characters.push_back(change == NAME_KEPT ? name.substr(at, c.length)
                                             : std::string(1, REPLACEMENT));
    changes |= change;
    at += c.length;
  }
  return characters;
}

size_t unitsOf(const std::vector<std::string> &characters, size_t from, size_t to) {
  size_t units = 0;
  for (size_t i = from; i < to; ++i)
    units += utf16Units(characterAt(characters[i], 0).codePoint);
  return units;
}

// Where the extension starts (its dot), or the end when there is none that
// a cut should keep.
size_t extensionStart(const std::vector<std::string> &characters) {
  for (size_t i = characters.size(); i-- > 1;) {
    if (characters[i] == ".")
      return unitsOf(characters, i, characters.size()) <= EXTENSION_UNITS_AT_MOST
                 ? i
                 : characters.size();
  }
  return characters.size();
}

// Drops characters before the extension until the name and `extra` units
// fit; true when any was dropped.
bool cutToFit(std::vector<std::string> &characters, size_t extra) {
  const size_t extension = extensionStart(characters);
  size_t base = extension;
  size_t units = unitsOf(characters, 0, characters.size()) + extra;
  while (units > FAT_NAME_UNITS_AT_MOST && base > 0) {
    --base;
    units -= unitsOf(characters, base, base + 1);
  }
  if (base == extension)
    return false;
  characters.erase(characters.begin() + static_cast<std::ptrdiff_t>(base),
                   characters.begin() + static_cast<std::ptrdiff_t>(extension));
  return true;
}

// Windows opens a device for these names, whatever their extension.
bool isDeviceName(const std::vector<std::string> &characters) {
  std::string stem;
  for (const std::string &c : characters) {
    if (c == ".")
      break;
    if (c.size() > 1)
      return false;
    stem += c[0] >= 'a' && c[0] <= 'z' ? static_cast<char>(c[0] - 'a' + 'A') : c[0];
  }
  while (!stem.empty() && stem.back() == ' ')
    stem.pop_back();
  static const char *const DEVICES[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char *device : DEVICES) {
    if (stem == device)
      return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

std::string joined(const std::vector<std::string> &characters) {
  std::string text;
  for (const std::string &c : characters)
    text += c;
  return text;
}

// Each UTF-16 unit of the BMP and its simple uppercase, as the exFAT up-case
// table and Windows compare names; generated into the build folder.
#include "fat_upcase_table.inc"

// A character outside the BMP is two units, which the tables leave alone.
uint32_t upperCase(uint32_t c) {
  if (c >= FIRST_SUPPLEMENTARY_CODE_POINT)
    return c;
  const uint8_t page = FAT_UPCASE_PAGE_INDEX[c >> 8];
  return page == 0 ? c : FAT_UPCASE_PAGES[page - 1][c & 0xFF];
}

// A digit's value, ASCII or full-width; -1 for anything else.
int digitValue(uint32_t c) {
  if (c >= '0' && c <= '9')
    return static_cast<int>(c - '0');
  if (c >= 0xFF10 && c <= 0xFF19)
    return static_cast<int>(c - 0xFF10);
  return -1;
}

// The digits of a number starting at `at`, and where it ends.
std::string numberAt(const std::string &text, size_t &at) {
  std::string digits;
  while (at < text.size()) {
    const Character c = characterAt(text, at);
    const int value = digitValue(c.codePoint);
    if (value < 0)
      break;
    digits += static_cast<char>('0' + value);
    at += c.length;
  }
  return digits;
}

// <0, 0 or >0 as a number's value is smaller, equal or larger.
int compareNumbers(const std::string &a, const std::string &b) {
  const size_t aStart = a.find_first_not_of('0');
  const size_t bStart = b.find_first_not_of('0');
  const std::string aValue = aStart == std::string::npos ? "" : a.substr(aStart);
  const std::string bValue = bStart == std::string::npos ? "" : b.substr(bStart);
  if (aValue.size() != bValue.size())
    return aValue.size() < bValue.size() ? -1 : 1;
  return aValue.compare(bValue);
}

constexpr size_t LONG_NAME_UNITS_PER_ENTRY = 13;

// A name FAT keeps in its short entry alone: up to eight characters, and
// up to three after one dot, capitals, digits and the few signs 8.3 names
// allow.
bool isShortName(const std::string &name) {
  const size_t dot = name.find('.');
  const size_t base = dot == std::string::npos ? name.size() : dot;
  const size_t extension = dot == std::string::npos ? 0 : name.size() - dot - 1;
  if (base == 0 || base > 8 || extension > 3 || (dot != std::string::npos && extension == 0))
    return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                         std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
    if (i != dot && (!allowed || c == '\0'))
      return false;
  }
  return true;
}

} // namespace

size_t fatEntriesOf(const std::string &name) {
  if (isShortName(name))
    return 1;
  size_t units = 0;
  for (size_t at = 0; at < name.size();) {
    const Character c = characterAt(name, at);
    units += utf16Units(c.codePoint);
    at += c.length;
  }
  return 1 + (units + LONG_NAME_UNITS_PER_ENTRY - 1) / LONG_NAME_UNITS_PER_ENTRY;
}

SafeName fatSafeName(const std::string &name) {
  SafeName safe{"", NAME_KEPT};
  std::vector<std::string> characters = safeCharacters(name, safe.changes);
  if (isDeviceName(characters)) {
    const size_t dot = extensionStart(characters);
    characters.insert(characters.begin() + static_cast<std::ptrdiff_t>(dot), "_");
    safe.changes |= NAME_RESERVED;
  }
  if (cutToFit(characters, 0))
    safe.changes |= NAME_SHORTENED;
  if (!characters.empty() && (characters.back() == "." || characters.back() == " ")) {
    characters.back() = std::string(1, REPLACEMENT);
    safe.changes |= NAME_TRAILING_DOT_OR_SPACE;
  }
  safe.name = joined(characters);
  return safe;
}

SafeName numberedName(const SafeName &safe, unsigned number) {
  unsigned changes = 0;
  std::vector<std::string> characters = safeCharacters(safe.name, changes);
  const std::string suffix = " (" + std::to_string(number) + ")";
  SafeName numbered{"", safe.changes | NAME_NUMBERED};
  if (cutToFit(characters, suffix.size()))
    numbered.changes |= NAME_SHORTENED;
  const size_t dot = extensionStart(characters);
  characters.insert(characters.begin() + static_cast<std::ptrdiff_t>(dot), suffix);
  numbered.name = joined(characters);
  return numbered;
}

std::string fatFoldedName(const std::string &name) {
  std::string folded;
  for (size_t at = 0; at < name.size();) {
    const Character c = characterAt(name, at);
    if (c.codePoint == NOT_A_CHARACTER)
      folded += name[at];
    else
      appendEncodedUtf8(upperCase(c.codePoint), folded);
    at += c.length;
  }
  return folded;
}

bool naturalLess(const std::string &a, const std::string &b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const Character ca = characterAt(a, i);
    const Character cb = characterAt(b, j);
    if (digitValue(ca.codePoint) >= 0 && digitValue(cb.codePoint) >= 0) {
      const int order = compareNumbers(numberAt(a, i), numberAt(b, j));
      if (order != 0)
        return order < 0;
      continue;
    }
    const uint32_t ua = ca.codePoint == NOT_A_CHARACTER ? static_cast<unsigned char>(a[i])
                                                        : upperCase(ca.codePoint);
    const uint32_t ub = cb.codePoint == NOT_A_CHARACTER ? static_cast<unsigned char>(b[j])
                                                        : upperCase(cb.codePoint);
    if (ua != ub)
      return ua < ub;
    i += ca.length;
    j += cb.length;
  }
  if ((i < a.size()) != (j < b.size()))
    return j < b.size(); // the shorter first
  return a < b;
}
