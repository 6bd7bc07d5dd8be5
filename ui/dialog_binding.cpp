// The main dialog's Convert command: the path field's text, converted with
// message boxes owned by the dialog as the way to talk to the user.
#include "ui/dialog_binding.h"

#include "command/messages.h"
#include "resources/resource_ids.h"

#include <cwchar>

namespace {

constexpr char CAPTION[] = "Sorabun";

void notifyByMessageBox(void *context, const char *text, NoticeKind kind) {
  UINT icon = kind == NoticeKind::Warning ? MB_ICONWARNING : MB_ICONINFORMATION;
  MessageBoxA(static_cast<HWND>(context), text, CAPTION, MB_OK | icon);
}

bool confirmByMessageBox(void *context, const char *text) {
  return MessageBoxA(static_cast<HWND>(context), text, CAPTION,
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES;
}

PathCheck convertToAnsi(const wchar_t *wide, size_t count, char (&ansi)[PATH_BUFFER_SIZE]) {
  // Every UTF-16 unit takes at least one byte in the code page.
  if (count >= PATH_BUFFER_SIZE)
    return PathCheck::TooLong;
  const int units = static_cast<int>(count);
  const int bytes = count == 0 ? 0
                               : WideCharToMultiByte(CP_ACP, 0, wide, units, ansi,
                                                     PATH_BUFFER_SIZE - 1, nullptr, nullptr);
  if (bytes == 0 && count != 0)
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? PathCheck::TooLong
                                                       : PathCheck::NotInCodePage;
  ansi[bytes] = '\0';
  // Only a path that reads back as it was given names the file the user meant.
  wchar_t back[PATH_BUFFER_SIZE];
  const int backUnits = MultiByteToWideChar(CP_ACP, 0, ansi, bytes, back, PATH_BUFFER_SIZE);
  if (backUnits != units || std::wmemcmp(back, wide, count) != 0)
    return PathCheck::NotInCodePage;
  return PathCheck::Usable;
}

} // namespace

// A refused path leaves ansi empty, whatever a failed conversion wrote there.
PathCheck ansiPathOf(const wchar_t *wide, size_t count, char (&ansi)[PATH_BUFFER_SIZE]) {
  const PathCheck check = convertToAnsi(wide, count, ansi);
  if (check != PathCheck::Usable)
    ansi[0] = '\0';
  return check;
}

void warnUser(HWND dialog, const char *text) {
  notifyByMessageBox(dialog, text, NoticeKind::Warning);
}

void warnAboutPath(HWND dialog, PathCheck check) {
  if (check != PathCheck::Usable)
    warnUser(dialog,
             check == PathCheck::TooLong ? MESSAGE_PATH_TOO_LONG : MESSAGE_PATH_NOT_IN_CODE_PAGE);
}

// The field is read whole: reading its first 259 bytes, as a fixed buffer
// would, could hand on a shorter path that names another file.
void convertFile(HWND dialog) {
  const HWND field = GetDlgItem(dialog, IDC_FILE_PATH);
  // May count more than the text holds, never less.
  const int length = GetWindowTextLengthW(field);
  wchar_t wide[PATH_BUFFER_SIZE] = {};
  size_t count = static_cast<size_t>(length);
  if (length < static_cast<int>(PATH_BUFFER_SIZE)) {
    GetWindowTextW(field, wide, static_cast<int>(PATH_BUFFER_SIZE));
    count = std::wcslen(wide);
  }
  char path[PATH_BUFFER_SIZE];
  const PathCheck check = ansiPathOf(wide, count, path);
  if (check != PathCheck::Usable) {
    warnAboutPath(dialog, check);
    return;
  }
  UserPrompt prompt{notifyByMessageBox, confirmByMessageBox, dialog};
  convertPath(path, prompt);
}
