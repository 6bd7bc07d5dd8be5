// Names for copies on the memory sticks and cards that car units and old
// players read (FAT32, exFAT), and the order in which a copy run writes
// them. Names are UTF-8.
#pragma once

#include <cstddef>
#include <string>

// A FAT or exFAT name holds at most this many UTF-16 units.
constexpr size_t FAT_NAME_UNITS_AT_MOST = 255;

// What was changed to make a name safe, as bits.
enum NameChange : unsigned {
  NAME_KEPT = 0,
  NAME_FORBIDDEN_CHARACTER = 1U << 0, // \ / : * ? " < > | became '_'
  NAME_CONTROL_CHARACTER = 1U << 1,   // a control character became '_'
  NAME_NOT_A_CHARACTER = 1U << 2,     // bytes that are no UTF-8 character became '_'
  NAME_TRAILING_DOT_OR_SPACE = 1U << 3,
  NAME_RESERVED = 1U << 4,  // CON, NUL, COM1... which Windows takes for devices
  NAME_SHORTENED = 1U << 5, // cut to 255 UTF-16 units, keeping the extension
  NAME_NUMBERED = 1U << 6,  // another copy in the folder has the same name
};

struct SafeName {
  std::string name;
  unsigned changes; // NameChange bits
};

// The name as a FAT or exFAT stick can hold it: each character that it
// cannot hold becomes '_', a trailing dot or space too, a device name gets
// a '_', and a name too long is cut at a character, keeping its extension.
SafeName fatSafeName(const std::string &name);

// The safe name with " (number)" before its extension, for the second and
// later copies whose names a FAT folder would take for the same.
SafeName numberedName(const SafeName &safe, unsigned number);

// The name as FAT and exFAT compare names: each character of the BMP as its
// simple uppercase in Unicode's data (ǅ and ǆ as Ǆ, ß as it is).
std::string fatFoldedName(const std::string &name);

// The entries of a FAT folder a name takes: one for a short name (8.3, in
// capitals: "README.TXT"), and before it one for each 13 UTF-16 units of
// the long name of any other.
size_t fatEntriesOf(const std::string &name);

// Natural order: numbers by value ("2" before "10", full-width digits as
// well), letters without regard to case; names equal so are told apart by
// their bytes.
bool naturalLess(const std::string &a, const std::string &b);
