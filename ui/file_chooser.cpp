#include "ui/file_chooser.h"

#include "command/convert_command.h"
#include "resources/resource_ids.h"
#include "ui/dialog_binding.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstddef>
#include <cstdio>

// The older, shorter record that ends with lpTemplateName (the SDK's
// OPENFILENAME_SIZE_VERSION_400A, spelled so the compiler can check it):
// 76 bytes on 32-bit Windows, the matching size on the 64-bit test build.
constexpr DWORD OPEN_RECORD_SIZE =
    static_cast<DWORD>(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
#if !defined(_WIN64)
static_assert(OPEN_RECORD_SIZE == 76, "the Open dialog record must be 76 bytes");
#endif

// "MP3 オーディオ(*.mp3)" / "*.mp3" in code page 932; the literal's own
// terminator is the second zero that ends the filter list.
static const char MP3_FILTER[] = "MP3 \x83I\x81[\x83"
                                 "f\x83"
                                 "B\x83I(*.mp3)\0*.mp3\0";

// "開く" (open)
static const char OPEN_TITLE[] = "\x8AJ\x82\xAD";

// "「開く」ダイアログでエラーが発生したため、ファイルを選択できませんでした (エラー コード 0x"
// (the Open dialog failed, so no file could be chosen; error code), followed
// by the code and ")。".
static const char OPEN_FAILED[] =
    "\x81\x75\x8A\x4A\x82\xAD\x81\x76\x83\x5F\x83\x43\x83\x41\x83\x8D\x83\x4F\x82\xC5"
    "\x83\x47\x83\x89\x81\x5B\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xBD\x82\xBD\x82\xDF"
    "\x81\x41\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x91\x49\x91\xF0\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD (\x83\x47\x83\x89\x81\x5B"
    " \x83\x52\x81\x5B\x83\x68 0x";

// ")。"
static const char OPEN_FAILED_END[] = ")\x81\x42";

static HINSTANCE dialogInstance(HWND dialog) {
#if defined(_WIN64)
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
#else
  return reinterpret_cast<HINSTANCE>(GetWindowLongA(dialog, GWL_HINSTANCE));
#endif
}

void browseForFile(HWND dialog) {
  char path[PATH_BUFFER_SIZE] = {};
  OPENFILENAMEA request = {};
  request.lStructSize = OPEN_RECORD_SIZE;
  request.hwndOwner = dialog;
  request.hInstance = dialogInstance(dialog);
  request.lpstrFilter = MP3_FILTER;
  request.lpstrFile = path;
  request.nMaxFile = PATH_BUFFER_SIZE;
  request.lpstrFileTitle = nullptr;
  request.nMaxFileTitle = PATH_BUFFER_SIZE;
  request.lpstrTitle = OPEN_TITLE;
  request.Flags = OFN_HIDEREADONLY;
  request.lpstrDefExt = "mp3";

  // A path that does not fit leaves the size it needs, not a path, in the
  // buffer's first bytes; that must never reach the path field. Some
  // implementations measure the path in UTF-16 units instead and hand back a
  // full, unterminated buffer when its code page 932 form is longer. A
  // cancel is no failure: it leaves the field empty, silently.
  const bool chosen = GetOpenFileNameA(&request) != FALSE;
  const DWORD failure = chosen ? 0 : CommDlgExtendedError();
  const bool tooLong =
      chosen ? path[PATH_BUFFER_SIZE - 1] != '\0' : failure == FNERR_BUFFERTOOSMALL;
  if (tooLong || failure != 0) {
    path[0] = '\0';
  }
  SetDlgItemTextA(dialog, IDC_FILE_PATH, path);
  if (tooLong) {
    warnAboutPath(dialog, PathCheck::TooLong);
  } else if (failure != 0) {
    char text[sizeof OPEN_FAILED + sizeof OPEN_FAILED_END + 8];
    std::snprintf(text, sizeof text, "%s%04lX%s", OPEN_FAILED, static_cast<unsigned long>(failure),
                  OPEN_FAILED_END);
    warnUser(dialog, text);
  }
}
