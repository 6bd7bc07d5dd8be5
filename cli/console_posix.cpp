// The terminal on POSIX systems: UTF-8 throughout, the language from the
// locale variables.
#include "cli/console.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// The variable that decides the language of messages, by the usual order of
// precedence; empty ones do not count.
const char *messagesLocale() {
  const char *names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char *name : names) {
    const char *value = std::getenv(name);
    if (value != nullptr && value[0] != '\0')
      return value;
  }
  return "";
}

bool g_outputFailed = false;

bool writeAll(FILE *stream, const std::string &text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  return std::fflush(stream) == 0 && written;
}

} // namespace

ConsoleState openConsole() {
  // A reader that goes away (a closed pipe) makes writes fail, reported at
  // the end, rather than ending the program in the middle of a conversion.
  std::signal(SIGPIPE, SIG_IGN);
  ConsoleState state{};
  state.inputIsTerminal = isatty(STDIN_FILENO) == 1;
  state.outputIsTerminal = isatty(STDOUT_FILENO) == 1;
  state.errorIsTerminal = isatty(STDERR_FILENO) == 1;
  return state;
}

const Catalogue &userCatalogue() {
  return std::strncmp(messagesLocale(), "ja", 2) == 0 ? japaneseCatalogue() : englishCatalogue();
}

void writeOutput(const std::string &text) {
  if (!writeAll(stdout, text))
    g_outputFailed = true;
}

bool outputFailed() {
  return g_outputFailed;
}

void writeError(const std::string &text) {
  writeAll(stderr, text);
}

bool readAnswerLine(std::string &line) {
  line.clear();
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n')
    line += static_cast<char>(c);
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return c != EOF || !line.empty();
}
