// Where the program's text goes and where answers come from: UTF-8 on POSIX
// systems; on Windows the console itself (as UTF-16) or, when redirected, the
// console's output code page.
#pragma once

#include <string>

struct ConsoleState {
  bool japanese;         // the user's language is Japanese
  bool inputIsTerminal;  // a person can answer a question
  bool outputIsTerminal; // standard output is read by a person
  bool errorIsTerminal;  // standard error is read by a person (the progress line)
};

ConsoleState openConsole();

// Texts are UTF-8.
void writeOutput(const std::string &text);
void writeError(const std::string &text);

// One line typed at the terminal, as UTF-8 without its line end; false at
// the end of the input.
bool readAnswerLine(std::string &line);

// A path as the platform gave it (ANSI text on Windows), as UTF-8.
std::string displayPath(const std::string &path);

// Appends a UTF-16 text as UTF-8; units that are no character (lone
// surrogates) become U+FFFD.
void appendUtf16AsUtf8(const char16_t *units, size_t count, std::string &out);
void appendCodePoint(uint32_t codePoint, std::string &out);
