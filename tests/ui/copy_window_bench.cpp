// Times SorabunCopy.exe's copy against sorabun-cli.exe --to with the same
// options (the window's カーナビ向けに変換, on as the window opens, and --car),
// in turns, under the same Wine session: from コピー開始 to the message box
// that ends the run, and the command line's whole run, both with the flush.
// Each destination is removed after its run. Prints one line per run and
// the medians.
//
// usage (through run-ui-tests.sh, which gives the last three arguments):
//   SORABUN_BENCH_LIBRARY=FOLDER SORABUN_BENCH_CLI=sorabun-cli.exe [SORABUN_BENCH_RUNS=N]
//   copy_window_bench.exe [ignored...] SORABUNCOPY.exe WORK_DIR SCREENSHOT_DIR

#include "resources/resource_ids.h"
#include "tests/ui/window_probe.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// "Sorabun - カーナビ用コピー"
const wchar_t *const TITLE = L"Sorabun - \u30ab\u30fc\u30ca\u30d3\u7528\u30b3\u30d4\u30fc";
constexpr int RUN_TIMEOUT = 3600 * 1000;

double now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void removeTree(const std::wstring &folder) {
  std::wstring from = folder;
  from.push_back(L'\0'); // the list ends with a second terminator
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);
}

double cliRun(const std::wstring &cli, const std::wstring &library, const std::wstring &to) {
  std::wstring commandLine =
      L"\"" + cli + L"\" -q -r --car --to \"" + to + L"\" \"" + library + L"\"";
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  const HANDLE nothing =
      CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nothing;
  PROCESS_INFORMATION process = {};
  const double started = now();
  const bool created = CreateProcessW(cli.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  CloseHandle(nothing);
  if (!created)
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  const double seconds = now() - started;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return seconds;
}

double windowRun(const PROCESS_INFORMATION &process, HWND window, const std::wstring &library,
                 const std::wstring &to) {
  SendMessageW(GetDlgItem(window, IDC_SOURCES), LB_RESETCONTENT, 0, 0);
  dropOn(process.hProcess, window, {library});
  SendMessageW(GetDlgItem(window, IDC_DESTINATION), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(to.c_str()));
  Sleep(500);
  const double started = now();
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_START)));
  const HWND box = waitForProcessDialog(process.dwProcessId, TITLE, window, RUN_TIMEOUT);
  // waitForProcessDialog waits 200 ms once the box is there, and polls
  // every 50 ms before.
  const double seconds = now() - started - 0.2;
  if (box == nullptr)
    return -1;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  waitUntilGone(box, 10000);
  return seconds;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
  const char *library = std::getenv("SORABUN_BENCH_LIBRARY");
  const char *cli = std::getenv("SORABUN_BENCH_CLI");
  const char *runsText = std::getenv("SORABUN_BENCH_RUNS");
  if (argc < 4 || library == nullptr || cli == nullptr) {
    std::fprintf(stderr, "usage: see the head of copy_window_bench.cpp\n");
    return 2;
  }
  const int runs = runsText != nullptr ? static_cast<int>(std::strtol(runsText, nullptr, 10)) : 3;
  const std::wstring program = windowsPath(argv[argc - 3]);
  const std::wstring work = windowsPath(argv[argc - 2]);
  const std::wstring source = windowsPath(library);
  const std::wstring cliPath = windowsPath(cli);

  PROCESS_INFORMATION process = startProgram(program, work);
  const HWND window = waitForProcessDialog(process.dwProcessId, TITLE, nullptr, 30000);
  if (window == nullptr) {
    std::fprintf(stderr, "the copy window did not appear\n");
    return 1;
  }
  std::vector<double> windowTimes, cliTimes;
  for (int run = 0; run < runs; ++run) {
    const std::wstring cliCopy = work + L"\\cli-copy", windowCopy = work + L"\\window-copy";
    cliTimes.push_back(cliRun(cliPath, source, cliCopy));
    removeTree(cliCopy);
    windowTimes.push_back(windowRun(process, window, source, windowCopy));
    removeTree(windowCopy);
    std::printf("run %d: sorabun-cli --to %.2f s, window %.2f s\n", run + 1, cliTimes.back(),
                windowTimes.back());
    std::fflush(stdout);
  }
  std::printf("median: sorabun-cli --to %.2f s, window %.2f s, window / cli %.3f\n",
              median(cliTimes), median(windowTimes), median(windowTimes) / median(cliTimes));
  PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(process.hProcess, 30000);
  return 0;
}
