// Where the program's text goes and where answers come from: UTF-8 on POSIX
// systems; on Windows the console itself (as UTF-16) or, when redirected, the
// console's output code page.
#pragma once

#include "catalogue/catalogue.h"

#include <string>

struct ConsoleState {
  bool inputIsTerminal;  // a person can answer a question
  bool outputIsTerminal; // standard output is read by a person
  bool errorIsTerminal;  // standard error is read by a person (the progress line)
};

ConsoleState openConsole();

// The messages in the user's language: Japanese where the locale says so
// (on POSIX systems LC_ALL, LC_MESSAGES or LANG; on Windows the user's UI
// language or code page 932), English otherwise.
const Catalogue &userCatalogue();

// Texts are UTF-8.
void writeOutput(const std::string &text);
void writeError(const std::string &text);
// Whether some text could not be written to standard output (a full disk,
// a closed pipe): the run then ends with a failure.
bool outputFailed();

// One line typed at the terminal, as UTF-8 without its line end; false at
// the end of the input.
bool readAnswerLine(std::string &line);

// Text as it may go to a terminal: control characters (C0, DEL and C1),
// which could move the cursor, forge report lines or send commands to the
// terminal, as \n, \r, \t or \xHH (\u0085 for C1 characters); the marks that
// turn the order text is shown in and the line and paragraph separators
// (U+200E, U+200F, U+2028 to U+202E, U+2066 to U+2069), which let a name
// pass for another, as \u202E and the like; the backslash as \\, so that no
// text passes for an escape; and bytes that make no UTF-8 character (names
// are bytes on POSIX systems; an unpaired surrogate on Windows) as \xHH.
// Used for every name and tag text shown.
std::string escapeControls(const std::string &text);
// The same for a window, where the backslash separates the folders of a
// Windows path and is shown as it is (Windows names hold no control
// characters, whose escapes a backslash in a name could imitate).
std::string escapeControlsKeepingBackslashes(const std::string &text);

// Appends a UTF-16 text as UTF-8; units that are no character (lone
// surrogates) become U+FFFD.
void appendUtf16AsUtf8(const char16_t *units, size_t count, std::string &out);
