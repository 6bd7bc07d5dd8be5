// The Windows entry: the arguments as UTF-16 from the command line itself,
// handed on as the file layer's UTF-8, so that any name Windows can hold
// arrives unchanged (the ANSI arguments would turn a name outside the code
// page into another name, or into '?').
#include "cli/cli.h"
#include "command/wide_text.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

int main() {
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr)
    return runCli(0, nullptr);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    arguments.push_back(utf8FromWide(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  std::vector<char *> pointers;
  pointers.reserve(arguments.size() + 1);
  for (std::string &argument : arguments)
    pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return runCli(count, pointers.data());
}
