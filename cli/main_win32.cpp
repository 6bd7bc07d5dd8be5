// The Windows entry: the arguments as UTF-16 from the command line itself,
// handed on as the file layer's UTF-8, so that any name Windows can hold
// arrives unchanged (the ANSI arguments would turn a name outside the code
// page into another name, or into '?').
//
// Started from Explorer (double-clicked, or with files dropped on its icon)
// the program has a console of its own, which closes with it: it then waits
// for Enter at the end, so that what it said can be read, and without
// arguments it first says how it is used and which program makes copies
// without a command prompt.
#include "cli/cli.h"
#include "cli/console.h"
#include "cli/run_results.h"
#include "cli/texts.h"
#include "command/wide_text.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// Only this process is attached to its console, which shows on the screen
// (a program started without a console window, or with a hidden one, has
// nobody to press Enter), and a person reads and types there (redirected
// input or output means a script started it).
bool ownsConsole() {
  DWORD processes[2];
  const ConsoleState console = openConsole();
  const HWND window = GetConsoleWindow();
  return GetConsoleProcessList(processes, 2) == 1 && window != nullptr && IsWindowVisible(window) &&
         console.inputIsTerminal && console.outputIsTerminal;
}

void waitForEnter(const Catalogue &messages) {
  writeOutput(messageLine(messages, Message::PressEnterToClose));
  std::string line;
  readAnswerLine(line);
}

std::vector<std::string> utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr)
    return arguments;
  arguments.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    arguments.push_back(utf8FromWide(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  return arguments;
}

int runArguments(std::vector<std::string> &arguments) {
  std::vector<char *> pointers;
  pointers.reserve(arguments.size() + 1);
  for (std::string &argument : arguments)
    pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return runCli(static_cast<int>(arguments.size()), pointers.data());
}

} // namespace

int main() {
  std::vector<std::string> arguments = utf8Arguments();
  if (!ownsConsole())
    return runArguments(arguments);
  const Catalogue &messages = userCatalogue();
  if (arguments.size() <= 1) {
    writeOutput(messageLine(messages, Message::ExplorerUsage));
    waitForEnter(messages);
    return EXIT_USAGE;
  }
  const int status = runArguments(arguments);
  waitForEnter(messages);
  return status;
}
