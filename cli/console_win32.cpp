// The console on Windows: UTF-16 straight to the console window, so that any
// character shows whatever the console's code page; redirected output in the
// console's output code page, the way other console programs write it.
#include "cli/console.h"

#include <windows.h>

#include <climits>

namespace {

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

std::wstring wideFrom(UINT codePage, const std::string &text) {
  if (text.empty() || text.size() > INT_MAX)
    return std::wstring();
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0)
    MultiByteToWideChar(codePage, 0, text.data(), length, &wide[0], units);
  return wide;
}

std::string narrowTo(UINT codePage, const std::wstring &wide) {
  if (wide.empty() || wide.size() > INT_MAX)
    return std::string();
  const int length = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, NULL, NULL);
  std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0)
    WideCharToMultiByte(codePage, 0, wide.data(), length, &text[0], bytes, NULL, NULL);
  return text;
}

UINT redirectedCodePage() {
  const UINT codePage = GetConsoleOutputCP();
  return codePage != 0 ? codePage : GetACP();
}

bool g_outputFailed = false;

bool writeTo(DWORD which, const std::string &text) {
  const HANDLE handle = GetStdHandle(which);
  std::wstring wide = wideFrom(CP_UTF8, text);
  DWORD written = 0;
  if (isConsole(handle))
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
           written == wide.size();
  // Files and pipes get Windows line ends.
  std::wstring lines;
  for (wchar_t unit : wide) {
    if (unit == L'\n')
      lines += L'\r';
    lines += unit;
  }
  const std::string bytes = narrowTo(redirectedCodePage(), lines);
  return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

} // namespace

ConsoleState openConsole() {
  ConsoleState state{};
  state.inputIsTerminal = isConsole(GetStdHandle(STD_INPUT_HANDLE));
  state.outputIsTerminal = isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
  state.errorIsTerminal = isConsole(GetStdHandle(STD_ERROR_HANDLE));
  return state;
}

const Catalogue &userCatalogue() {
  const bool japanese =
      PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE || GetACP() == 932;
  return japanese ? japaneseCatalogue() : englishCatalogue();
}

void writeOutput(const std::string &text) {
  if (!writeTo(STD_OUTPUT_HANDLE, text))
    g_outputFailed = true;
}

bool outputFailed() {
  return g_outputFailed;
}

void writeError(const std::string &text) {
  writeTo(STD_ERROR_HANDLE, text);
}

bool readAnswerLine(std::string &line) {
  line.clear();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring wide;
  if (isConsole(input)) {
    wchar_t buffer[256];
    DWORD got = 0;
    if (!ReadConsoleW(input, buffer, 256, &got, nullptr) || got == 0)
      return false;
    wide.assign(buffer, got);
  } else {
    std::string bytes;
    char c = 0;
    DWORD got = 0;
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n')
      bytes += c;
    if (bytes.empty() && got == 0)
      return false;
    wide = wideFrom(GetConsoleCP() != 0 ? GetConsoleCP() : GetACP(), bytes);
  }
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r'))
    wide.pop_back();
  line = narrowTo(CP_UTF8, wide);
  return true;
}
