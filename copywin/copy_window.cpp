#include "copywin/copy_window.h"

#include "cli/texts.h"
#include "command/wide_text.h"
#include "copywin/copy_worker.h"
#include "copywin/drives.h"
#include "copywin/folder_picker.h"
#include "resources/resource_ids.h"

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

// The progress bar's range: the bytes written, in thousandths.
constexpr int PROGRESS_STEPS = 1000;
// Index 0xFFFFFFFF asks DragQueryFileW for the number of files.
constexpr UINT DROPPED_COUNT = 0xFFFFFFFF;

// The one window's state: the program has one window and one run at a time.
struct WindowState {
  const Catalogue *messages;
  std::vector<RemovableDrive> drives; // as the destination list offers them, first
  CopyJob *job;                       // the run under way, or nullptr
  bool writing;                       // the run writes (コピー開始), not 確認
  bool closeWhenDone;                 // the window was closed during the run
  int resultsWidth;                   // the widest result line, for the horizontal scroll bar
  DWORD lastShown;                    // GetTickCount when the run's progress was last shown
};

// A run's progress is shown at most this often: drawn on every event, it
// would take from the copy the time it is drawn in.
constexpr UINT SHOW_INTERVAL_MS = 100;
constexpr UINT_PTR SHOW_TIMER = 1;

WindowState g_state{};

std::wstring wide(const std::string &text) {
  return wideFromUtf8(text.data(), text.size());
}

std::wstring text(Message message, std::initializer_list<Argument> arguments = {}) {
  return wide(messageText(*g_state.messages, message, arguments));
}

std::wstring itemText(HWND window, int id) {
  const HWND item = GetDlgItem(window, id);
  std::wstring value(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  value.resize(
      static_cast<size_t>(GetWindowTextW(item, &value[0], static_cast<int>(value.size()))));
  return value;
}

void say(HWND window, const std::wstring &message, UINT icon) {
  MessageBoxW(window, message.c_str(), text(Message::WindowTitle).c_str(), MB_OK | icon);
}

void setTexts(HWND window) {
  SetWindowTextW(window, text(Message::WindowTitle).c_str());
  const std::pair<int, Message> labels[] = {
      {IDC_SOURCES_LABEL, Message::WindowSources},
      {IDC_ADD, Message::WindowAdd},
      {IDC_REMOVE, Message::WindowRemove},
      {IDC_DESTINATION_LABEL, Message::WindowDestination},
      {IDC_BROWSE_DESTINATION, Message::WindowBrowse},
      {IDC_CAR, Message::WindowCarConversion},
      {IDC_ALL_FILES, Message::WindowAllFiles},
      {IDC_CHECK, Message::WindowCheck},
      {IDC_START, Message::WindowStart},
      {IDC_STOP, Message::WindowStop},
      {IDC_RESULTS_LABEL, Message::WindowResults},
  };
  for (const auto &label : labels)
    SetDlgItemTextW(window, label.first, text(label.second).c_str());
}

// The removable drives first in the destination's list, keeping what the
// field holds.
void offerDrives(HWND window) {
  const HWND field = GetDlgItem(window, IDC_DESTINATION);
  const std::wstring typed = itemText(window, IDC_DESTINATION);
  SendMessageW(field, CB_RESETCONTENT, 0, 0);
  g_state.drives = removableDrives(*g_state.messages);
  for (const RemovableDrive &drive : g_state.drives)
    SendMessageW(field, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.label.c_str()));
  SetWindowTextW(field, typed.c_str());
}

// The field's folder: a drive offered in the list stands for its root.
std::wstring destinationFolder(HWND window) {
  std::wstring typed = itemText(window, IDC_DESTINATION);
  for (const RemovableDrive &drive : g_state.drives) {
    if (drive.label == typed)
      return drive.root;
  }
  return typed;
}

void addSource(HWND window, const std::wstring &path) {
  const HWND list = GetDlgItem(window, IDC_SOURCES);
  if (path.empty() || SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(path.c_str())) != LB_ERR)
    return;
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

std::vector<std::wstring> sources(HWND window) {
  const HWND list = GetDlgItem(window, IDC_SOURCES);
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  std::vector<std::wstring> paths;
  for (LRESULT i = 0; i < count; ++i) {
    const auto index = static_cast<WPARAM>(i);
    std::wstring path(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    path.resize(static_cast<size_t>(
        SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&path[0]))));
    paths.push_back(path);
  }
  return paths;
}

void pick(HWND window, Message title, int field) {
  std::wstring path;
  HRESULT failure = S_OK;
  switch (pickFolder(window, text(title), path, failure)) {
  case PickResult::Chosen:
    if (field == IDC_SOURCES)
      addSource(window, path);
    else
      SetDlgItemTextW(window, field, path.c_str());
    break;
  case PickResult::Cancelled:
    break;
  case PickResult::Failed: {
    char code[16];
    std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(failure));
    say(window, text(Message::WindowPickerFailed, {{"code", code}}), MB_ICONWARNING);
    break;
  }
  }
}

// Folders and files dropped from Explorer, read in UTF-16 so that any name
// arrives as it is.
void takeDropped(HWND window, HDROP drop) {
  const UINT count = DragQueryFileW(drop, DROPPED_COUNT, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
    addSource(window, path);
  }
  DragFinish(drop);
}

void enableForRun(HWND window, bool running) {
  const int inputs[] = {
      IDC_SOURCES, IDC_ADD,       IDC_REMOVE, IDC_DESTINATION, IDC_BROWSE_DESTINATION,
      IDC_CAR,     IDC_ALL_FILES, IDC_CHECK,  IDC_START};
  for (int id : inputs)
    EnableWindow(GetDlgItem(window, id), !running);
  EnableWindow(GetDlgItem(window, IDC_STOP), running);
  DragAcceptFiles(window, !running);
}

void addResult(HWND window, const std::string &line) {
  const HWND list = GetDlgItem(window, IDC_RESULTS);
  const std::wstring shown = wide(line);
  const LRESULT index =
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  const HDC context = GetDC(list);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
  const HGDIOBJ old = SelectObject(context, font);
  SIZE size{};
  GetTextExtentPoint32W(context, shown.c_str(), static_cast<int>(shown.size()), &size);
  SelectObject(context, old);
  ReleaseDC(list, context);
  if (size.cx + 8 > g_state.resultsWidth) {
    g_state.resultsWidth = size.cx + 8;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(g_state.resultsWidth), 0);
  }
  SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

void showUpdate(HWND window) {
  KillTimer(window, SHOW_TIMER);
  g_state.lastShown = GetTickCount();
  CopyUpdate update;
  takeUpdate(g_state.job, update);
  const HWND list = GetDlgItem(window, IDC_RESULTS);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (const std::string &line : update.lines)
    addResult(window, line);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  if (!update.planned || !g_state.writing) // 確認 writes nothing: no progress to show
    return;
  const uint64_t total = update.bytesTotal > 0 ? update.bytesTotal : update.filesTotal;
  const uint64_t done = update.bytesTotal > 0 ? update.bytesDone : update.filesDone;
  const int position = total > 0 ? static_cast<int>(done * PROGRESS_STEPS / total) : PROGRESS_STEPS;
  SendDlgItemMessageW(window, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  SetDlgItemTextW(window, IDC_PROGRESS_TEXT,
                  text(Message::WindowProgress, {{"done", std::to_string(update.filesDone)},
                                                 {"total", std::to_string(update.filesTotal)},
                                                 {"bytesDone", amountOfBytes(update.bytesDone)},
                                                 {"bytesTotal", amountOfBytes(update.bytesTotal)}})
                      .c_str());
  SetDlgItemTextW(window, IDC_CURRENT_FILE, wide(update.currentFile).c_str());
}

void startRun(HWND window, bool write) {
  const std::vector<std::wstring> paths = sources(window);
  const std::wstring destination = destinationFolder(window);
  if (paths.empty()) {
    say(window, text(Message::WindowNoSources), MB_ICONINFORMATION);
    return;
  }
  if (destination.empty()) {
    say(window, text(Message::WindowNoDestination), MB_ICONINFORMATION);
    return;
  }
  CopyRequest request{};
  for (const std::wstring &path : paths)
    request.sources.push_back(utf8FromWide(path.data(), path.size()));
  request.destination = utf8FromWide(destination.data(), destination.size());
  request.carConversion = IsDlgButtonChecked(window, IDC_CAR) == BST_CHECKED;
  request.allFiles = IsDlgButtonChecked(window, IDC_ALL_FILES) == BST_CHECKED;
  request.write = write;
  SendDlgItemMessageW(window, IDC_RESULTS, LB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(window, IDC_RESULTS, LB_SETHORIZONTALEXTENT, 0, 0);
  g_state.resultsWidth = 0;
  SendDlgItemMessageW(window, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  SetDlgItemTextW(window, IDC_PROGRESS_TEXT, text(Message::WindowExamining).c_str());
  SetDlgItemTextW(window, IDC_CURRENT_FILE, L"");
  SetDlgItemTextW(window, IDC_STATUS, L"");
  g_state.writing = write;
  g_state.job = startCopy(window, *g_state.messages, request);
  if (g_state.job != nullptr)
    enableForRun(window, true);
}

void stopRun(HWND window) {
  if (g_state.job == nullptr)
    return;
  requestStop(g_state.job);
  EnableWindow(GetDlgItem(window, IDC_STOP), FALSE);
  SetDlgItemTextW(window, IDC_STATUS, text(Message::WindowStopping).c_str());
}

// The end of a run: a run that failed as a whole says why; otherwise the
// status line and a message box sum it up.
void showEnd(HWND window, const CopyOutcome &outcome) {
  const Catalogue &messages = *g_state.messages;
  const CopyRunSummary &summary = outcome.summary;
  std::wstring failure;
  if (outcome.destinationInSource)
    failure = wide(destinationInSourceText(messages, outcome.shownSource));
  else if (summary.filesListed == 0)
    failure = text(Message::NoMp3Files);
  else if (summary.destinationProblem != FileProblem::None)
    failure = wide(
        destinationProblemText(messages, outcome.shownDestination, summary.destinationProblem));
  else if (summary.noSpace)
    failure = wide(summary.spaceNeeded > summary.spaceFree
                       ? noSpaceText(messages, outcome.shownDestination, summary.spaceNeeded,
                                     summary.spaceFree)
                       : noFilesText(messages, outcome.shownDestination, summary.filesNeeded,
                                     summary.filesFree));
  if (!failure.empty()) {
    SetDlgItemTextW(window, IDC_STATUS, failure.c_str());
    say(window, failure, MB_ICONWARNING);
    return;
  }
  std::wstring status;
  UINT icon = MB_ICONINFORMATION;
  if (!g_state.writing) {
    SetDlgItemTextW(window, IDC_PROGRESS_TEXT, L"");
    status = text(Message::WindowCheckSummary,
                  {{"copied", std::to_string(summary.counts.converted + summary.counts.asItIs)},
                   {"renamed", std::to_string(outcome.renamed)},
                   {"upToDate", std::to_string(summary.counts.upToDate)},
                   {"replaced", std::to_string(summary.marks.questionMarks)}}) +
             L"\n" + text(Message::WindowNothingWritten);
  } else {
    if (summary.stopped)
      status = text(Message::WindowStopped) + L"\n";
    if (summary.diskFull)
      status +=
          wide(diskFullText(messages, outcome.shownDestination, summary.copiesNotWritten)) + L"\n";
    if (summary.recordProblem != FileProblem::None)
      status +=
          wide(recordNotWrittenText(messages, outcome.shownDestination, summary.recordProblem)) +
          L"\n";
    if (summary.diskFull || summary.recordProblem != FileProblem::None)
      icon = MB_ICONWARNING;
    if (summary.flushProblem != FileProblem::None) {
      status += wide(flushFailedText(messages, summary.flushProblem)) + L" " +
                text(Message::WindowNotFlushed);
      icon = MB_ICONWARNING;
    } else if (summary.flushed) {
      status += text(Message::Removable);
    }
    if (summary.counts.failed > 0)
      icon = MB_ICONWARNING;
  }
  if (summary.rootEntries > 0 && summary.rootEntriesFilled > summary.rootEntries) {
    status += L"\n" + wide(rootFolderFillsText(messages, outcome.shownDestination,
                                               summary.rootEntries, summary.rootEntriesFilled));
    icon = MB_ICONWARNING;
  }
  SetDlgItemTextW(window, IDC_STATUS, status.c_str());
  std::wstring counts = wide(copySummaryLine(messages, !g_state.writing, summary.counts));
  say(window, counts + L"\n" + status, icon);
}

void finishRun(HWND window) {
  showUpdate(window);
  const CopyOutcome outcome = finishCopy(g_state.job);
  g_state.job = nullptr;
  enableForRun(window, false);
  if (g_state.closeWhenDone) {
    EndDialog(window, 0);
    return;
  }
  showEnd(window, outcome);
}

// Closing during a run asks first, then stops it as 中止 does and closes
// once the run has returned (the copies made flushed).
void closeWindow(HWND window) {
  if (g_state.job == nullptr) {
    EndDialog(window, 0);
    return;
  }
  if (MessageBoxW(window, text(Message::WindowCloseDuringCopy).c_str(),
                  text(Message::WindowTitle).c_str(),
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  g_state.closeWhenDone = true;
  stopRun(window);
}

void removeSelectedSource(HWND window) {
  const LRESULT selected = SendDlgItemMessageW(window, IDC_SOURCES, LB_GETCURSEL, 0, 0);
  if (selected != LB_ERR)
    SendDlgItemMessageW(window, IDC_SOURCES, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
}

void runCommand(HWND window, WPARAM wParam) {
  switch (LOWORD(wParam)) {
  case IDC_ADD:
    pick(window, Message::WindowPickSources, IDC_SOURCES);
    break;
  case IDC_REMOVE:
    removeSelectedSource(window);
    break;
  case IDC_BROWSE_DESTINATION:
    pick(window, Message::WindowPickDestination, IDC_DESTINATION);
    break;
  case IDC_CHECK:
    startRun(window, false);
    break;
  case IDC_START:
    startRun(window, true);
    break;
  case IDC_STOP:
    stopRun(window);
    break;
  default: // IDOK and IDCANCEL (Enter and Escape) leave the window open
    break;
  }
}

void openWindow(HWND window) {
  g_state = WindowState{};
  g_state.messages = &japaneseCatalogue();
  setTexts(window);
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  const HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  CheckDlgButton(window, IDC_CAR, BST_CHECKED);
  SendDlgItemMessageW(window, IDC_PROGRESS, PBM_SETRANGE32, 0, PROGRESS_STEPS);
  offerDrives(window);
  if (!g_state.drives.empty())
    SendDlgItemMessageW(window, IDC_DESTINATION, CB_SETCURSEL, 0, 0);
  DragAcceptFiles(window, TRUE);
}

} // namespace

INT_PTR CALLBACK copyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
  case WM_INITDIALOG:
    openWindow(window);
    break;
  case WM_DROPFILES:
    takeDropped(window, reinterpret_cast<HDROP>(wParam));
    break;
  case WM_COMMAND:
    runCommand(window, wParam);
    break;
  case WM_DEVICECHANGE:
    if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) &&
        g_state.job == nullptr)
      offerDrives(window);
    break;
  case WM_COPY_UPDATE:
    // The worker posts no other update until this one is taken.
    if (g_state.job != nullptr) {
      const DWORD since = GetTickCount() - g_state.lastShown;
      if (since >= SHOW_INTERVAL_MS)
        showUpdate(window);
      else
        SetTimer(window, SHOW_TIMER, SHOW_INTERVAL_MS - since, nullptr);
    }
    break;
  case WM_TIMER:
    if (wParam == SHOW_TIMER && g_state.job != nullptr)
      showUpdate(window);
    break;
  case WM_COPY_DONE:
    finishRun(window);
    break;
  case WM_CLOSE:
    closeWindow(window);
    break;
  default:
    break;
  }
  return 0;
}
