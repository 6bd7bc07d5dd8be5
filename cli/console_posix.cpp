// The terminal on POSIX systems: UTF-8 throughout, the language from the
// locale variables.
#include "cli/console.h"

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

void writeAll(FILE *stream, const std::string &text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

} // namespace

ConsoleState openConsole() {
  ConsoleState state{};
  state.japanese = std::strncmp(messagesLocale(), "ja", 2) == 0;
  state.inputIsTerminal = isatty(STDIN_FILENO) == 1;
  state.outputIsTerminal = isatty(STDOUT_FILENO) == 1;
  state.errorIsTerminal = isatty(STDERR_FILENO) == 1;
  return state;
}

void writeOutput(const std::string &text) {
  writeAll(stdout, text);
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

std::string displayPath(const std::string &path) {
  return path;
}
