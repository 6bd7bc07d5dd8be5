// Drives the real Sorabun.exe through the window system: starts it, finds its
// dialog, presses its buttons and keys, answers its message boxes and the
// Open dialog, and checks what appears on screen and what happens to files.
//
// usage: ui_driver.exe [gtest options] SORABUN.exe WORK_DIR SCREENSHOT_DIR
// The directories are Unix or Windows paths; WORK_DIR must be empty.

#include "tests/ui/test_mp3.h"
#include "tests/ui/window_probe.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

namespace {

struct DriverOptions {
  std::wstring sorabun;
  std::wstring work;
  std::wstring screenshots;
};

DriverOptions g_options;
PROCESS_INFORMATION g_process = {};
HWND g_dialog = nullptr;

constexpr int IDC_FILE_PATH = 1002;
constexpr int IDC_BROWSE = 1003;
constexpr int IDC_CONVERT = 1004;
constexpr int MESSAGE_TEXT_ID = 0xFFFF;
constexpr int OPEN_FILTER_COMBO = 0x470;
constexpr int OPEN_READ_ONLY_BOX = 0x410;
constexpr int OPEN_FILE_NAME_BOX = 0x47C;

// "指定されたファイルは見つかりませんでした。"
const wchar_t *const NOT_FOUND_TEXT =
    L"\u6307\u5b9a\u3055\u308c\u305f\u30d5\u30a1\u30a4\u30eb\u306f"
    L"\u898b\u3064\u304b\u308a\u307e\u305b\u3093\u3067\u3057\u305f"
    L"\u3002";
// "指定されたファイルに、ID3v2 タグは設定されていません。"
const wchar_t *const NO_TAG_TEXT = L"\u6307\u5b9a\u3055\u308c\u305f\u30d5\u30a1\u30a4\u30eb\u306b"
                                   L"\u3001ID3v2 \u30bf\u30b0\u306f\u8a2d\u5b9a\u3055\u308c\u3066"
                                   L"\u3044\u307e\u305b\u3093\u3002";
// "この操作は元に戻すことができません。\n\n実行しますか？"
const wchar_t *const CONFIRM_TEXT = L"\u3053\u306e\u64cd\u4f5c\u306f\u5143\u306b\u623b\u3059\u3053"
                                    L"\u3068\u304c\u3067\u304d\u307e\u305b\u3093\u3002\n\n\u5b9f"
                                    L"\u884c\u3057\u307e\u3059\u304b\uff1f";
// "正常に処理を終了しました。"
const wchar_t *const DONE_TEXT = L"\u6b63\u5e38\u306b\u51e6\u7406\u3092\u7d42\u4e86\u3057\u307e"
                                 L"\u3057\u305f\u3002";
// "選択されたファイルのパスが長すぎます。\n\n259 バイト以内のパスのファイルを選んでください。"
const wchar_t *const PATH_TOO_LONG_TEXT =
    L"\u9078\u629e\u3055\u308c\u305f\u30d5\u30a1\u30a4\u30eb\u306e\u30d1\u30b9\u304c\u9577\u3059"
    L"\u304e\u307e\u3059\u3002\n\n259 \u30d0\u30a4\u30c8\u4ee5\u5185\u306e\u30d1\u30b9\u306e"
    L"\u30d5\u30a1\u30a4\u30eb\u3092\u9078\u3093\u3067\u304f\u3060\u3055\u3044\u3002";
// "ファイルのパスに、シフト JIS
// で表せない文字が含まれています。\n\nファイルやフォルダーの名前を変えるか、 sorabun-cli
// で変換してください。"
const wchar_t *const PATH_NOT_IN_CODE_PAGE_TEXT =
    L"\u30d5\u30a1\u30a4\u30eb\u306e\u30d1\u30b9\u306b\u3001\u30b7\u30d5\u30c8 JIS \u3067"
    L"\u8868\u305b\u306a\u3044\u6587\u5b57\u304c\u542b\u307e\u308c\u3066\u3044\u307e\u3059"
    L"\u3002\n\n\u30d5\u30a1\u30a4\u30eb\u3084\u30d5\u30a9\u30eb\u30c0\u30fc\u306e\u540d"
    L"\u524d\u3092\u5909\u3048\u308b\u304b\u3001sorabun-cli \u3067\u5909\u63db\u3057\u3066"
    L"\u304f\u3060\u3055\u3044\u3002";
// "ファイルを書き込むことができませんでした。ファイルは元のままです。ファイルが読み取り専用になっています。"
const wchar_t *const READ_ONLY_TEXT =
    L"\u30d5\u30a1\u30a4\u30eb\u3092\u66f8\u304d\u8fbc\u3080\u3053\u3068\u304c\u3067\u304d"
    L"\u307e\u305b\u3093\u3067\u3057\u305f\u3002\u30d5\u30a1\u30a4\u30eb\u306f\u5143\u306e"
    L"\u307e\u307e\u3067\u3059\u3002\u30d5\u30a1\u30a4\u30eb\u304c\u8aad\u307f\u53d6\u308a"
    L"\u5c02\u7528\u306b\u306a\u3063\u3066\u3044\u307e\u3059\u3002";
// "開く"
const wchar_t *const OPEN_TITLE = L"\u958b\u304f";
// "MP3 オーディオ(*.mp3)"
const wchar_t *const MP3_FILTER_TEXT = L"MP3 \u30aa\u30fc\u30c7\u30a3\u30aa(*.mp3)";
// "変換対象ファイル:", "参照(&R)...", "変換(&C)"
const wchar_t *const LABEL_TEXT = L"\u5909\u63db\u5bfe\u8c61\u30d5\u30a1\u30a4\u30eb:";
const wchar_t *const BROWSE_TEXT = L"\u53c2\u7167(&R)...";
const wchar_t *const CONVERT_TEXT = L"\u5909\u63db(&C)";

// --- test files -------------------------------------------------------------

const Bytes COMMENT = {0, 'e', 'n', 'g', 0, 'h', 'e', 'l', 'l', 'o'};

// TIT2 "あい" and TALB "曲" in UTF-16 with a byte-order mark, TPE1 "abc" in
// encoding 0 with a terminator, a comment frame and 25 bytes of padding.
Bytes convertibleFile(unsigned char major, unsigned char revision) {
  Bytes frames;
  append(frames, frame("TIT2", {1, 0xFF, 0xFE, 0x42, 0x30, 0x44, 0x30, 0, 0}));
  append(frames, frame("TPE1", {0, 'a', 'b', 'c', 0}));
  append(frames, frame("COMM", COMMENT));
  append(frames, frame("TALB", {1, 0xFF, 0xFE, 0xF2, 0x66, 0, 0}));
  Bytes file = tagged(major, revision, frames, 25);
  append(file, audio());
  return file;
}

// The same file as the engine must leave it: the texts in code page 932 as
// encoding 0 without terminators, and sizes shrunk by the 9 bytes saved.
Bytes convertedFile() {
  Bytes frames;
  append(frames, frame("TIT2", {0, 0x82, 0xA0, 0x82, 0xA2}));
  append(frames, frame("TPE1", {0, 'a', 'b', 'c'}));
  append(frames, frame("COMM", COMMENT));
  append(frames, frame("TALB", {0, 0x8B, 0xC8}));
  Bytes file = tagged(3, 0, frames, 25);
  append(file, audio());
  return file;
}

std::wstring workPath(const wchar_t *name) {
  return g_options.work + L"\\" + name;
}

struct FileState {
  Bytes content;
  FILETIME written;
};

FileState fileState(const std::wstring &path) {
  FileState state = {readWholeFile(path), {}};
  state.written = lastWriteTime(path);
  return state;
}

void expectUnchanged(const FileState &before, const std::wstring &path) {
  const FileState after = fileState(path);
  EXPECT_EQ(after.content, before.content) << "content of " << narrow(path);
  EXPECT_EQ(CompareFileTime(&after.written, &before.written), 0)
      << "modification time of " << narrow(path);
}

// --- the running program ----------------------------------------------------

HWND pathField() {
  return GetDlgItem(g_dialog, IDC_FILE_PATH);
}

void setPath(const std::wstring &path) {
  SendMessageW(pathField(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  ASSERT_EQ(controlText(pathField()), path);
}

void postCommand(HWND target, int id, WORD code = BN_CLICKED) {
  PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(GetDlgItem(target, id)));
}

// Every message posted to the program before this returns has been handled:
// a harmless marker posted to the path field goes through the same queue.
void settle() {
  static WPARAM marker = 100000;
  ++marker;
  PostMessageW(pathField(), EM_SETLIMITTEXT, marker, 0);
  for (int waited = 0; waited < 10000; waited += 20) {
    DWORD_PTR limit = 0;
    SendMessageTimeoutW(pathField(), EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &limit);
    if (limit == marker) {
      Sleep(100);
      return;
    }
    Sleep(20);
  }
  ADD_FAILURE() << "the program did not handle its messages within 10 s";
}

HWND findMessageBox() {
  return findProcessDialog(g_process.dwProcessId, L"Sorabun", g_dialog);
}

HWND waitForMessageBox() {
  return waitForProcessDialog(g_process.dwProcessId, L"Sorabun", g_dialog, 10000);
}

std::wstring messageText(HWND box) {
  return controlText(GetDlgItem(box, MESSAGE_TEXT_ID));
}

void answer(HWND box, int id) {
  postCommand(box, id);
  ASSERT_TRUE(waitUntilGone(box, 10000)) << "the message box did not close";
}

void screenshotWith(const wchar_t *name, HWND box) {
  RECT area = windowRect(g_dialog);
  if (box != nullptr) {
    const RECT other = windowRect(box);
    UnionRect(&area, &area, &other);
  }
  InflateRect(&area, 12, 12);
  saveScreenshot(g_options.screenshots + L"\\" + name + L".bmp", area);
}

// Presses Convert and returns the message box that follows.
HWND convertAndWait(const std::wstring &path) {
  setPath(path);
  postCommand(g_dialog, IDC_CONVERT);
  return waitForMessageBox();
}

void expectNothingShown() {
  settle();
  EXPECT_EQ(findMessageBox(), nullptr) << "a message box appeared";
  EXPECT_TRUE(IsWindow(g_dialog)) << "the dialog closed";
}

HWND focusedWindow() {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(g_process.dwThreadId, &info);
  return info.hwndFocus;
}

void postKey(HWND target, WORD key, bool alt) {
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  const LPARAM down = static_cast<LPARAM>(1u | (scan << 16) | (alt ? (1u << 29) : 0u));
  const LPARAM up = down | static_cast<LPARAM>((1u << 30) | (1u << 31));
  PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
  PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, up);
}

void postAltKey(HWND target, WORD key) {
  const UINT altScan = MapVirtualKeyW(VK_MENU, MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_SYSKEYDOWN, VK_MENU,
               static_cast<LPARAM>(1u | (altScan << 16) | (1u << 29)));
  postKey(target, key, true);
  PostMessageW(target, WM_KEYUP, VK_MENU,
               static_cast<LPARAM>(1u | (altScan << 16) | (1u << 30) | (1u << 31)));
}

// Whatever a failed check left open is cancelled, so the next case starts
// from the bare dialog.
void dismissOthers() {
  for (int round = 0; round < 5; ++round) {
    HWND other = findOtherProcessDialog(g_process.dwProcessId, g_dialog);
    if (other == nullptr) {
      return;
    }
    postCommand(other, IDCANCEL);
    waitUntilGone(other, 5000);
  }
}

class SorabunWindow : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    g_process = startProgram(g_options.sorabun, g_options.work + L"\\browse");
    if (g_process.hProcess != nullptr) {
      g_dialog = waitForProcessDialog(g_process.dwProcessId, L"Sorabun", nullptr, 30000);
    }
  }

  void SetUp() override {
    ASSERT_NE(g_process.hProcess, nullptr) << "Sorabun.exe did not start";
    ASSERT_NE(g_dialog, nullptr) << "the main dialog did not appear";
    ASSERT_TRUE(IsWindow(g_dialog)) << "the main dialog is gone";
  }

  void TearDown() override {
    if (g_dialog != nullptr && IsWindow(g_dialog)) {
      dismissOthers();
    }
  }
};

// --- the dialog as it opens -------------------------------------------------

struct ControlLayout {
  int id;
  const wchar_t *className;
  const wchar_t *text;
  int x, y, width, height;
  LONG styles;   // bits that must be set
  LONG noStyles; // bits that must be clear
};

TEST_F(SorabunWindow, opensWithTitleAndControlsInTemplateOrder) {
  EXPECT_EQ(windowText(g_dialog), L"Sorabun");
  const LONG style = GetWindowLongW(g_dialog, GWL_STYLE);
  const LONG wanted = static_cast<LONG>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  EXPECT_EQ(style & wanted, wanted) << std::hex << style;
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0) << std::hex << style;
  EXPECT_NE(GetWindowLongW(g_dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0)
      << "takes no dropped files";
  saveScreenshot(g_options.screenshots + L"\\dialog.bmp", [] {
    RECT area = windowRect(g_dialog);
    InflateRect(&area, 12, 12);
    return area;
  }());

  const ControlLayout controls[] = {
      {0xFFFF, L"Static", LABEL_TEXT, 7, 9, 49, 8, WS_VISIBLE | WS_GROUP, WS_TABSTOP},
      {IDC_FILE_PATH, L"Edit", L"", 57, 7, 236, 14, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0},
      {IDC_BROWSE, L"Button", BROWSE_TEXT, 299, 7, 53, 15, WS_VISIBLE | WS_TABSTOP,
       BS_DEFPUSHBUTTON},
      {IDC_CONVERT, L"Button", CONVERT_TEXT, 299, 26, 53, 15, WS_VISIBLE | WS_TABSTOP,
       BS_DEFPUSHBUTTON},
  };
  const DialogUnits units = dialogUnits(g_dialog, 359, 48);
  ASSERT_TRUE(units.found) << "the client area is not 359 x 48 dialog units in any base unit";

  HWND child = GetWindow(g_dialog, GW_CHILD);
  for (const ControlLayout &control : controls) {
    ASSERT_NE(child, nullptr) << "fewer than four controls";
    SCOPED_TRACE(narrow(control.text));
    EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID) & 0xFFFF, control.id);
    EXPECT_EQ(lower(className(child)), lower(control.className));
    EXPECT_EQ(controlText(child), control.text);
    const LONG childStyle = GetWindowLongW(child, GWL_STYLE);
    EXPECT_EQ(childStyle & control.styles, control.styles) << std::hex << childStyle;
    EXPECT_EQ(childStyle & control.noStyles, 0) << std::hex << childStyle;
    const RECT placed = clientRectOf(child, g_dialog);
    const RECT wantedRect = toPixels(units, control.x, control.y, control.width, control.height);
    EXPECT_TRUE(EqualRect(&placed, &wantedRect))
        << describe(placed) << " wanted " << describe(wantedRect);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more than four controls";

  HWND edit = pathField();
  HWND browse = GetDlgItem(g_dialog, IDC_BROWSE);
  HWND convert = GetDlgItem(g_dialog, IDC_CONVERT);
  EXPECT_EQ(GetNextDlgTabItem(g_dialog, edit, FALSE), browse);
  EXPECT_EQ(GetNextDlgTabItem(g_dialog, browse, FALSE), convert);
  EXPECT_EQ(GetNextDlgTabItem(g_dialog, convert, FALSE), edit);
}

TEST_F(SorabunWindow, isCentredOnTheDesktopByItsRightAndBottomEdges) {
  const RECT desktop = windowRect(GetDesktopWindow());
  const RECT placed = windowRect(g_dialog);
  // Created at 0,0, the dialog's right and bottom edges were its size.
  const LONG width = placed.right - placed.left;
  const LONG height = placed.bottom - placed.top;
  EXPECT_EQ(placed.left, desktop.right / 2 - width / 2);
  EXPECT_EQ(placed.top, desktop.bottom / 2 - height / 2);
}

// WM_GETICON is not answered across processes under Wine, so the icon is
// checked where the window system shows it: with no small icon set, the
// caption draws the big one, and only ours has the red badge on blue.
TEST_F(SorabunWindow, showsItsOwnIconInTheCaption) {
  const RECT placed = windowRect(g_dialog);
  RECT corner = {placed.left, placed.top, placed.left + 40, placed.top + 30};
  saveScreenshot(g_options.screenshots + L"\\caption-icon.bmp", corner);
  const int red =
      countPixels(corner, [](BYTE r, BYTE g, BYTE b) { return r >= 150 && g <= 110 && b <= 110; });
  const int blue =
      countPixels(corner, [](BYTE r, BYTE g, BYTE b) { return b >= 100 && r <= 60 && g <= 90; });
  EXPECT_GE(red, 4) << "no badge red in the caption's icon";
  EXPECT_GE(blue, 4) << "no tile blue in the caption's icon";
}

// --- Convert ----------------------------------------------------------------

TEST_F(SorabunWindow, convertWithAnEmptyPathWarnsThatNothingWasFound) {
  HWND box = convertAndWait(L"");
  ASSERT_NE(box, nullptr) << "no message box";
  EXPECT_EQ(messageText(box), NOT_FOUND_TEXT);
  EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
  EXPECT_EQ(GetDlgItem(box, IDNO), nullptr);
  screenshotWith(L"not-found", box);
  answer(box, IDOK);
}

TEST_F(SorabunWindow, convertCommandActsWhateverItsNotificationCode) {
  setPath(L"");
  postCommand(g_dialog, IDC_CONVERT, 0x1234);
  HWND box = waitForMessageBox();
  ASSERT_NE(box, nullptr) << "WM_COMMAND 1004 with a notification code did nothing";
  EXPECT_EQ(messageText(box), NOT_FOUND_TEXT);
  answer(box, IDOK);
}

TEST_F(SorabunWindow, otherCommandsIncludingOkAndCancelDoNothing) {
  const std::wstring path = workPath(L"ignored.mp3");
  writeWholeFile(path, convertibleFile(3, 0));
  const FileState before = fileState(path);
  setPath(path);
  for (int id : {IDOK, IDCANCEL, IDC_FILE_PATH, 1005}) {
    postCommand(g_dialog, id);
  }
  expectNothingShown();
  expectUnchanged(before, path);
}

TEST_F(SorabunWindow, fileWithoutATagIsLeftAloneWithAWarning) {
  const std::wstring path = workPath(L"notag.mp3");
  writeWholeFile(path, audio());
  setOldWriteTime(path);
  const FileState before = fileState(path);
  HWND box = convertAndWait(path);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(messageText(box), NO_TAG_TEXT);
  screenshotWith(L"no-tag", box);
  answer(box, IDOK);
  expectNothingShown();
  expectUnchanged(before, path);
}

TEST_F(SorabunWindow, answeringNoLeavesTheFileAlone) {
  const std::wstring path = workPath(L"answer-no.mp3");
  writeWholeFile(path, convertibleFile(3, 0));
  setOldWriteTime(path);
  const FileState before = fileState(path);
  HWND box = convertAndWait(path);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(messageText(box), CONFIRM_TEXT);
  HWND yes = GetDlgItem(box, IDYES);
  ASSERT_NE(yes, nullptr);
  ASSERT_NE(GetDlgItem(box, IDNO), nullptr);
  EXPECT_EQ(GetDlgItem(box, IDOK), nullptr);
  EXPECT_EQ(GetWindowLongW(yes, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON) << "Yes is not the default";
  screenshotWith(L"confirmation", box);
  answer(box, IDNO);
  expectNothingShown();
  expectUnchanged(before, path);
}

TEST_F(SorabunWindow, answeringYesRewritesTheFileAndSaysSo) {
  // "曲.mp3": the path travels through the field as code page 932 text.
  const std::wstring path = workPath(L"\u66f2.mp3");
  writeWholeFile(path, convertibleFile(3, 0));
  HWND box = convertAndWait(path);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(messageText(box), CONFIRM_TEXT);
  answer(box, IDYES);
  HWND done = waitForMessageBox();
  ASSERT_NE(done, nullptr) << "no completion message";
  EXPECT_EQ(messageText(done), DONE_TEXT);
  screenshotWith(L"completed", done);
  answer(done, IDOK);
  EXPECT_EQ(readWholeFile(path), convertedFile());
}

TEST_F(SorabunWindow, version41IsRefusedSilentlyAfterYes) {
  const std::wstring path = workPath(L"v41.mp3");
  writeWholeFile(path, convertibleFile(4, 1));
  setOldWriteTime(path);
  const FileState before = fileState(path);
  HWND box = convertAndWait(path);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(messageText(box), CONFIRM_TEXT);
  answer(box, IDYES);
  expectNothingShown();
  expectUnchanged(before, path);
}

TEST_F(SorabunWindow, readOnlyFileGetsAWarningNotTheCompletionMessage) {
  const std::wstring path = workPath(L"readonly.mp3");
  writeWholeFile(path, convertibleFile(3, 0));
  setOldWriteTime(path);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  if (canOpenForWriting(path)) {
    GTEST_SKIP() << "this user may write read-only files (root?); run the suite unprivileged";
  }
  const FileState before = fileState(path);
  HWND box = convertAndWait(path);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(messageText(box), CONFIRM_TEXT);
  answer(box, IDYES);
  HWND warning = waitForMessageBox();
  ASSERT_NE(warning, nullptr) << "the failed write was not reported";
  EXPECT_EQ(messageText(warning), READ_ONLY_TEXT);
  screenshotWith(L"read-only", warning);
  answer(warning, IDOK);
  expectUnchanged(before, path);
}

// A path that does not fit the 259 bytes, or that the code page cannot
// spell, is refused whole: cut or spelled with a look-alike, it could name
// another file, as it would here.
TEST_F(SorabunWindow, aTypedPathIsTakenWholeOrRefusedWithAWarning) {
  std::wstring exact = workPath(std::wstring(120, L'd').c_str());
  CreateDirectoryW(exact.c_str(), nullptr);
  exact += L"\\" + std::wstring(259 - exact.size() - 5, L'f') + L".mp3";
  ASSERT_EQ(exact.size(), 259u);
  writeWholeFile(exact, convertibleFile(3, 0));
  writeWholeFile(workPath(L"Cafe.mp3"), convertibleFile(3, 0));
  struct Row {
    const char *what;
    std::wstring typed;
    const wchar_t *answer;
  };
  const Row rows[] = {
      {"259 bytes", exact, CONFIRM_TEXT},
      {"more than 259 bytes", exact + L".bak", PATH_TOO_LONG_TEXT},
      {"outside code page 932", workPath(L"Caf\u00e9.mp3"), PATH_NOT_IN_CODE_PAGE_TEXT},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    HWND box = convertAndWait(row.typed);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), row.answer);
    answer(box, row.answer == CONFIRM_TEXT ? IDNO : IDOK);
  }
  expectNothingShown();
}

// --- keyboard ---------------------------------------------------------------

TEST_F(SorabunWindow, escapeAndEnterInThePathFieldDoNothing) {
  const std::wstring path = workPath(L"keys.mp3");
  writeWholeFile(path, convertibleFile(3, 0));
  setOldWriteTime(path);
  const FileState before = fileState(path);
  setPath(path);
  ASSERT_EQ(focusedWindow(), pathField()) << "the path field does not have the focus";
  postKey(pathField(), VK_ESCAPE, false);
  expectNothingShown();
  postKey(pathField(), VK_RETURN, false);
  expectNothingShown();
  expectUnchanged(before, path);
}

TEST_F(SorabunWindow, altCPressesConvert) {
  const std::wstring path = workPath(L"keys.mp3");
  writeWholeFile(path, convertibleFile(3, 0));
  setPath(path);
  HWND focus = focusedWindow();
  ASSERT_NE(focus, nullptr);
  postAltKey(focus, 'C');
  HWND box = waitForMessageBox();
  ASSERT_NE(box, nullptr) << "Alt+C did not press Convert";
  EXPECT_EQ(messageText(box), CONFIRM_TEXT);
  answer(box, IDNO);
}

// --- Browse -----------------------------------------------------------------

HWND openChooser() {
  postCommand(g_dialog, IDC_BROWSE);
  return waitForProcessDialog(g_process.dwProcessId, OPEN_TITLE, g_dialog, 20000);
}

void chooseFileName(HWND chooser, const std::wstring &name) {
  HWND nameBox = findDescendant(GetDlgItem(chooser, OPEN_FILE_NAME_BOX), L"Edit");
  ASSERT_NE(nameBox, nullptr) << "no file name box";
  SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  postCommand(chooser, IDOK);
}

TEST_F(SorabunWindow, browseShowsTheOpenDialogForMp3FilesAndCancelEmptiesThePath) {
  setPath(L"C:\\typed-before.mp3");
  HWND chooser = openChooser();
  ASSERT_NE(chooser, nullptr) << "no Open dialog titled \"open\"";
  HWND filter = GetDlgItem(chooser, OPEN_FILTER_COMBO);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(comboText(filter, 0), MP3_FILTER_TEXT);
  HWND readOnly = GetDlgItem(chooser, OPEN_READ_ONLY_BOX);
  EXPECT_TRUE(readOnly == nullptr || !IsWindowVisible(readOnly)) << "a read-only check box";
  // The folder holds a.mp3, b.mp3 and notes.txt: only the two MP3 files show.
  HWND list = findDescendant(chooser, L"SysListView32");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  saveScreenshot(g_options.screenshots + L"\\open.bmp", [&] {
    RECT area = windowRect(chooser);
    InflateRect(&area, 12, 12);
    return area;
  }());
  postCommand(chooser, IDCANCEL);
  ASSERT_TRUE(waitUntilGone(chooser, 10000));
  settle();
  EXPECT_EQ(controlText(pathField()), L"");
}

TEST_F(SorabunWindow, choosingAFilePutsItsFullPathInTheField) {
  HWND chooser = openChooser();
  ASSERT_NE(chooser, nullptr);
  chooseFileName(chooser, L"a.mp3");
  ASSERT_TRUE(waitUntilGone(chooser, 10000));
  settle();
  EXPECT_EQ(controlText(pathField()), g_options.work + L"\\browse\\a.mp3");
}

TEST_F(SorabunWindow, aNameWithoutExtensionGetsMp3) {
  HWND chooser = openChooser();
  ASSERT_NE(chooser, nullptr);
  chooseFileName(chooser, L"b");
  ASSERT_TRUE(waitUntilGone(chooser, 10000));
  settle();
  EXPECT_EQ(controlText(pathField()), g_options.work + L"\\browse\\b.mp3");
}

TEST_F(SorabunWindow, aPathTooLongForTheFieldIsRefusedWithAWarning) {
  // Kanji names: under 260 UTF-16 units, but over 259 bytes in code page
  // 932 (paths of 260 units or more overrun Wine's own Open dialog). The
  // two lengths put the 260-byte boundary inside and after a kanji.
  const std::wstring folder = workPath(std::wstring(60, L'\u9577').c_str());
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t *tail : {L".mp3", L"x.mp3"}) {
    const std::wstring name = folder + L"\\" + std::wstring(60, L'\u66f2') + tail;
    SCOPED_TRACE(narrow(tail));
    ASSERT_LT(name.size(), 260u);
    ASSERT_GT(WideCharToMultiByte(932, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr), 260);
    setPath(L"C:\\typed-before.mp3");
    HWND chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    chooseFileName(chooser, name);
    HWND box = waitForMessageBox();
    ASSERT_NE(box, nullptr) << "no warning about the long path; the field holds "
                            << narrow(controlText(pathField()));
    EXPECT_EQ(messageText(box), PATH_TOO_LONG_TEXT);
    EXPECT_EQ(controlText(pathField()), L"");
    screenshotWith(L"path-too-long", box);
    answer(box, IDOK);
  }
}

// --- dropped files ---------------------------------------------------------

void dropFiles(const std::vector<std::wstring> &paths) {
  ASSERT_TRUE(dropOn(g_process.hProcess, g_dialog, paths));
}

TEST_F(SorabunWindow, aDroppedFileGoesIntoThePathFieldOrIsRefusedWithAWarning) {
  const std::wstring song = workPath(L"\u66f2.mp3");
  const std::wstring other = workPath(L"b.mp3");
  struct Row {
    const char *what;
    std::vector<std::wstring> dropped;
    std::wstring field;
    const wchar_t *warning;
  };
  const Row rows[] = {
      {"one file", {song}, song, nullptr},
      {"several: the first counts", {other, song}, other, nullptr},
      // Under 260 UTF-16 units, over 259 bytes in code page 932.
      {"more than 259 bytes",
       {workPath(std::wstring(130, L'\u9577').c_str()), song},
       L"",
       PATH_TOO_LONG_TEXT},
      {"outside code page 932", {workPath(L"Caf\u00e9.mp3")}, L"", PATH_NOT_IN_CODE_PAGE_TEXT},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    setPath(L"C:\\typed-before.mp3");
    dropFiles(row.dropped);
    if (row.warning != nullptr) {
      HWND box = waitForMessageBox();
      ASSERT_NE(box, nullptr) << "no warning; the field holds " << narrow(controlText(pathField()));
      EXPECT_EQ(messageText(box), row.warning);
      answer(box, IDOK);
    }
    expectNothingShown();
    EXPECT_EQ(controlText(pathField()), row.field);
  }
}

// --- closing ----------------------------------------------------------------

TEST_F(SorabunWindow, closingTheDialogEndsTheProcessWithCodeZero) {
  PostMessageW(g_dialog, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(g_process.hProcess, 10000), WAIT_OBJECT_0)
      << "the process did not end";
  DWORD code = 1;
  GetExitCodeProcess(g_process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  g_dialog = nullptr;
}

void prepareWorkFolder() {
  const std::wstring browse = g_options.work + L"\\browse";
  CreateDirectoryW(browse.c_str(), nullptr);
  writeWholeFile(browse + L"\\a.mp3", convertibleFile(3, 0));
  writeWholeFile(browse + L"\\b.mp3", audio());
  writeWholeFile(browse + L"\\notes.txt", {'n', 'o', 't', 'e', 's'});
}

} // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 4) {
    fprintf(stderr, "usage: ui_driver.exe [gtest options] SORABUN.exe WORK_DIR SCREENSHOT_DIR\n");
    return 2;
  }
  g_options.sorabun = windowsPath(argv[1]);
  g_options.work = windowsPath(argv[2]);
  g_options.screenshots = windowsPath(argv[3]);
  prepareWorkFolder();
  const int result = RUN_ALL_TESTS();
  if (g_process.hProcess != nullptr) {
    if (WaitForSingleObject(g_process.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(g_process.hProcess, 1);
    }
    CloseHandle(g_process.hProcess);
    CloseHandle(g_process.hThread);
  }
  return result;
}
