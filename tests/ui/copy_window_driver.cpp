// Drives the real SorabunCopy.exe through the window system: drops a folder
// on it, fills its controls, runs 確認 and コピー開始 onto the removable drive
// R: that run-ui-tests.sh makes (a floppy-type drive of the Wine prefix),
// stops a run part-way and closes the window during one, and checks what
// reaches the drive.
//
// usage: copy_window_driver.exe [gtest options] SORABUNCOPY.exe WORK_DIR SCREENSHOT_DIR

#include "library/copy_record.h"
#include "resources/resource_ids.h"
#include "tests/ui/test_mp3.h"
#include "tests/ui/window_probe.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct DriverOptions {
  std::wstring program;
  std::wstring work;
  std::wstring screenshots;
};

DriverOptions g_options;
PROCESS_INFORMATION g_process = {};
HWND g_window = nullptr;

const wchar_t *const STICK = L"R:\\";
// "Sorabun - カーナビ用コピー"
const wchar_t *const TITLE = L"Sorabun - \u30ab\u30fc\u30ca\u30d3\u7528\u30b3\u30d4\u30fc";
// "USB メモリーやカードを取り外せます。"
const wchar_t *const REMOVABLE_TEXT = L"USB \u30e1\u30e2\u30ea\u30fc\u3084\u30ab\u30fc\u30c9\u3092"
                                      L"\u53d6\u308a\u5916\u305b\u307e\u3059\u3002";
// " ファイル"
const wchar_t *const FILES_TEXT = L" \u30d5\u30a1\u30a4\u30eb";
constexpr int MESSAGE_TEXT_ID = 0xFFFF;
constexpr int RUN_TIMEOUT = 180000;

// --- the library ------------------------------------------------------------

Bytes utf16Text(const std::wstring &text) {
  Bytes data = {1, 0xFF, 0xFE};
  for (wchar_t unit : text) {
    data.push_back(static_cast<unsigned char>(unit & 0xFF));
    data.push_back(static_cast<unsigned char>(unit >> 8));
  }
  append(data, {0, 0});
  return data;
}

// A version 2.4 tag with the title, artist and album in UTF-16, then audio
// (repeated to make a larger file).
Bytes song(const std::wstring &title, size_t audioRepeats) {
  Bytes frames;
  append(frames, frame("TIT2", utf16Text(title)));
  append(frames, frame("TPE1", utf16Text(L"\u30bd\u30e9")));
  append(frames, frame("TALB", utf16Text(L"Caf\u00e9")));
  Bytes file = tagged(4, 0, frames, 64);
  const Bytes sound = audio();
  for (size_t i = 0; i < audioRepeats; ++i)
    append(file, sound);
  return file;
}

struct Song {
  const wchar_t *path; // below the library folder
  const wchar_t *title;
};

// Names and titles with what the conversion must handle: Latin letters
// outside ASCII, Hangul (no code page 932 form: '?'), and kana and kanji
// whose second byte is the backslash's.
const Song SONGS[] = {
    {L"Caf\u00e9\\01 \ud55c\uad6d.mp3", L"\ud55c\uad6d"},
    {L"Caf\u00e9\\02 \u30bd\u8868.mp3", L"\u30bd\u8868"},
    {L"\u30bd\u8868\\10 Song.mp3", L"Song"},
    {L"\u30bd\u8868\\2 Song.mp3", L"\u9ad8\u3044"},
};
const wchar_t *const COVER = L"Caf\u00e9\\cover.jpg";

std::wstring libraryPath(const wchar_t *name = nullptr) {
  std::wstring path = g_options.work + L"\\library";
  return name == nullptr ? path : path + L"\\" + name;
}

std::wstring stickPath(const wchar_t *name) {
  return std::wstring(STICK) + L"library\\" + name;
}

void makeLibrary() {
  CreateDirectoryW(libraryPath().c_str(), nullptr);
  CreateDirectoryW(libraryPath(L"Caf\u00e9").c_str(), nullptr);
  CreateDirectoryW(libraryPath(L"\u30bd\u8868").c_str(), nullptr);
  for (const Song &entry : SONGS)
    writeWholeFile(libraryPath(entry.path), song(entry.title, 1));
  writeWholeFile(libraryPath(COVER), {0xFF, 0xD8, 0xFF, 0xE0, 'c', 'o', 'v', 'e', 'r'});
  // Large files for the runs that are stopped: 24 of 8 MB.
  const std::wstring large = g_options.work + L"\\large";
  CreateDirectoryW(large.c_str(), nullptr);
  for (int i = 0; i < 24; ++i)
    writeWholeFile(large + L"\\" + std::to_wstring(i) + L".mp3", song(L"\u5927", 40000));
}

// Every file below a folder, by its path relative to it; the record of the
// copies at its top is left out (which run wrote it differs from run to run).
void listFiles(const std::wstring &root, const std::wstring &below,
               std::map<std::wstring, Bytes> &files) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((root + below + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || (below.empty() && narrow(name) == COPY_RECORD_NAME))
      continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      listFiles(root, below + name + L"\\", files);
    else
      files[below + name] = readWholeFile(root + below + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::map<std::wstring, Bytes> filesBelow(const std::wstring &root) {
  std::map<std::wstring, Bytes> files;
  listFiles(root + L"\\", L"", files);
  return files;
}

Bytes codePage932(const std::wstring &text) {
  char bytes[64] = {};
  const int length = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), bytes,
                                         sizeof bytes, nullptr, nullptr);
  return Bytes(bytes, bytes + length);
}

// Four bytes at `at`, most significant first, of `bits` bits each (7 for
// the tag's synchsafe size, 8 for a version 2.3 frame's).
size_t number(const Bytes &file, size_t at, unsigned bits) {
  size_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value = (value << bits) | file[at + i];
  return value;
}

size_t tagEndOf(const Bytes &file) {
  return 10 + number(file, 6, 7);
}

// A version 2.3 frame's data in a tag, found by walking the frames.
Bytes frameData(const Bytes &file, const char *id) {
  const size_t tagEnd = tagEndOf(file);
  for (size_t at = 10; at + 10 <= tagEnd && file[at] != 0;) {
    const size_t size = number(file, at + 4, 8);
    if (std::string(file.begin() + static_cast<long>(at),
                    file.begin() + static_cast<long>(at) + 4) == id)
      return Bytes(file.begin() + static_cast<long>(at) + 10,
                   file.begin() + static_cast<long>(at + 10 + size));
    at += 10 + size;
  }
  return {};
}

// A car's copy: a version 2.3 tag whose texts are code page 932 with
// encoding 0, the audio as it was, and an ID3v1 tag with the title.
void expectCarCopy(const Bytes &copy, const Song &entry) {
  SCOPED_TRACE(narrow(entry.path));
  ASSERT_GT(copy.size(), 138u);
  EXPECT_EQ(std::string(copy.begin(), copy.begin() + 4), std::string("ID3\x03", 4));
  Bytes title = {0};
  append(title, codePage932(entry.title));
  EXPECT_EQ(frameData(copy, "TIT2"), title);
  Bytes artist = {0};
  append(artist, codePage932(L"\u30bd\u30e9"));
  EXPECT_EQ(frameData(copy, "TPE1"), artist);
  const Bytes sound = audio();
  const size_t tagEnd = tagEndOf(copy);
  EXPECT_EQ(Bytes(copy.begin() + static_cast<long>(tagEnd), copy.end() - 128), sound);
  const Bytes id3v1(copy.end() - 128, copy.end());
  EXPECT_EQ(std::string(id3v1.begin(), id3v1.begin() + 3), "TAG");
  const Bytes shortTitle = codePage932(entry.title);
  EXPECT_EQ(Bytes(id3v1.begin() + 3, id3v1.begin() + 3 + static_cast<long>(shortTitle.size())),
            shortTitle);
}

bool isTemporary(const std::wstring &path) {
  return path.find(L".sorabun-") != std::wstring::npos;
}

// --- the running program ----------------------------------------------------

HWND item(int id) {
  return GetDlgItem(g_window, id);
}

void postCommand(HWND target, int id) {
  PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(target, id)));
}

void setDestination(const std::wstring &folder) {
  SendMessageW(item(IDC_DESTINATION), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
}

std::wstring listText(HWND list, int index) {
  wchar_t text[2048] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

int listCount(int id) {
  return static_cast<int>(SendMessageW(item(id), LB_GETCOUNT, 0, 0));
}

void screenshot(const wchar_t *name, HWND box = nullptr) {
  RECT area = windowRect(g_window);
  if (box != nullptr) {
    const RECT other = windowRect(box);
    UnionRect(&area, &area, &other);
  }
  InflateRect(&area, 12, 12);
  saveScreenshot(g_options.screenshots + L"\\" + name + L".bmp", area);
}

// Presses a button and returns the message box that ends the run.
HWND runAndWait(int button) {
  postCommand(g_window, button);
  return waitForProcessDialog(g_process.dwProcessId, TITLE, g_window, RUN_TIMEOUT);
}

void close(HWND box) {
  postCommand(box, IDOK);
  ASSERT_TRUE(waitUntilGone(box, 10000));
}

// Until the progress shows a file written.
void waitForACopy() {
  for (int waited = 0; waited < RUN_TIMEOUT; waited += 5) {
    const std::wstring progress = controlText(item(IDC_PROGRESS_TEXT));
    if (progress.size() > 2 && progress[0] >= L'1' && progress[0] <= L'9')
      return;
    Sleep(5);
  }
}

class CopyWindow : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    g_process = startProgram(g_options.program, g_options.work);
    if (g_process.hProcess != nullptr)
      g_window = waitForProcessDialog(g_process.dwProcessId, TITLE, nullptr, 30000);
  }
  void SetUp() override {
    ASSERT_NE(g_window, nullptr) << "the copy window did not appear";
    ASSERT_TRUE(IsWindow(g_window)) << "the copy window is gone";
  }
};

TEST_F(CopyWindow, opensWithTheCarConversionOnAndTheRemovableDriveFirst) {
  EXPECT_EQ(IsDlgButtonChecked(g_window, IDC_CAR), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(g_window, IDC_ALL_FILES), BST_UNCHECKED);
  EXPECT_FALSE(IsWindowEnabled(item(IDC_STOP)));
  const std::wstring offered = comboText(item(IDC_DESTINATION), 0);
  EXPECT_EQ(offered.compare(0, 3, STICK), 0) << narrow(offered);
  EXPECT_EQ(controlText(item(IDC_DESTINATION)), offered);
  EXPECT_NE(GetWindowLongW(g_window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

TEST_F(CopyWindow, takesDroppedFoldersAndRemovesTheSelectedOne) {
  ASSERT_TRUE(dropOn(g_process.hProcess, g_window, {libraryPath(), g_options.work + L"\\large"}));
  ASSERT_TRUE(dropOn(g_process.hProcess, g_window, {libraryPath()})); // once is enough
  for (int waited = 0; waited < 5000 && listCount(IDC_SOURCES) < 2; waited += 50)
    Sleep(50);
  Sleep(200);
  ASSERT_EQ(listCount(IDC_SOURCES), 2);
  EXPECT_EQ(listText(item(IDC_SOURCES), 0), libraryPath());
  SendMessageW(item(IDC_SOURCES), LB_SETCURSEL, 1, 0);
  postCommand(g_window, IDC_REMOVE);
  for (int waited = 0; waited < 5000 && listCount(IDC_SOURCES) > 1; waited += 50)
    Sleep(50);
  EXPECT_EQ(listCount(IDC_SOURCES), 1);
  screenshot(L"copy-window");
}

TEST_F(CopyWindow, checkCountsWhatWouldHappenAndWritesNothing) {
  SendMessageW(item(IDC_ALL_FILES), BM_CLICK, 0, 0);
  ASSERT_EQ(IsDlgButtonChecked(g_window, IDC_ALL_FILES), BST_CHECKED);
  HWND box = runAndWait(IDC_CHECK);
  ASSERT_NE(box, nullptr) << "no message box after 確認";
  // "コピーするファイル 5 個、名前が変わるもの 0 個、コピー済み 0 個、'?' になる文字 2 個": the
  // four songs and the cover; the Hangul title's two characters (its
  // name is kept: FAT holds it).
  const std::wstring status = controlText(item(IDC_STATUS));
  EXPECT_NE(status.find(L"\u30b3\u30d4\u30fc\u3059\u308b\u30d5\u30a1\u30a4\u30eb 5 \u500b"),
            std::wstring::npos)
      << narrow(status);
  EXPECT_NE(status.find(L"'?' \u306b\u306a\u308b\u6587\u5b57 2 \u500b"), std::wstring::npos)
      << narrow(status);
  EXPECT_EQ(listCount(IDC_RESULTS), 6) << "a line per file and the summary";
  screenshot(L"copy-check", box);
  close(box);
  EXPECT_TRUE(filesBelow(STICK).empty()) << "確認 wrote to the drive";
}

TEST_F(CopyWindow, copiesConvertedForTheCarAndSaysTheStickCanBeRemoved) {
  const auto library = filesBelow(libraryPath());
  HWND box = runAndWait(IDC_START);
  ASSERT_NE(box, nullptr) << "no message box after コピー開始";
  EXPECT_NE(controlText(GetDlgItem(box, MESSAGE_TEXT_ID)).find(REMOVABLE_TEXT), std::wstring::npos);
  EXPECT_NE(controlText(item(IDC_STATUS)).find(REMOVABLE_TEXT), std::wstring::npos);
  const std::wstring allWritten = std::wstring(L"5 / 5") + FILES_TEXT;
  EXPECT_EQ(controlText(item(IDC_PROGRESS_TEXT)).compare(0, allWritten.size(), allWritten), 0)
      << narrow(controlText(item(IDC_PROGRESS_TEXT)));
  EXPECT_EQ(SendMessageW(item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 1000);
  screenshot(L"copy-done", box);
  close(box);

  EXPECT_EQ(filesBelow(libraryPath()), library) << "the library changed";
  const auto copies = filesBelow(std::wstring(STICK) + L"library");
  EXPECT_EQ(copies.size(), 5u);
  for (const Song &entry : SONGS) {
    const auto copy = copies.find(entry.path);
    ASSERT_NE(copy, copies.end()) << "no copy of " << narrow(entry.path);
    expectCarCopy(copy->second, entry);
  }
  EXPECT_EQ(copies.at(COVER), library.at(COVER)) << "the cover is not copied as it is";
}

TEST_F(CopyWindow, aSecondRunFindsEverythingUpToDate) {
  const std::wstring copy = stickPath(SONGS[0].path);
  const FILETIME before = lastWriteTime(copy);
  HWND box = runAndWait(IDC_START);
  ASSERT_NE(box, nullptr);
  close(box);
  const FILETIME after = lastWriteTime(copy);
  EXPECT_EQ(CompareFileTime(&before, &after), 0) << "the copy was written again";
}

TEST_F(CopyWindow, stopLeavesOnlyCompleteCopiesThatTheNextRunCompletes) {
  SendMessageW(item(IDC_SOURCES), LB_RESETCONTENT, 0, 0);
  ASSERT_TRUE(dropOn(g_process.hProcess, g_window, {g_options.work + L"\\large"}));
  setDestination(std::wstring(STICK) + L"stopped");
  Sleep(300);
  postCommand(g_window, IDC_START);
  waitForACopy();
  postCommand(g_window, IDC_STOP);
  HWND box = waitForProcessDialog(g_process.dwProcessId, TITLE, g_window, RUN_TIMEOUT);
  ASSERT_NE(box, nullptr);
  screenshot(L"copy-stopped", box);
  close(box);
  const auto stopped = filesBelow(std::wstring(STICK) + L"stopped");
  EXPECT_GT(stopped.size(), 0u);
  EXPECT_LT(stopped.size(), 24u) << "the run was not stopped part-way";

  box = runAndWait(IDC_START);
  ASSERT_NE(box, nullptr);
  close(box);
  const auto completed = filesBelow(std::wstring(STICK) + L"stopped");
  EXPECT_EQ(completed.size(), 24u);
  for (const auto &file : stopped) {
    EXPECT_FALSE(isTemporary(file.first)) << narrow(file.first);
    const auto complete = completed.find(file.first);
    ASSERT_NE(complete, completed.end()) << narrow(file.first);
    EXPECT_TRUE(complete->second == file.second) << narrow(file.first) << " was not complete";
  }
  for (const auto &file : completed)
    EXPECT_FALSE(isTemporary(file.first)) << narrow(file.first);
}

TEST_F(CopyWindow, closingDuringACopyAsksThenStopsAndEnds) {
  setDestination(std::wstring(STICK) + L"closed");
  postCommand(g_window, IDC_START);
  waitForACopy();
  PostMessageW(g_window, WM_CLOSE, 0, 0);
  HWND question = waitForProcessDialog(g_process.dwProcessId, TITLE, g_window, 10000);
  ASSERT_NE(question, nullptr) << "closing during a copy asked nothing";
  screenshot(L"copy-close-question", question);
  postCommand(question, IDYES);
  ASSERT_EQ(WaitForSingleObject(g_process.hProcess, RUN_TIMEOUT), WAIT_OBJECT_0);
  g_window = nullptr;
  for (const auto &file : filesBelow(std::wstring(STICK) + L"closed"))
    EXPECT_FALSE(isTemporary(file.first)) << narrow(file.first);
}

} // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 4) {
    fprintf(stderr, "usage: copy_window_driver.exe [gtest options] SORABUNCOPY.exe WORK_DIR "
                    "SCREENSHOT_DIR\n");
    return 2;
  }
  g_options.program = windowsPath(argv[1]);
  g_options.work = windowsPath(argv[2]);
  g_options.screenshots = windowsPath(argv[3]);
  makeLibrary();
  const int result = RUN_ALL_TESTS();
  if (g_process.hProcess != nullptr) {
    if (WaitForSingleObject(g_process.hProcess, 0) == WAIT_TIMEOUT)
      TerminateProcess(g_process.hProcess, 1);
    CloseHandle(g_process.hProcess);
    CloseHandle(g_process.hThread);
  }
  return result;
}
