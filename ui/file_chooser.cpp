#include "ui/file_chooser.h"

#include "command/convert_command.h"
#include "resources/resource_ids.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstddef>

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

// "選択されたファイルのパスが長すぎます。\n\n259 バイト以内のパスのファイルを選んでください。"
// (the chosen file's path is too long; choose a file whose path is at most
// 259 bytes)
static const char PATH_TOO_LONG[] =
    "\x91I\x91\xF0\x82\xB3\x82\xEA\x82\xBD\x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x83p\x83X\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x81"
    "B\n\n259 \x83o\x83"
    "C\x83g\x88\xC8\x93\xE0\x82\xCC\x83p\x83X\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x91I\x82\xF1\x82\xC5\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
    "B";

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
  // full, unterminated buffer when its code page 932 form is longer.
  const bool chosen = GetOpenFileNameA(&request) != FALSE;
  const bool tooLong =
      chosen ? path[PATH_BUFFER_SIZE - 1] != '\0' : CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
  if (tooLong) {
    path[0] = '\0';
  }
  SetDlgItemTextA(dialog, IDC_FILE_PATH, path);
  if (tooLong) {
    MessageBoxA(dialog, PATH_TOO_LONG, "Sorabun", MB_OK | MB_ICONWARNING);
  }
}
